#pragma once
// Data-aware radio group.
#include "dbwidgets/dbcontrol.h"
#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

namespace kvt {

/// One radio button per item, laid out column by column. Button i stands for values[i] (items[i] when
/// there are fewer values). A field value that no button stands for checks none. Choosing a button writes
/// its value at once.
class DbRadioGroup : public QGroupBox, public DbControl {
    Q_OBJECT
public:
    explicit DbRadioGroup(QWidget *parent = nullptr);

    QString caption() const { return title(); }
    void setCaption(const QString &c) { setTitle(c); }
    QStringList items() const { return m_items; }
    void setItems(const QStringList &items);
    QStringList values() const { return m_values; }
    void setValues(const QStringList &values);
    int columns() const { return m_columns; }
    void setColumns(int n);

    /// Index of the checked button, -1 for none.
    int itemIndex() const;
    QRadioButton *button(int i) const;
    int count() const { return int(m_buttons.size()); }
    QString buttonValue(int i) const;

protected:
    void dataChange() override;
    void changeEvent(QEvent *e) override;

private:
    void arrange();
    void onButtonClicked(int id);

    QStringList m_items;
    QStringList m_values;
    int m_columns = 1;
    QGridLayout *m_grid;
    QButtonGroup *m_group;
    std::vector<QRadioButton *> m_buttons;
};

} // namespace kvt
