// Case 7: the editor on a server store (PostgreSQL on a Unix socket of a throwaway local server)
// side by side with the same rows in an SQLite store: category switch, selection and post.
#include "bench/cases.h"
#include "bench/fixture.h"
#include "dbwidgets/dblookupcombobox.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "engine/dataset.h"
#include "tools/datadircopy.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPersistentModelIndex>
#include <unistd.h>

namespace bench {

namespace {

const QString Category = QStringLiteral("Bench");
const QString EmptyCategory = QStringLiteral("AEmpty");

/// A PostgreSQL cluster in a temporary folder, listening on a Unix socket there only; as root the
/// server runs as "nobody" (initdb refuses root).
class LocalServer {
public:
    LocalServer()
    {
        for (const QString &v : QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(v)))
                m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
        if (m_bin.isEmpty())
            return;
        QByteArray tmpl("/tmp/kvt-pgbench.XXXXXX");
        if (!mkdtemp(tmpl.data()))
            fail(QStringLiteral("cannot make a folder for the server"));
        m_dir = QString::fromLocal8Bit(tmpl);
        if (geteuid() == 0 && QProcess::execute(QStringLiteral("chown"), {QStringLiteral("nobody"), m_dir}) != 0)
            fail(QStringLiteral("cannot hand the server folder to nobody"));
        if (run(QStringLiteral("initdb"), {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-A"),
                                           QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("kvt"),
                                           QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-locale")}) != 0)
            fail(QStringLiteral("initdb failed"));
        if (run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-l"),
                                           m_dir + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-s"),
                                           QStringLiteral("-o"),
                                           QStringLiteral("-c listen_addresses='' -k %1").arg(m_dir), QStringLiteral("start")}) != 0)
            fail(QStringLiteral("the server did not start; see %1/server.log").arg(m_dir));
        m_started = true;
    }
    ~LocalServer()
    {
        if (m_started)
            run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir + QStringLiteral("/data"), QStringLiteral("-m"),
                                           QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("-s"), QStringLiteral("stop")});
        if (!m_dir.isEmpty())
            QDir(m_dir).removeRecursively();
    }
    bool available() const { return m_started; }
    QString conninfo() const { return QStringLiteral("host=%1 user=kvt dbname=postgres").arg(m_dir); }

private:
    int run(const QString &tool, const QStringList &args)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir);
        p.setProcessChannelMode(QProcess::MergedChannels);
        if (geteuid() == 0)
            p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), m_bin + tool} + args);
        else
            p.start(m_bin + tool, args);
        p.waitForFinished(120000);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    QString m_bin;
    QString m_dir;
    bool m_started = false;
};

double categorySwitch(kvt::TRepMainForm *w)
{
    // Away to the empty category and back: the switch to the big one is what is timed.
    w->cmbRepCat->setKeyValue(EmptyCategory);
    w->cmbRepCatClick();
    QCoreApplication::processEvents();
    const auto t0 = Clock::now();
    w->cmbRepCat->setKeyValue(Category);
    w->cmbRepCatClick();
    QCoreApplication::processEvents();
    return msSince(t0);
}

/// Control nodes spread over the tree: consecutive picks change report and band. Their bands are
/// read first, as a user opens them before choosing one of their controls.
std::vector<QPersistentModelIndex> pickControls(kvt::RepTreeView *tree, int count)
{
    std::vector<QPersistentModelIndex> out;
    kvt::ReportTreeModel *m = tree->reportModel();
    const int reports = tree->topLevelCount();
    for (int k = 0; k < count && reports > 0; ++k) {
        const QModelIndex rep = tree->topLevelIndex(k % reports);
        if (m->rowCount(rep) == 0)
            continue;
        const QModelIndex band = m->index((k / reports) % m->rowCount(rep), 0, rep);
        m->readControls(band);
        if (m->rowCount(band) > 0)
            out.push_back(m->index((k * 37) % m->rowCount(band), 0, band));
    }
    return out;
}

struct StoreFigures {
    double categorySwitch = 0;
    double selection = 0;
    double post = 0;
};

