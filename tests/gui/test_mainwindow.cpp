#include "app/config.h"
#include "app/datamodule.h"
#include "dbwidgets/dbcheckbox.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbnavigator.h"
#include "dbwidgets/dbradiogroup.h"
#include "editor/detailpages.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "editor/stateimages.h"
#include "labels/gui/formsetup.h"
#include "labels/gui/tabsheet.h"
#include "labels/textcache.h"
#include "support/demowindow.h"
#include "support/dialogrecorder.h"
#include "support/teststore.h"
#include "tools/datadir.h"
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QWindow>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include "support/treenode.h"
#include <gtest/gtest.h>
#include <memory>

using namespace kvt;
using kvt::test::TreeNode;

namespace {

class MainWindowTest : public test::DemoWindowTest {
protected:
    QStringList topTexts() const
    {
        QStringList t;
        for (int i = 0; i < tree()->topLevelCount(); ++i)
            t << top(i)->text(0);
        return t;
    }
    QStringList visibleTabs() const
    {
        QStringList t;
        for (int i = 0; i < w->PageControl1->count(); ++i)
            if (w->PageControl1->isTabVisible(i))
                t << w->PageControl1->widget(i)->objectName();
        return t;
    }
};
using MainWindowOnStores = test::OnBothStores<MainWindowTest>;
KVT_ON_BOTH_STORES(MainWindowOnStores);

TEST_P(MainWindowOnStores, FirstShowConfiguresCaptionsBuildsTheTreeAndSelectsTheFirstReport)
{
    start();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    QFile ini(programDir + "KVT3.INI");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(ini.readAll());
    EXPECT_LT(text.indexOf("DataDir="), text.indexOf("NetFileDir="));
    EXPECT_LT(text.indexOf("NetFileDir="), text.indexOf("PrivateDir="));
    EXPECT_TRUE(DM1->Session1.isOpen());
    EXPECT_TRUE(DM1->Database1.isOpen());

    EXPECT_EQ(w->windowTitle(), "Report Editor for Tarrow V3 ");
    EXPECT_EQ(w->cmbRepCat->keyValue(), "Orders");
    EXPECT_EQ(topTexts(), QStringList({"OrderConf", "OrderDelivery", "OrderInvoice", "OrderPick"}));
    ASSERT_EQ(current(), top(0));
    EXPECT_TRUE(top(0)->isExpanded());
    EXPECT_EQ(current()->stateIndex(), 1);
    EXPECT_EQ(visibleTabs(), QStringList({"tsh_Reports"}));
    EXPECT_EQ(w->reportPage->EdtRepTitle->text(), "Order Confirmation");
    // Captioned from the text tables.
    EXPECT_EQ(w->PageControl1->tabText(0), "Report Layout");
    EXPECT_EQ(w->ctrlPage->LblRctLabelWidth->text(), "Label Width");
    EXPECT_EQ(w->RctTypeCaption, "Control Type");
    EXPECT_EQ(w->PmRepEdtExpand->text(), "Expand All");
    EXPECT_FALSE(w->TreeBuilding);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_P(MainWindowOnStores, TreeHasThreeLevelsInPrintOrderWithLabels)
{
    start();
    chooseCategory("Quotes");
    TreeNode band = node("QuoteStd", "Detail");
    ASSERT_NE(band, nullptr);
    QStringList texts;
    for (int i = 0; i < band->childCount(); ++i)
        texts << band->child(i)->text(0);
    EXPECT_EQ(texts, QStringList({"01. Item Number", "02. Item Description", "03. Quantity", "10. Unit Price",
                                  "15. Discount", "120. Line Amount"}));
    TreeNode head = node("QuoteStd", "PageHeader");
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->child(0)->text(0), "01. DocTitle") << "no label: the name itself";
    EXPECT_EQ(node("QuoteStd", "PageHeader", "CustName:2")->text(0), "05. Customer Name") << "cut at the colon";
    EXPECT_EQ(node("QuoteStd", "Detail", "Discount")->stateIndex(), 6) << "excluded";
    EXPECT_EQ(node("QuoteStd", "Detail", "ItemNo")->stateIndex(), 8) << "included";
    EXPECT_EQ(node("QuoteStd", "Detail")->stateIndex(), 4);
    // Two bands of one group list the same controls.
    EXPECT_EQ(node("QuoteStd", "DetailLabels")->childCount(), band->childCount());

    chooseCategory("Templates");
    EXPECT_EQ(tree()->topLevelCount(), 0);
    w->PmRepEdtExpandClick();
    w->PmRepEdtCollapseClick();

    chooseCategory("Quotes");
    select(node("QuoteStd", "Detail", "Qty"));
    chooseCategory("Quotes"); // the same category again rebuilds and selects the first report
    EXPECT_EQ(current(), top(0));
    EXPECT_EQ(visibleTabs(), QStringList({"tsh_Reports"}));

    w->PmRepEdtExpandClick();
    EXPECT_TRUE(node("QuoteStd", "Detail")->isExpanded());
    w->PmRepEdtCollapseClick();
    EXPECT_EQ(current(), top(0));
    EXPECT_FALSE(top(0)->isExpanded());
    EXPECT_FALSE(node("QuoteStd", "Detail")->isExpanded());
}

TEST_P(MainWindowOnStores, AFailedTreeBuildGivesTheCursorBackAndAllowsTheNextBuild)
{
    start();
    // The build reads reports and bands; a band's controls are read later (see below).
    execOnData({"alter table RepBand rename to RepBandGone"});
    EXPECT_THROW(w->cmbRepCatClick(), FrameworkError);
    EXPECT_FALSE(w->TreeBuilding);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    execOnData({"alter table RepBandGone rename to RepBand"});
    w->cmbRepCatClick();
    EXPECT_EQ(tree()->topLevelCount(), 4);
}

TEST_P(MainWindowOnStores, SelectionShowsTabsCaptionsAndFollowsWithTheNavigator)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd", "PageHeader"));
    EXPECT_EQ(visibleTabs(), QStringList({"tsh_Reports", "tsh_RepBand"}));
    EXPECT_EQ(w->PageControl1->currentWidget(), w->tsh_RepBand);
    EXPECT_EQ(w->bandPage->Lbl_B->text(), "Page Header As Value");
    EXPECT_EQ(w->DBNavigator1->dataSource(), w->DsRepBand);
    EXPECT_TRUE(node("QuoteStd", "PageHeader")->isExpanded());

