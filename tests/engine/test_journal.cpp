#include "engine/dataset.h"
#include "engine/journal.h"
#include "engine/session.h"
#include "support/teststore.h"
#include "teststores.h"
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace kvt;

namespace {

class JournalTest : public ::testing::TestWithParam<test::StoreKind> {
protected:
    void SetUp() override
    {
        dir = tmp.path() + QStringLiteral("/data");
        QString why;
        if (GetParam() == test::StoreKind::Server && test::testServer(&why).isEmpty())
            GTEST_SKIP() << qPrintable(why);
        store = std::make_unique<test::TestStore>(GetParam(), dir);
        store->create(test::sampleRows());
        conn = std::make_unique<test::Connection>(dir);
        ctrls = std::make_unique<Table>(nullptr, QStringLiteral("ctrls"));
        ctrls->setDatabaseName("MyDatabase");
        ctrls->setSessionName("MySession");
        ctrls->setTableName("RepCtrl.DB");
        ctrls->open();
        for (ctrls->first(); !ctrls->eof(); ctrls->next()) // Q1 / G1 / RepCompName, width 10
            if (ctrls->fieldByName("RctName")->asString() == "RepCompName")
                break;
    }
    void TearDown() override
    {
        journal::afterRowWrite = nullptr;
        ctrls.reset();
        conn.reset();
        store.reset();
    }
    void setWidth(int w)
    {
        ctrls->edit();
        ctrls->fieldByName("RctWidth")->setAsInteger(w);
        ctrls->post();
    }
    /// The journal and the first control's width as another connection reads them.
    std::pair<int, int> stored()
    {
        int rows = -1, width = -1;
        store->withConnection([&](QSqlDatabase &db) {
            QSqlQuery q(db);
            if (q.exec("select count(*) from EditJournal") && q.next())
                rows = q.value(0).toInt();
            else
                rows = 0; // no journal yet
            QSqlQuery w(db);
            if (w.exec("select RctWidth from RepCtrl where RctName = 'RepCompName'") && w.next())
                width = w.value(0).toInt();
        });
        return {rows, width};
    }
    const QString key = QStringLiteral("RepName=Q1; RctGroup=G1; RctName=RepCompName");
    QVector<journal::Entry> entries() { return journal::read(conn->database); }

    QTemporaryDir tmp;
    QString dir;
    std::unique_ptr<test::TestStore> store;
    std::unique_ptr<test::Connection> conn;
    std::unique_ptr<Table> ctrls;
};

TEST_P(JournalTest, APostWritesOneJournalRowPerChangedColumnInItsTransaction)
{
    ctrls->edit();
    ctrls->fieldByName("RctWidth")->setAsInteger(33);
    ctrls->fieldByName("RctLabel")->setAsString("Firm");
    ctrls->post();
    EXPECT_EQ(stored(), std::make_pair(2, 33));
    const auto e = entries();
    ASSERT_EQ(e.size(), 2);
    QStringList cols;
    for (const auto &x : e) {
        EXPECT_EQ(x.table, "RepCtrl.DB");
        EXPECT_EQ(x.key, key);
        EXPECT_EQ(x.user, journal::userName());
        EXPECT_EQ(x.host, journal::hostName());
        EXPECT_TRUE(x.time.isValid());
        cols << x.column;
    }
    cols.sort();
    EXPECT_EQ(cols, QStringList({"RctLabel", "RctWidth"}));
    for (const auto &x : e)
        if (x.column == "RctWidth") {
            EXPECT_EQ(x.oldValue.toString(), "10");
            EXPECT_EQ(x.newValue.toString(), "33");
        }
    // Only the row's journal, newest first.
    setWidth(40);
    const auto row = journal::read(conn->database, "RepCtrl.DB", e.first().key);
    ASSERT_EQ(row.size(), 3);
    EXPECT_EQ(row.first().newValue.toString(), "40");
    EXPECT_TRUE(journal::read(conn->database, "RepCtrl.DB", "RepName=none").isEmpty());
}

TEST_P(JournalTest, APostThatFailsLeavesNoJournalRow)
{
    // Another editor changes the row: this post is a conflict.
    store->exec({"update RepCtrl set RctWidth = 12 where RctName = 'RepCompName'"});
    ctrls->edit();
    ctrls->fieldByName("RctWidth")->setAsInteger(33);
    EXPECT_THROW(ctrls->post(), EngineError);
    ctrls->cancel();
    EXPECT_EQ(stored(), std::make_pair(0, 12));
}

TEST_P(JournalTest, AFailingJournalInsertRollsTheRowWriteBack)
{
    // A journal that refuses the insert (a column missing).
    store->exec({"create table EditJournal (JrnId integer primary key, JrnTime text)"});
    ctrls->edit();
    ctrls->fieldByName("RctWidth")->setAsInteger(33);
    try {
        ctrls->post();
        FAIL() << "the post should fail";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("edit journal")) << qPrintable(e.message());
    }
    ctrls->cancel();
    EXPECT_EQ(stored(), std::make_pair(0, 10));
}

