#include "engine/dataset.h"
#include "engine/session.h"
#include "support/teststore.h"
#include "teststores.h"
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <vector>

using namespace kvt;

namespace {

// Every case runs on both kinds of store.
class EngineTest : public ::testing::TestWithParam<test::StoreKind> {
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
        cat = table("RepCat.DB");
        reports = table("Reports.DB");
        bands = table("RepBand.DB");
        ctrls = table("RepCtrl.DB");
        dsCat.setDataSet(cat.get());
        dsReports.setDataSet(reports.get());
        dsBands.setDataSet(bands.get());
        reports->setMasterSource(&dsCat);
        reports->setMasterFields("RepCatName");
        reports->setIndexName("RepCatName");
        bands->setMasterSource(&dsReports);
        bands->setMasterFields("RepName");
        bands->setIndexFieldNames("RepName");
        ctrls->setMasterSource(&dsBands);
        ctrls->setMasterFields("RepName;RctGroup");
        ctrls->setIndexFieldNames("RepName;RctGroup");
    }
    void TearDown() override
    {
        ctrls.reset();
        bands.reset();
        reports.reset();
        cat.reset();
        conn.reset();
        store.reset();
    }
    bool onServer() const { return GetParam() == test::StoreKind::Server; }
    std::unique_ptr<Table> table(const char *name)
    {
        auto t = std::make_unique<Table>(nullptr, QString::fromLatin1(name));
        t->setDatabaseName("MyDatabase");
        t->setSessionName("MySession");
        t->setTableName(QString::fromLatin1(name));
        return t;
    }
    void openAll()
    {
        cat->open();
        reports->open();
        bands->open();
        ctrls->open();
    }
    QStringList walk(DataSet &ds, const char *field)
    {
        QStringList out;
        for (ds.first(); !ds.eof(); ds.next())
            out << ds.fieldByName(field)->asString();
        return out;
    }
    bool locateCategory(const QString &name)
    {
        for (cat->first(); !cat->eof(); cat->next())
            if (cat->fields(0)->asString() == name)
                return true;
        return false;
    }

    QTemporaryDir tmp;
    QString dir;
    std::unique_ptr<test::TestStore> store;
    std::unique_ptr<test::Connection> conn;
    std::unique_ptr<Table> cat, reports, bands, ctrls;
    DataSource dsCat, dsReports, dsBands;
};

TEST_P(EngineTest, OpeningATableOpensDatabaseAndSession)
{
    EXPECT_FALSE(conn->session.isOpen());
    cat->open();
    EXPECT_TRUE(conn->database.isOpen());
    EXPECT_TRUE(conn->session.isOpen());
    EXPECT_EQ(Session::find("mysession"), &conn->session);
    EXPECT_EQ(Database::find("MYDATABASE"), &conn->database);
}

TEST_P(EngineTest, MasterDetailRangesFollowTheMaster)
{
    openAll();
    ASSERT_TRUE(locateCategory("Quotes"));
    EXPECT_EQ(walk(*reports, "RepName"), QStringList({"Q1", "Q2"}));
    reports->first();
    EXPECT_EQ(walk(*bands, "RbdName"), QStringList({"Body", "Head"}));
    bands->first(); // Body -> group G2
    EXPECT_EQ(walk(*ctrls, "RctName"), QStringList({"O'Brien"}));
    bands->next(); // Head -> group G1
    EXPECT_EQ(walk(*ctrls, "RctName"), QStringList({"QtNo:1", "RepCompName"}));
    reports->next(); // Q2: its own Head band and controls
    EXPECT_EQ(walk(*bands, "RbdName"), QStringList({"Head"}));
    EXPECT_EQ(walk(*ctrls, "RctName"), QStringList({"Logo"}));
    ASSERT_TRUE(locateCategory("Empty"));
    EXPECT_TRUE(reports->eof());
    EXPECT_TRUE(bands->eof());
    EXPECT_TRUE(ctrls->eof());
}