    select(node("QuoteStd", "Company", "RepCompName"));
    EXPECT_EQ(visibleTabs(), QStringList({"tsh_Reports", "tsh_RepBand", "tsh_RepCtrl"}));
    EXPECT_EQ(w->PageControl1->currentWidget(), w->tsh_RepCtrl);
    EXPECT_EQ(w->bandPage->Lbl_B->text(), "Page Header As Label");
    EXPECT_EQ(w->ctrlPage->RdgRctType->title(), "Control Type As Label") << "type 1 takes the content suffix";
    EXPECT_EQ(w->ctrlPage->Ed1->text(), "01. Company Name");
    EXPECT_EQ(w->DBNavigator1->dataSource(), w->DsRepCtrl);
    EXPECT_EQ(node("QuoteStd", "Company")->stateIndex(), 4) << "the band left its selected look";

    w->PageControl1->setCurrentWidget(w->tsh_Reports); // a tab click
    EXPECT_EQ(w->DBNavigator1->dataSource(), w->DsReports);
    EXPECT_EQ(w->reportPage->EdtRepTitle->text(), "Standard Quotation");

    select(node("QuoteStd", "PageHeader", "DocNo"));
    EXPECT_EQ(w->ctrlPage->RdgRctType->title(), "Control Type") << "type 2 never gets the suffix";
}

