#pragma once
// The smaller data-aware controls: a label, a memo and an editable combo box.
#include "dbwidgets/dbcontrol.h"
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

namespace kvt {

/// Shows the field's text; cannot be edited.
class DbText : public QLabel, public DbControl {
    Q_OBJECT
public:
    explicit DbText(QWidget *parent = nullptr);

protected:
    void dataChange() override;
};

/// Multi-line data-aware edit; the text is written when the memo loses focus and before a post.
class DbMemo : public QPlainTextEdit, public DbControl {
    Q_OBJECT
public:
    explicit DbMemo(QWidget *parent = nullptr);

    bool readOnly() const override { return isReadOnly(); }
    void setReadOnly(bool on) override { QPlainTextEdit::setReadOnly(on); }
    bool isModified() const { return m_modified; }

protected:
    void dataChange() override;
    void updateData() override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void onTextChanged();

    bool m_modified = false;
    bool m_showing = false;
};

/// Editable combo box over a field: choosing an item writes it at once; typed text is written when the
/// box loses focus, on Enter and before a post.
class DbComboBox : public QComboBox, public DbControl {
    Q_OBJECT
public:
    explicit DbComboBox(QWidget *parent = nullptr);

    bool isModified() const { return m_modified; }

protected:
    void dataChange() override;
    void updateData() override;
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    void onTextEdited();
    void onActivated(int index);
    void commit();

    bool m_modified = false;
};

} // namespace kvt