TEST_P(JournalTest, UndoAndRedoPostAgainAndAreRefusedAfterAnotherEditorsPost)
{
    journal::UndoStack stack;
    stack.attach();
    setWidth(33);
    ASSERT_NE(stack.nextUndo(), nullptr);
    EXPECT_EQ(stack.nextUndo()->changes.first().column, "RctWidth");

    auto r = stack.undo(conn->database);
    EXPECT_TRUE(r.done);
    EXPECT_EQ(stored(), std::make_pair(2, 10)) << "the undo is journaled as a post of its own";
    EXPECT_EQ(stack.nextUndo(), nullptr);
    ASSERT_NE(stack.nextRedo(), nullptr);
    r = stack.redo(conn->database);
    EXPECT_TRUE(r.done);
    EXPECT_EQ(stored(), std::make_pair(3, 33));

    // Another editor writes the row: the undo changes nothing and names them.
    store->exec({"update RepCtrl set RctWidth = 50 where RctName = 'RepCompName'",
                 "insert into EditJournal (JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn, JrnOld, JrnNew) "
                 "values ('2026-12-10T10:00:00.000Z', 'anna', 'host2', 'RepCtrl.DB', "
                 "'RepName=Q1; RctGroup=G1; RctName=RepCompName', 'RctWidth', '33', '50')"});
    r = stack.undo(conn->database);
    EXPECT_FALSE(r.done);
    EXPECT_EQ(r.since.user, "anna");
    EXPECT_EQ(r.since.host, "host2");
    EXPECT_EQ(r.since.time, QDateTime(QDate(2026, 12, 10), QTime(10, 0), Qt::UTC));
    EXPECT_EQ(stored(), std::make_pair(4, 50));
    EXPECT_NE(stack.nextUndo(), nullptr) << "a refused undo stays to be undone";
    stack.detach();
}

TEST_P(JournalTest, RevertingAnEntryOfTheHistoryWritesItsOldValue)
{
    setWidth(33);
    setWidth(44);
    const auto e = entries();
    ASSERT_EQ(e.size(), 2);
    journal::Step step{e.first().table, e.first().key, {"RepName", "RctGroup", "RctName"},
                       {"Q1", "G1", "RepCompName"}, {{e.first().column, e.first().oldValue, e.first().newValue}}};
    EXPECT_TRUE(journal::revert(conn->database, step, true).done);
    EXPECT_EQ(stored(), std::make_pair(3, 33));
    // The older entry no longer matches what the row holds.
    journal::Step old{e.last().table, e.last().key, step.keyColumns, step.keyValues,
                      {{e.last().column, e.last().oldValue, e.last().newValue}}};
    EXPECT_TRUE(journal::revert(conn->database, old, true).done) << "33 is held again: 33 -> 10";
    EXPECT_FALSE(journal::revert(conn->database, old, true).done);
}

INSTANTIATE_TEST_SUITE_P(Stores, JournalTest, ::testing::Values(test::StoreKind::Sqlite, test::StoreKind::Server),
                         test::storeKindName);

// A crash between the row write and its journal rows leaves neither (SQLite: the server's
// transaction of a killed client is rolled back by the server the same way).
TEST(JournalCrash, AProcessKilledInsideThePostLeavesTheStoreWithNeither)
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QStringLiteral("/data");
    test::TestStore store(test::StoreKind::Sqlite, dir);
    store.create(test::sampleRows());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        test::Connection conn(dir);
        Table t(nullptr, QStringLiteral("ctrls"));
        t.setDatabaseName("MyDatabase");
        t.setSessionName("MySession");
        t.setTableName("RepCtrl.DB");
        t.open();
        for (t.first(); !t.eof() && t.fieldByName("RctName")->asString() != "RepCompName";)
            t.next();
        journal::afterRowWrite = [] { kill(getpid(), SIGKILL); };
        t.edit();
        t.fieldByName("RctWidth")->setAsInteger(33);
        t.post();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    int width = -1;
    bool journal = false;
    store.withConnection([&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (q.exec("select RctWidth from RepCtrl where RctName = 'RepCompName'") && q.next())
            width = q.value(0).toInt();
        QSqlQuery j(db);
        journal = j.exec("select count(*) from EditJournal") && j.next() && j.value(0).toInt() > 0;
    });
    EXPECT_EQ(width, 10);
    EXPECT_FALSE(journal);
}

} // namespace