TEST_F(MainWindowTest, SelectingRepaintsTheNodesLeftAndEntered)
{
    start();
    chooseCategory("Quotes");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    // Band to control, control to control, control back to band: each time the old node loses its
    // highlight and selected image and the new one gets them, in what the window has on screen.
    const QList<TreeNode> steps = {node("QuoteStd", "Company"), node("QuoteStd", "Company", "RepCompName"),
                                        node("QuoteStd", "Company", "RepCompAddr:1"), node("QuoteStd", "Company")};
    for (const TreeNode &n : steps) {
        select(n);
        QCoreApplication::processEvents();
        QWidget *vp = tree()->viewport();
        const QRect area(vp->mapTo(w.get(), QPoint(0, 0)), vp->size());
        const QImage onScreen =
            w->windowHandle()->screen()->grabWindow(w->winId()).toImage().copy(area).convertToFormat(QImage::Format_RGB32);
        const QImage drawnAnew = vp->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(onScreen == drawnAnew) << n->text(0).toStdString();
    }
}

TEST_P(MainWindowOnStores, ControlPageAdaptsToTheControlType)
{
    start();
    chooseCategory("Quotes");
    struct Case {
        int type;
        bool width, labelWidth, labelFnt, fieldFnt, locked;
        const char *hint;
    } cases[] = {
        {4, true, false, false, false, true, "Graphics (BMP file)"},
        {9, true, false, false, false, true, "Graphics (BMP file)"}, // unknown: keeps the previous adaptation
        {0, false, false, false, false, true, "Error"},
        {1, true, false, true, true, false, "Normal Field (label on top)"},
        {2, true, true, true, true, false, "Left Aligned Label Field (label on left)"},
        {3, true, true, true, true, false, "Right Aligned Label Field (label on left)"},
        {5, true, false, true, false, true, "Label only"},
        {6, true, false, true, false, true, "Text File"},
    };
    for (const auto &c : cases) {
        execOnData({QString("update RepCtrl set RctType=%1 where RepName='QuoteStd' and RctName='ItemNo'").arg(c.type)});
        select(top(0));
        w->TblRepCtrl->setFiltered(false);
        w->TblRepCtrl->refresh();
        select(node("QuoteStd", "Detail", "ItemNo"));
        SCOPED_TRACE(c.type);
        const ControlPage *p = w->ctrlPage;
        EXPECT_EQ(p->EdtRctWidth->isEnabled(), c.width);
        EXPECT_EQ(p->EdtRctLabelWidth->isEnabled(), c.labelWidth);
        EXPECT_EQ(p->EdtRctLabelFnt->isEnabled(), c.labelFnt);
        EXPECT_EQ(p->EdtRctFieldFnt->isEnabled(), c.fieldFnt);
        EXPECT_EQ(p->RdgRctType->readOnly(), c.locked);
        EXPECT_EQ(p->RdgRctType->toolTip(), c.hint);
    }
}

TEST_P(MainWindowOnStores, CompanyRowsAreForcedIncludedAndTheImageFollowsTheBox)
{
    start();
    chooseCategory("Quotes");
    TreeNode addr = node("QuoteStd", "Company", "RepCompAddr:2");
    select(addr);
    EXPECT_EQ(addr->stateIndex(), 5);
    w->TblRepCtrl->edit();
    w->TblRepCtrl->fieldByName("RctLabel")->setAsString("Street");
    w->TblRepCtrl->post();
    EXPECT_TRUE(w->TblRepCtrl->fieldByName("RctInclude")->asBoolean());
    EXPECT_EQ(addr->stateIndex(), 7);

    // Ticking changes the image at once; cancelling leaves the row excluded.
    TreeNode disc = node("QuoteStd", "Detail", "Discount");
    select(disc);
    EXPECT_EQ(disc->stateIndex(), 5);
    w->ctrlPage->DBCheckBox1->click();
    EXPECT_EQ(disc->stateIndex(), 7);
    EXPECT_EQ(disc->icon(0).cacheKey(), stateImage(7).cacheKey()) << "the image follows the index";
    w->TblRepCtrl->cancel();
    EXPECT_FALSE(w->TblRepCtrl->fieldByName("RctInclude")->asBoolean());
}