TEST_P(EngineTest, FiltersNarrowAndAddressNamesWithQuotes)
{
    openAll();
    locateCategory("Quotes");
    reports->first();
    bands->setFilter("RbdName = 'Body'");
    bands->setFiltered(true);
    EXPECT_EQ(walk(*bands, "RbdName"), QStringList({"Body"}));
    ctrls->setFilter("RctName = 'O''Brien'");
    ctrls->setFiltered(true);
    ASSERT_FALSE(ctrls->eof());
    EXPECT_EQ(ctrls->fieldByName("RctName")->asString(), "O'Brien");
    bands->setFiltered(false);
    EXPECT_EQ(walk(*bands, "RbdName"), QStringList({"Body", "Head"}));

    // A detail of a master that was re-narrowed follows it once it is read.
    ctrls->setFiltered(false);
    bands->setFiltered(true);
    reports->setFilter("RepName = 'Q2'");
    reports->setFiltered(true);
    EXPECT_TRUE(ctrls->eof()) << "Q2 has no Body band";
    bands->setFilter("RbdName = 'Head'");
    EXPECT_EQ(walk(*ctrls, "RctName"), QStringList({"Logo"}));
    reports->setFiltered(false);
    bands->setFiltered(false);
    bands->setFilter("RbdName = 'Body'");

    EXPECT_THROW(bands->setFilter("Nonsense"), EngineError);
    EXPECT_THROW(bands->setFilter("NoSuchField = 'x'"), EngineError);
    EXPECT_EQ(bands->filter(), "RbdName = 'Body'");

    // How a filter text is read: spacing is free, a doubled quote is one, the value ends the text.
    ctrls->setFiltered(true);
    const struct {
        const char *text;
        const char *found; // nullptr: the text is refused
    } cases[] = {
        {"RctName='O''Brien'", "O'Brien"},     {" \tRctName\t =  'O''Brien'  ", "O'Brien"},
        {"RctName = ''", ""},                  {"RctName = 'O'Brien'", nullptr},
        {"RctName = 'O''Brien", nullptr},      {"RctName 'O''Brien'", nullptr},
        {"RctName = 'O''Brien' x", nullptr},   {"1RctName = 'x'", nullptr},
        {"RctName = O''Brien", nullptr},       {"RctName == 'x'", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        ctrls->setFilter("RctName = 'none'");
        if (!c.found) {
            EXPECT_THROW(ctrls->setFilter(QString::fromUtf8(c.text)), EngineError);
            EXPECT_EQ(ctrls->filter(), "RctName = 'none'") << "a refused text keeps the filter";
            continue;
        }
        ctrls->setFilter(QString::fromUtf8(c.text));
        EXPECT_EQ(walk(*ctrls, "RctName"), *c.found ? QStringList({c.found}) : QStringList());
    }
}

TEST_P(EngineTest, SettlingPostsAChangedRowWithHooksAndCancelsAnUnchangedOne)
{
    openAll();
    locateCategory("Quotes");
    reports->first();
    QStringList calls;
    bands->beforePost = [&](DataSet &) { calls << "before"; };
    bands->afterPost = [&](DataSet &) { calls << "after"; };

    bands->edit();
    bands->setFilter("RbdName = 'Head'");
    bands->setFiltered(true);
    EXPECT_EQ(bands->state(), DataSetState::Browse);
    EXPECT_TRUE(calls.isEmpty()) << "an unchanged row is cancelled, not posted";

    bands->edit();
    bands->fieldByName("RbdTopY")->setAsString("7.5");
    reports->next(); // the master moves: the detail's change is posted first
    EXPECT_EQ(calls, QStringList({"before", "after"}));
    reports->first();
    bands->setFiltered(false);
    bands->setFilter("RbdName = 'Head'");
    bands->setFiltered(true);
    EXPECT_DOUBLE_EQ(bands->fieldByName("RbdTopY")->asFloat(), 7.5);
}

TEST_P(EngineTest, FloatFieldsReadAsShortestGeneralText)
{
    openAll();
    locateCategory("Quotes");
    reports->first();
    bands->edit();
    Field *f = bands->fieldByName("RbdTopY");
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {10.0, "10"},       {-3.0, "-3"},     {0.0, "0"},         {-0.0, "0"},
        {12.5, "12.5"},     {0.1 + 0.2, "0.3"}, {1e15, "1e+15"}, {123456789012345.0, "123456789012345"},
        {-1e-5, "-1e-05"},
    };
    for (const auto &c : cases) {
        f->setAsFloat(c.value);
        EXPECT_EQ(f->asString(), c.text) << c.value;
    }
    bands->cancel();
}

