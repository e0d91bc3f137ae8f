#include "dbwidgets/dbedit.h"
#include <QKeyEvent>
#include <QLabel>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>

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
    // The edit never cuts what it shows: a stored text longer than the field's size is shown whole,
    // and a typed text too long for the field is refused when it is written, with a message.
    const QString text = f ? f->asString() : QString();
    const int maxLen = std::max(32767, int(text.size()));
    if (maxLength() != maxLen)
        setMaxLength(maxLen);
    // Re-setting an equal text would lay it out again for nothing (selections refresh many edits).
    if (text != this->text() || m_modified)
        setText(text);
    m_modified = false;
    noteUnreadable(f);
    applyReadOnly();
}

void DbEdit::stateChange() { applyReadOnly(); }

void DbEdit::setReadOnly(bool on)
{
    if (m_lockedByData)
        m_readOnlyBefore = on;
    else
        QLineEdit::setReadOnly(on);
}

void DbEdit::applyReadOnly()
{
    DataSet *ds = dataSet();
    const bool lock = ds && ds->isOpen() && !ds->canModify() && field();
    if (lock == m_lockedByData)
        return;
    m_lockedByData = lock;
    if (lock) {
        m_readOnlyBefore = isReadOnly();
        QLineEdit::setReadOnly(true);
    } else {
        QLineEdit::setReadOnly(m_readOnlyBefore);
    }
}

QString DbEdit::caption() const
{
    const QString shown = visibleCaption(this);
    if (!shown.isEmpty())
        return shown;
    Field *f = field();
    return f ? f->fieldName() : dataField();
}

void DbEdit::noteUnreadable(Field *f)
{
    if (!f || !f->holdsUnreadableValue()) {
        m_unreadableShown.clear();
        if (!placeholderText().isEmpty())
            setPlaceholderText(QString());
        return;
    }
    const QString message = f->unreadableMessage(caption());
    setPlaceholderText(QStringLiteral("(stored value cannot be shown)"));
    if (message == m_unreadableShown)
        return;
    m_unreadableShown = message;
    // Told once the record is on screen, not in the middle of the move that brought it.
    QTimer::singleShot(0, this, [message] { reportDbError(EngineError(message)); });
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
    // A text too long for the field is refused by it, naming the field as the user knows it.
    if (Field *f = field(); f && f->dataType() == ftString && f->size() > 0 && typed.size() > f->size())
        f->setDisplayLabel(caption());
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