TEST_P(MainWindowOnStores, LabelRoomWarningOncePerSave)
{
    start();
    chooseCategory("Quotes");
    struct Case {
        const char *ctrl;
        const char *labelWidth;
        bool warns;
    } cases[] = {{"DocDate", "0", true}, {"DocNo", "0.5", false}, {"CustName:1", "0", false}, {"DocDate", "", true}};
    for (const auto &c : cases) {
        select(node("QuoteStd", "PageHeader", c.ctrl));
        rec.clear();
        w->TblRepCtrl->edit();
        w->TblRepCtrl->fieldByName("RctLabelWidth")->setAsString(c.labelWidth);
        w->TblRepCtrl->post();
        SCOPED_TRACE(c.ctrl);
        EXPECT_EQ(rec.beeps, c.warns ? 1 : 0);
        if (c.warns) {
            ASSERT_EQ(rec.boxes.size(), 1);
            EXPECT_EQ(rec.boxes[0].text, "Warning: Field 'Label Width' is <= 0.0, no space for label.");
        } else {
            EXPECT_TRUE(rec.boxes.isEmpty());
        }
    }
}

TEST_P(MainWindowOnStores, MovingInTheTreePostsAnEditAndBadNumbersAreRefused)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd", "Detail", "Qty"));
    DbEdit *width = w->ctrlPage->EdtRctWidth;
    width->setFocus();
    QTest::keyClicks(width, "x");
    width->selectAll();
    QTest::keyClicks(width, "abc");
    QTest::keyClick(width, Qt::Key_Return);
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_EQ(rec.boxes[0].caption, "KVT Report Editor");
    EXPECT_TRUE(rec.boxes[0].text.contains("'Width'")) << qPrintable(rec.boxes[0].text);
    EXPECT_FALSE(rec.boxes[0].text.contains("RctWidth")) << "named as the page names it";
    EXPECT_EQ(width->text(), "abc");
    EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Edit);

    width->selectAll();
    QTest::keyClicks(width, "33.5");
    select(node("QuoteStd", "Detail", "Price")); // the move settles the edit
    select(node("QuoteStd", "Detail", "Qty"));
    EXPECT_EQ(w->ctrlPage->EdtRctWidth->text(), "33.5");
}

TEST_P(MainWindowOnStores, ClosingWithAPendingChangeAsks)
{
    start();
    chooseCategory("Quotes");
    struct Case {
        MsgResult answer;
        bool closes;
        const char *stored;
    } cases[] = {{MsgResult::Cancel, false, "Quotation Labels"},
                 {MsgResult::Discard, true, "Quotation Labels"},
                 {MsgResult::Save, true, "Changed title"}};
    for (const auto &c : cases) {
        select(top(0));
        w->TblReports->edit();
        w->TblReports->fieldByName("RepTitle")->setAsString("Changed title");
        rec.clear();
        rec.answers.push_back(c.answer);
        EXPECT_EQ(w->confirmClose(), c.closes);
        EXPECT_EQ(rec.boxes.size(), 1);
        if (!c.closes) {
            EXPECT_EQ(w->TblReports->state(), DataSetState::Edit);
        }
        w->TblReports->cancel();
        w->TblReports->refresh();
        EXPECT_EQ(w->TblReports->fieldByName("RepTitle")->asString(), c.stored);
    }
    // A row in edit without changes is cancelled silently.
    rec.clear();
    w->TblRepBand->edit();
    EXPECT_TRUE(w->confirmClose());
    EXPECT_TRUE(rec.boxes.isEmpty());
    EXPECT_EQ(w->TblRepBand->state(), DataSetState::Browse);
}

