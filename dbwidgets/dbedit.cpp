#include "dbwidgets/dbedit.h"
#include <QKeyEvent>
#include <QMetaMethod>
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
        selectAll();
        return false;
    }
}

void DbEdit::updateData() { writePending(); }

void DbEdit::focusOutEvent(QFocusEvent *e)
{
    commit();
    QLineEdit::focusOutEvent(e);
}

bool DbEdit::isOpenKey(const QKeyEvent *e) const
{
    if (!isReadOnly() || !isEnabled() || !isSignalConnected(QMetaMethod::fromSignal(&DbEdit::openRequested)))
        return false;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_F2:
    case Qt::Key_F4:
        return mods == Qt::NoModifier;
    case Qt::Key_Down:
        return mods == Qt::AltModifier;
    default:
        return false;
    }
}

bool DbEdit::event(QEvent *e)
{
    // The edit's own use of these keys comes before any shortcut of the window.
    if (e->type() == QEvent::ShortcutOverride && isOpenKey(static_cast<QKeyEvent *>(e))) {
        e->accept();
        return true;
    }
    return QLineEdit::event(e);
}

void DbEdit::keyPressEvent(QKeyEvent *e)
{
    if (isOpenKey(e)) {
        e->accept();
        emit openRequested();
        return;
    }
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