TEST_P(EngineTest, TextOutsideAsciiIsReadAndMatchedWhole)
{
    const QString title = QString::fromUtf8("Gr\u00f6\u00dfe \u2013 \u898b\u7a4d \U0001F4C4");
    store->exec({QStringLiteral("update Reports set RepTitle='%1' where RepName='Q1'").arg(title)});
    openAll();
    locateCategory("Quotes");
    reports->setFilter(QStringLiteral("RepTitle = '%1'").arg(title));
    reports->setFiltered(true);
    EXPECT_EQ(walk(*reports, "RepName"), QStringList({"Q1"}));
    EXPECT_EQ(reports->fieldByName("RepTitle")->asString(), title);
}

TEST_P(EngineTest, KeySearchFindsByIndexFields)
{
    auto msg = table("TextMsg.DB");
    store->exec({"insert into TextMsg values ('fntLabel','Arial,9,,0','')",
                            "insert into TextMsg values ('fntField','Arial,8,,0','')"});
    msg->open();
    msg->setKey();
    msg->fieldByName("TxmName")->setAsString("fntLabel");
    ASSERT_TRUE(msg->gotoKey());
    EXPECT_EQ(msg->fieldByName("TxmText")->asString(), "Arial,9,,0");
    msg->setKey();
    msg->fieldByName("TxmName")->setAsString("missing");
    EXPECT_FALSE(msg->gotoKey());
    EXPECT_EQ(msg->state(), DataSetState::Browse);
}

TEST_P(EngineTest, FieldReadsOfEmptyValuesAndTypes)
{
    openAll();
    locateCategory("Quotes");
    reports->next(); // Q2
    ASSERT_EQ(ctrls->fieldByName("RctName")->asString(), "Logo");
    Field *label = ctrls->fieldByName("RctLabel");
    EXPECT_EQ(label->asString(), "");
    EXPECT_EQ(ctrls->fieldByName("RctWidth")->asFloat(), 0.0);
    EXPECT_EQ(ctrls->fieldByName("RctBox")->asInteger(), 0);
    EXPECT_FALSE(ctrls->fieldByName("RctInclude")->asBoolean());
    EXPECT_EQ(label->dataType(), ftString);
    EXPECT_EQ(label->size(), 64);
    EXPECT_EQ(ctrls->fieldByName("RctWidth")->dataType(), ftFloat);
    EXPECT_EQ(ctrls->fieldByName("RctSortIdx")->dataType(), ftInteger);
    EXPECT_EQ(ctrls->fieldByName("RctInclude")->dataType(), ftBoolean);
    EXPECT_EQ(ctrls->fields(2)->fieldName(), "RctName");
    EXPECT_THROW(ctrls->fieldByName("NoSuchField"), EngineError);
}

TEST_P(EngineTest, WritesConvertCheckAndRaiseTheChangeEvent)
{
    openAll();
    locateCategory("Quotes");
    bands->next(); // Q1 / Head
    int changes = 0;
    ctrls->setFieldChangeHandler("RctInclude", [&](Field &) { ++changes; });
    ctrls->first();
    ctrls->edit();
    struct Case {
        const char *field;
        const char *text;
        bool ok;
    } cases[] = {
        {"RctWidth", "12.25", true},  {"RctWidth", "abc", false},       {"RctWidth", "", true},
        {"RctBox", "5", true},        {"RctBox", "1.5", false},         {"RctBox", "x", false},
        {"RctInclude", "True", true}, {"RctInclude", "maybe", false},   {"RctLabel", "short", true},
        {"RctLabel", "this label text is far longer than the sixty-four characters it may hold", false},
    };
    for (const auto &c : cases) {
        Field *f = ctrls->fieldByName(c.field);
        const QString before = f->asString();
        if (c.ok) {
            EXPECT_NO_THROW(f->setAsString(c.text)) << c.field << " " << c.text;
        } else {
            try {
                f->setAsString(c.text);
                ADD_FAILURE() << "no error for " << c.field << " " << c.text;
            } catch (const EngineError &e) {
                EXPECT_TRUE(e.message().contains(c.field)) << qPrintable(e.message());
                EXPECT_TRUE(e.message().contains(QString::fromLatin1(c.text).left(10))) << qPrintable(e.message());
                EXPECT_EQ(f->asString(), before) << "nothing is written or truncated";
            }
        }
    }
    EXPECT_EQ(changes, 1);
    ctrls->cancel();
    EXPECT_EQ(changes, 1) << "cancel raises no change event";
    EXPECT_THROW(ctrls->fieldByName("RctWidth")->setAsString("1"), EngineError) << "not in edit";
}

