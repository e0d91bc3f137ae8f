// What only a server store does: its connection file, and editors on other machines seeing each
// other's posts as they happen.
#include "engine/dataset.h"
#include "engine/session.h"
#include "engine/store.h"
#include "support/teststore.h"
#include "teststores.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

using namespace kvt;

namespace {

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QString openError(const QString &dir)
{
    test::Connection conn(dir);
    try {
        conn.database.open();
    } catch (const EngineError &e) {
        return e.message();
    }
    return QString();
}

TEST(ServerStoreFile, RefusedConnectionFilesSayWhy)
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    const QString pgconn = dir + "/KVT3.pgconn";
    const struct {
        const char *name;
        QByteArray connection; // null: no file
        bool sqliteToo;
        QStringList says;
        QString never;
    } cases[] = {
        {"both stores", "host=db1 dbname=kvt\n", true, {"both", "KVT3.sqlite", "KVT3.pgconn"}, {}},
        {"empty file", "\n", false, {"is empty", pgconn}, {}},
        {"password", "host=db1 dbname=kvt password=Secret1\n", false, {"holds a password", "~/.pgpass"}, "Secret1"},
        {"not a connection", "host=db1 dbname\n", false, {"cannot be read", pgconn}, {}},
        {"unreachable", "host=/nonexistent/socket dbname=kvtdata connect_timeout=2\n", false,
         {"database 'kvtdata'", "server '/nonexistent/socket'"}, {}},
        {"URI, unreachable", "postgresql://someone@%2Fnonexistent%2Fsocket/kvturi?connect_timeout=2\n", false,
         {"database 'kvturi'", "server '/nonexistent/socket'"}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(pgconn);
        QFile::remove(dir + "/KVT3.sqlite");
        writeFile(pgconn, c.connection);
        if (c.sqliteToo)
            test::createStore(dir);
        const QString error = openError(dir);
        for (const QString &word : c.says) {
            EXPECT_TRUE(error.contains(word)) << qPrintable(error);
        }
        if (!c.never.isEmpty()) {
            EXPECT_FALSE(error.contains(c.never)) << qPrintable(error);
        }
    }
    // An unreadable file (a folder of that name cannot be read as one).
    QFile::remove(pgconn);
    QDir().mkpath(pgconn);
    const QString error = openError(dir);
    EXPECT_TRUE(error.contains("Cannot read the server connection file") && error.contains(pgconn)) << qPrintable(error);
}

class ServerStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (test::testServer(&why).isEmpty())
            GTEST_SKIP() << qPrintable(why);
        store = std::make_unique<test::TestStore>(test::StoreKind::Server, tmp.path() + "/data");
        store->create(test::sampleRows());
    }

    QTemporaryDir tmp;
    std::unique_ptr<test::TestStore> store;
};

/// One editor: a session, a database and the reports table narrowed to one report.
struct Editor {
    Editor(const QString &name, const QString &dir)
        : session(name + "Session"), database(name + "Db"), reports(nullptr, name + "Reports")
    {
        database.setSessionName(name + "Session");
        database.setParams({"PATH=" + dir});
        database.setBusyTimeout(300);
        reports.setDatabaseName(name + "Db");
        reports.setSessionName(name + "Session");
        reports.setTableName("Reports.DB");
        reports.setFilter("RepName = 'Q1'");
        reports.setFiltered(true);
        reports.open();
    }
    QString title() { return reports.fieldByName("RepTitle")->asString(); }
    Session session;
    Database database;
    Table reports;
};

/// Lets the event loop deliver the server's notices until done() holds (or a generous deadline).
bool waitFor(const std::function<bool()> &done, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return done();
}

