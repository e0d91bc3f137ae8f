#include "bench/cases.h"
#include "bench/fixture.h"
#include "dbwidgets/dblookupcombobox.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "engine/dataset.h"
#include "labels/gui/tabsheet.h"
#include "reportdef/schema.h"
#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTreeWidget>
#include <malloc.h>
#include <memory>

namespace bench {

namespace {

const QString Category = QStringLiteral("Bench");

/// Sorts before "Bench", so the first show builds an empty tree and the cases build the big one.
const QString EmptyCategory = QStringLiteral("AEmpty");

int controlNodeCount(const QTreeWidget *tree) {
    int n = 0;
    for (int r = 0; r < tree->topLevelItemCount(); ++r)
        for (int b = 0; b < tree->topLevelItem(r)->childCount(); ++b)
            n += tree->topLevelItem(r)->child(b)->childCount();
    return n;
}

/// The editor's build as the user starts it: choose the category, then let the window settle.
double editorBuild(kvt::TRepMainForm *w) {
    const auto t0 = Clock::now();
    w->cmbRepCat->setKeyValue(Category);
    w->cmbRepCatClick();
    QCoreApplication::processEvents();
    return msSince(t0);
}

QSqlQuery prepared(QSqlDatabase db, const QString &sql) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        fail(sql + QStringLiteral(": ") + q.lastError().text());
    return q;
}

void run(QSqlQuery &q) {
    if (!q.exec())
        fail(q.lastQuery() + QStringLiteral(": ") + q.lastError().text());
}

/// The limit of the design for the tree: the same walk (reports of the category, their bands, one
/// control query per band) with plain prepared Qt SQL, and plain items added in one batch.
class BareTree {
public:
    BareTree(QSqlDatabase db, QSize size)
        : m_reports(
              prepared(db, QStringLiteral("select * from Reports where RepCatName = ? order by RepName"))),
          m_bands(prepared(db, QStringLiteral("select * from RepBand where RepName = ? order by RbdName"))),
          m_controls(prepared(db, kvt::reportdef::controlQuerySql())) {
        m_tree.setHeaderHidden(true);
        m_tree.setUniformRowHeights(true);
        m_tree.resize(size);
        m_tree.show();
        QCoreApplication::processEvents();
    }

    double build() {
        const auto t0 = Clock::now();
        m_tree.clear();
        QList<QTreeWidgetItem *> tops;
        m_reports.bindValue(0, Category);
        run(m_reports);
        while (m_reports.next()) {
            const QString rep = m_reports.value(0).toString();
            auto *repItem = new QTreeWidgetItem(QStringList(rep));
            tops << repItem;
            m_bands.bindValue(0, rep);
            run(m_bands);
            QList<QTreeWidgetItem *> bandItems;
            while (m_bands.next()) {
                auto *bandItem = new QTreeWidgetItem(QStringList(m_bands.value(1).toString()));
                bandItems << bandItem;
                m_controls.bindValue(QStringLiteral(":RepName"), rep);
                m_controls.bindValue(QStringLiteral(":RctGroup"), m_bands.value(2));
                run(m_controls);
                QList<QTreeWidgetItem *> ctrlItems;
                while (m_controls.next())
                    ctrlItems << new QTreeWidgetItem(
                        QStringList(QString::asprintf("%02d. ", m_controls.value(11).toInt()) +
                                    m_controls.value(2).toString().section(QLatin1Char(':'), 0, 0)));
                bandItem->addChildren(ctrlItems);
            }
            repItem->addChildren(bandItems);
        }
        m_tree.addTopLevelItems(tops);
        QCoreApplication::processEvents();
        return msSince(t0);
    }

