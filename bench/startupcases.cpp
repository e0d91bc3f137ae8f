#include "bench/cases.h"
#include "bench/fixture.h"
#include "editor/repmainfrm.h"
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include "editor/reporttree.h"
#include <QWidget>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace bench {

namespace {

/// Starts exe with args and the environment plus extra ("NAME=value"), waits for its end and returns
/// the wall time from before the start to after the end. Output goes to errFile (or nowhere).
double timeProcess(const QString &exe, const QStringList &args, const QStringList &extra,
                   const QString &errFile = {}) {
    QList<QByteArray> env;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        bool replaced = false;
        for (const QString &x : extra)
            replaced = replaced || entry.startsWith(x.section(QLatin1Char('='), 0, 0).toLocal8Bit() + '=');
        if (!replaced)
            env << entry;
    }
    for (const QString &x : extra)
        env << x.toLocal8Bit();
    std::vector<char *> envp;
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    QList<QByteArray> argBytes{exe.toLocal8Bit()};
    for (const QString &a : args)
        argBytes << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const QByteArray err = errFile.isEmpty() ? QByteArray("/dev/null") : errFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    pid_t pid = 0;
    const auto t0 = Clock::now();
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    int status = 0;
    if (rc == 0)
        waitpid(pid, &status, 0);
    const double ms = msSince(t0);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        fail(QStringLiteral("cannot start %1: %2").arg(exe, QString::fromLocal8Bit(std::strerror(rc))));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(QStringLiteral("%1 ended abnormally (status %2)").arg(exe).arg(status));
    return ms;
}

const QString Offscreen = QStringLiteral("QT_QPA_PLATFORM=offscreen");

} // namespace

int runBareWindow(int argc, char **argv) {
    // "--text": the window shows one line of text, so the process also sets up the font database.
    bool withText = false;
    for (int i = 1; i < argc; ++i)
        withText = withText || std::strcmp(argv[i], "--text") == 0;
    QApplication app(argc, argv);
    QWidget w;
    w.resize(640, 450);
    if (withText)
        (new QLabel(QStringLiteral("Report Editor"), &w))->move(8, 8);
    // The same way out as the editor's unattended run: a timer closes the window, the loop ends.
    QTimer::singleShot(1, &w, &QWidget::close);
    w.show();
    return app.exec();
}

void runStartupCases(const Config &cfg) {
    if (!QFile::exists(cfg.editorExe))
        fail(QStringLiteral("%1 is missing; build the target kvt-report-editor").arg(cfg.editorExe));
    kvt::datadir::Options o;
    o.demo = true;
    ProgramDir dir(o);
    // The editor finds KVT3.INI and DATA beside its executable.
    const QString exe = dir.path() + QStringLiteral("kvt-report-editor");
    if (!QFile::copy(cfg.editorExe, exe))
        fail(QStringLiteral("cannot copy the editor to %1").arg(exe));
    const QStringList editorEnv{Offscreen, QStringLiteral("KVT_AUTOCLOSE_MS=1")};

    // The first run writes KVT3.INI and registers missing button texts; anything it reports is a set-up
    // error.
    const QString errFile = dir.path() + QStringLiteral("editor-stderr.txt");
    timeProcess(exe, {}, editorEnv, errFile);
    QFile errors(errFile);
    if (errors.open(QIODevice::ReadOnly)) {
        QStringList lines;
        for (const QByteArray &line : errors.readAll().split('\n'))
            if (!line.trimmed().isEmpty() && !line.contains("XDG_RUNTIME_DIR") &&
                !line.contains("propagateSizeHints"))
                lines << QString::fromLocal8Bit(line);
        if (!lines.isEmpty())
            note(QStringLiteral("the editor reported on its first run: ") +
                 lines.join(QStringLiteral(" | ")));
    }

    // Processes are cheap and their times scatter with the machine's load: more runs, a steadier median.
    const int runs = 2 * cfg.runs + 1;
    const Medians proc = interleaved(
        runs, [&] { return timeProcess(exe, {}, editorEnv); },
        [&] { return timeProcess(cfg.benchExe, {QStringLiteral("--bare-window")}, {Offscreen}); });
    figure("startup_editor_process", proc.subject, "ms", 1);
    figure("startup_bare_window_process", proc.baseline, "ms", 1);
    figure("startup_ratio", proc.ratio(), "x");
    std::vector<double> text;
    for (int i = 0; i <= runs; ++i) { // the first is the warm-up
        const double ms = timeProcess(
            cfg.benchExe, {QStringLiteral("--bare-window"), QStringLiteral("--text")}, {Offscreen});
        if (i > 0)
            text.push_back(ms);
    }
    figure("startup_bare_text_window_process", median(text), "ms", 1);
    target(QStringLiteral("start-up %1 x bare window <= 2").arg(proc.ratio(), 0, 'f', 2),
           proc.ratio() <= 2.0);

    if (cfg.wants(9)) {
        // The same editor whose first category holds 1,000,000 control nodes, beside the demo.
        ProgramDir big(bigDataDir(cfg));
        const QString bigExe = big.path() + QStringLiteral("kvt-report-editor");
        if (!QFile::copy(cfg.editorExe, bigExe))
            fail(QStringLiteral("cannot copy the editor to %1").arg(bigExe));
        timeProcess(bigExe, {}, editorEnv); // writes its KVT3.INI
        const Medians bigProc = interleaved(
            runs, [&] { return timeProcess(bigExe, {}, editorEnv); }, [&] { return timeProcess(exe, {}, editorEnv); });
        figure("startup_big_category_process", bigProc.subject, "ms", 1);
        figure("startup_demo_process", bigProc.baseline, "ms", 1);
        figure("startup_big_to_demo_ratio", bigProc.ratio(), "x");
        target(QStringLiteral("start-up on 1M nodes %1 x on the demo <= 1.1").arg(bigProc.ratio(), 0, 'f', 2),
               bigProc.ratio() <= 1.1);
    }

    // In this process: a fresh data module, fresh caches and a fresh window up to the first report
    // selected; the framework itself is already warm here.
    const Medians show = interleaved(
        cfg.runs,
        [&] {
            const auto t0 = Clock::now();
            EditorSession ed(dir.path());
            const double ms = msSince(t0);
            if (ed.w->TreeView1->currentIndex() != ed.w->TreeView1->topLevelIndex(0) ||
                !ed.w->TreeView1->currentIndex().isValid())
                fail(QStringLiteral("the first show selected no report"));
            return ms;
        },
        [&] {
            const auto t0 = Clock::now();
            auto *w = new QWidget;
            w->resize(640, 450);
            w->show();
            QCoreApplication::processEvents();
            const double ms = msSince(t0);
            delete w;
            return ms;
        });
    figure("startup_editor_first_show_in_process", show.subject, "ms", 1);
    figure("startup_bare_window_show_in_process", show.baseline, "ms", 2);
}

} // namespace bench
