// The box-frame dialog: layout, ticks from the mask, the four ways of closing, one-time captioning.
#include "app/datamodule.h"
#include "editor/boxframedlg.h"
#include "labels/textcache.h"
#include "support/dialogrecorder.h"
#include "support/teststore.h"
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>

using namespace kvt;

namespace {

enum class CloseBy { Ok, Cancel, Esc, TitleBar };

const char *closeName(CloseBy how)
{
    switch (how) {
    case CloseBy::Ok: return "OK";
    case CloseBy::Cancel: return "Cancel";
    case CloseBy::Esc: return "Esc";
    case CloseBy::TitleBar: return "title bar";
    }
    return "";
}

/// The mask the four boxes show.
int tickedMask(const TBoxFrameDialog &d)
{
    return (d.chk_BoxFrameTop->isChecked() ? 1 : 0) | (d.chk_BoxFrameRight->isChecked() ? 2 : 0) |
           (d.chk_BoxFrameBottom->isChecked() ? 4 : 0) | (d.chk_BoxFrameLeft->isChecked() ? 8 : 0);
}

/// The next widget that Tab reaches (frames take no focus).
const QWidget *nextTabStop(const QWidget *w)
{
    do
        w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus));
    return w;
}

void tick(TBoxFrameDialog &d, int mask)
{
    d.chk_BoxFrameTop->setChecked(mask & 1);
    d.chk_BoxFrameRight->setChecked(mask & 2);
    d.chk_BoxFrameBottom->setChecked(mask & 4);
    d.chk_BoxFrameLeft->setChecked(mask & 8);
}

void closeDialog(TBoxFrameDialog &d, CloseBy how)
{
    switch (how) {
    case CloseBy::Ok: d.OKBtn->click(); break;
    case CloseBy::Cancel: d.CancelBtn->click(); break;
    case CloseBy::Esc: {
        // Sent to a child, as a real key press would be: it has to travel up to the dialog.
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(d.chk_BoxFrameLeft, &esc);
        break;
    }
    case CloseBy::TitleBar: d.close(); break;
    }
}

class BoxFrameTest : public ::testing::Test {
protected:
    void SetUp() override { BoxFrameFirstShow = false; } // captioning has its own test

    /// Shows the dialog through the dialog service, ticks newTicks (-1: as shown), closes it.
    /// Returns the dialog's result; shownTicks receives what the boxes showed on opening.
    int run(int mask, int newTicks, CloseBy how, int *shownTicks = nullptr)
    {
        dlg.FrameMask = mask;
        rec.dialogSteps.push_back([&, newTicks, how, shownTicks](QDialog &d) {
            d.show();
            if (shownTicks)
                *shownTicks = tickedMask(dlg);
            if (newTicks >= 0)
                tick(dlg, newTicks);
            closeDialog(dlg, how);
            EXPECT_FALSE(d.isVisible());
            return d.result();
        });
        return dialogs().execDialog(dlg);
    }

    test::DialogRecorder rec;
    TBoxFrameDialog dlg;
};

TEST_F(BoxFrameTest, Layout)
{
    EXPECT_EQ(dlg.objectName(), "BoxFrameDialog");
    EXPECT_EQ(dlg.windowTitle(), "Modify Box Frame");
    EXPECT_EQ(dlg.minimumSize(), QSize(376, 229));
    EXPECT_EQ(dlg.maximumSize(), QSize(376, 229));

    const struct {
        QWidget *w;
        const char *name;
        QRect rect;
    } parts[] = {
        {dlg.Bevel1, "Bevel1", {8, 8, 361, 177}},
        {dlg.Shape1, "Shape1", {136, 40, 113, 113}},
        {dlg.chk_BoxFrameTop, "chk_BoxFrameTop", {144, 16, 97, 17}},
        {dlg.chk_BoxFrameBottom, "chk_BoxFrameBottom", {144, 160, 97, 17}},
        {dlg.chk_BoxFrameLeft, "chk_BoxFrameLeft", {16, 88, 97, 17}},
        {dlg.chk_BoxFrameRight, "chk_BoxFrameRight", {256, 80, 97, 17}},
        {dlg.OKBtn, "OKBtn", {111, 196, 75, 25}},
        {dlg.CancelBtn, "CancelBtn", {191, 196, 75, 25}},
    };
    for (const auto &p : parts) {
        EXPECT_EQ(p.w->objectName(), p.name);
        EXPECT_EQ(p.w->geometry(), p.rect) << p.name;
        if (auto *box = qobject_cast<QCheckBox *>(p.w)) {
            EXPECT_EQ(box->text(), p.name) << "design caption is the name";
        }
    }
    EXPECT_EQ(dlg.OKBtn->text(), "OK");
    EXPECT_EQ(dlg.CancelBtn->text(), "Cancel");
    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_FALSE(dlg.CancelBtn->isDefault());

    const QWidget *order[] = {dlg.OKBtn, dlg.CancelBtn, dlg.chk_BoxFrameTop, dlg.chk_BoxFrameBottom,
                              dlg.chk_BoxFrameLeft, dlg.chk_BoxFrameRight, dlg.OKBtn};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(nextTabStop(order[i])->objectName(), order[i + 1]->objectName()) << "after " << i;
}

