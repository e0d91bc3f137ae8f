#include "app/gui/startup.h"
#include "common/gui/dialogservice.h"

int main(int argc, char **argv)
{
    kvt::KvtApplication app(argc, argv);
    kvt::QtDialogService dialogs;
    kvt::setMessageService(&dialogs);
    const int rc = kvt::runProgram(app);
    kvt::setMessageService(nullptr);
    return rc;
}
