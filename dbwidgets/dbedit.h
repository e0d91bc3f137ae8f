#pragma once
// Single-line data-aware edit.
#include "dbwidgets/dbcontrol.h"
#include <QLineEdit>

namespace kvt {

/// Shows the bound field as text. Typing puts the data set into edit; the text is written through the
/// field on Enter, when the edit loses focus and before a post, so a post or a move never loses it.
/// Escape brings back the field's value. A value the field refuses is reported through the error hook and
/// stays in the edit for correction; before a post the refusal propagates, so the post fails.
class DbEdit : public QLineEdit, public DbControl {
    Q_OBJECT
public:
    explicit DbEdit(QWidget *parent = nullptr);

    bool readOnly() const override { return isReadOnly(); }
    void setReadOnly(bool on) override { QLineEdit::setReadOnly(on); }
    /// True while typed text has not yet been written to the field.
    bool isModified() const { return m_modified; }
    /// Writes pending text; false (after reporting) when the field refuses it.
    bool commit();

signals:
    /// A mouse click on the edit, also when it is read-only.
    void clicked();
    /// Enter, Space, F2, F4 or Alt+Down on a read-only edit: the keys that ask for the dialog a click
    /// opens. Only an edit with a receiver takes these keys; others keep their usual meaning.
    void openRequested();

protected:
    bool event(QEvent *e) override;
    void dataChange() override;
    void updateData() override;
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void onTextEdited();
    bool isOpenKey(const QKeyEvent *e) const;
    void writePending();

    bool m_modified = false;
    bool m_pressed = false;
};

/// Data-aware edit for dates; the text is passed to the field as typed.
class DbDateEdit : public DbEdit {
    Q_OBJECT
public:
    explicit DbDateEdit(QWidget *parent = nullptr);
};

} // namespace kvt