StoreFigures measure(const QString &programDir, const Config &cfg)
{
    EditorSession ed(programDir);
    kvt::TRepMainForm *w = ed.w;
    StoreFigures f;
    std::vector<double> switches;
    categorySwitch(w); // warm-up
    for (int i = 0; i < cfg.runs; ++i)
        switches.push_back(categorySwitch(w));
    f.categorySwitch = median(switches);

    const auto nodes = pickControls(w->TreeView1, cfg.quick ? 100 : 500);
    if (nodes.empty())
        fail(QStringLiteral("no control nodes to select"));
    std::vector<double> selections;
    for (int run = 0; run <= cfg.runs; ++run) {
        const auto t0 = Clock::now();
        for (const QPersistentModelIndex &n : nodes)
            w->TreeView1->setCurrentIndex(n);
        if (run > 0) // the first is the warm-up
            selections.push_back(msSince(t0) / double(nodes.size()));
        QCoreApplication::processEvents();
    }
    f.selection = median(selections);

    // Posts of the selected report's title, each a conflict-safe update of one row.
    w->TreeView1->setCurrentIndex(w->TreeView1->topLevelIndex(0));
    QCoreApplication::processEvents();
    kvt::Table *t = w->TblReports;
    const QString title = t->fieldByName(QStringLiteral("RepTitle"))->asString();
    const int posts = cfg.quick ? 50 : 200;
    std::vector<double> each;
    for (int i = 0; i <= posts; ++i) {
        const auto t0 = Clock::now();
        t->edit();
        t->fieldByName(QStringLiteral("RepTitle"))->setAsString(i % 2 ? title : title + QStringLiteral(" (b)"));
        t->post();
        if (i > 0)
            each.push_back(msSince(t0));
    }
    if (t->fieldByName(QStringLiteral("RepTitle"))->asString() != title + QStringLiteral(" (b)") && posts % 2 == 0)
        fail(QStringLiteral("the posts did not reach the store"));
    f.post = median(each);
    return f;
}

} // namespace

void runServerCases(const Config &cfg)
{
    LocalServer server;
    if (!server.available()) {
        note(QStringLiteral("server store: PostgreSQL server binaries not installed, case 11 skipped"));
        return;
    }
    kvt::datadir::Options o;
    o.demo = true;
    o.benchReports = cfg.reports;
    o.benchBands = cfg.bands;
    o.benchControls = cfg.controls;
    ProgramDir sqliteDir(o);
    execOnStore(sqliteDir.dataDir(), {QStringLiteral("insert into RepCat values ('%1')").arg(EmptyCategory)});
    // The same rows on the server: a program folder whose DATA names it.
    kvt::datadir::Options small;
    ProgramDir serverDir(small);
    QDir(serverDir.dataDir()).removeRecursively();
    kvt::datadir::CopyOptions copy;
    copy.server = server.conninfo();
    const auto t0 = Clock::now();
    const QString err = kvt::datadir::copyStore(sqliteDir.dataDir(), serverDir.dataDir(), copy);
    if (!err.isEmpty())
        fail(QStringLiteral("cannot copy the store onto the server: ") + err);
    note(QStringLiteral("server store: %1 x %2 x %3 copied onto a local server in %4 s")
             .arg(cfg.reports)
             .arg(cfg.bands)
             .arg(cfg.controls)
             .arg(msSince(t0) / 1000.0, 0, 'f', 1));

    const StoreFigures lite = measure(sqliteDir.path(), cfg);
    const StoreFigures pg = measure(serverDir.path(), cfg);
    figure("server_category_switch_sqlite", lite.categorySwitch, "ms", 1);
    figure("server_category_switch_server", pg.categorySwitch, "ms", 1);
    const double ratio = lite.categorySwitch > 0 ? pg.categorySwitch / lite.categorySwitch : 0;
    figure("server_category_switch_ratio", ratio, "x");
    figure("server_selection_sqlite", lite.selection, "ms", 3);
    figure("server_selection_server", pg.selection, "ms", 3);
    figure("server_post_sqlite", lite.post, "ms", 3);
    figure("server_post_server", pg.post, "ms", 3);
    target(QStringLiteral("server store: selection %1 ms < 2").arg(pg.selection, 0, 'f', 3), pg.selection < 2.0);
    target(QStringLiteral("server store: category switch %1 x SQLite <= 3").arg(ratio, 0, 'f', 2), ratio <= 3.0);
    target(QStringLiteral("server store: post %1 ms < 5").arg(pg.post, 0, 'f', 3), pg.post < 5.0);
}

} // namespace bench
