// Editing as a user does it, from the keyboard and the mouse: a refused value, the tree and the pages
// staying together, the navigator's keys, the words of the messages and the help key.
#include "app/config.h"
#include "app/datamodule.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbnavigator.h"
#include "dbwidgets/dbtext.h"
#include "editor/detailpages.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "labels/gui/formsetup.h"
#include "labels/gui/tabsheet.h"
#include "labels/textcache.h"
#include "support/dialogrecorder.h"
#include "support/teststore.h"
#include "tools/datadir.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include "support/demowindow.h"
#include "support/treenode.h"
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using namespace kvt;
using kvt::test::TreeNode;

namespace {

using NB = DbNavigator::Button;

// The editor on the demo data, shown and active, so keys and clicks go where a user's would.
class EditFlowTest : public test::DemoWindowTest {
protected:
    void SetUp() override
    {
        DemoWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        startActive();
    }

    /// The node with this text under report and band.
    TreeNode node(const QString &report, const QString &band = QString(), const QString &text = QString())
    {
        return test::findNodeByText(tree(), report, band, text);
    }
};
using EditFlowOnStores = test::OnBothStores<EditFlowTest>;
KVT_ON_BOTH_STORES(EditFlowOnStores);

// ------------------------------------------------------------------ tree and page stay together

TEST_P(EditFlowOnStores, ARowThatCannotBeSavedKeepsItsNodeAndALaterMoveTriesAgain)
{
    enum class Move { Click, KeyDown, Code };
    for (const Move move : {Move::Click, Move::KeyDown, Move::Code}) {
        SCOPED_TRACE(int(move));
        chooseCategory("Orders");
        TreeNode pageNo = node("OrderConf", "PageFooter", "02. Page Number");
        TreeNode terms = node("OrderConf", "PageFooter", "01. Terms");
        ASSERT_TRUE(pageNo && terms);
        clickNode(pageNo);
        ASSERT_EQ(w->ctrlPage->Ed1->text(), "02. Page Number");
        DbEdit *width = w->ctrlPage->EdtRctWidth;
        const QString stored = width->text();
        typeInto(width, "abc");
        QTest::keyClick(width, Qt::Key_Tab);
        ASSERT_EQ(rec.boxes.size(), 1) << "refused when the edit is left";
        rec.clear();
        QCoreApplication::processEvents(); // the user reads the message

        switch (move) {
        case Move::Click: clickNode(terms); break;
        case Move::KeyDown: // Terms is the row above
            tree()->setFocus();
            QTest::keyClick(tree(), Qt::Key_Up);
            break;
        case Move::Code: tree()->setCurrentIndex(terms.index()); break;
        }
        ASSERT_EQ(rec.boxes.size(), 1) << "the row in edit cannot be saved";
        EXPECT_TRUE(rec.boxes[0].text.contains("'Width'")) << qPrintable(rec.boxes[0].text);
        // The tree marks the node whose row the page still shows.
        expectOneSelected(pageNo);
        EXPECT_EQ(terms->stateIndex() % 2, 0) << "normal look";
        EXPECT_EQ(w->ctrlPage->Ed1->text(), "02. Page Number");
        EXPECT_EQ(width->text(), "abc");
        EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Edit);
        EXPECT_EQ(QApplication::focusWidget(), width) << "back for correction";
        EXPECT_EQ(width->selectedText(), "abc");

        // Cancel restores the row; the same move now goes through.
        w->DBNavigator1->clickButton(NB::Cancel);
        EXPECT_EQ(width->text(), stored);
        rec.clear();
        if (move == Move::KeyDown) {
            tree()->setFocus();
            QTest::keyClick(tree(), Qt::Key_Up);
        } else {
            clickNode(terms);
        }
        EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
        expectOneSelected(terms);
        EXPECT_EQ(pageNo->stateIndex(), 8);
        EXPECT_EQ(w->ctrlPage->Ed1->text(), "01. Terms");
        EXPECT_EQ(w->TblRepCtrl->fieldByName("RctName")->asString(), terms->record()->RctName);
    }
}