TEST_P(EngineTest, QueryTakesParametersFromItsDataSource)
{
    openAll();
    locateCategory("Quotes");
    bands->next(); // Q1 / Head / G1
    Query q(nullptr, "QryRepCtrl");
    q.setDatabaseName("MyDatabase");
    q.setSessionName("MySession");
    q.setDataSource(&dsBands);
    q.setSql({"select * from RepCtrl where RepName=:RepName and RctGroup=:RctGroup Order by RctSortIdx"});
    EXPECT_EQ(q.paramNames(), QStringList({"RepName", "RctGroup"}));
    q.open();
    EXPECT_EQ(walk(q, "RctName"), QStringList({"QtNo:1", "RepCompName"}));
    EXPECT_EQ(q.fields(2)->asString(), "RepCompName");
    q.close();
    bands->first(); // Body / G2
    q.open();
    EXPECT_EQ(walk(q, "RctName"), QStringList({"O'Brien"}));
    EXPECT_TRUE(q.fieldByName("RctInclude")->asBoolean());
}

TEST_P(EngineTest, OneWayQueryStreamsForwardAndEndsItsReadAtTheEnd)
{
    openAll();
    locateCategory("Quotes");
    bands->next(); // Q1 / Head / G1
    const QStringList sql{"select * from RepCtrl where RepName=:RepName and RctGroup=:RctGroup Order by RctSortIdx"};
    Query q(nullptr, "OneWay");
    q.setDatabaseName("MyDatabase");
    q.setSessionName("MySession");
    q.setDataSource(&dsBands);
    q.setSql(sql);
    q.setUniDirectional(true);
    q.open();
    EXPECT_THROW(q.setUniDirectional(false), EngineError);
    ASSERT_FALSE(q.eof());
    EXPECT_FALSE(q.isEmpty());
    EXPECT_EQ(q.fieldByName("RctName")->asString(), "QtNo:1");
    // Mid-way the statement still reads the store: in an SQLite file another editor cannot write
    // then; a server reads each statement's rows at once and holds no lock for them.
    if (onServer())
        EXPECT_NO_THROW(store->exec({"update RepCat set RepCatName=RepCatName where RepCatName='Empty'"}));
    else
        EXPECT_THROW(store->exec({"update RepCat set RepCatName='X' where RepCatName='Empty'"}),
                     std::runtime_error);
    // Another query of the same text runs on a statement of its own.
    Query other(nullptr, "Other");
    other.setDatabaseName("MyDatabase");
    other.setSessionName("MySession");
    other.setDataSource(&dsBands);
    other.setSql(sql);
    other.open();
    EXPECT_EQ(other.recordCount(), 2);
    other.close();
    for (const auto &op : std::vector<std::function<void()>>{[&] { q.prior(); }, [&] { q.last(); },
                                                             [&] { q.recordCount(); }})
        EXPECT_THROW(op(), EngineError);
    q.next();
    EXPECT_EQ(q.fieldByName("RctName")->asString(), "RepCompName");
    q.next();
    EXPECT_TRUE(q.eof());
    EXPECT_TRUE(q.fieldByName("RctName")->isNull());
    // Past the end the read is over.
    EXPECT_NO_THROW(store->exec({"update RepCat set RepCatName='X' where RepCatName='Empty'"}));
    q.first(); // runs again
    EXPECT_EQ(walk(q, "RctName"), QStringList({"QtNo:1", "RepCompName"}));
    bands->first(); // Body / G2
    q.refresh();
    EXPECT_EQ(walk(q, "RctName"), QStringList({"O'Brien"}));
    // Closing mid-way ends the read too.
    bands->next();
    q.first();
    q.close();
    EXPECT_NO_THROW(store->exec({"update RepCat set RepCatName='Empty' where RepCatName='X'"}));
}

