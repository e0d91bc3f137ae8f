// The report tree reads a report's bands and a band's controls when they are first needed, and not
// before.
#include "common/stdexception.h"
#include "support/demowindow.h"
#include "support/teststore.h"
#include "support/treenode.h"
#include "labels/gui/tabsheet.h"
#include <QAccessible>
#include <QApplication>
#include <QSet>
#include <QTabWidget>
#include <functional>
#include <gtest/gtest.h>

using namespace kvt;
using kvt::test::TreeNode;

namespace {

class ReportTreeTest : public test::DemoWindowTest {
protected:
    ReportTreeModel *model() const { return w->TreeModel; }
    QModelIndex report(const QString &name) const
    {
        for (int r = 0; r < model()->rowCount(); ++r)
            if (model()->text(model()->index(r, 0)) == name)
                return model()->index(r, 0);
        return QModelIndex();
    }
    /// The band's node, found without reading any band's controls (its report's bands are read).
    QModelIndex band(const QString &report, const QString &name) const
    {
        for (int r = 0; r < model()->rowCount(); ++r) {
            const QModelIndex rep = model()->index(r, 0);
            if (model()->text(rep) != report)
                continue;
            model()->readBands(rep);
            for (int b = 0; b < model()->rowCount(rep); ++b)
                if (model()->text(model()->index(b, 0, rep)) == name)
                    return model()->index(b, 0, rep);
        }
        return QModelIndex();
    }
    QStringList visibleTabs() const
    {
        QStringList t;
        for (int i = 0; i < w->PageControl1->count(); ++i)
            if (w->PageControl1->isTabVisible(i))
                t << w->PageControl1->widget(i)->objectName();
        return t;
    }
    void renameControls(bool away) { renameTable("RepCtrl", away); }
    void renameTable(const QString &table, bool away)
    {
        execOnData({away ? "alter table " + table + " rename to " + table + "Gone"
                                                     : "alter table " + table + "Gone rename to " + table});
    }
    bool allRead() const
    {
        for (int r = 0; r < model()->rowCount(); ++r) {
            const QModelIndex rep = model()->index(r, 0);
            if (!model()->isRead(rep))
                return false;
            for (int b = 0; b < model()->rowCount(rep); ++b)
                if (!model()->isRead(model()->index(b, 0, rep)))
                    return false;
        }
        return true;
    }
};
using ReportTreeOnStores = test::OnBothStores<ReportTreeTest>;
KVT_ON_BOTH_STORES(ReportTreeOnStores);

TEST_P(ReportTreeOnStores, ControlsAreReadWhenFirstNeededAndReleasedWithTheCategory)
{
    start();
    chooseCategory("Quotes");
    EXPECT_EQ(model()->controlsRead(), 0) << "choosing a category reads reports and bands only";
    select(node("QuoteStd")); // shows its bands
    EXPECT_EQ(model()->controlsRead(), 0);
    const QModelIndex detail = band("QuoteStd", "Detail");
    ASSERT_TRUE(detail.isValid());
    EXPECT_FALSE(model()->isRead(detail));
    EXPECT_TRUE(model()->hasChildren(detail)) << "an unread band shows its expander";

    // Expanded by the user (read when the view lays the band's rows out).
    w->TreeView1->expand(detail);
    QApplication::processEvents();
    EXPECT_TRUE(model()->isRead(detail));
    EXPECT_EQ(model()->rowCount(detail), 6);
    EXPECT_EQ(model()->controlsRead(), 6);

    // Selected: read, and expanded since it has controls.
    const QModelIndex header = band("QuoteStd", "PageHeader");
    ASSERT_FALSE(model()->isRead(header));
    w->TreeView1->setCurrentIndex(header);
    EXPECT_TRUE(model()->isRead(header));
    EXPECT_TRUE(w->TreeView1->isExpanded(header));

    // Expand All reads every band.
    w->PmRepEdtExpandClick();
    for (int r = 0; r < model()->rowCount(); ++r)
        for (int b = 0; b < model()->rowCount(model()->index(r, 0)); ++b)
            EXPECT_TRUE(model()->isRead(model()->index(b, 0, model()->index(r, 0))));

    // The same category again starts unread.
    chooseCategory("Quotes");
    EXPECT_EQ(model()->controlsRead(), 0);
    EXPECT_FALSE(model()->isRead(band("QuoteStd", "Detail")));
}

TEST_P(ReportTreeOnStores, BandsAreReadWhenTheirReportIsFirstNeeded)
{
    start();
    chooseCategory("Quotes");
    ASSERT_EQ(model()->rowCount(), 4);
    const QModelIndex first = report("QuoteLabels"), second = report("QuoteStd");
    EXPECT_EQ(w->TreeView1->currentIndex(), first);
    EXPECT_TRUE(model()->isRead(first)) << "the report selected by the switch has its bands read";
    EXPECT_GT(model()->rowCount(first), 0);
    EXPECT_TRUE(w->TreeView1->isExpanded(first));
    EXPECT_FALSE(model()->isRead(second)) << "the other reports wait until they are needed";
    EXPECT_EQ(model()->rowCount(second), 0);
    EXPECT_TRUE(model()->hasChildren(second)) << "an unread report shows its expander";
    EXPECT_EQ(model()->controlsRead(), 0);

    // Each way a report is first needed reads its bands, and only its bands.
    const std::vector<std::pair<const char *, std::function<void(const QModelIndex &)>>> ways = {
        {"expanded", [&](const QModelIndex &rep) { w->TreeView1->expand(rep); }},
        {"selected", [&](const QModelIndex &rep) { w->TreeView1->setCurrentIndex(rep); }},
        {"found by its names", [&](const QModelIndex &) { EXPECT_TRUE(w->selectNodeByName("QuoteStd", "Detail", "")); }},
        {"Expand All", [&](const QModelIndex &) { w->PmRepEdtExpandClick(); }},
    };
    for (const auto &[way, need] : ways) {
        SCOPED_TRACE(way);
        chooseCategory("Quotes");
        const QModelIndex rep = report("QuoteStd");
        ASSERT_FALSE(model()->isRead(rep));
        rec.clear();
        need(rep);
        QApplication::processEvents();
        EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
        EXPECT_TRUE(model()->isRead(rep));
        EXPECT_EQ(model()->rowCount(rep), 6);
        EXPECT_TRUE(w->TreeView1->isExpanded(rep));
        EXPECT_EQ(model()->text(model()->index(0, 0, rep)), "Company") << "in the band table's order";
    }
    EXPECT_TRUE(allRead()) << "Expand All reads every report and band";
}

TEST_P(ReportTreeOnStores, AReportFoundWithoutBandsLosesItsExpander)
{
    execOnData({"insert into Reports (RepName, RepCatName) values ('QuoteTiny', 'Quotes')"});
    start();
    chooseCategory("Quotes");
    const QModelIndex empty = report("QuoteTiny");
    ASSERT_TRUE(empty.isValid());
    EXPECT_TRUE(model()->hasChildren(empty));
    rec.clear();
    w->TreeView1->expand(empty);
    QApplication::processEvents();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_TRUE(model()->isRead(empty));
    EXPECT_FALSE(model()->hasChildren(empty));
    EXPECT_FALSE(w->TreeView1->isExpanded(empty));
    w->TreeView1->setCurrentIndex(empty);
    QApplication::processEvents();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(w->PageControl1->currentWidget(), w->tsh_Reports);
    EXPECT_FALSE(w->TreeView1->isExpanded(empty)) << "a leaf changes no expansion";
}

TEST_P(ReportTreeOnStores, AFailedBandReadIsReportedAndTheReportIsReadWhenNeededAgain)
{
    start();
    chooseCategory("Quotes");
    const QModelIndex rep = report("QuoteStd");
    ASSERT_FALSE(model()->isRead(rep));
    renameTable("RepBand", true);
    rec.clear();
    w->TreeView1->expand(rep);
    QApplication::processEvents();
    ASSERT_EQ(rec.boxes.size(), 1) << qPrintable(rec.texts().join("\n"));
    EXPECT_TRUE(rec.boxes[0].text.contains("RepBand", Qt::CaseInsensitive)) << qPrintable(rec.boxes[0].text);
    EXPECT_FALSE(model()->isRead(rep));
    EXPECT_TRUE(model()->hasChildren(rep)) << "still unread, so still with its expander";
    EXPECT_FALSE(w->TreeView1->isExpanded(rep));

    // Expand All stops at the first report it cannot read, with one message.
    rec.clear();
    guarded([&] { w->PmRepEdtExpandClick(); });
    QApplication::processEvents();
    EXPECT_EQ(rec.boxes.size(), 1) << qPrintable(rec.texts().join("\n"));
    EXPECT_FALSE(model()->isRead(rep));

    // Once the table is back, the next expand reads the report.
    renameTable("RepBand", false);
    rec.clear();
    w->TreeView1->collapse(rep);
    w->TreeView1->expand(rep);
    QApplication::processEvents();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_TRUE(model()->isRead(rep));
    EXPECT_EQ(model()->rowCount(rep), 6);
    EXPECT_TRUE(w->TreeView1->isExpanded(rep));
}

TEST_P(ReportTreeOnStores, AFailedControlReadIsReportedAndTheBandIsReadWhenNeededAgain)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd"));
    renameControls(true);
    const QModelIndex detail = band("QuoteStd", "Detail");
    ASSERT_TRUE(detail.isValid());
    rec.clear();
    w->TreeView1->expand(detail);
    QApplication::processEvents();
    ASSERT_EQ(rec.boxes.size(), 1) << qPrintable(rec.texts().join("\n"));
    EXPECT_TRUE(rec.boxes[0].text.contains("RepCtrl", Qt::CaseInsensitive)) << qPrintable(rec.boxes[0].text);
    EXPECT_FALSE(model()->isRead(detail));
    EXPECT_TRUE(model()->hasChildren(detail)) << "still unread, so still with its expander";
    EXPECT_FALSE(w->TreeView1->isExpanded(detail));

