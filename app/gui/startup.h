#pragma once
// The process entry: the application object, the four long-lived objects and the message loop.
#include <QApplication>
#include <QStringList>
#include <functional>

namespace kvt {

class TRepMainForm;
class TOKDlg;
class TBoxFrameDialog;

extern TRepMainForm *RepMainForm;
extern TOKDlg *OKDlg;
extern TBoxFrameDialog *BoxFrameDialog;

/// The application object: every exception that leaves an event handler is shown by the standard
/// exception display, and the loop goes on.
class KvtApplication : public QApplication {
    Q_OBJECT
public:
    KvtApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

/// Creates the four objects in order, runs the loop until the main window closes, destroys them in
/// reverse order and returns 0. afterCreate (tests) runs once the objects exist, before the loop.
int runProgram(KvtApplication &app, const std::function<void()> &afterCreate = {});

/// Names of the objects in the order they were created and destroyed during the last runProgram().
QStringList &startupLog();

} // namespace kvt
