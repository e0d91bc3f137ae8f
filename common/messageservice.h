#pragma once
// The one door through which the program shows message boxes and sounds the beep. The GUI installs a
// service that shows real boxes; tests install a recorder, so nothing blocks and every box is visible.
#include <QString>

namespace kvt {

enum class MsgIcon { None, Information, Warning, Critical, Question };
enum class MsgButtons { Ok, YesNo, YesNoCancel, SaveDiscardCancel };
enum class MsgResult { Ok, Yes, No, Cancel, Save, Discard };

class MessageService {
public:
    virtual ~MessageService() = default;
    /// Shows a modal message box and returns the button the user chose.
    virtual MsgResult message(const QString &caption, const QString &text, MsgIcon icon,
                              MsgButtons buttons = MsgButtons::Ok) = 0;
    /// The system's default beep.
    virtual void beep() = 0;
};

/// The installed service. Without one, messages go to standard error and answer Ok/Cancel.
MessageService &messages();
/// Installs a service (not owned); null restores the fallback.
void setMessageService(MessageService *service);

/// Caption of the standard exception display and the application's title.
inline QString applicationTitle() { return QStringLiteral("KVT Report Editor"); }

} // namespace kvt
