#include "common/gui/okdialog.h"
#include "common/gui/dialogservice.h"
#include "common/gui/fontconv.h"
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kvt {

TOKDlg::TOKDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OKDlg"));
    setWindowTitle(QStringLiteral("Dialog"));
    // Dialog border without system menu or minimise / maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(453, 146);
    FontDesc font;
    font.name = QStringLiteral("MS Sans Serif");
    font.size = 8;
    font.color = clWindowText;
    applyFontDesc(this, font);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 441, 97);

    Label1 = new QLabel(QStringLiteral("Label1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 24, 409, 17);

    Edit1 = new QLineEdit(QStringLiteral("Edit1"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(16, 64, 425, 21);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(151, 116, 75, 25);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(239, 116, 75, 25);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects as well

    setTabOrder(Edit1, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
}

bool TOKDlg::PromptText(const QString &prompt, const QString &caption, QString &text)
{
    setWindowTitle(caption);
    Label1->setText(prompt);
    Edit1->setText(text);
    if (dialogs().execDialog(*this) != QDialog::Accepted)
        return false;
    text = Edit1->text();
    return true;
}

void TOKDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TOKDlg::FormShow() { Edit1->setFocus(Qt::OtherFocusReason); }

} // namespace kvt