TEST_P(EngineTest, AStepThatFailsMidWayIsAnErrorNotTheEnd)
{
    // The second row overflows while it is read; the first one is fine. A server computes all rows
    // before it sends the first, so there the open fails in both ways of reading.
    const QStringList sql{onServer() ? "select x, case when x = 2 then 1 / (x - 2) else x end as y "
                                       "from (select 1 as x union all select 2 union all select 3) as t"
                                     : "select x, case when x = 2 then abs(-9223372036854775807 - 1) else x end as y "
                                       "from (select 1 as x union all select 2 union all select 3)"};
    for (const bool oneWay : {false, true}) {
        Query q(nullptr, "Failing");
        q.setDatabaseName("MyDatabase");
        q.setSessionName("MySession");
        q.setSql(sql);
        q.setUniDirectional(oneWay);
        if (!oneWay || onServer()) {
            EXPECT_THROW(q.open(), EngineError);
            continue;
        }
        q.open();
        EXPECT_EQ(q.fields(0)->asInteger(), 1);
        EXPECT_THROW(q.next(), EngineError);
    }
}

TEST_P(EngineTest, ReadScopeSharesOneReadAndLetsAPostCommitAtOnce)
{
    const auto otherWrites = [&] {
        try {
            store->exec({"update RepCat set RepCatName=RepCatName where RepCatName='Empty'"});
            return true;
        } catch (const std::runtime_error &) {
            return false; // the store is locked by a read of ours
        }
    };
    // On a server reads lock nothing: others write at every point.
    const bool sharedReadLets = onServer();
    openAll();
    locateCategory("Quotes");
    {
        ReadScope outer(&conn->database);
        {
            ReadScope inner(&conn->database);
            reports->refresh();
            EXPECT_EQ(otherWrites(), sharedReadLets) << "a read of ours let another editor write";
        }
        EXPECT_EQ(otherWrites(), sharedReadLets) << "the inner scope ended the outer read";
        reports->edit();
        reports->fieldByName("RepTitle")->setAsString("Posted inside");
        reports->post();
        EXPECT_TRUE(otherWrites()) << "the post did not commit on its own";
        bands->refresh(); // a read after the post is an ordinary one
        EXPECT_TRUE(otherWrites());
    }
    EXPECT_TRUE(otherWrites());
    reports->refresh();
    EXPECT_EQ(reports->fieldByName("RepTitle")->asString(), "Posted inside");

    // A scope on a closed database does nothing, and a scope begun before a close leaves the
    // reads of the reopened database alone.
    auto early = std::make_unique<ReadScope>(&conn->database);
    conn->database.close();
    ReadScope closed(&conn->database);
    cat->open();
    ReadScope later(&conn->database);
    cat->refresh();
    early.reset();
    EXPECT_EQ(otherWrites(), sharedReadLets);
}

TEST_P(EngineTest, ExecuteReportsTheSqlEnginesMessage)
{
    Query q(nullptr, "QryGeneric");
    q.setDatabaseName("MyDatabase");
    q.setSessionName("MySession");
    q.setSql({"insert into RepCat values ('New')"});
    EXPECT_NO_THROW(q.execSql());
    q.setSql({"insert into RepCat values ('New')"});
    try {
        q.execSql();
        FAIL() << "duplicate key accepted";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("UNIQUE", Qt::CaseInsensitive)) << qPrintable(e.message());
    }
    q.setSql({"this is no sql"});
    EXPECT_THROW(q.execSql(), EngineError);
}

