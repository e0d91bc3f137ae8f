// kvt-datadir: sets up a data directory for the editor.
#include "tools/datadir.h"
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

static void printUsage(std::FILE *to)
{
    std::fprintf(to, "usage: kvt-datadir create DIR [--demo] [--generate R,B,C] [--protect]\n"
                     "       kvt-datadir --help | --version\n"
                     "  --demo          fill demo categories, reports, bands, controls and texts\n"
                     "  --generate R,B,C add a category \"Bench\" of R reports x B bands x C controls\n"
                     "  --protect       protect the tables with the editor's built-in password\n"
                     "  --help, -h      print this text\n"
                     "  --version       print the version\n");
}

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