TEST_P(EditFlowOnStores, ARowThatCannotBeSavedKeepsItsCategory)
{
    chooseCategory("Orders");
    TreeNode pageNo = node("OrderConf", "PageFooter", "02. Page Number");
    ASSERT_NE(pageNo, nullptr);
    clickNode(pageNo);
    DbEdit *width = w->ctrlPage->EdtRctWidth;
    typeInto(width, "abc");
    QTest::keyClick(width, Qt::Key_Tab);
    rec.clear();
    QCoreApplication::processEvents();

    const int quotes = w->cmbRepCat->findText("Quotes");
    ASSERT_GE(quotes, 0);
    w->cmbRepCat->setCurrentIndex(quotes);
    emit w->cmbRepCat->activated(quotes); // the user picks another category
    ASSERT_EQ(rec.boxes.size(), 1) << qPrintable(rec.texts().join("\n"));
    EXPECT_TRUE(rec.boxes[0].text.contains("'Width'")) << qPrintable(rec.boxes[0].text);
    EXPECT_EQ(w->cmbRepCat->currentText(), "Orders");
    EXPECT_EQ(w->TblRepCat->fieldByName("RepCatName")->asString(), "Orders");
    expectOneSelected(node("OrderConf", "PageFooter", "02. Page Number"));
    EXPECT_EQ(w->ctrlPage->Ed1->text(), "02. Page Number");
    EXPECT_EQ(width->text(), "abc");
    EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Edit);
    EXPECT_EQ(w->reportPage->EdtRepTitle->text(), "Order Confirmation") << "the report of the row in edit";

    // Once the row is put right, the same choice goes through.
    width->selectAll();
    QTest::keyClicks(width, "12.5");
    rec.clear();
    w->cmbRepCat->setCurrentIndex(quotes);
    emit w->cmbRepCat->activated(quotes);
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(w->cmbRepCat->currentText(), "Quotes");
    EXPECT_EQ(current(), top(0));
    EXPECT_EQ(node("QuoteStd") != nullptr, true) << "the tree of the category chosen";
}

TEST_P(EditFlowOnStores, ARowForcedIncludedWhenLeftGivesItsImageToItsOwnNode)
{
    chooseCategory("Quotes");
    TreeNode addr = node("QuoteStd", "Company", "03. RepCompAddr");
    if (!addr) { // the label text of the demo, whatever its index
        TreeNode band = node("QuoteStd", "Company");
        ASSERT_NE(band, nullptr);
        for (int i = 0; i < band->childCount() && !addr; ++i) {
            const TreeNode c = band->child(i);
            if (c->record()->RctName.startsWith("RepCompAddr") && c->stateIndex() == 6)
                addr = c;
        }
    }
    ASSERT_NE(addr, nullptr);
    clickNode(addr);
    ASSERT_EQ(addr->stateIndex(), 5);
    typeInto(w->ctrlPage->EdtRctLabel, "Street");
    TreeNode report = node("QuoteStd");
    clickNode(report);
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(addr->stateIndex(), 8) << "saved included, normal look";
    EXPECT_EQ(report->stateIndex(), 1) << "a report's selected look, not a control's";
}

// ------------------------------------------------------------------ navigator keys

TEST_F(EditFlowTest, NavigatorHintsShowTheKeys)
{
    const struct {
        NB button;
        const char *hint;
    } cases[] = {{NB::Edit, "Edit (Ctrl+E)"},
                 {NB::Post, "Post Changes (Ctrl+S)"},
                 {NB::Cancel, "Cancel (Esc)"},
                 {NB::Refresh, "Refresh Data (F5)"}};
    for (const auto &c : cases)
        EXPECT_EQ(w->DBNavigator1->button(c.button)->toolTip(), c.hint);
}

TEST_F(EditFlowTest, TabReachesTheNavigatorFromTheTree)
{
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->DBNavigator1->button(NB::Edit)) << "the first enabled button";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(w->TblReports->state(), DataSetState::Edit) << "Space presses it";
    EXPECT_EQ(QApplication::focusWidget(), w->DBNavigator1->button(NB::Post)) << "Edit is off now: the next one";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->DBNavigator1->button(NB::Cancel));
}

