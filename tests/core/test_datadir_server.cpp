// Data directories on a server: kvt-datadir create/import/copy with --server, and copies between
// the two kinds of store that come back exactly, or leave nothing when they fail.
#include "engine/dataset.h"
#include "engine/session.h"
#include "engine/teststores.h"
#include "tools/datadir.h"
#include "tools/datadircopy.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

/// Everything an SQLite store holds, as text: per table its columns (name, declared type, not
/// null, key position), its indexes and its rows in order.
QStringList contents(const QString &dir)
{
    QStringList out;
    const QString name = "contents-" + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(dir + "/KVT3.sqlite");
        db.open();
        QSqlQuery t(db);
        t.exec("select name from sqlite_master where type = 'table' order by name");
        QStringList tables;
        while (t.next())
            tables << t.value(0).toString();
        for (const QString &table : tables) {
            out << "table " + table;
            QSqlQuery q(db);
            q.exec(QString("pragma table_info(\"%1\")").arg(table));
            while (q.next())
                out << QString("  column %1 %2 %3 %4").arg(q.value(1).toString(), q.value(2).toString(),
                                                          q.value(3).toString(), q.value(5).toString());
            q.exec(QString("select name from sqlite_master where type = 'index' and tbl_name = '%1' and sql is not null "
                           "order by name").arg(table));
            while (q.next()) {
                QSqlQuery ic(db);
                ic.exec(QString("pragma index_info(\"%1\")").arg(q.value(0).toString()));
                QStringList cols;
                while (ic.next())
                    cols << ic.value(2).toString();
                out << "  index " + q.value(0).toString() + " " + cols.join(',');
            }
            q.exec(QString("select * from \"%1\" order by rowid").arg(table));
            while (q.next()) {
                QStringList values;
                for (int i = 0; i < q.record().count(); ++i)
                    values << (q.value(i).isNull() ? "NULL" : q.value(i).toString());
                out << "  row " + values.join('|');
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

class ServerDataDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString why;
        if (test::testServer(&why).isEmpty())
            GTEST_SKIP() << qPrintable(why);
        // A schema of its own on the test server; its connection string goes to --server.
        server = std::make_unique<test::TestStore>(test::StoreKind::Server, tmp.path() + "/unused");
    }
    QStringList serverTables()
    {
        QStringList out;
        server->withConnection([&](QSqlDatabase &db) { out = serverstore::tables(db); });
        return out;
    }

    QTemporaryDir tmp;
    std::unique_ptr<test::TestStore> server;
};

TEST_F(ServerDataDirTest, CopyToTheServerAndBackGivesTheSameStore)
{
    const QString a = tmp.path() + "/a", b = tmp.path() + "/b", c = tmp.path() + "/c";
    datadir::Options demo;
    demo.demo = true;
    demo.protect = true;
    demo.benchReports = 2;
    demo.benchBands = 2;
    demo.benchControls = 3;
    ASSERT_EQ(datadir::create(a, demo), "");
    test::execOnStore(a, {"update RepCtrl set RctLabel = 'It''s \"quoted\", ünïcode' where rowid = 3",
                          "update Reports set RepLeftX = 0.1 + 0.2 where RepName = 'QuoteStd'"});
    QStringList lines;
    datadir::CopyOptions toServer;
    toServer.server = server->conninfo();
    toServer.progress = [&](const QString &l) { lines << l; };
    ASSERT_EQ(datadir::copyStore(a, b, toServer), "");
    EXPECT_TRUE(lines.contains("RepCtrl: 264 rows")) << qPrintable(lines.join('\n'));
    EXPECT_TRUE(QFile::exists(b + "/KVT3.pgconn"));
    EXPECT_FALSE(QFile::exists(b + "/KVT3.sqlite"));

    // The editor's engine opens the copy on the server, protection and all.
    {
        Session s("CopySession");
        Database db("CopyDb");
        db.setSessionName("CopySession");
        db.setParams({"PATH=" + b});
        int asked = 0;
        s.onPassword = [&](Session &, bool &retry) {
            ++asked;
            retry = false;
        };
        Table t(nullptr, "Copied");
        t.setDatabaseName("CopyDb");
        t.setSessionName("CopySession");
        t.setTableName("RepCtrl.DB");
        EXPECT_THROW(t.open(), EngineError);
        EXPECT_EQ(asked, 1) << "the copy is protected as the original";
        EXPECT_TRUE(db.isServerStore());
    }

    ASSERT_EQ(datadir::copyStore(b, c, {}), "");
    const QStringList before = contents(a), after = contents(c);
    EXPECT_EQ(before, after);
    EXPECT_GT(before.size(), 300);
}

TEST_F(ServerDataDirTest, RefusalsAndCtrlCLeaveNothingBehind)
{
    const QString a = tmp.path() + "/a";
    datadir::Options demo;
    demo.demo = true;
    ASSERT_EQ(datadir::create(a, demo), "");

    // Stopped after some rows: no tables on the server, no directory, no connection file.
    int polls = 0;
    datadir::CopyOptions o;
    o.server = server->conninfo();
    o.cancelled = [&] { return ++polls > 100; };
    const QString stopped = datadir::copyStore(a, tmp.path() + "/stopped", o);
    EXPECT_TRUE(stopped.contains("Ctrl+C")) << qPrintable(stopped);
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/stopped"));
    EXPECT_EQ(serverTables(), QStringList());

    o.cancelled = nullptr;
    ASSERT_EQ(datadir::copyStore(a, tmp.path() + "/first", o), "");
    const QString again = datadir::copyStore(a, tmp.path() + "/second", o);
    EXPECT_TRUE(again.contains("already holds the editor's tables")) << qPrintable(again);
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/second"));

    const QString onStore = datadir::copyStore(a, tmp.path() + "/first", {});
    EXPECT_TRUE(onStore.contains("already holds a store")) << qPrintable(onStore);

    datadir::CopyOptions withPassword;
    withPassword.server = server->conninfo() + " password=Hidden9";
    const QString pw = datadir::copyStore(a, tmp.path() + "/pw", withPassword);
    EXPECT_TRUE(pw.contains("password") && !pw.contains("Hidden9")) << qPrintable(pw);
}

TEST_F(ServerDataDirTest, CommandLineCreatesImportsAndCopies)
{
    const QString exe = QStringLiteral(KVT_BINARY_DIR "/kvt-datadir");
    if (!QFile::exists(exe))
        GTEST_SKIP() << "kvt-datadir not built";
    const auto run = [&](const QStringList &args, QString *out = nullptr) {
        QProcess p;
        p.start(exe, args);
        p.waitForFinished(120000);
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    const QString srv = tmp.path() + "/srv";
    QString out;
    ASSERT_EQ(run({"create", srv, "--server", server->conninfo(), "--demo"}, &out), 0) << qPrintable(out);
    EXPECT_EQ(serverTables().size(), 7);
    EXPECT_NE(run({"create", tmp.path() + "/srv2", "--server", server->conninfo()}, &out), 0);
    EXPECT_TRUE(out.contains("already holds the editor's tables")) << qPrintable(out);

    // Paradox tables in, onto a server of its own, and back into a file store.
    const QString local = tmp.path() + "/local", px = tmp.path() + "/px";
    ASSERT_EQ(run({"create", local, "--demo"}), 0);
    ASSERT_EQ(run({"export", local, px}, &out), 0) << qPrintable(out);
    test::TestStore second(test::StoreKind::Server, tmp.path() + "/unused2");
    const QString imported = tmp.path() + "/imported";
    ASSERT_EQ(run({"import", px, imported, "--server", second.conninfo()}, &out), 0) << qPrintable(out);
    const QString back = tmp.path() + "/back";
    ASSERT_EQ(run({"copy", imported, back}, &out), 0) << qPrintable(out);
    EXPECT_TRUE(out.contains("_ParadoxFields: ")) << qPrintable(out);
    const QString direct = tmp.path() + "/direct";
    ASSERT_EQ(run({"import", px, direct}), 0);
    EXPECT_EQ(contents(back), contents(direct));

    // Exported from the server store, the tables come back as they went in.
    const QString px2 = tmp.path() + "/px2", again = tmp.path() + "/again";
    ASSERT_EQ(run({"export", imported, px2}, &out), 0) << qPrintable(out);
    ASSERT_EQ(run({"import", px2, again}, &out), 0) << qPrintable(out);
    EXPECT_EQ(contents(again), contents(direct));
}

} // namespace
