// The search box above the report tree: what it finds, the keys, and editing on the narrowed tree.
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dbnavigator.h"
#include "editor/detailpages.h"
#include "editor/treefilter.h"
#include "engine/dataset.h"
#include "labels/gui/tabsheet.h"
#include "support/demowindow.h"
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace kvt;
using kvt::test::TreeNode;

namespace {

using NB = DbNavigator::Button;

class TreeFilterTest : public test::DemoWindowTest {
protected:
    void SetUp() override
    {
        DemoWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        startActive();
        // Names outside ASCII, in a band of the second report.
        Query q;
        q.setDatabaseName(QStringLiteral("MyDatabase"));
        q.setSessionName(QStringLiteral("MySession"));
        q.addSql(QStringLiteral("insert into RepCtrl (RepName, RctGroup, RctName, RctType, RctInclude, RctSortIdx) "
                                "values ('OrderPick', 'Foot', 'Straße', 1, 1, 7), "
                                "('OrderPick', 'Foot', 'Ärger:1', 1, 0, 8)"));
        q.execSql();
        chooseCategory("Orders");
        ASSERT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    }

    QLineEdit *box() const { return w->Filter->box(); }

    /// Every node the view's tree holds, as "report/band/text", in tree order; the tree as shown,
    /// so it reads nothing.
    QStringList shown() const
    {
        QStringList out;
        const QAbstractItemModel *m = tree()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            const QModelIndex rep = m->index(r, 0);
            out << rep.data().toString();
            for (int b = 0; b < m->rowCount(rep); ++b) {
                const QModelIndex band = m->index(b, 0, rep);
                out << rep.data().toString() + "/" + band.data().toString();
                for (int c = 0; c < m->rowCount(band); ++c)
                    out << rep.data().toString() + "/" + band.data().toString() + "/" +
                               m->index(c, 0, band).data().toString();
            }
        }
        return out;
    }
    /// Every node with children is expanded.
    bool allExpanded() const
    {
        const QAbstractItemModel *m = tree()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            const QModelIndex rep = m->index(r, 0);
            if (m->rowCount(rep) > 0 && !tree()->isExpanded(rep))
                return false;
            for (int b = 0; b < m->rowCount(rep); ++b) {
                const QModelIndex band = m->index(b, 0, rep);
                if (m->rowCount(band) > 0 && !tree()->isExpanded(band))
                    return false;
            }
        }
        return true;
    }
    /// The node under the report and band of the view's tree with this text.
    TreeNode byText(const QString &report, const QString &band = QString(), const QString &text = QString()) const
    {
        return test::findNodeByText(tree(), report, band, text);
    }
};
using TreeFilterOnStores = test::OnBothStores<TreeFilterTest>;
KVT_ON_BOTH_STORES(TreeFilterOnStores);

QStringList perReport(const QStringList &tails)
{
    QStringList out;
    for (const char *rep : {"OrderConf", "OrderDelivery", "OrderInvoice", "OrderPick"}) { // the full tree's order
        out << rep;
        for (const QString &t : tails)
            out << QString::fromLatin1(rep) + "/" + t;
    }
    return out;
}

} // namespace

TEST(TreeNodeMatches, TextOrName)
{
    EXPECT_TRUE(treeNodeMatches("04. Company Phone", "CompPhone", "company ph"));
    EXPECT_TRUE(treeNodeMatches("04. Company Phone", "CompPhone", "COMPPH"));
    EXPECT_TRUE(treeNodeMatches("03. Company Address", "RepCompAddr:2", ":2"));
    EXPECT_FALSE(treeNodeMatches("03. Company Address", "RepCompAddr:2", ":1"));
    EXPECT_TRUE(treeNodeMatches("07. Straße", "Straße", "STRAẞE"));
}

