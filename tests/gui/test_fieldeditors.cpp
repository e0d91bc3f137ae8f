// The font and frame editors of the main window: what they write, into which table, and failed writes.
#include "app/datamodule.h"
#include "app/gui/startup.h"
#include "common/fldfuncs.h"
#include "dbwidgets/dbedit.h"
#include "editor/boxframedlg.h"
#include "editor/detailpages.h"
#include "editor/repmainfrm.h"
#include "support/dialogrecorder.h"
#include "support/teststore.h"
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>

using namespace kvt;

namespace {

enum class CloseBy { Ok, Cancel, Esc, TitleBar };

/// The main window on a small store, its tables narrowed to report Q1, band Head, control QtNo:1
/// (as a selection of that control leaves them), and the box-frame dialog.
class FieldEditorsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QStringList rows = test::sampleRows();
        rows << "update RepCtrl set RctLabelFnt = 'Arial,10,B,255', RctBox = 5 where RctName = 'QtNo:1'"
             << "update RepBand set RbdBox = 5 where RbdName = 'Head'";
        test::createStore(tmp.path(), rows);
        DM1 = new TDM1();
        DM1->Database1.setParam(QStringLiteral("PATH"), tmp.path());
        BoxFrameFirstShow = false; // captioning is not what these tests are about
        BoxFrameDialog = new TBoxFrameDialog();
        w = std::make_unique<TRepMainForm>();

        w->TblRepCat->open();
        w->TblReports->open();
        w->TblRepBand->open();
        w->TblRepCtrl->open();
        for (w->TblRepCat->first(); !w->TblRepCat->eof(); w->TblRepCat->next())
            if (w->TblRepCat->fieldByName("RepCatName")->asString() == "Quotes")
                break;
        narrow(w->TblReports, "RepName = 'Q1'");
        narrow(w->TblRepBand, "RbdName = 'Head'");
        narrow(w->TblRepCtrl, "RctName = 'QtNo:1'");
        ASSERT_EQ(w->TblRepCtrl->recordCount(), 1);
    }
    void TearDown() override
    {
        if (w) {
            w->TblRepBand->cancel();
            w->TblRepCtrl->cancel();
        }
        w.reset();
        delete BoxFrameDialog;
        BoxFrameDialog = nullptr;
        delete DM1;
        DM1 = nullptr;
    }
    static void narrow(Table *t, const char *filter)
    {
        t->setFilter(QString::fromLatin1(filter));
        t->setFiltered(true);
    }
    Field *band(const char *name) const { return w->TblRepBand->fieldByName(QString::fromLatin1(name)); }
    Field *ctrl(const char *name) const { return w->TblRepCtrl->fieldByName(QString::fromLatin1(name)); }

    /// Stores a band frame mask (-1: empty) and leaves the band table browsing.
    void storeBandBox(int mask)
    {
        w->TblRepBand->edit();
        if (mask < 0)
            band("RbdBox")->clear();
        else
            band("RbdBox")->setAsInteger(mask);
        w->TblRepBand->post();
    }
    /// Queues the box-frame dialog's answer: shows it, ticks (-1: as shown), closes it.
    void answerFrame(int ticks, CloseBy how, int *shown = nullptr)
    {
        rec.dialogSteps.push_back([ticks, how, shown](QDialog &d) {
            auto &dlg = static_cast<TBoxFrameDialog &>(d);
            dlg.show();
            QCheckBox *boxes[] = {dlg.chk_BoxFrameTop, dlg.chk_BoxFrameRight, dlg.chk_BoxFrameBottom,
                                  dlg.chk_BoxFrameLeft};
            if (shown) {
                *shown = 0;
                for (int i = 0; i < 4; ++i)
                    *shown |= boxes[i]->isChecked() ? 1 << i : 0;
            }
            for (int i = 0; ticks >= 0 && i < 4; ++i)
                boxes[i]->setChecked(ticks & (1 << i));
            switch (how) {
            case CloseBy::Ok: dlg.OKBtn->click(); break;
            case CloseBy::Cancel: dlg.CancelBtn->click(); break;
            case CloseBy::Esc: {
                QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(dlg.OKBtn, &esc);
                break;
            }
            case CloseBy::TitleBar: dlg.close(); break;
            }
            return dlg.result();
        });
    }
    QStringList errorReports() const { return rec.texts().filter("Failed to update changes."); }

    QTemporaryDir tmp;
    test::DialogRecorder rec;
    std::unique_ptr<TRepMainForm> w;
};

