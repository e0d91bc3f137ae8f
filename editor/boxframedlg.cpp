#include "editor/boxframedlg.h"
#include "common/gui/fontconv.h"
#include "labels/gui/formsetup.h"
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QShowEvent>

namespace kvt {

bool BoxFrameFirstShow = true;

namespace {

QCheckBox *newSideBox(QWidget *parent, const QString &name, int x, int y)
{
    auto *box = new QCheckBox(name, parent); // the design caption is the name; captioning replaces it
    box->setObjectName(name);
    box->setGeometry(x, y, 97, 17);
    return box;
}

QPushButton *newButton(QWidget *parent, const QString &name, const QString &caption, int x, int y)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(x, y, 75, 25);
    return button;
}

} // namespace

TBoxFrameDialog::TBoxFrameDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BoxFrameDialog"));
    setWindowTitle(QStringLiteral("Modify Box Frame"));
    FontDesc font;
    font.name = QStringLiteral("MS Sans Serif");
    font.size = 8;
    setFont(toQFont(font));
    setFixedSize(376, 229);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 361, 177);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setFrameShadow(QFrame::Plain);
    Shape1->setLineWidth(1);
    Shape1->setGeometry(136, 40, 113, 113);

    chk_BoxFrameTop = newSideBox(this, QStringLiteral("chk_BoxFrameTop"), 144, 16);
    chk_BoxFrameBottom = newSideBox(this, QStringLiteral("chk_BoxFrameBottom"), 144, 160);
    chk_BoxFrameLeft = newSideBox(this, QStringLiteral("chk_BoxFrameLeft"), 16, 88);
    chk_BoxFrameRight = newSideBox(this, QStringLiteral("chk_BoxFrameRight"), 256, 80);

    OKBtn = newButton(this, QStringLiteral("OKBtn"), QStringLiteral("OK"), 111, 196);
    OKBtn->setDefault(true);
    CancelBtn = newButton(this, QStringLiteral("CancelBtn"), QStringLiteral("Cancel"), 191, 196);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    // The handler first, then the button's own result closes the dialog.
    connect(CancelBtn, &QPushButton::clicked, this, &TBoxFrameDialog::CancelBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(OKBtn, CancelBtn);
    setTabOrder(CancelBtn, chk_BoxFrameTop);
    setTabOrder(chk_BoxFrameTop, chk_BoxFrameBottom);
    setTabOrder(chk_BoxFrameBottom, chk_BoxFrameLeft);
    setTabOrder(chk_BoxFrameLeft, chk_BoxFrameRight);
    OKBtn->setFocus();
}

void TBoxFrameDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) // restored from minimised: not a new showing
        return;
    m_closeHandled = false;
    FormShow();
}

void TBoxFrameDialog::FormShow()
{
    if (BoxFrameFirstShow) {
        BoxFrameFirstShow = false;
        FormSetup(this);
    }
    CancelPressed = false;
    chk_BoxFrameTop->setChecked((FrameMask & SideTop) != 0);
    chk_BoxFrameRight->setChecked((FrameMask & SideRight) != 0);
    chk_BoxFrameBottom->setChecked((FrameMask & SideBottom) != 0);
    chk_BoxFrameLeft->setChecked((FrameMask & SideLeft) != 0);
}

void TBoxFrameDialog::CancelBtnClick() { CancelPressed = true; }

void TBoxFrameDialog::FormClose()
{
    if (CancelPressed)
        return;
    int mask = 0;
    if (chk_BoxFrameTop->isChecked())
        mask += SideTop;
    if (chk_BoxFrameRight->isChecked())
        mask += SideRight;
    if (chk_BoxFrameBottom->isChecked())
        mask += SideBottom;
    if (chk_BoxFrameLeft->isChecked())
        mask += SideLeft;
    FrameMask = mask;
}

void TBoxFrameDialog::done(int result)
{
    // OK, Cancel, Esc and the title bar (closeEvent rejects) all arrive here, some of them twice.
    if (!m_closeHandled) {
        m_closeHandled = true;
        FormClose();
    }
    QDialog::done(result);
}

void TBoxFrameDialog::keyPressEvent(QKeyEvent *event)
{
    // Esc presses the Cancel button, so it counts as cancel; a title-bar close does not.
    if (event->matches(QKeySequence::Cancel)) {
        CancelBtn->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kvt