TEST_P(EditFlowOnStores, RowActionsHaveKeys)
{
    // The first report is selected: the navigator acts on its row.
    const QString repName = current()->record()->RepName;
    DbEdit *title = w->reportPage->EdtRepTitle;

    // F2 on the tree edits and takes the focus to the first field; Ctrl+S posts.
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_F2);
    EXPECT_EQ(w->TblReports->state(), DataSetState::Edit);
    ASSERT_EQ(QApplication::focusWidget(), title);
    QTest::keyClick(title, Qt::Key_End);
    QTest::keyClicks(title, " A");
    QTest::keyClick(title, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(w->TblReports->state(), DataSetState::Browse);
    EXPECT_EQ(storedTitle(repName), "Order Confirmation A");

    // The first Esc takes back the typing, the second cancels the row.
    QTest::keyClicks(title, "xyz");
    EXPECT_EQ(w->TblReports->state(), DataSetState::Edit);
    QTest::keyClick(title, Qt::Key_Escape);
    EXPECT_EQ(title->text(), "Order Confirmation A");
    EXPECT_EQ(w->TblReports->state(), DataSetState::Edit);
    QTest::keyClick(title, Qt::Key_Escape);
    EXPECT_EQ(w->TblReports->state(), DataSetState::Browse);

    // Ctrl+E from the tree edits; F5 reads again what another user stored.
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(w->TblReports->state(), DataSetState::Edit);
    QTest::keyClick(tree(), Qt::Key_Escape);
    EXPECT_EQ(w->TblReports->state(), DataSetState::Browse);
    execOnData({"update Reports set RepTitle = 'From elsewhere' where RepName = '" +
                                                repName + "'"});
    QTest::keyClick(tree(), Qt::Key_F5);
    EXPECT_EQ(title->text(), "From elsewhere");
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
}

// ------------------------------------------------------------------ messages in the user's words