TEST_F(FieldEditorsTest, BandFrameWritesOnlyAChangedMaskIntoTheBandTable)
{
    const struct {
        int stored; // -1: empty
        int ticks;  // -1: left as shown
        CloseBy how;
        int shown;
        bool written;
        int after;
    } cases[] = {
        {5, -1, CloseBy::Ok, 5, false, 5},
        {5, 15, CloseBy::Ok, 5, true, 15},
        {5, 0, CloseBy::Ok, 5, true, 0},
        {17, -1, CloseBy::Ok, 1, true, 1},
        {17, -1, CloseBy::Cancel, 1, false, 17},
        {5, 10, CloseBy::Cancel, 5, false, 5},
        {5, 10, CloseBy::Esc, 5, false, 5},
        {5, 10, CloseBy::TitleBar, 5, true, 10},
        {-1, -1, CloseBy::Ok, 0, false, 0},
        {-1, 8, CloseBy::Ok, 0, true, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << "stored " << c.stored << ", ticks " << c.ticks << ", close "
                                          << int(c.how));
        storeBandBox(c.stored);
        int shown = -1;
        answerFrame(c.ticks, c.how, &shown);
        w->EdtFrameBoxClick(w->bandPage->EdtRbdBox);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(w->TblRepBand->state(), c.written ? DataSetState::Edit : DataSetState::Browse);
        EXPECT_EQ(band("RbdBox")->asInteger(), c.after);
        EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Browse) << "the control table is not touched";
        w->TblRepBand->cancel();
    }
    EXPECT_TRUE(errorReports().isEmpty());
}

TEST_F(FieldEditorsTest, ControlFrameGoesIntoTheControlRowAndStaysInEdit)
{
    answerFrame(6, CloseBy::Ok);
    w->EdtFrameBoxClick(w->ctrlPage->EdtRctBox);
    EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Edit);
    EXPECT_EQ(ctrl("RctBox")->asInteger(), 6);
    EXPECT_EQ(w->TblRepBand->state(), DataSetState::Browse);
    EXPECT_EQ(band("RbdBox")->asInteger(), 5);

    // A second change keeps the row in the same edit, with both changes.
    ctrl("RctLabel")->setAsString(QStringLiteral("typed"));
    answerFrame(9, CloseBy::Ok);
    w->EdtFrameBoxClick(w->ctrlPage->EdtRctBox);
    EXPECT_EQ(ctrl("RctBox")->asInteger(), 9);
    EXPECT_EQ(ctrl("RctLabel")->asString(), "typed");
}

TEST_F(FieldEditorsTest, ClickingTheEditsOpensTheirDialogs)
{
    answerFrame(1, CloseBy::Ok);
    DbEdit *edit = w->bandPage->EdtRbdBox;
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, edit->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, edit->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(edit, &press);
    QApplication::sendEvent(edit, &release);
    EXPECT_EQ(rec.dialogTitles, QStringList{"Modify Box Frame"});
    EXPECT_EQ(band("RbdBox")->asInteger(), 1);

    DbEdit *font = w->ctrlPage->EdtRctFieldFnt;
    QApplication::sendEvent(font, &press);
    QApplication::sendEvent(font, &release);
    EXPECT_EQ(rec.fontsOffered.size(), 1);
}

