// The command line of kvt-datadir: help and version go to standard output with exit code 0, a wrong
// command line gets the usage on standard error and exit code 1.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(DataDirCommandLine, HelpVersionAndWrongOnes)
{
    const QString exe = QStringLiteral(KVT_BINARY_DIR "/kvt-datadir");
    if (!QFile::exists(exe))
        GTEST_SKIP() << "kvt-datadir not built";
    const struct {
        QStringList args;
        int exitCode;
        const char *out; // pattern for standard output
        const char *err; // pattern for standard error
    } cases[] = {
        {{"--help"}, 0, "^usage: kvt-datadir create DIR .*\n       kvt-datadir --help \\| --version\n.*--version ", "^$"},
        {{"-h"}, 0, "^usage: kvt-datadir create DIR ", "^$"},
        {{"--version"}, 0, "^kvt-datadir [0-9]+\\.[0-9]+(\\.[0-9]+)*\n$", "^$"},
        {{}, 1, "^$", "^usage: kvt-datadir create DIR "},
        {{"--help", "extra"}, 1, "^$", "^usage: "},
        {{"--bogus"}, 1, "^$", "^usage: "},
        {{"create"}, 1, "^$", "^usage: "},
    };
    for (const auto &c : cases) {
        QProcess p;
        p.start(exe, c.args);
        ASSERT_TRUE(p.waitForFinished(30000)) << c.args.join(' ').toStdString();
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.exitCode) << c.args.join(' ').toStdString();
        const auto dotAll = QRegularExpression::DotMatchesEverythingOption;
        EXPECT_TRUE(QRegularExpression(QString::fromLatin1(c.out), dotAll).match(out).hasMatch())
            << c.args.join(' ').toStdString() << ": " << out.toStdString();
        EXPECT_TRUE(QRegularExpression(QString::fromLatin1(c.err), dotAll).match(err).hasMatch())
            << c.args.join(' ').toStdString() << ": " << err.toStdString();
    }
}

} // namespace
