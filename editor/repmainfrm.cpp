#include "editor/repmainfrm.h"

namespace kvt {

TRepMainForm::TRepMainForm(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("RepMainForm"));
    setWindowTitle(QStringLiteral("Report Editor for Tarrow V3 "));
    resize(640, 450);
}

} // namespace kvt