TEST_F(FieldEditorsTest, FrameWriteFailureIsReportedAndCancelsThatTable)
{
    w->TblRepBand->setFieldChangeHandler(QStringLiteral("RbdBox"),
                                         [](Field &) { throw EngineError(QStringLiteral("Box is locked")); });
    answerFrame(15, CloseBy::Ok);
    w->EdtFrameBoxClick(w->bandPage->EdtRbdBox);
    EXPECT_EQ(errorReports(), QStringList{"RepMainFrm(325): Box is locked: Failed to update changes."});
    EXPECT_EQ(w->TblRepBand->state(), DataSetState::Browse);
    EXPECT_EQ(band("RbdBox")->asInteger(), 5);

    // Only the framework's errors are handled here; others go on to the standard display.
    w->TblRepBand->setFieldChangeHandler(QStringLiteral("RbdBox"),
                                         [](Field &) { throw std::runtime_error("not a framework error"); });
    answerFrame(15, CloseBy::Ok);
    EXPECT_THROW(w->EdtFrameBoxClick(w->bandPage->EdtRbdBox), std::runtime_error);
}

TEST_F(FieldEditorsTest, FontEditor)
{
    const QString stored = QStringLiteral("Arial,10,B,255");
    const struct {
        const char *what;
        DbEdit *ControlPage::*edit;
        const char *field;
        std::function<bool(FontDesc &)> answer;
        const char *offered; // the font the dialog opened with, as a spec string
        bool written;
        const char *after;
    } cases[] = {
        {"cancel", &ControlPage::EdtRctLabelFnt, "RctLabelFnt", [](FontDesc &f) { f.size = 20; return false; },
         "Arial,10,B,255", false, "Arial,10,B,255"},
        {"OK unchanged", &ControlPage::EdtRctLabelFnt, "RctLabelFnt", [](FontDesc &) { return true; },
         "Arial,10,B,255", true, "Arial,10,B,255"},
        {"OK changed", &ControlPage::EdtRctLabelFnt, "RctLabelFnt",
         [](FontDesc &f) {
             f.name = QStringLiteral("Courier New");
             f.size = 12;
             f.bold = false;
             f.italic = f.underline = f.strikeOut = true;
             f.color = clWindowText;
             return true;
         },
         "Arial,10,B,255", true, "Courier New,12,IUS,-2147483640"},
        {"empty field", &ControlPage::EdtRctFieldFnt, "RctFieldFnt", [](FontDesc &) { return true; },
         "Arial,10,,0", true, "Arial,10,,0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        rec.fontsOffered.clear();
        rec.fontSteps.push_back(c.answer);
        w->EdtRctFontClick(w->ctrlPage->*c.edit);
        ASSERT_EQ(rec.fontsOffered.size(), 1);
        EXPECT_EQ(fldFontToStr(rec.fontsOffered[0]), c.offered);
        EXPECT_EQ(w->TblRepCtrl->state(), c.written ? DataSetState::Edit : DataSetState::Browse);
        EXPECT_EQ(ctrl(c.field)->asString(), c.after);
        EXPECT_EQ(ctrl("RctLabelFnt")->asString(), std::string(c.field) == "RctLabelFnt" ? c.after : stored)
            << "the other font field keeps its value";
        w->TblRepCtrl->cancel();
    }
    EXPECT_TRUE(errorReports().isEmpty());
}

TEST_F(FieldEditorsTest, FontWriteFailureIsReportedAndCancelsTheControlRow)
{
    w->TblRepCtrl->edit();
    ctrl("RctLabel")->setAsString(QStringLiteral("unsaved"));
    // The field holds 32 characters; this font's spec string is longer.
    rec.fontSteps.push_back([](FontDesc &f) {
        f.name = QStringLiteral("A face name of thirty characters");
        return true;
    });
    w->EdtRctFontClick(w->ctrlPage->EdtRctLabelFnt);
    const QStringList reports = errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith("RepMainFrm(305): ")) << qPrintable(reports[0]);
    EXPECT_TRUE(reports[0].endsWith(": Failed to update changes.")) << qPrintable(reports[0]);
    EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Browse);
    EXPECT_EQ(ctrl("RctLabelFnt")->asString(), "Arial,10,B,255");
    EXPECT_EQ(ctrl("RctLabel")->asString(), "Number") << "the cancel drops the row's other changes too";
}

} // namespace