TEST_F(BoxFrameTest, MaskAfterEachWayOfClosing)
{
    const struct {
        int mask;
        int ticks; // -1: left as shown
        CloseBy how;
        int shown;
        int result;
        bool cancelled;
    } cases[] = {
        {5, -1, CloseBy::Ok, 5, 5, false},
        {5, 15, CloseBy::Ok, 5, 15, false},
        {5, 0, CloseBy::Ok, 5, 0, false},
        {17, -1, CloseBy::Ok, 1, 1, false}, // higher bits ignored
        {17, -1, CloseBy::Cancel, 1, 17, true},
        {0, -1, CloseBy::Ok, 0, 0, false},
        {10, -1, CloseBy::Ok, 10, 10, false},
        {5, 10, CloseBy::Cancel, 5, 5, true},
        {5, 10, CloseBy::Esc, 5, 5, true},
        {0, 15, CloseBy::Esc, 0, 0, true},
        {5, 10, CloseBy::TitleBar, 5, 10, false},
        {15, 0, CloseBy::TitleBar, 15, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << "mask " << c.mask << ", ticks " << c.ticks << ", " << closeName(c.how));
        int shown = -1;
        const int result = run(c.mask, c.ticks, c.how, &shown);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(dlg.FrameMask, c.result);
        EXPECT_EQ(dlg.CancelPressed, c.cancelled);
        EXPECT_EQ(result, c.how == CloseBy::Ok ? QDialog::Accepted : QDialog::Rejected);
    }
    EXPECT_EQ(rec.dialogTitles.size(), int(std::size(cases)));
}

TEST_F(BoxFrameTest, CloseHandlerRunsOncePerShowing)
{
    run(5, 10, CloseBy::TitleBar);
    ASSERT_EQ(dlg.FrameMask, 10);
    // Further closing calls after the dialog is gone do not read the boxes again.
    tick(dlg, 3);
    dlg.done(QDialog::Accepted);
    dlg.close();
    EXPECT_EQ(dlg.FrameMask, 10);

    // A cancelled showing does not carry over into the next one.
    run(10, 6, CloseBy::Cancel);
    EXPECT_EQ(dlg.FrameMask, 10);
    run(10, 6, CloseBy::Ok);
    EXPECT_EQ(dlg.FrameMask, 6);
    EXPECT_FALSE(dlg.CancelPressed);
}

/// A data module on a fresh store as DM1, and text caches of its own in place of the process-wide ones
/// (which are built once and kept), restored afterwards.
struct OwnCaches {
    explicit OwnCaches(const QStringList &rows)
    {
        test::createStore(tmp.path(), rows);
        dm->Database1.setParam(QStringLiteral("PATH"), tmp.path());
        DM1 = dm.get();
        txtFldLst = nullptr;
        txtBtnLst = nullptr;
        txtMsgLst = nullptr;
    }
    ~OwnCaches()
    {
        delete txtFldLst;
        delete txtBtnLst;
        delete txtMsgLst;
        txtFldLst = fld;
        txtBtnLst = btn;
        txtMsgLst = msg;
        DM1 = nullptr;
    }
    QTemporaryDir tmp;
    std::unique_ptr<TDM1> dm = std::make_unique<TDM1>();
    TxtFldLstClass *const fld = txtFldLst;
    TxtBtnLstClass *const btn = txtBtnLst;
    TxtMsgLstClass *const msg = txtMsgLst;
};

TEST_F(BoxFrameTest, FirstShowCaptionsOnce)
{
    OwnCaches caches(
        {"insert into TextField (TxfName, TxfLabel, TxfIncYes) values ('_BoxFrameTop', 'Top side', 1)"});
    BoxFrameFirstShow = true;
    run(0, -1, CloseBy::Ok);
    EXPECT_FALSE(BoxFrameFirstShow);
    EXPECT_EQ(dlg.chk_BoxFrameTop->text(), "Top side");
    dlg.chk_BoxFrameTop->setText(QStringLiteral("again?"));
    run(0, -1, CloseBy::Ok);
    EXPECT_EQ(dlg.chk_BoxFrameTop->text(), "again?") << "captioned on the first show only";
}

} // namespace