    // Selecting it tries again, says so once more, and still shows the band's page.
    rec.clear();
    w->TreeView1->setCurrentIndex(detail);
    QApplication::processEvents();
    EXPECT_EQ(rec.boxes.size(), 1) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(w->TreeView1->currentIndex(), detail);
    EXPECT_EQ(visibleTabs(), QStringList({"tsh_Reports", "tsh_RepBand"}));
    EXPECT_FALSE(model()->isRead(detail));

    // Expand All stops at the first band it cannot read, with one message.
    rec.clear();
    guarded([&] { w->PmRepEdtExpandClick(); });
    QApplication::processEvents();
    EXPECT_EQ(rec.boxes.size(), 1) << qPrintable(rec.texts().join("\n"));

    // Once the table is back, the next expand reads the band.
    renameControls(false);
    rec.clear();
    w->TreeView1->collapse(detail);
    w->TreeView1->expand(detail);
    QApplication::processEvents();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_TRUE(model()->isRead(detail));
    EXPECT_EQ(model()->rowCount(detail), 6);
    EXPECT_TRUE(w->TreeView1->isExpanded(detail));
}

TEST_P(ReportTreeOnStores, ABandFoundWithoutControlsLosesItsExpander)
{
    execOnData({"insert into RepBand (RepName, RbdName, RctGroup, RbdType, RbdContType) "
                                            "values ('QuoteStd', 'Empty', 'NoControls', 3, 0)"});
    start();
    chooseCategory("Quotes");
    const QModelIndex empty = band("QuoteStd", "Empty");
    ASSERT_TRUE(empty.isValid());
    EXPECT_TRUE(model()->hasChildren(empty));
    rec.clear();
    w->TreeView1->setCurrentIndex(empty);
    QApplication::processEvents();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_TRUE(model()->isRead(empty));
    EXPECT_FALSE(model()->hasChildren(empty));
    EXPECT_FALSE(w->TreeView1->isExpanded(empty)) << "a leaf changes no expansion";
    EXPECT_EQ(w->PageControl1->currentWidget(), w->tsh_RepBand);
}