TEST_F(MainWindowTest, PagesShowEveryComponentWholeAndApart)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd", "Detail", "Qty"));
    w->resize(640, 450);
    const QString shots = qEnvironmentVariable("KVT_SHOT_DIR");
    const struct {
        TabSheet *sheet;
        QWidget *page;
    } pages[] = {{w->tsh_Reports, w->reportPage}, {w->tsh_RepBand, w->bandPage}, {w->tsh_RepCtrl, w->ctrlPage}};
    for (const auto &pg : pages) {
        w->PageControl1->setCurrentWidget(pg.sheet);
        QApplication::processEvents();
        SCOPED_TRACE(pg.sheet->objectName().toStdString());
        QList<QWidget *> parts;
        for (QWidget *c : pg.page->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (!c->isHidden())
                parts << c;
        for (QWidget *c : parts) {
            SCOPED_TRACE(c->objectName().isEmpty() ? c->metaObject()->className() : qPrintable(c->objectName()));
            EXPECT_TRUE(pg.page->rect().contains(c->geometry())) << "outside its page";
            if (auto *l = qobject_cast<QLabel *>(c)) {
                EXPECT_GE(l->width(), l->sizeHint().width()) << "clipped: " << qPrintable(l->text());
            }
            if (auto *g = qobject_cast<DbRadioGroup *>(c)) {
                EXPECT_GE(g->height(), g->minimumSizeHint().height()) << "radio group clipped";
                for (int b = 0; b < g->count(); ++b) {
                    QRadioButton *item = g->button(b);
                    EXPECT_GE(item->width(), item->sizeHint().width()) << "clipped: " << qPrintable(item->text());
                    EXPECT_TRUE(g->contentsRect().contains(item->geometry()))
                        << "outside its group: " << qPrintable(item->text());
                    // Its text keeps room from every item after it in the same row.
                    const int textEnd = item->x() + item->sizeHint().width();
                    for (int o = 0; o < g->count(); ++o) {
                        QRadioButton *other = g->button(o);
                        if (other == item)
                            continue;
                        EXPECT_FALSE(item->geometry().intersects(other->geometry()))
                            << qPrintable(item->text()) << " overlaps " << qPrintable(other->text());
                        if (other->y() == item->y() && other->x() > item->x()) {
                            EXPECT_GE(other->x() - textEnd, 4)
                                << qPrintable(item->text()) << " touches " << qPrintable(other->text());
                        }
                    }
                }
            }
        }
        for (int i = 0; i < parts.size(); ++i)
            for (int j = i + 1; j < parts.size(); ++j)
                EXPECT_FALSE(parts[i]->geometry().intersects(parts[j]->geometry()))
                    << qPrintable(parts[i]->objectName()) << " overlaps " << qPrintable(parts[j]->objectName());
        if (!shots.isEmpty())
            w->grab().save(shots + "/" + pg.sheet->objectName() + ".png");
    }
}

TEST(EditorProcess, StartsWritesItsIniAndEndsWithZero)
{
    const QString exe = QStringLiteral(KVT_BINARY_DIR "/kvt-report-editor");
    if (!QFile::exists(exe))
        GTEST_SKIP() << "editor not built";
    QTemporaryDir tmp;
    ASSERT_TRUE(QFile::copy(exe, tmp.path() + "/kvt-report-editor"));
    QFile::setPermissions(tmp.path() + "/kvt-report-editor", QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    datadir::Options o;
    o.demo = true;
    o.protect = true;
    ASSERT_EQ(datadir::create(tmp.path() + "/DATA", o), QString());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("KVT_AUTOCLOSE_MS", "1500");
    p.setProcessEnvironment(env);
    p.start(tmp.path() + "/kvt-report-editor", {});
    const bool finished = p.waitForFinished(30000);
    if (!finished)
        p.kill();
    ASSERT_TRUE(finished);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(tmp.path() + "/KVT3.INI"));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_FALSE(err.contains("[Error Message]")) << qPrintable(err);
    EXPECT_FALSE(err.contains("[KVT Report Editor]")) << qPrintable(err);
}

} // namespace