    const QTreeWidget &tree() const { return m_tree; }

private:
    QSqlQuery m_reports, m_bands, m_controls;
    QTreeWidget m_tree;
};

struct NodeKey {
    QTreeWidgetItem *node;
    QString rep, band, ctrl;
};

/// Control nodes spread over the tree: consecutive picks change report and band.
std::vector<NodeKey> pickControls(QTreeWidget *tree, int count) {
    std::vector<NodeKey> keys;
    const int reports = tree->topLevelItemCount();
    for (int k = 0; k < count && reports > 0; ++k) {
        QTreeWidgetItem *rep = tree->topLevelItem(k % reports);
        if (rep->childCount() == 0)
            continue;
        QTreeWidgetItem *band = rep->child((k / reports) % rep->childCount());
        if (band->childCount() == 0)
            continue;
        auto *node = static_cast<kvt::RepTreeItem *>(band->child((k * 37) % band->childCount()));
        keys.push_back({node, node->record()->RepName, node->record()->RbdName, node->record()->RctName});
    }
    return keys;
}

/// The limit of the design for a selection: the three rows read by key with bound values, in one
/// read transaction that ends with them, as a program must that leaves the store to other users
/// between two selections (a statement left running would hold its read lock for good).
class BareReads {
public:
    explicit BareReads(QSqlDatabase db)
        : m_begin(prepared(db, QStringLiteral("begin"))), m_commit(prepared(db, QStringLiteral("commit"))),
          m_rep(prepared(db, QStringLiteral("select * from Reports where RepName = ?"))),
          m_band(prepared(db, QStringLiteral("select * from RepBand where RepName = ? and RbdName = ?"))),
          m_ctrl(prepared(
              db,
              QStringLiteral("select * from RepCtrl where RepName = ? and RctGroup = ? and RctName = ?"))) {}

    /// Milliseconds per selection.
    double readAll(const std::vector<NodeKey> &keys) {
        const auto t0 = Clock::now();
        for (const NodeKey &k : keys) {
            run(m_begin);
            m_rep.bindValue(0, k.rep);
            readRow(m_rep, 8);
            m_band.bindValue(0, k.rep);
            m_band.bindValue(1, k.band);
            const QVariant group = readRow(m_band, 10);
            m_ctrl.bindValue(0, k.rep);
            m_ctrl.bindValue(1, group);
            m_ctrl.bindValue(2, k.ctrl);
            readRow(m_ctrl, 19);
            run(m_commit);
        }
        return msSince(t0) / double(keys.size());
    }

    qint64 sink = 0;

private:
    /// Reads every column of the one row; returns the third column.
    QVariant readRow(QSqlQuery &q, int columns) {
        run(q);
        if (!q.next())
            fail(QStringLiteral("keyed read found no row: ") + q.lastQuery());
        for (int i = 0; i < columns; ++i)
            sink += q.value(i).isNull() ? 0 : 1;
        const QVariant third = q.value(2);
        q.finish();
        return third;
    }

    QSqlQuery m_begin, m_commit, m_rep, m_band, m_ctrl;
};

/// One selection as the user makes it; kept out of line so a profiler can single it out.
[[gnu::noinline]] void selectNode(QTreeWidget *tree, QTreeWidgetItem *node) {
    tree->setCurrentItem(node);
}

void checkSelected(kvt::TRepMainForm *w, const NodeKey &k) {
    if (w->PageControl1->currentWidget() != w->tsh_RepCtrl ||
        w->TblRepCtrl->fieldByName(QStringLiteral("RctName"))->asString() != k.ctrl ||
        w->TblRepBand->fieldByName(QStringLiteral("RbdName"))->asString() != k.band ||
        w->TblReports->fieldByName(QStringLiteral("RepName"))->asString() != k.rep)
        fail(QStringLiteral("selecting %1/%2/%3 did not show its rows").arg(k.rep, k.band, k.ctrl));
}

} // namespace

