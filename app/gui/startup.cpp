#include "app/gui/startup.h"
#include "app/datamodule.h"
#include "common/gui/dialogservice.h"
#include "common/gui/okdialog.h"
#include "common/stdexception.h"
#include "editor/boxframedlg.h"
#include "editor/repmainfrm.h"
#include <QFont>

namespace kvt {

TRepMainForm *RepMainForm = nullptr;
TOKDlg *OKDlg = nullptr;
TBoxFrameDialog *BoxFrameDialog = nullptr;

QStringList &startupLog()
{
    static QStringList log;
    return log;
}

KvtApplication::KvtApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // The title is the application name; no display name is set, so window titles stay exactly as set.
    setApplicationName(applicationTitle());
    // Text is laid out without the cosmetic shaping of simple scripts (kerning, ligatures); scripts
    // that need shaping still get it. A selection lays out the text of every edit it fills again,
    // and shaping was most of that.
    QFont f = font();
    f.setStyleStrategy(QFont::PreferNoShaping);
    setFont(f);
}

bool KvtApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showStandardException(e);
        return false;
    }
}

int runProgram(KvtApplication &app, const std::function<void()> &afterCreate)
{
    startupLog().clear();
    try {
        RepMainForm = new TRepMainForm();
        startupLog() << QStringLiteral("create RepMainForm");
        OKDlg = new TOKDlg();
        startupLog() << QStringLiteral("create OKDlg");
        DM1 = new TDM1();
        startupLog() << QStringLiteral("create DM1");
        BoxFrameDialog = new TBoxFrameDialog();
        startupLog() << QStringLiteral("create BoxFrameDialog");
        if (afterCreate)
            afterCreate();
        RepMainForm->show();
        app.exec();
    } catch (const std::exception &e) {
        showStandardException(e);
    }
    delete BoxFrameDialog;
    BoxFrameDialog = nullptr;
    startupLog() << QStringLiteral("destroy BoxFrameDialog");
    delete DM1;
    DM1 = nullptr;
    startupLog() << QStringLiteral("destroy DM1");
    delete OKDlg;
    OKDlg = nullptr;
    startupLog() << QStringLiteral("destroy OKDlg");
    delete RepMainForm;
    RepMainForm = nullptr;
    startupLog() << QStringLiteral("destroy RepMainForm");
    return 0;
}

} // namespace kvt