TEST_F(ReportTreeTest, NodeIdsDifferInTheirLowBits)
{
    // Qt finds persistent indexes by the low bits of their ids: ids alike there make every
    // expand and collapse of a big tree slow.
    start();
    chooseCategory("Quotes");
    w->PmRepEdtExpandClick();
    QList<QModelIndex> nodes;
    for (int r = 0; r < model()->rowCount(); ++r) {
        const QModelIndex rep = model()->index(r, 0);
        nodes << rep;
        for (int b = 0; b < model()->rowCount(rep); ++b) {
            const QModelIndex bd = model()->index(b, 0, rep);
            nodes << bd;
            for (int c = 0; c < model()->rowCount(bd); ++c)
                nodes << model()->index(c, 0, bd);
        }
    }
    ASSERT_GT(nodes.size(), 40);
    QSet<quintptr> low;
    for (const QModelIndex &n : nodes) {
        low.insert(n.internalId() & 0x3ff);
        EXPECT_EQ(model()->parent(n), n.parent());
        EXPECT_EQ(model()->index(n.row(), 0, model()->parent(n)), n) << "the id leads back to its node";
    }
    EXPECT_GE(low.size(), nodes.size() * 9 / 10);
}

} // namespace

namespace {

TEST_P(ReportTreeOnStores, RowsAreAnnouncedWithTheirTextsAndStates)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd", "Company", "RepCompName"));
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(w->TreeView1);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->text(QAccessible::Name), "Report Tree");
    const auto row = [&](const QString &text) -> QAccessibleInterface * {
        for (int i = 0; i < tree->childCount(); ++i)
            if (QAccessibleInterface *c = tree->child(i); c && c->text(QAccessible::Name) == text)
                return c;
        return nullptr;
    };
    QAccessibleInterface *report = row("QuoteStd");
    QAccessibleInterface *bandRow = row("Company");
    QAccessibleInterface *control = row("01. Company Name");
    ASSERT_TRUE(report && bandRow && control);
    EXPECT_TRUE(report->state().expanded);
    EXPECT_TRUE(bandRow->state().expandable);
    EXPECT_TRUE(control->state().selected);
    EXPECT_FALSE(control->state().expandable);
    EXPECT_FALSE(report->state().selected);
}

} // namespace