void runTreeCases(const Config &cfg) {
    kvt::datadir::Options o;
    o.benchReports = cfg.reports;
    o.benchBands = cfg.bands;
    o.benchControls = cfg.controls;
    ProgramDir dir(o);
    execOnStore(dir.dataDir(), {QStringLiteral("insert into RepCat values ('%1')").arg(EmptyCategory)});
    const int expected = cfg.reports * cfg.bands * cfg.controls;
    note(QStringLiteral("tree: category of %1 reports x %2 bands x %3 controls")
             .arg(cfg.reports)
             .arg(cfg.bands)
             .arg(cfg.controls));

    EditorSession ed(dir.path());
    kvt::TRepMainForm *w = ed.w;
    if (w->cmbRepCat->keyValue() != EmptyCategory || w->TreeView1->topLevelItemCount() != 0)
        fail(QStringLiteral("the first show did not start on the empty category"));

    // Case 5 comes first: the first build of the big tree, from a settled process.
    QCoreApplication::processEvents();
    malloc_trim(0);
    const long rssBefore = statusKiB("VmRSS");
    const bool peakReset = resetPeakRss();
    const double firstBuild = editorBuild(w);
    const long hwm = statusKiB("VmHWM");
    const long rssAfter = statusKiB("VmRSS");
    const int nodes = controlNodeCount(w->TreeView1);
    if (nodes != expected)
        fail(QStringLiteral("the tree holds %1 control nodes, expected %2").arg(nodes).arg(expected));
    if (!peakReset)
        note(QStringLiteral("the peak resident size could not be reset; the peak is the process's"));
    note(QStringLiteral("first (cold) tree build: %1 ms").arg(firstBuild, 0, 'f', 1));

    if (cfg.wants(5)) {
        figure("memory_control_nodes", nodes, "nodes", 0);
        figure("memory_rss_before_build", double(rssBefore) / 1024.0, "MiB", 1);
        figure("memory_peak_rss_after_build", double(hwm) / 1024.0, "MiB", 1);
        const double perNode = double(hwm - rssBefore) * 1024.0 / nodes;
        figure("memory_peak_per_control_node", perNode, "bytes", 0);
        figure("memory_resident_per_control_node", double(rssAfter - rssBefore) * 1024.0 / nodes, "bytes", 0);
        target(QStringLiteral("memory %1 bytes per control node < 1024").arg(perNode, 0, 'f', 0),
               perNode < 1024);
    }

    BareConnection bare(dir.dataDir());
    if (cfg.wants(1)) {
        BareTree baseline(bare.db(), w->TreeView1->size());
        const Medians m = interleaved(
            cfg.runs, [&] { return editorBuild(w); }, [&] { return baseline.build(); });
        if (controlNodeCount(&baseline.tree()) != nodes || controlNodeCount(w->TreeView1) != nodes)
            fail(QStringLiteral("the trees of case 1 differ in size"));
        figure("tree_build_editor", m.subject, "ms", 1);
        figure("tree_build_baseline", m.baseline, "ms", 1);
        figure("tree_build_ratio", m.ratio(), "x");
        target(QStringLiteral("tree build %1 x baseline <= 1.5").arg(m.ratio(), 0, 'f', 2), m.ratio() <= 1.5);
    }

    if (cfg.wants(2)) {
        const std::vector<NodeKey> keys = pickControls(w->TreeView1, cfg.selections);
        if (keys.empty())
            fail(QStringLiteral("no control nodes to select"));
        BareReads baseline(bare.db());
        // Per run: the handler alone (setCurrentItem runs it) and with the window's repaint after it.
        const auto selectAll = [&](double *withPaint) {
            double handler = 0, whole = 0;
            for (const NodeKey &k : keys) {
                const auto t0 = Clock::now();
                selectNode(w->TreeView1, k.node);
                const auto t1 = Clock::now();
                QCoreApplication::processEvents();
                handler += msBetween(t0, t1);
                whole += msSince(t0);
            }
            *withPaint = whole / double(keys.size());
            return handler / double(keys.size());
        };
        double paint = 0;
        for (const NodeKey &k : keys) { // warm-up, checked node by node
            selectNode(w->TreeView1, k.node);
            QCoreApplication::processEvents();
            checkSelected(w, k);
        }
        baseline.readAll(keys);
        std::vector<double> ed, withPaint, base;
        for (int i = 0; i < cfg.runs; ++i) {
            ed.push_back(selectAll(&paint));
            withPaint.push_back(paint);
            base.push_back(baseline.readAll(keys));
        }
        const double e = median(ed), b = median(base);
        figure("selection_count", double(keys.size()), "selections", 0);
        figure("selection_editor", e, "ms", 3);
        figure("selection_baseline", b, "ms", 3);
        figure("selection_ratio", e / b, "x");
        figure("selection_editor_with_repaint", median(withPaint), "ms", 3);
        target(QStringLiteral("selection %1 ms < 1").arg(e, 0, 'f', 3), e < 1.0);
        target(QStringLiteral("selection %1 x baseline <= 3").arg(e / b, 0, 'f', 2), e / b <= 3.0);
    }
}

} // namespace bench
