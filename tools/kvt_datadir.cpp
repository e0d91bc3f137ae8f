// kvt-datadir: sets up a data directory for the editor.
#include "tools/datadir.h"
#include "tools/datadirparadox.h"
#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>

static void printUsage(std::FILE *to)
{
    std::fprintf(to, "usage: kvt-datadir create DIR [--demo] [--generate R,B,C] [--protect]\n"
                     "       kvt-datadir import PXDIR DIR [--all] [--codepage N]\n"
                     "       kvt-datadir export DIR PXDIR [--replace]\n"
                     "       kvt-datadir --help | --version\n"
                     "  --demo          fill demo categories, reports, bands, controls and texts\n"
                     "  --generate R,B,C add a category \"Bench\" of R reports x B bands x C controls\n"
                     "  --protect       protect the tables with the editor's built-in password\n"
                     "  --all           import every Paradox table of PXDIR, not only the seven of the editor\n"
                     "  --codepage N    code page of tables whose header names none (default 1252)\n"
                     "  --replace       replace the tables in PXDIR, keeping the old files as .bak\n"
                     "  --help, -h      print this text\n"
                     "  --version       print the version\n");
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

// Returns -1 when args are not an import or export command.
int runParadox(const QStringList &args)
{
    if (args.isEmpty() || (args[0] != QLatin1String("import") && args[0] != QLatin1String("export")))
        return -1;
    const bool import = args[0] == QLatin1String("import");
    if (args.size() < 3)
        return usageParadox();
    kvt::datadir::ParadoxOptions o;
    for (int i = 3; i < args.size(); ++i) {
        if (import && args[i] == QLatin1String("--all"))
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
    const QString error = import ? kvt::datadir::importParadox(args[1], args[2], o)
                                 : kvt::datadir::exportParadox(args[1], args[2], o);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kvt-datadir: %s\n", qPrintable(error));
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
    if (args.size() < 2 || args[0] != QLatin1String("create"))
        return usage();
    const QString dir = args[1];
    kvt::datadir::Options options;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--demo"))
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
    const QString error = kvt::datadir::create(dir, options);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kvt-datadir: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("kvt-datadir: created %s\n", qPrintable(dir));
    return 0;
}
