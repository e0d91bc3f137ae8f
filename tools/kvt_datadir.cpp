// kvt-datadir: sets up a data directory for the editor.
#include "tools/datadir.h"
#include "tools/datadircopy.h"
#include "tools/datadirparadox.h"
#include "engine/journal.h"
#include "engine/session.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <functional>
#include <QStringList>
#include <csignal>
#include <cstdio>

static void printUsage(std::FILE *to)
{
    std::fprintf(to, "usage: kvt-datadir create DIR [--server CONN] [--demo] [--generate R,B,C] [--protect]\n"
                     "       kvt-datadir import PXDIR DIR [--server CONN] [--all] [--codepage N]\n"
                     "       kvt-datadir export DIR PXDIR [--replace]\n"
                     "       kvt-datadir copy SRCDIR DSTDIR [--server CONN]\n"
                     "       kvt-datadir journal DIR [--since DATE]\n"
                     "       kvt-datadir --help | --version\n"
                     "  --server CONN   put the store on a PostgreSQL server: CONN is a libpq connection string\n"
                     "                  (host=SERVER dbname=DATABASE, or postgresql://SERVER/DATABASE), no password;\n"
                     "                  DIR then holds KVT3.pgconn instead of KVT3.sqlite\n"
                     "  --demo          fill demo categories, reports, bands, controls and texts\n"
                     "  --generate R,B,C add a category \"Bench\" of R reports x B bands x C controls\n"
                     "  --protect       protect the tables with the editor's built-in password\n"
                     "  --all           import every Paradox table of PXDIR, not only the seven of the editor\n"
                     "  --codepage N    code page of tables whose header names none (default 1252)\n"
                     "  --since DATE    only the changes from DATE on (2026-12-10 or 2026-12-10T13:30, local time)\n"
                     "  --replace       replace the tables in PXDIR, keeping the old files as .bak\n"
                     "  --help, -h      print this text\n"
                     "  --version       print the version\n"
                     "export also takes a DIR whose store is on a server.\n"
                     "copy copies the store of SRCDIR (file or server) into DSTDIR: onto the server CONN names,\n"
                     "or without --server into DSTDIR/KVT3.sqlite; all or nothing, verified row by row.\n"
                     "journal prints the editor's changes to reports, bands and controls kept in DIR's store,\n"
                     "oldest first, one change a line: time (UTC), user@host, table, row, field: old -> new.\n");
}

// import / export: Ctrl+C stops at the next row; the command then removes what it began.
namespace {
volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) { interrupted = 1; }

int usageParadox()
{
    printUsage(stderr);
    return 1;
}

void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

/// Makes a store with make() in a temporary directory, then copies it onto the server into DIR.
QString viaTemporaryStore(const QString &dir, const QString &server, const std::function<QString(const QString &)> &make)
{
    if (QFileInfo::exists(QDir(dir).filePath(QStringLiteral("KVT3.sqlite"))) ||
        QFileInfo::exists(QDir(dir).filePath(QStringLiteral("KVT3.pgconn"))))
        return QStringLiteral("'%1' already holds a store; nothing was changed").arg(dir);
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return QStringLiteral("Cannot make a temporary directory: %1").arg(tmp.errorString());
    const QString made = QDir(tmp.path()).filePath(QStringLiteral("store"));
    const QString error = make(made);
    if (!error.isEmpty())
        return error;
    kvt::datadir::CopyOptions c;
    c.server = server;
    c.cancelled = [] { return interrupted != 0; };
    return kvt::datadir::copyStore(made, dir, c);
}

