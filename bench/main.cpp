// kvt-bench: the editor's tree build, selection, start-up, text caches and memory against their
// baselines. Prints one line "name: value unit" per figure; notes and the target summary go to stderr.
#include "app/gui/startup.h"
#include "bench/cases.h"
#include "common/messageservice.h"
#include <QDir>
#include <cstdio>
#include <cstring>

namespace {

void usage() {
    std::fprintf(stderr, "usage: kvt-bench [--quick] [--runs N] [--cases 1,...,11] [--tree R,B,C] [--big DIR]\n"
                         "  --quick   small sizes, a smoke run\n"
                         "  --runs N  measured runs per case after one warm-up (default 5)\n"
                         "  --cases   1 category switch, 2 selection, 3 start-up, 4 text caches, 5 memory,\n"
                         "            6 Paradox import, 7 page preview redraw, 8 Expand All,\n"
                         "            9 the category of 1,000,000 control nodes, 10 tree filter,\n"
                         "            11 server store against SQLite\n"
                         "  --tree    reports, bands per report and controls per band of cases 1, 2, 5, 8 and 10\n"
                         "  --big     data directory of the 1,000,000-node category (made there if empty)\n");
}

/// The offscreen platform's remarks about itself say nothing about the editor; everything else passes.
void filterMessages(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (text.contains(QLatin1String("propagateSizeHints")) || text.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

bool parseInts(const char *text, std::vector<int> &out) {
    out.clear();
    for (const QString &p : QString::fromLocal8Bit(text).split(QLatin1Char(','))) {
        bool ok = false;
        const int v = p.trimmed().toInt(&ok);
        if (!ok || v < 1)
            return false;
        out.push_back(v);
    }
    return !out.empty();
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--bare-window") == 0)
            return bench::runBareWindow(argc, argv);

    bench::Config cfg;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::vector<int> v;
        if (std::strcmp(a, "--quick") == 0) {
            cfg.quick = true;
            cfg.reports = 10;
            cfg.bands = 5;
            cfg.controls = 20;
            cfg.selections = 100;
            cfg.textRows = 1000;
            cfg.lookups = 100000;
        } else if (std::strcmp(a, "--runs") == 0 && value && parseInts(value, v) && v.size() == 1) {
            cfg.runs = v[0];
            ++i;
        } else if (std::strcmp(a, "--cases") == 0 && value && parseInts(value, v)) {
            cfg.cases = v;
            ++i;
        } else if (std::strcmp(a, "--big") == 0 && value) {
            cfg.bigData = QString::fromLocal8Bit(value);
            ++i;
        } else if (std::strcmp(a, "--tree") == 0 && value && parseInts(value, v) && v.size() == 3) {
            cfg.reports = v[0];
            cfg.bands = v[1];
            cfg.controls = v[2];
            ++i;
        } else {
            usage();
            return 2;
        }
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(filterMessages);
    kvt::KvtApplication app(argc, argv);
    kvt::setMessageService(nullptr); // nothing may wait for a user
    cfg.benchExe = QCoreApplication::applicationFilePath();
    cfg.editorExe =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kvt-report-editor"));
    bench::note(QStringLiteral("%1 runs per case after one warm-up, medians%2")
                    .arg(cfg.runs)
                    .arg(cfg.quick ? QStringLiteral(" (quick sizes)") : QString()));

    if (cfg.wants(1) || cfg.wants(2) || cfg.wants(5) || cfg.wants(8) || cfg.wants(9))
        bench::runTreeCases(cfg);
    if (cfg.wants(4))
        bench::runTextCases(cfg);
    if (cfg.wants(3))
        bench::runStartupCases(cfg);
    if (cfg.wants(6))
        bench::runParadoxCases(cfg);
    if (cfg.wants(7))
        bench::runPreviewCases(cfg);
    if (cfg.wants(10))
        bench::runFilterCases(cfg);
    if (cfg.wants(11))
        bench::runServerCases(cfg);
    bench::targetSummary();
    return 0;
}
