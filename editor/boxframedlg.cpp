#include "editor/boxframedlg.h"

namespace kvt {

TBoxFrameDialog::TBoxFrameDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoxFrameDialog"));
    setWindowTitle(QStringLiteral("Modify Box Frame"));
}

} // namespace kvt
