#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

/// Run by hand (not by ctest, which starts the test server once for all test programs), the
/// program starts a test server of its own for its run and stops it at the end.
class OwnServer {
public:
    OwnServer()
    {
        if (!qEnvironmentVariableIsEmpty("KVT_TEST_PGCONN") || QFile::exists(QStringLiteral(KVT_BINARY_DIR "/pgtest-server")))
            return;
        m_state = m_tmp.filePath(QStringLiteral("server"));
        if (run(QStringLiteral("start")) && QFile::exists(m_state)) {
            QFile f(m_state);
            if (f.open(QIODevice::ReadOnly))
                qputenv("KVT_TEST_PGCONN", f.readLine().trimmed());
        }
    }
    ~OwnServer()
    {
        if (!m_state.isEmpty())
            run(QStringLiteral("stop"));
    }

private:
    bool run(const QString &action)
    {
        return QProcess::execute(QStringLiteral("bash"), {QStringLiteral(KVT_SOURCE_DIR "/scripts/pg-test-cluster.sh"),
                                                          action, m_state}) == 0;
    }
    QTemporaryDir m_tmp;
    QString m_state;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as ctest does to find them) needs no server.
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    std::unique_ptr<OwnServer> server;
    if (!listing)
        server = std::make_unique<OwnServer>();
    const int rc = RUN_ALL_TESTS();
    server.reset();
    return rc;
}
