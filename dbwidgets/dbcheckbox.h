#pragma once
// Data-aware check box.
#include "dbwidgets/dbcontrol.h"
#include <QCheckBox>

namespace kvt {

/// Checked when the field's text equals valueChecked, case-insensitively (each may list alternatives
/// separated by ';'; the first one is written). A click writes the field at once, so its change event
/// runs immediately.
class DbCheckBox : public QCheckBox, public DbControl {
    Q_OBJECT
public:
    explicit DbCheckBox(QWidget *parent = nullptr);

    QString valueChecked() const { return m_valueChecked; }
    void setValueChecked(const QString &v);
    QString valueUnchecked() const { return m_valueUnchecked; }
    void setValueUnchecked(const QString &v);

protected:
    void dataChange() override;
    void nextCheckState() override;

private:
    QString m_valueChecked = QStringLiteral("True");
    QString m_valueUnchecked = QStringLiteral("False");
};

} // namespace kvt
