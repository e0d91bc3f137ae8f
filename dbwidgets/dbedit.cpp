#include "dbwidgets/dbedit.h"
#include <QKeyEvent>
#include <QMouseEvent>

namespace kvt {

DbEdit::DbEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &DbEdit::onTextEdited);
}

void DbEdit::dataChange()
{
    if (inStartEdit())
        return;
    Field *f = field();
    const int maxLen = f && f->dataType() == ftString && f->size() > 0 ? f->size() : 32767;
    if (maxLength() != maxLen)
        setMaxLength(maxLen);
    // Re-setting an equal text would lay it out again for nothing (selections refresh many edits).
    const QString text = f ? f->asString() : QString();
    if (text != this->text() || m_modified)
        setText(text);
    m_modified = false;
}

void DbEdit::onTextEdited()
{
    if (!field())
        return;
    try {
        startEdit();
        m_modified = true;
    } catch (const std::exception &e) {
        reportDbError(e);
        dataChange();
    }
}

void DbEdit::writePending()
{
    if (!m_modified)
        return;
    const QString typed = text();
    writeFieldText(typed);
    m_modified = false;
}

bool DbEdit::commit()
{
    try {
        writePending();
        return true;
    } catch (const std::exception &e) {
        reportDbError(e);
        returnForCorrection();
        // A click that takes the focus away (to the tree, say) goes on to ask for a post, which
        // refuses the same text again: the user has just read why.
        m_shownRefusal = text();
        m_refusalJustShown = true;
        QMetaObject::invokeMethod(this, [this] { m_refusalJustShown = false; }, Qt::QueuedConnection);
        return false;
    }
}

void DbEdit::updateData()
{
    try {
        writePending();
    } catch (const DbInputError &e) {
        // Whoever asked for the post shows the message; the text waits here, selected.
        returnForCorrection();
        if (m_refusalJustShown && text() == m_shownRefusal)
            throw DbInputError(e.message(), true);
        throw;
    } catch (...) {
        returnForCorrection();
        throw;
    }
}

void DbEdit::returnForCorrection()
{
    if (isVisible())
        setFocus(Qt::OtherFocusReason);
    selectAll();
}

void DbEdit::focusOutEvent(QFocusEvent *e)
{
    // The line edit's own handling first: it clears the selection that a refusal sets.
    QLineEdit::focusOutEvent(e);
    // A message box or menu that takes the focus for a moment gives it back: the text stays pending
    // (a post still writes it), and a refusal is not reported a second time under its own box.
    if (e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
        commit();
}

void DbEdit::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        commit();
        break;
    case Qt::Key_Escape:
        if (m_modified) {
            dataChange();
            e->accept();
            return;
        }
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(e);
}

void DbEdit::mousePressEvent(QMouseEvent *e)
{
    m_pressed = e->button() == Qt::LeftButton;
    QLineEdit::mousePressEvent(e);
}

void DbEdit::mouseReleaseEvent(QMouseEvent *e)
{
    const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    m_pressed = false;
    QLineEdit::mouseReleaseEvent(e);
    if (click)
        emit clicked();
}

DbDateEdit::DbDateEdit(QWidget *parent) : DbEdit(parent) {}

} // namespace kvt