TEST_P(TreeFilterOnStores, FindsNodesByTextOrNameWithTheirAncestorsExpanded)
{
    const struct {
        const char *typed;
        QStringList nodes;
    } cases[] = {
        {"company phone", perReport({"Company", "Company/04. Company Phone"})},
        {"COMPPHONE", perReport({"Company", "Company/04. Company Phone"})}, // by RctName only
        {":2", perReport({"Company", "Company/03. Company Address", "PageHeader", "PageHeader/05. Customer Name"})},
        {"footer", perReport({"PageFooter"})}, // a band found by its name, without its controls
        {"STRAẞE", {"OrderPick", "OrderPick/PageFooter", "OrderPick/PageFooter/07. Straße"}},
        {"ärger:", {"OrderPick", "OrderPick/PageFooter", "OrderPick/PageFooter/08. Ärger"}},
        {"orderpick", {"OrderPick"}},
        {"no such node", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        box()->setText(QString::fromUtf8(c.typed));
        EXPECT_TRUE(w->Filter->isActive());
        EXPECT_EQ(shown(), c.nodes);
        EXPECT_TRUE(allExpanded());
        EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    }
    // Found in the store: the full tree has still not read the bands that hold them.
    const QModelIndex pick = w->TreeModel->findNode("OrderPick", QString(), QString(), false);
    ASSERT_TRUE(pick.isValid());
    EXPECT_FALSE(w->TreeModel->isRead(pick));
    box()->clear();
    EXPECT_FALSE(w->Filter->isActive());
    EXPECT_EQ(tree()->model(), w->TreeModel);
}

TEST_P(TreeFilterOnStores, KeysFindEnterTheTreeAndClear)
{
    EXPECT_EQ(box()->placeholderText(), "Find a report, band or control");
    EXPECT_FALSE(box()->accessibleName().isEmpty());
    EXPECT_LT(box()->geometry().bottom(), tree()->geometry().top()) << "above the tree";

    for (const Qt::Key into : {Qt::Key_Down, Qt::Key_Return}) {
        SCOPED_TRACE(int(into));
        tree()->setFocus();
        QTest::keyClick(tree(), Qt::Key_F, Qt::ControlModifier);
        ASSERT_EQ(QApplication::focusWidget(), box()) << "Ctrl+F";
        QTest::keyClicks(box(), "phone");
        EXPECT_EQ(shown().size(), 12);
        QTest::keyClick(box(), into);
        EXPECT_EQ(QApplication::focusWidget(), tree());
        const TreeNode first = byText("OrderConf", "Company", "04. Company Phone");
        ASSERT_TRUE(first);
        expectOneSelected(first);
        EXPECT_EQ(w->ctrlPage->Ed1->text(), "04. Company Phone") << "the page follows";
        EXPECT_EQ(w->TblRepCtrl->fieldByName("RctName")->asString(), "CompPhone");
        // The tree's own keys go on among the matches.
        QTest::keyClick(tree(), Qt::Key_Down);
        QTest::keyClick(tree(), Qt::Key_Down);
        QTest::keyClick(tree(), Qt::Key_Down);
        const TreeNode next = byText("OrderDelivery", "Company", "04. Company Phone");
        expectOneSelected(next);
        EXPECT_EQ(first->stateIndex(), 8);

        // Esc empties the box: the full tree, on the node selected.
        QTest::keyClick(tree(), Qt::Key_F, Qt::ControlModifier);
        EXPECT_EQ(box()->selectedText(), "phone");
        QTest::keyClick(box(), Qt::Key_Escape);
        EXPECT_EQ(box()->text(), "");
        EXPECT_EQ(tree()->model(), w->TreeModel);
        const TreeNode kept = test::findNode(tree(), "OrderDelivery", "Company", "CompPhone");
        expectOneSelected(kept);
        EXPECT_TRUE(tree()->isExpanded(kept.index().parent()));
        EXPECT_TRUE(tree()->isExpanded(kept.index().parent().parent()));
        // Only the kept node has the selected look in the full tree.
        int odd = 0;
        for (int r = 0; r < tree()->topLevelCount(); ++r) {
            const TreeNode rep = test::topNode(tree(), r);
            odd += rep->stateIndex() % 2;
            for (int b = 0; b < rep->childCount(); ++b) {
                const TreeNode band = rep->child(b);
                odd += band->stateIndex() % 2;
                if (w->TreeModel->isRead(band.index()))
                    for (int k = 0; k < band->childCount(); ++k)
                        odd += band->child(k)->stateIndex() % 2;
            }
        }
        EXPECT_EQ(odd, 1);
        EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
        chooseCategory("Orders");
    }
}

TEST_P(TreeFilterOnStores, ClearingKeepsTheNodeSelectedBeforeWhenNoneWasChosen)
{
    const TreeNode footer = test::findNode(tree(), "OrderInvoice", "PageFooter");
    select(footer);
    box()->setText("phone");
    EXPECT_FALSE(tree()->currentIndex().isValid()) << "not among the matches";
    box()->clear();
    expectOneSelected(test::findNode(tree(), "OrderInvoice", "PageFooter"));
    EXPECT_TRUE(tree()->isExpanded(current().index()));
    EXPECT_EQ(w->TblRepBand->fieldByName("RbdName")->asString(), "PageFooter");
    EXPECT_EQ(w->TblRepBand->fieldByName("RepName")->asString(), "OrderInvoice");
}

TEST_P(TreeFilterOnStores, EditingOnTheFilteredTreeSavesAndARefusedRowKeepsItsNode)
{
    box()->setText("phone");
    w->Filter->enterTree();
    const TreeNode first = current();
    ASSERT_EQ(first->text(), "04. Company Phone");
    DbEdit *width = w->ctrlPage->EdtRctWidth;
    typeInto(width, "33");
    w->DBNavigator1->clickButton(NB::Post);
    EXPECT_EQ(w->TblRepCtrl->fieldByName("RctWidth")->asFloat(), 33.0);

    // A value that cannot be saved: a move to another match comes back to the node in edit.
    typeInto(width, "abc");
    QTest::keyClick(width, Qt::Key_Tab);
    ASSERT_EQ(rec.boxes.size(), 1);
    rec.clear();
    tree()->setFocus();
    QTest::keyClick(tree(), Qt::Key_Down);
    QTest::keyClick(tree(), Qt::Key_Down);
    QTest::keyClick(tree(), Qt::Key_Down);
    ASSERT_GE(rec.boxes.size(), 1) << "the row in edit cannot be saved";
    EXPECT_TRUE(rec.boxes[0].text.contains("'Width'")) << qPrintable(rec.boxes[0].text);
    expectOneSelected(first);
    EXPECT_EQ(width->text(), "abc");
    rec.clear();

    // Narrowed to other nodes, the node in edit stays in sight, and a move still comes back to it.
    box()->setText("footer");
    const TreeNode inEdit = byText("OrderConf", "Company", "04. Company Phone");
    ASSERT_TRUE(inEdit) << qPrintable(shown().join("\n"));
    expectOneSelected(inEdit);
    w->Filter->enterTree();
    ASSERT_GE(rec.boxes.size(), 1);
    expectOneSelected(inEdit);
    rec.clear();

    // Once the row is settled, the same move goes through, and the box shows only matches.
    w->DBNavigator1->clickButton(NB::Cancel);
    box()->setText("foote");
    EXPECT_EQ(shown(), perReport({"PageFooter"}));
    w->Filter->enterTree();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    expectOneSelected(byText("OrderConf", "PageFooter"));
    EXPECT_EQ(w->PageControl1->currentWidget(), static_cast<QWidget *>(w->tsh_RepBand));
    // Back in the full tree, the band is selected and expanded as a click on it leaves it,
    // though the full tree had not read its controls.
    const QModelIndex footer = w->TreeModel->findNode("OrderConf", "PageFooter", QString(), false);
    ASSERT_FALSE(w->TreeModel->isRead(footer));
    box()->clear();
    expectOneSelected(test::findNode(tree(), "OrderConf", "PageFooter"));
    EXPECT_TRUE(tree()->isExpanded(current().index()));
}

TEST_P(TreeFilterOnStores, InclusionChangedOnTheFilteredTreeShowsInTheFullTree)
{
    // The band read in the full tree first, so it holds its own copy of the control.
    const TreeNode fullPhone = test::findNode(tree(), "OrderConf", "Company", "CompPhone");
    ASSERT_EQ(fullPhone->stateIndex(), 8);
    box()->setText("compphone");
    w->Filter->enterTree();
    ASSERT_EQ(current()->record()->RctName, "CompPhone");
    w->DBNavigator1->clickButton(NB::Edit);
    w->TblRepCtrl->fieldByName("RctInclude")->setAsBoolean(false);
    w->DBNavigator1->clickButton(NB::Post);
    EXPECT_EQ(current()->stateIndex(), 5);
    box()->setText("compphon"); // read again after the post
    EXPECT_EQ(byText("OrderConf", "Company", "04. Company Phone")->stateIndex() , 5);
    box()->clear();
    const TreeNode again = test::findNode(tree(), "OrderConf", "Company", "CompPhone");
    EXPECT_EQ(again->stateIndex(), 5);
}

TEST_P(TreeFilterOnStores, PreviewSelectionFindsNodesTheFilterHides)
{
    box()->setText("phone");
    EXPECT_TRUE(w->selectNodeByName("OrderPick", "Company", "CompPhone"));
    EXPECT_TRUE(w->Filter->isActive()) << "shown: the filter stays";
    EXPECT_EQ(current()->record()->RctName, "CompPhone");
    EXPECT_TRUE(w->selectNodeByName("OrderDelivery", "PageFooter", "Terms"));
    EXPECT_FALSE(w->Filter->isActive()) << "hidden: the full tree comes back";
    EXPECT_EQ(box()->text(), "");
    expectOneSelected(test::findNode(tree(), "OrderDelivery", "PageFooter", "Terms"));
    EXPECT_EQ(w->TblRepCtrl->fieldByName("RctName")->asString(), "Terms");
    EXPECT_EQ(w->TblRepCtrl->fieldByName("RepName")->asString(), "OrderDelivery");
}

TEST_P(TreeFilterOnStores, AnotherCategoryEmptiesTheBox)
{
    box()->setText("phone");
    chooseCategory("Quotes");
    EXPECT_EQ(box()->text(), "");
    EXPECT_EQ(tree()->model(), w->TreeModel);
    EXPECT_EQ(current(), test::topNode(tree(), 0));
    box()->setText("quoteshort");
    EXPECT_EQ(shown(), QStringList{"QuoteShort"});
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
}
