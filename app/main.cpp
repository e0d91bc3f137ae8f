#include "app/gui/startup.h"
#include "common/gui/dialogservice.h"
#include "editor/repmainfrm.h"
#include <QTimer>

int main(int argc, char **argv)
{
    kvt::KvtApplication app(argc, argv);
    kvt::QtDialogService dialogs;
    // Unattended runs (KVT_AUTOCLOSE_MS) print their message boxes to standard error instead of waiting
    // for a user, and close the main window after the given time.
    const int autoClose = qEnvironmentVariableIntValue("KVT_AUTOCLOSE_MS");
    kvt::setMessageService(autoClose > 0 ? nullptr : &dialogs);
    const int rc = kvt::runProgram(app, [autoClose] {
        if (autoClose > 0)
            QTimer::singleShot(autoClose, kvt::RepMainForm, [] { kvt::RepMainForm->close(); });
    });
    kvt::setMessageService(nullptr);
    return rc;
}
