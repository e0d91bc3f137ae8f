#pragma once
// Message service of the GUI: also runs modal dialogs and the font dialog, so tests can answer them.
#include "common/fontdesc.h"
#include "common/messageservice.h"

class QDialog;
class QWidget;

namespace kvt {

class DialogService : public MessageService {
public:
    /// Runs the dialog modally and returns its result (QDialog::Accepted / Rejected).
    virtual int execDialog(QDialog &dialog) = 0;
    /// Runs the font dialog on font (face, size, styles, colour); true and font changed on OK.
    virtual bool chooseFont(FontDesc &font, QWidget *parent) = 0;
};

/// The installed service when it is a DialogService; otherwise the widget-based default.
DialogService &dialogs();

/// The service that shows real Qt message boxes and dialogs.
class QtDialogService : public DialogService {
public:
    MsgResult message(const QString &caption, const QString &text, MsgIcon icon, MsgButtons buttons) override;
    void beep() override;
    int execDialog(QDialog &dialog) override;
    bool chooseFont(FontDesc &font, QWidget *parent) override;
};

} // namespace kvt
