// The prompt dialog: layout and PromptText with Enter, Esc and an empty initial text.
#include "common/gui/okdialog.h"
#include "support/dialogrecorder.h"
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

TEST(OKDialogTest, Layout)
{
    TOKDlg dlg;
    EXPECT_EQ(dlg.objectName(), "OKDlg");
    EXPECT_EQ(dlg.windowTitle(), "Dialog");
    EXPECT_EQ(dlg.minimumSize(), QSize(453, 146));
    EXPECT_EQ(dlg.maximumSize(), QSize(453, 146));
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dlg.font().family(), "MS Sans Serif");
    EXPECT_EQ(dlg.font().pointSize(), 8);

    const struct {
        QWidget *w;
        const char *name;
        QRect rect;
    } parts[] = {
        {dlg.Bevel1, "Bevel1", {8, 8, 441, 97}},      {dlg.Label1, "Label1", {16, 24, 409, 17}},
        {dlg.Edit1, "Edit1", {16, 64, 425, 21}},      {dlg.OKBtn, "OKBtn", {151, 116, 75, 25}},
        {dlg.CancelBtn, "CancelBtn", {239, 116, 75, 25}},
    };
    for (const auto &p : parts) {
        EXPECT_EQ(p.w->objectName(), p.name);
        EXPECT_EQ(p.w->geometry(), p.rect) << p.name;
    }
    EXPECT_EQ(dlg.Label1->text(), "Label1");
    EXPECT_EQ(dlg.Edit1->text(), "Edit1");
    EXPECT_EQ(dlg.OKBtn->text(), "OK");
    EXPECT_EQ(dlg.CancelBtn->text(), "Cancel");
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_EQ(dlg.Edit1->nextInFocusChain(), dlg.OKBtn);
    EXPECT_EQ(dlg.OKBtn->nextInFocusChain(), dlg.CancelBtn);
}

TEST(OKDialogTest, PromptText)
{
    const struct {
        const char *initial;
        const char *typed; // null: left as shown
        Qt::Key key;
        bool confirmed;
        const char *after;
    } cases[] = {
        {"abc", nullptr, Qt::Key_Return, true, "abc"}, // Enter right away keeps the text
        {"abc", "xyz", Qt::Key_Enter, true, "xyz"},
        {"abc", "xyz", Qt::Key_Escape, false, "abc"},
        {"", nullptr, Qt::Key_Escape, false, ""},
        {"", nullptr, Qt::Key_Return, true, ""},
    };
    test::DialogRecorder rec;
    TOKDlg dlg;
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.initial << " / " << (c.typed ? c.typed : "-") << " / " << c.key);
        QString shownText;
        QWidget *focused = nullptr;
        rec.dialogSteps.push_back([&](QDialog &d) {
            d.show();
            shownText = dlg.Edit1->text();
            focused = d.focusWidget();
            if (c.typed)
                dlg.Edit1->setText(QString::fromUtf8(c.typed));
            // Into the edit, as the user types: the key has to reach the dialog from there.
            QKeyEvent key(QEvent::KeyPress, c.key, c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            QApplication::sendEvent(dlg.Edit1, &key);
            EXPECT_FALSE(d.isVisible());
            return d.result();
        });
        QString text = QString::fromUtf8(c.initial);
        EXPECT_EQ(dlg.PromptText(QStringLiteral("Name of the copy:"), QStringLiteral("Copy report"), text),
                  c.confirmed);
        EXPECT_EQ(text, QString::fromUtf8(c.after));
        EXPECT_EQ(shownText, QString::fromUtf8(c.initial));
        EXPECT_EQ(focused, dlg.Edit1) << "the edit has the focus when the dialog opens";
        EXPECT_EQ(dlg.windowTitle(), "Copy report");
        EXPECT_EQ(dlg.Label1->text(), "Name of the copy:");
    }
    EXPECT_EQ(rec.dialogTitles.size(), int(std::size(cases)));
}

} // namespace
