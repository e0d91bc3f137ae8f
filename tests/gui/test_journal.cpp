// Undo and redo of this editor's posts from the keyboard and the tree's pop-up menu, and the
// history of a row with its revert.
#include "app/config.h"
#include "app/datamodule.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "editor/detailpages.h"
#include "editor/historydlg.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "engine/journal.h"
#include "engine/session.h"
#include "reportdef/codes.h"
#include "labels/gui/formsetup.h"
#include "labels/textcache.h"
#include "support/dialogrecorder.h"
#include "support/teststore.h"
#include "support/demowindow.h"
#include "support/treenode.h"
#include "tools/datadir.h"
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

using namespace kvt;
using kvt::test::TreeNode;

namespace {


// The editor on the demo data, shown and active, so Ctrl+Z goes where a user's would.
class JournalGuiTest : public test::DemoWindowTest {
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

    /// A control node of the demo's first report, selected, and its width typed and posted.
    TreeNode postWidth(const QString &width)
    {
        chooseCategory("Quotes");
        TreeNode band = node("QuoteStd", "Company");
        EXPECT_NE(band, nullptr);
        if (!band)
            return band;
        TreeNode ctrl = band->child(0);
        clickNode(ctrl);
        typeInto(w->ctrlPage->EdtRctWidth, width);
        w->TblRepCtrl->post();
        tree()->setFocus();
        return ctrl;
    }
    QString width() const { return w->TblRepCtrl->fieldByName("RctWidth")->asString(); }
    QString storedWidth(const QString &rctName)
    {
        Table t(nullptr, QStringLiteral("Check"));
        t.setDatabaseName(QStringLiteral("MyDatabase"));
        t.setSessionName(QStringLiteral("MySession"));
        t.setTableName(QStringLiteral("RepCtrl.DB"));
        t.open();
        for (t.first(); !t.eof(); t.next())
            if (t.fieldByName("RepName")->asString() == "QuoteStd" && t.fieldByName("RctName")->asString() == rctName)
                return t.fieldByName("RctWidth")->asString();
        return QString();
    }
    QString widthCaption() const
    {
        QString c = w->ctrlPage->LblRctWidth->text();
        c.remove('&');
        c = c.trimmed();
        if (c.endsWith(':'))
            c.chop(1);
        return c;
    }
};
using JournalGuiOnStores = test::OnBothStores<JournalGuiTest>;
KVT_ON_BOTH_STORES(JournalGuiOnStores);


TEST_P(JournalGuiOnStores, CtrlZInTheTreeUndoesTheLastPostAndCtrlShiftZRedoesIt)
{
    TreeNode ctrl = postWidth("33");
    ASSERT_NE(ctrl, nullptr);
    const QString rctName = w->TblRepCtrl->fieldByName("RctName")->asString();
    const journal::Step *step = w->Journal->stack().nextUndo();
    ASSERT_NE(step, nullptr);
    const QString before = journal::valueText(step->changes.first().oldValue);
    ASSERT_EQ(storedWidth(rctName), "33");

    // The pop-up menu names the change it will undo.
    w->Journal->updateActions();
    QString nodeText = ctrl->text(0);
    nodeText = nodeText.mid(nodeText.indexOf(". ") + 2); // without its index
    EXPECT_EQ(w->Journal->PmRepEdtUndo->text(), QStringLiteral("Undo %1 %2 -> 33 of %3").arg(widthCaption(), before, nodeText));
    EXPECT_TRUE(w->PmRepEdt->actions().contains(w->Journal->PmRepEdtUndo));
    EXPECT_TRUE(w->PmRepEdt->actions().contains(w->Journal->PmRepEdtRedo));
    EXPECT_TRUE(w->PmRepEdt->actions().contains(w->Journal->PmRepEdtHistory));

    QTest::keyClick(tree(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(storedWidth(rctName), before);
    EXPECT_EQ(width(), before) << "the page shows the row's new value";
    EXPECT_EQ(w->ctrlPage->EdtRctWidth->text(), before);

    QTest::keyClick(tree(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(storedWidth(rctName), "33");
    EXPECT_EQ(w->ctrlPage->EdtRctWidth->text(), "33");
}

TEST_P(JournalGuiOnStores, UndoingAnInclusionGivesTheNodeItsImageBack)
{
    chooseCategory("Quotes");
    TreeNode band = node("QuoteStd", "Company");
    ASSERT_NE(band, nullptr);
    TreeNode ctrl;
    for (int i = 0; i < band->childCount() && !ctrl; ++i) // one whose inclusion is the user's to change
        if (!reportdef::isAlwaysIncluded(band->child(i)->record()->RctName))
            ctrl = band->child(i);
    ASSERT_NE(ctrl, nullptr);
    clickNode(ctrl);
    Field *include = w->TblRepCtrl->fieldByName("RctInclude");
    const bool was = include->asBoolean();
    const int imageBefore = ctrl->stateIndex();
    w->TblRepCtrl->edit();
    include->setAsBoolean(!was);
    w->TblRepCtrl->post();
    ASSERT_NE(ctrl->stateIndex(), imageBefore);
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(w->TblRepCtrl->fieldByName("RctInclude")->asBoolean(), was);
    EXPECT_EQ(ctrl->stateIndex(), imageBefore);
    QTest::keyClick(tree(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w->TblRepCtrl->fieldByName("RctInclude")->asBoolean(), !was);
    EXPECT_NE(ctrl->stateIndex(), imageBefore);
}

TEST_P(JournalGuiOnStores, AnEditsOwnTypingIsUndoneFirst)
{
    postWidth("33");
    const QString rctName = w->TblRepCtrl->fieldByName("RctName")->asString();
    QLineEdit *edit = w->ctrlPage->EdtRctWidth;
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, "4");
    ASSERT_EQ(edit->text(), "334");
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "33") << "the edit's own undo";
    EXPECT_EQ(storedWidth(rctName), "33") << "the post is not undone yet";
    while (edit->isUndoAvailable())
        QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(storedWidth(rctName), "33") << "with no typing left, the post is undone";
}

TEST_P(JournalGuiOnStores, UndoAfterAnotherEditorsPostChangesNothingAndSaysWhoAndWhen)
{
    postWidth("33");
    const QString rctName = w->TblRepCtrl->fieldByName("RctName")->asString();
    const journal::Step step = *w->Journal->stack().nextUndo();
    QSqlQuery q(w->TblRepCtrl->database()->connection());
    ASSERT_TRUE(q.exec(QStringLiteral("update RepCtrl set RctWidth = 50 where RepName = 'QuoteStd' and RctName = '%1'").arg(rctName)));
    q.prepare("insert into EditJournal (JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn, JrnOld, JrnNew) "
              "values ('2026-12-10T10:00:00.000Z', 'anna', 'host2', 'RepCtrl.DB', ?, 'RctWidth', '33', '50')");
    q.addBindValue(step.key);
    ASSERT_TRUE(q.exec());
    QTest::keyClick(tree(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_TRUE(rec.boxes[0].text.contains("anna")) << qPrintable(rec.boxes[0].text);
    EXPECT_TRUE(rec.boxes[0].text.contains("host2")) << qPrintable(rec.boxes[0].text);
    EXPECT_TRUE(rec.boxes[0].text.contains(
        QDateTime(QDate(2026, 12, 10), QTime(10, 0), Qt::UTC).toLocalTime().toString("yyyy-MM-dd HH:mm:ss")))
        << qPrintable(rec.boxes[0].text);
    EXPECT_TRUE(rec.boxes[0].text.contains(widthCaption())) << "named by its caption";
    EXPECT_EQ(storedWidth(rctName), "50");
}

TEST_P(JournalGuiOnStores, HistoryListsTheRowsChangesNewestFirstAndRevertsOne)
{
    postWidth("33");
    const QString rctName = w->TblRepCtrl->fieldByName("RctName")->asString();
    typeInto(w->ctrlPage->EdtRctWidth, "44");
    w->TblRepCtrl->post();
    tree()->setFocus();
    QStringList rows;
    rec.dialogSteps.push_back([&](QDialog &d) {
        auto *dlg = qobject_cast<HistoryDialog *>(&d);
        EXPECT_NE(dlg, nullptr);
        if (!dlg)
            return int(QDialog::Rejected);
        EXPECT_FALSE(dlg->list->accessibleName().isEmpty());
        EXPECT_FALSE(dlg->btnRevert->accessibleName().isEmpty());
        for (int i = 0; i < dlg->list->topLevelItemCount(); ++i)
            rows << dlg->list->topLevelItem(i)->text(3);
        // From the keyboard: the newest is chosen; Enter reverts it.
        dlg->list->setFocus();
        QTest::keyClick(dlg->list, Qt::Key_Down);
        QTest::keyClick(dlg->list, Qt::Key_Up);
        dlg->btnRevert->click();
        return dlg->result();
    });
    w->Journal->PmRepEdtHistory->trigger();
    ASSERT_EQ(rec.dialogTitles.size(), 1);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].endsWith("33 -> 44")) << qPrintable(rows[0]);
    EXPECT_TRUE(rows[1].endsWith("-> 33")) << qPrintable(rows[1]);
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(storedWidth(rctName), "33");
    EXPECT_EQ(w->ctrlPage->EdtRctWidth->text(), "33");
}

} // namespace

TEST_P(JournalGuiOnStores, AChangeOfAFieldWithoutALabelIsNamedAsTheScreenReaderNamesIt)
{
    chooseCategory("Quotes");
    clickNode(node("QuoteStd"));
    typeInto(w->reportPage->EdtRepLeftX, "21");
    w->TblReports->post();
    tree()->setFocus();
    w->Journal->updateActions();
    const QString name = w->reportPage->EdtRepLeftX->accessibleName();
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(w->Journal->PmRepEdtUndo->text().startsWith(QStringLiteral("Undo %1 ").arg(name)))
        << qPrintable(w->Journal->PmRepEdtUndo->text());
    EXPECT_FALSE(w->Journal->PmRepEdtUndo->text().contains(QStringLiteral("RepLeftX")));
}