TEST_F(ServerStoreTest, TwoEditorsSeeEachOthersPostsAndNeverOverwriteThem)
{
    Editor a("A", store->dir()), b("B", store->dir());
    ASSERT_EQ(a.title(), "Quote one");

    // A row shown and not in edit follows the other editor's post.
    b.reports.edit();
    b.reports.fieldByName("RepTitle")->setAsString("From B");
    b.reports.post();
    EXPECT_TRUE(waitFor([&] { return a.title() == "From B"; })) << qPrintable(a.title());

    // A row in edit stays as the user has it, and its post is then refused.
    a.reports.edit();
    a.reports.fieldByName("RepTitle")->setAsString("From A");
    b.reports.edit();
    b.reports.fieldByName("RepTitle")->setAsString("From B again");
    b.reports.post();
    // B's own notice comes back to B too; it changes nothing there.
    QCoreApplication::processEvents();
    EXPECT_FALSE(waitFor([&] { return a.title() != "From A"; }, 1500));
    EXPECT_EQ(a.reports.state(), DataSetState::Edit);
    try {
        a.reports.post();
        FAIL() << "A overwrote B's post";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("changed or deleted by another user")) << qPrintable(e.message());
    }
    EXPECT_EQ(a.title(), "From A");
    a.reports.cancel(); // and the other editor's values show
    EXPECT_EQ(a.title(), "From B again");

    // Different rows of one table: both posts go through.
    Table bands(nullptr, "ABands");
    bands.setDatabaseName("ADb");
    bands.setSessionName("ASession");
    bands.setTableName("RepBand.DB");
    bands.open();
    bands.edit();
    bands.fieldByName("RbdBox")->setAsInteger(7);
    b.reports.edit();
    b.reports.fieldByName("RepTitle")->setAsString("Third");
    b.reports.post();
    EXPECT_NO_THROW(bands.post());
    EXPECT_TRUE(waitFor([&] { return a.title() == "Third"; }));
}

TEST_F(ServerStoreTest, RefusedLoginsAndMissingTablesNameServerAndDatabase)
{
    const QString conninfo = store->conninfo();
    const QString server = QString(conninfo).section("host=", 1).section(' ', 0, 0);
    const struct {
        const char *name;
        QString connection;
        QStringList says;
    } cases[] = {
        {"unknown user", conninfo + " user=kvt_no_such_user", {"kvt_no_such_user"}},
        {"unknown database", conninfo + " dbname=kvt_no_such_db", {"database 'kvt_no_such_db'"}},
        {"no tables", conninfo + " options='-c search_path=kvt_no_such_schema'", {"holds no tables"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        writeFile(dir.path() + "/KVT3.pgconn", c.connection.toUtf8() + "\n");
        const QString error = openError(dir.path());
        EXPECT_TRUE(error.contains("server '" + server + "'")) << qPrintable(error);
        for (const QString &word : c.says) {
            EXPECT_TRUE(error.contains(word)) << qPrintable(error);
        }
    }
    // A table that is missing from the server's database is named with it.
    store->exec({"drop table TextMsg"});
    Editor a("A", store->dir());
    Table msg(nullptr, "AMsg");
    msg.setDatabaseName("ADb");
    msg.setSessionName("ASession");
    msg.setTableName("TextMsg.DB");
    try {
        msg.open();
        FAIL() << "opened a missing table";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("TextMsg.DB") && e.message().contains("on server '" + server + "'"))
            << qPrintable(e.message());
    }
}

TEST_F(ServerStoreTest, WholeNumbersBeyondThirtyTwoBitsStaySaveable)
{
    store->exec({"update RepBand set RbdBox = 9876543210 where RepName = 'Q1' and RbdName = 'Head'"});
    Editor a("A", store->dir());
    Table bands(nullptr, "ABands");
    bands.setDatabaseName("ADb");
    bands.setSessionName("ASession");
    bands.setTableName("RepBand.DB");
    bands.setFilter("RbdName = 'Head'");
    bands.setFiltered(true);
    bands.open();
    bands.first();
    ASSERT_EQ(bands.fieldByName("RepName")->asString(), "Q1");
    EXPECT_TRUE(bands.fieldByName("RbdBox")->holdsUnreadableValue());
    bands.edit();
    bands.fieldByName("RbdType")->setAsInteger(4);
    EXPECT_NO_THROW(bands.post()) << "the row is matched by what is stored";
    int kept = 0;
    store->withConnection([&](QSqlDatabase &db) {
        QSqlQuery q(db);
        q.exec("select count(*) from RepBand where RbdBox = 9876543210 and RbdType = 4");
        q.next();
        kept = q.value(0).toInt();
    });
    EXPECT_EQ(kept, 1);
}

} // namespace
