#include "dbwidgets/dbtext.h"
#include <QKeyEvent>
#include <QLineEdit>

namespace kvt {

DbText::DbText(QWidget *parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

void DbText::dataChange()
{
    Field *f = field();
    setText(f ? f->asString() : QString());
}

DbMemo::DbMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, &DbMemo::onTextChanged);
}

void DbMemo::dataChange()
{
    if (inStartEdit())
        return;
    Field *f = field();
    m_showing = true;
    setPlainText(f ? f->asString() : QString());
    m_showing = false;
    m_modified = false;
}

void DbMemo::onTextChanged()
{
    if (m_showing || !field())
        return;
    try {
        startEdit();
        m_modified = true;
    } catch (const std::exception &e) {
        reportDbError(e);
        dataChange();
    }
}

void DbMemo::updateData()
{
    if (!m_modified)
        return;
    writeFieldText(toPlainText());
    m_modified = false;
}

void DbMemo::focusOutEvent(QFocusEvent *e)
{
    try {
        updateData();
    } catch (const std::exception &ex) {
        reportDbError(ex);
    }
    QPlainTextEdit::focusOutEvent(e);
}

DbComboBox::DbComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, &DbComboBox::onTextEdited);
    connect(this, &QComboBox::activated, this, &DbComboBox::onActivated);
}

void DbComboBox::dataChange()
{
    if (inStartEdit())
        return;
    Field *f = field();
    setEditText(f ? f->asString() : QString());
    m_modified = false;
}

void DbComboBox::onTextEdited()
{
    if (!field())
        return;
    if (readOnly()) {
        dataChange();
        return;
    }
    try {
        startEdit();
        m_modified = true;
    } catch (const std::exception &e) {
        reportDbError(e);
        dataChange();
    }
}

void DbComboBox::onActivated(int index)
{
    if (readOnly()) {
        dataChange();
        return;
    }
    setEditText(itemText(index));
    m_modified = true;
    commit();
}

void DbComboBox::updateData()
{
    if (!m_modified)
        return;
    writeFieldText(currentText());
    m_modified = false;
}

void DbComboBox::commit()
{
    try {
        updateData();
    } catch (const std::exception &e) {
        reportDbError(e);
    }
}

void DbComboBox::focusOutEvent(QFocusEvent *e)
{
    commit();
    QComboBox::focusOutEvent(e);
}

void DbComboBox::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
        commit();
    QComboBox::keyPressEvent(e);
}

} // namespace kvt