/// kvt-datadir copy SRCDIR DSTDIR [--server CONN]; -1 when args are no copy command.
int runCopy(const QStringList &args)
{
    if (args.isEmpty() || args[0] != QLatin1String("copy"))
        return -1;
    if (args.size() != 3 && !(args.size() == 5 && args[3] == QLatin1String("--server")))
        return usageParadox();
    kvt::datadir::CopyOptions o;
    if (args.size() == 5)
        o.server = args[4];
    o.progress = printLine;
    o.cancelled = [] { return interrupted != 0; };
    std::signal(SIGINT, onInterrupt);
    const QString error = kvt::datadir::copyStore(args[1], args[2], o);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kvt-datadir: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

// Returns -1 when args are not an import or export command.
int runParadox(const QStringList &args)
{
    if (args.isEmpty() || (args[0] != QLatin1String("import") && args[0] != QLatin1String("export")))
        return -1;
    const bool import = args[0] == QLatin1String("import");
    if (args.size() < 3)
        return usageParadox();
    kvt::datadir::ParadoxOptions o;
    QString server;
    for (int i = 3; i < args.size(); ++i) {
        if (import && args[i] == QLatin1String("--server") && i + 1 < args.size())
            server = args[++i];
        else if (import && args[i] == QLatin1String("--all"))
            o.all = true;
        else if (import && args[i] == QLatin1String("--codepage") && i + 1 < args.size()) {
            bool ok = false;
            o.defaultCodePage = args[++i].toInt(&ok);
            if (!ok || o.defaultCodePage <= 0)
                return usageParadox();
        } else if (!import && args[i] == QLatin1String("--replace"))
            o.replace = true;
        else
            return usageParadox();
    }
    o.progress = [](const QString &line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    };
    o.cancelled = [] { return interrupted != 0; };
    std::signal(SIGINT, onInterrupt);
    QString error;
    if (import && !server.isEmpty()) {
        // Imported into a store of its own first, then copied onto the server as a whole.
        error = viaTemporaryStore(args[2], server, [&](const QString &tmp) {
            return kvt::datadir::importParadox(args[1], tmp, o);
        });
    } else if (!import && QFileInfo::exists(QDir(args[1]).filePath(QStringLiteral("KVT3.pgconn")))) {
        // A server store is copied into a store file of its own first, and exported from there.
        QTemporaryDir tmp;
        const QString local = QDir(tmp.path()).filePath(QStringLiteral("store"));
        kvt::datadir::CopyOptions c;
        c.cancelled = o.cancelled;
        error = tmp.isValid() ? kvt::datadir::copyStore(args[1], local, c)
                              : QStringLiteral("Cannot make a temporary directory: %1").arg(tmp.errorString());
        if (error.isEmpty())
            error = kvt::datadir::exportParadox(local, args[2], o);
    } else {
        error = import ? kvt::datadir::importParadox(args[1], args[2], o)
                       : kvt::datadir::exportParadox(args[1], args[2], o);
    }
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kvt-datadir: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
/// journal DIR [--since DATE]; -1 when args are no journal command.
int runJournal(const QStringList &args)
{
    if (args.isEmpty() || args[0] != QLatin1String("journal"))
        return -1;
    if (args.size() != 2 && args.size() != 4)
        return usageParadox();
    QDateTime since;
    if (args.size() == 4) {
        if (args[2] != QLatin1String("--since"))
            return usageParadox();
        since = QDateTime::fromString(args[3], Qt::ISODate);
        if (!since.isValid()) {
            const QDate day = QDate::fromString(args[3], Qt::ISODate);
            if (day.isValid())
                since = day.startOfDay();
        }
        if (!since.isValid()) {
            std::fprintf(stderr, "kvt-datadir: --since needs a date as 2026-12-10 or 2026-12-10T13:30, not '%s'\n",
                         qPrintable(args[3]));
            return 1;
        }
    }
    try {
        kvt::Session session(QStringLiteral("JournalSession"));
        kvt::Database db(QStringLiteral("JournalDatabase"));
        db.setSessionName(QStringLiteral("JournalSession"));
        db.setParams({QStringLiteral("PATH=") + args[1]});
        db.open();
        QSqlQuery probe(db.connection());
        if (!probe.exec(QStringLiteral("select 1 from EditJournal where 1 = 0"))) {
            std::fprintf(stderr, "kvt-datadir: the store of '%s' holds no journal yet (no change was posted)\n",
                         qPrintable(args[1]));
            return 0;
        }
        probe = QSqlQuery();
        const QVector<kvt::journal::Entry> entries = kvt::journal::read(db.connection(), {}, {}, since);
        for (auto it = entries.crbegin(); it != entries.crend(); ++it)
            printLine(kvt::journal::line(*it));
        db.close();
    } catch (const kvt::EngineError &e) {
        std::fprintf(stderr, "kvt-datadir: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
} // namespace

static int usage()
{
    printUsage(stderr);
    return 1;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        printUsage(stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == QLatin1String("--version")) {
        std::printf("kvt-datadir %s\n", KVT_VERSION);
        return 0;
    }
    const int paradoxResult = runParadox(args);
    if (paradoxResult >= 0)
        return paradoxResult;
    const int journalResult = runJournal(args);
    if (journalResult >= 0)
        return journalResult;
    const int copyResult = runCopy(args);
    if (copyResult >= 0)
        return copyResult;
    if (args.size() < 2 || args[0] != QLatin1String("create"))
        return usage();
    const QString dir = args[1];
    kvt::datadir::Options options;
    QString server;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--server") && i + 1 < args.size())
            server = args[++i];
        else if (args[i] == QLatin1String("--demo"))
            options.demo = true;
        else if (args[i] == QLatin1String("--protect"))
            options.protect = true;
        else if (args[i] == QLatin1String("--generate") && i + 1 < args.size()) {
            if (!kvt::datadir::parseGenerate(args[++i], options)) {
                std::fprintf(stderr, "kvt-datadir: --generate needs three positive numbers R,B,C\n");
                return 1;
            }
        } else
            return usage();
    }
    std::signal(SIGINT, onInterrupt);
    const QString error = server.isEmpty() ? kvt::datadir::create(dir, options)
                                           : viaTemporaryStore(dir, server, [&](const QString &tmp) {
                                                 return kvt::datadir::create(tmp, options);
                                             });
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kvt-datadir: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("kvt-datadir: created %s\n", qPrintable(dir));
    return 0;
}