TEST_P(EngineTest, ConflictingPostFailsAndKeepsTheEdit)
{
    openAll();
    locateCategory("Quotes");
    reports->first(); // Q1
    reports->edit();
    reports->fieldByName("RepTitle")->setAsString("Mine");
    store->exec({"update Reports set RepTitle='Theirs' where RepName='Q1'"});
    try {
        reports->post();
        FAIL() << "post overwrote another editor's change";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("changed or deleted by another user")) << qPrintable(e.message());
    }
    EXPECT_EQ(reports->state(), DataSetState::Edit);
    EXPECT_EQ(reports->fieldByName("RepTitle")->asString(), "Mine");
    reports->cancel();
    reports->refresh();
    EXPECT_EQ(reports->fieldByName("RepTitle")->asString(), "Theirs");
    // Also a settle by a move keeps the edit when the post fails.
    reports->edit();
    reports->fieldByName("RepTitle")->setAsString("Mine again");
    store->exec({"update Reports set RepTitle='Theirs again' where RepName='Q1'"});
    EXPECT_THROW(reports->next(), EngineError);
    EXPECT_EQ(reports->state(), DataSetState::Edit);
    EXPECT_EQ(reports->fieldByName("RepTitle")->asString(), "Mine again");
}

TEST_P(EngineTest, APostWaitsForAnotherEditorsLockThenFailsAndKeepsTheEdit)
{
    conn->database.setBusyTimeout(300);
    openAll();
    locateCategory("Quotes");
    reports->first(); // Q1
    reports->edit();
    reports->fieldByName("RepTitle")->setAsString("Mine");
    store->withConnection([&](QSqlDatabase &db) {
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("begin"));
        ASSERT_TRUE(q.exec("update Reports set RepTitle='Held' where RepName='Q1'")) << qPrintable(q.lastError().text());
        try {
            reports->post();
            ADD_FAILURE() << "posted through another editor's lock";
        } catch (const EngineError &e) {
            EXPECT_TRUE(e.message().contains("another user is writing")) << qPrintable(e.message());
        }
        EXPECT_EQ(reports->state(), DataSetState::Edit);
        EXPECT_EQ(reports->fieldByName("RepTitle")->asString(), "Mine");
        q.exec("rollback");
    });
    EXPECT_NO_THROW(reports->post()) << "the lock is gone";
    reports->refresh();
    EXPECT_EQ(reports->fieldByName("RepTitle")->asString(), "Mine");
}

TEST_P(EngineTest, PasswordEventRetriesAndGivesUp)
{
    store->withConnection([](QSqlDatabase &db) { protection::protectTable(db, "RepCat", "s3cret"); });

    int events = 0;
    conn->session.onPassword = [&](Session &s, bool &retry) {
        ++events;
        if (events == 1)
            s.addPassword("wrong");
        else if (events == 2)
            s.addPassword("s3cret");
        retry = events <= 2;
    };
    cat->open();
    EXPECT_EQ(events, 2);
    cat->close();

    conn->session.removeAllPasswords();
    conn->database.close();
    events = 10;
    try {
        cat->open();
        FAIL() << "opened without a password";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("RepCat"));
    }
    EXPECT_FALSE(cat->isOpen());
    EXPECT_NO_THROW(reports->open()) << "unprotected tables need no password";
}

INSTANTIATE_TEST_SUITE_P(Stores, EngineTest, ::testing::Values(test::StoreKind::Sqlite, test::StoreKind::Server),
                         test::storeKindName);

TEST(EngineStore, MissingDirectoryOrStoreIsAnErrorThatNamesIt)
{
    QTemporaryDir tmp;
    test::Connection conn(tmp.path() + "/nowhere");
    try {
        conn.database.open();
        FAIL();
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("nowhere"));
    }
    conn.database.setParam("PATH", tmp.path());
    try {
        conn.database.open();
        FAIL();
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains("KVT3.sqlite"));
    }
    EXPECT_FALSE(QFile::exists(tmp.path() + "/KVT3.sqlite")) << "nothing is created";
}

TEST(EngineStore, SessionDirectoriesAreCheckedAndFixedWhileOpen)
{
    QTemporaryDir tmp;
    Session s("CheckSession");
    s.setPrivateDir(tmp.path() + "/missing");
    EXPECT_THROW(s.open(), EngineError);
    s.setPrivateDir(tmp.path());
    s.setNetFileDir("/");
    EXPECT_NO_THROW(s.open());
    EXPECT_THROW(s.setPrivateDir("/tmp"), EngineError);
    s.close();
}

} // namespace