TEST_P(EditFlowOnStores, RefusedValuesAreNamedByTheirCaptionAndComeBackSelected)
{
    chooseCategory("Quotes");
    TreeNode docDate = nullptr; // a field with its label on the left: every edit is open
    TreeNode band = node("QuoteStd", "PageHeader");
    ASSERT_NE(band, nullptr);
    for (int i = 0; i < band->childCount(); ++i)
        if (band->child(i)->record()->RctName == "DocDate")
            docDate = band->child(i);
    clickNode(docDate);
    ASSERT_TRUE(w->ctrlPage->EdtRctLabelWidth->isEnabled());
    const struct {
        DbEdit *edit;
        const char *typed;
        const char *message;
    } cases[] = {
        {w->ctrlPage->EdtRctWidth, "abc", "'abc' is not accepted for 'Width': type a number such as 12.5."},
        {w->ctrlPage->EdtRctLabelWidth, "wide", "'wide' is not accepted for 'Label Width': type a number such as 12.5."},
        {w->ctrlPage->EdtRctSpTop, "x", "'x' is not accepted for '%1': type a number such as 12.5."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        rec.clear();
        typeInto(c.edit, c.typed);
        QTest::keyClick(c.edit, Qt::Key_Return);
        ASSERT_EQ(rec.boxes.size(), 1);
        // An edit without a label of its own is named by its description.
        const QString caption = c.edit->accessibleName().isEmpty() ? c.edit->toolTip() : c.edit->accessibleName();
        EXPECT_EQ(rec.boxes[0].text, QString::fromLatin1(c.message).replace("%1", caption));
        EXPECT_EQ(QApplication::focusWidget(), c.edit);
        EXPECT_EQ(c.edit->selectedText(), c.typed);
        QTest::keyClick(c.edit, Qt::Key_Escape);
    }
}

TEST_P(EditFlowOnStores, TypingIntoAnEmptyCategorySaysItHasNoReports)
{
    chooseCategory("Templates");
    ASSERT_EQ(tree()->topLevelCount(), 0);
    // The page of the last selection stays on screen; any of the three pages says the same.
    for (DbEdit *edit : {w->reportPage->EdtRepTitle, w->bandPage->EdtRbdTopY, w->ctrlPage->EdtRctWidth}) {
        SCOPED_TRACE(edit->objectName().toStdString());
        rec.clear();
        for (QWidget *sheet : {static_cast<QWidget *>(w->tsh_Reports), static_cast<QWidget *>(w->tsh_RepBand),
                               static_cast<QWidget *>(w->tsh_RepCtrl)})
            if (sheet->isAncestorOf(edit))
                w->PageControl1->setCurrentWidget(sheet);
        typeInto(edit, "x");
        ASSERT_FALSE(rec.boxes.isEmpty());
        EXPECT_EQ(rec.boxes[0].text, "The category 'Templates' has no reports, so there is nothing here to edit.");
    }
}

// The words of every data-aware control, by the kind of field and the caption of its label.
TEST(DbControlMessages, NameTheCaptionAndWhatIsAccepted)
{
    QTemporaryDir dir;
    test::createStore(dir.path(), test::sampleRows());
    test::Connection conn(dir.path());
    Table ctrl(nullptr, QStringLiteral("TblRepCtrl"));
    ctrl.setDatabaseName(QStringLiteral("MyDatabase"));
    ctrl.setSessionName(QStringLiteral("MySession"));
    ctrl.setTableName(QStringLiteral("RepCtrl.DB"));
    ctrl.open();
    DataSource src;
    src.setDataSet(&ctrl);
    QStringList shown;
    setDbErrorHandler([&](const std::exception &e) { shown << QString::fromUtf8(e.what()); });

    QWidget page;
    auto *layout = new QVBoxLayout(&page);
    auto bound = [&](QWidget *control, const char *field, const char *caption) {
        auto *dc = dynamic_cast<DbControl *>(control);
        dc->setDataSource(&src);
        dc->setDataField(QString::fromLatin1(field));
        auto *label = new QLabel(QString::fromLatin1(caption), &page);
        label->setBuddy(control);
        layout->addWidget(label);
        layout->addWidget(control);
    };
    auto *sortIdx = new DbEdit(&page);
    bound(sortIdx, "RctSortIdx", "&Sort Index:");
    auto *include = new DbEdit(&page);
    bound(include, "RctInclude", "Included");
    auto *label = new DbMemo(&page);
    bound(label, "RctLabel", "Label");

    const struct {
        QWidget *control;
        QString typed;
        QString message;
    } cases[] = {
        {sortIdx, "two", "'two' is not accepted for 'Sort Index': type a whole number such as 12"},
        {sortIdx, "99999999999", "'99999999999' is not accepted for 'Sort Index': type a whole number such as 12"},
        {include, "perhaps", "'perhaps' is not accepted for 'Included': type True or False"},
        {label, QString(70, 'x'), "The text for 'Label' is 70 characters long; it takes at most 64 characters"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        shown.clear();
        QString message;
        if (auto *e = qobject_cast<DbEdit *>(c.control)) {
            e->setText(c.typed);
            emit e->textEdited(c.typed);
            EXPECT_FALSE(e->commit());
            ASSERT_EQ(shown.size(), 1);
            message = shown[0];
        } else {
            // A memo writes its text when the row is posted; the post's caller shows the refusal.
            qobject_cast<DbMemo *>(c.control)->setPlainText(c.typed);
            try {
                ctrl.post();
                ADD_FAILURE() << "posted";
            } catch (const EngineError &e) {
                message = e.message();
            }
        }
        EXPECT_EQ(message, c.message);
        ctrl.cancel();
    }

    // A table without rows: the general wording, never the table's name.
    Table none(nullptr, QStringLiteral("TblNone"));
    none.setDatabaseName(QStringLiteral("MyDatabase"));
    none.setSessionName(QStringLiteral("MySession"));
    none.setTableName(QStringLiteral("RepCtrl.DB"));
    none.setFilter(QStringLiteral("RctName = 'nothing'"));
    none.setFiltered(true);
    none.open();
    DataSource noneSrc;
    noneSrc.setDataSet(&none);
    DbEdit empty;
    empty.setDataSource(&noneSrc);
    empty.setDataField(QStringLiteral("RctLabel"));
    shown.clear();
    empty.setText(QStringLiteral("x"));
    emit empty.textEdited(QStringLiteral("x"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], "There is nothing here to edit: the list is empty");
    setNoRecordText(&noneSrc, [] { return QStringLiteral("The band has no controls"); });
    shown.clear();
    emit empty.textEdited(QStringLiteral("x"));
    EXPECT_EQ(shown, QStringList{"The band has no controls"});
    setDbErrorHandler({});
}

// ------------------------------------------------------------------ help

TEST_F(EditFlowTest, F1WithoutTheHelpFileSaysSoAndNamesIt)
{
    ASSERT_FALSE(QFile::exists(programDir + "Kvtv3hlp.hlp"));
    QTest::keyClick(tree(), Qt::Key_F1);
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_EQ(rec.boxes[0].caption, "KVT Report Editor");
    EXPECT_TRUE(rec.boxes[0].text.contains(QDir::toNativeSeparators(programDir + "Kvtv3hlp.hlp")))
        << qPrintable(rec.boxes[0].text);
    EXPECT_TRUE(rec.boxes[0].text.contains("not found")) << qPrintable(rec.boxes[0].text);
}

} // namespace
