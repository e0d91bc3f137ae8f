#include "common/gui/dialogservice.h"
#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace kvt {

// Defined with the font dialog (common/gui/fontdialog.cpp).
bool runFontDialog(FontDesc &font, QWidget *parent);

DialogService &dialogs()
{
    static QtDialogService fallback;
    if (auto *d = dynamic_cast<DialogService *>(&messages()))
        return *d;
    return fallback;
}

MsgResult QtDialogService::message(const QString &caption, const QString &text, MsgIcon icon, MsgButtons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MsgButtons::SaveDiscardCancel:
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Save: return MsgResult::Save;
    case QMessageBox::Discard: return MsgResult::Discard;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: return MsgResult::Ok;
    }
}

void QtDialogService::beep() { QApplication::beep(); }

int QtDialogService::execDialog(QDialog &dialog) { return dialog.exec(); }

bool QtDialogService::chooseFont(FontDesc &font, QWidget *parent) { return runFontDialog(font, parent); }

} // namespace kvt
