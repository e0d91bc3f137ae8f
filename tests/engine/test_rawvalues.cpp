// What the store holds is never lost or made unsaveable by what the fields can show: over-long texts,
// values of the wrong type, numbers typed with separators, and a damaged store.
#include "engine/dataset.h"
#include "engine/session.h"
#include "support/teststore.h"
#include <QCryptographicHash>
#include <QFile>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>

using namespace kvt;

namespace {

/// The first row of a query run on the store through a connection of its own.
QVariantList storeRow(const QString &dir, const QString &sql)
{
    const QString conn = QStringLiteral("rawvalues-") + QUuid::createUuid().toString();
    QVariantList row;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(dir + QStringLiteral("/KVT3.sqlite"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conn);
    return row;
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class RawValuesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = tmp.path() + QStringLiteral("/data");
        test::createStore(dir, test::sampleRows());
        conn = std::make_unique<test::Connection>(dir);
    }
    void TearDown() override
    {
        if (table)
            table->cancel();
        table.reset();
        conn.reset();
        QLocale::setDefault(QLocale::c());
    }
    Table &open(const char *name, const QString &filter = QString())
    {
        table = std::make_unique<Table>(nullptr, QString::fromLatin1(name));
        table->setDatabaseName(QStringLiteral("MyDatabase"));
        table->setSessionName(QStringLiteral("MySession"));
        table->setTableName(QString::fromLatin1(name));
        if (!filter.isEmpty()) {
            table->setFilter(filter);
            table->setFiltered(true);
        }
        table->open();
        return *table;
    }

    QTemporaryDir tmp;
    QString dir;
    std::unique_ptr<test::Connection> conn;
    std::unique_ptr<Table> table;
};

// ------------------------------------------------------------------ texts longer than their column

TEST_F(RawValuesTest, OverLongStoredTextIsReadWholeAndWrittenBackUnchanged)
{
    const QString longTitle = QString(100, QLatin1Char('t'));
    test::execOnStore(dir, {QStringLiteral("update Reports set RepTitle='%1' where RepName='Q1'").arg(longTitle)});
    Table &t = open("Reports.DB", QStringLiteral("RepName = 'Q1'"));
    Field *title = t.fieldByName(QStringLiteral("RepTitle"));
    EXPECT_EQ(title->size(), 64);
    EXPECT_EQ(title->asString(), longTitle);

    // Another field changes; the untouched title goes back whole.
    t.edit();
    t.fieldByName(QStringLiteral("RepLeftX"))->setAsString(QStringLiteral("7"));
    // Writing the text it already holds (an edit that wrote its unchanged text) is no change of it.
    EXPECT_NO_THROW(title->setAsString(longTitle));
    t.post();
    EXPECT_EQ(storeRow(dir, "select RepTitle, RepLeftX from Reports where RepName='Q1'"),
              (QVariantList{longTitle, 7.0}));

    // A new text beyond the size is refused, naming the field as the user sees it and its size.
    title->setDisplayLabel(QStringLiteral("Report Title"));
    t.edit();
    try {
        title->setAsString(longTitle + QStringLiteral("x"));
        ADD_FAILURE() << "a text of 101 characters went into a column of 64";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("'Report Title'"))) << qPrintable(e.message());
        EXPECT_TRUE(e.message().contains(QStringLiteral("64"))) << qPrintable(e.message());
        EXPECT_TRUE(e.message().contains(QStringLiteral("101"))) << qPrintable(e.message());
    }
    EXPECT_EQ(title->asString(), longTitle) << "the refused text is not written";
    // One that fits replaces it.
    title->setAsString(QStringLiteral("Short"));
    t.post();
    EXPECT_EQ(storeRow(dir, "select RepTitle from Reports where RepName='Q1'"), (QVariantList{"Short"}));
}

// ------------------------------------------------------------------ decimal numbers

TEST_F(RawValuesTest, DecimalNumbersTakeNoGroupSeparators)
{
    struct Case {
        const char *locale;
        const char *text;
        bool ok;
        double value;
    } cases[] = {
        {"C", "1.5", true, 1.5},        {"C", "1000.5", true, 1000.5}, {"C", "-2.25", true, -2.25},
        {"C", " 12 ", true, 12},        {"C", ".5", true, 0.5},        {"C", "1e3", true, 1000},
        {"C", "1,000", false, 0},       {"C", "1,000.5", false, 0},    {"C", "1,5", false, 0},
        {"C", "1 000", false, 0},       {"C", "1.2.3", false, 0},      {"C", "abc", false, 0},
        {"C", "-", false, 0},           {"C", "inf", false, 0},        {"C", "1e", false, 0},
        {"en_US", "1,000", false, 0},   {"en_US", "1.5", true, 1.5},
        {"de_DE", "1,5", true, 1.5},    {"de_DE", "1.5", true, 1.5},   {"de_DE", "-0,25", true, -0.25},
        {"de_DE", "1.000,5", false, 0}, {"de_DE", "1,000.5", false, 0},
    };
    Table &t = open("RepCtrl.DB", QStringLiteral("RctName = 'QtNo:1'"));
    Field *width = t.fieldByName(QStringLiteral("RctWidth"));
    for (const auto &c : cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        const QString where = QStringLiteral("%1 in %2").arg(QString::fromLatin1(c.text), QString::fromLatin1(c.locale));
        double parsed = -1;
        EXPECT_EQ(parseDecimal(QString::fromLatin1(c.text), parsed), c.ok) << qPrintable(where);
        t.edit();
        if (c.ok) {
            EXPECT_DOUBLE_EQ(parsed, c.value) << qPrintable(where);
            EXPECT_NO_THROW(width->setAsString(QString::fromLatin1(c.text))) << qPrintable(where);
            EXPECT_DOUBLE_EQ(width->asFloat(), c.value) << qPrintable(where);
        } else {
            EXPECT_THROW(width->setAsString(QString::fromLatin1(c.text)), EngineError) << qPrintable(where);
            EXPECT_DOUBLE_EQ(width->asFloat(), 20) << qPrintable(where) << ": nothing written";
        }
        t.cancel();
    }
    // Whole numbers take no separators either.
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    t.edit();
    for (const char *text : {"1,000", "1.000", "1 000"})
        EXPECT_THROW(t.fieldByName(QStringLiteral("RctBox"))->setAsString(QString::fromLatin1(text)), EngineError)
            << text;
    t.cancel();
}

// ------------------------------------------------------------------ values a field cannot hold

TEST_F(RawValuesTest, RowHoldingValuesItsFieldsCannotHoldStaysSaveable)
{
    // Written behind the engine's back: the store takes any value in any column.
    test::execOnStore(
        dir, {"insert into RepCtrl (RepName,RctGroup,RctName,RctType,RctLabel,RctWidth,RctInclude,RctSortIdx,RctBox,"
              "RctNewLine) values ('Q1','G1','Odd','abc',CAST(X'436166E9' AS TEXT),'1,5','True',5000000000,7.5,5)"});
    const char *const check = "select typeof(RctType), RctType, hex(RctLabel), typeof(RctLabel), typeof(RctWidth), "
                              "RctWidth, RctInclude, RctSortIdx, RctBox, RctNewLine, RctSpTop from RepCtrl "
                              "where RctName='Odd'";
    const QVariantList stored = storeRow(dir, check);
    ASSERT_EQ(stored.size(), 11);
    ASSERT_EQ(stored[0].toString(), "text");

    Table &t = open("RepCtrl.DB", QStringLiteral("RctName = 'Odd'"));
    ASSERT_FALSE(t.eof());
    struct Expect {
        const char *field;
        bool unreadable;
        const char *stored; // part of what the message says is stored
    } fields[] = {
        {"RctType", true, "the text 'abc'"},
        {"RctLabel", true, "not valid UTF-8: 'Caf\\xE9'"},
        {"RctWidth", true, "the text '1,5'"},
        {"RctInclude", false, nullptr},
        {"RctSortIdx", true, "5000000000"},
        {"RctBox", true, "7.5"},
        {"RctNewLine", false, nullptr},
        {"RctName", false, nullptr},
    };
    for (const auto &f : fields) {
        Field *field = t.fieldByName(QString::fromLatin1(f.field));
        EXPECT_EQ(field->holdsUnreadableValue(), f.unreadable) << f.field;
        const QString message = field->unreadableMessage();
        if (!f.unreadable) {
            EXPECT_TRUE(message.isEmpty()) << f.field << ": " << qPrintable(message);
            continue;
        }
        for (const QString &part : {QStringLiteral("RepCtrl.DB"), QStringLiteral("RctName 'Odd'"),
                                    QString::fromLatin1(f.field), QString::fromLatin1(f.stored)})
            EXPECT_TRUE(message.contains(part)) << f.field << ": " << qPrintable(message) << " lacks " << qPrintable(part);
    }
    EXPECT_EQ(t.fieldByName("RctType")->asString(), QString()) << "what cannot be shown reads empty";
    EXPECT_EQ(t.fieldByName("RctInclude")->asBoolean(), true);
    EXPECT_EQ(t.fieldByName("RctNewLine")->asBoolean(), true);

    // The rest of the row is edited and posted; what was stored stays as it was, also after a refresh.
    for (int round = 0; round < 2; ++round) {
        t.edit();
        t.fieldByName("RctSpTop")->setAsString(QString::number(round + 1));
        ASSERT_NO_THROW(t.post()) << "round " << round;
        QVariantList expected = stored;
        expected[10] = double(round + 1);
        EXPECT_EQ(storeRow(dir, check), expected) << "round " << round;
        t.refresh();
    }

    // Writing a field replaces what it held; the others stay as stored.
    t.edit();
    t.fieldByName("RctType")->setAsInteger(2);
    EXPECT_FALSE(t.fieldByName("RctType")->holdsUnreadableValue());
    t.post();
    const QVariantList after = storeRow(dir, check);
    EXPECT_EQ(after[0].toString(), "integer");
    EXPECT_EQ(after[1].toInt(), 2);
    EXPECT_EQ(after[2], stored[2]);
    EXPECT_EQ(after[7], stored[7]);

    // Someone else's change is still noticed.
    t.edit();
    t.fieldByName("RctSpTop")->setAsString("9");
    test::execOnStore(dir, {"update RepCtrl set RctLabel='Theirs' where RctName='Odd'"});
    EXPECT_THROW(t.post(), EngineError);
    t.cancel();
}

TEST_F(RawValuesTest, EmptyStoredTextIsMatchedByAPost)
{
    test::execOnStore(dir, {"update Reports set RepTitle='' where RepName='Q2'"});
    Table &t = open("Reports.DB", QStringLiteral("RepName = 'Q2'"));
    t.edit();
    t.fieldByName("RepTopY")->setAsString("3");
    EXPECT_NO_THROW(t.post());
    EXPECT_EQ(storeRow(dir, "select typeof(RepTitle), RepTopY from Reports where RepName='Q2'"),
              (QVariantList{"text", 3.0}));
}

// ------------------------------------------------------------------ a damaged or empty store

/// Overwrites the head of a table's first page, which SQLite then finds malformed.
void damageTable(const QString &dir, const QString &table)
{
    const QVariantList info = storeRow(dir, QStringLiteral("select (select rootpage from sqlite_master where name='%1'), "
                                                           "(select page_size from pragma_page_size())")
                                                .arg(table));
    ASSERT_EQ(info.size(), 2);
    QFile f(dir + QStringLiteral("/KVT3.sqlite"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(qint64(info[0].toInt() - 1) * info[1].toInt()));
    f.write(QByteArray(16, char(0xff)));
}

TEST_F(RawValuesTest, DamagedStoreIsWrittenNoMoreFromItsFirstSign)
{
    damageTable(dir, QStringLiteral("RepBand"));
    const QString store = dir + QStringLiteral("/KVT3.sqlite");
    const QByteArray before = fileHash(store);

    Table reports(nullptr, QStringLiteral("TblReports"));
    reports.setDatabaseName(QStringLiteral("MyDatabase"));
    reports.setTableName(QStringLiteral("Reports.DB"));
    reports.open(); // readable yet
    EXPECT_TRUE(reports.canModify());
    EXPECT_FALSE(conn->database.isDamaged());

    try {
        open("RepBand.DB");
        ADD_FAILURE() << "a malformed table was read";
    } catch (const EngineError &e) {
        for (const QString &part : {store, QStringLiteral("damaged"), QStringLiteral("malformed"),
                                    QStringLiteral("backup")})
            EXPECT_TRUE(e.message().contains(part)) << qPrintable(e.message()) << " lacks " << qPrintable(part);
    }
    EXPECT_TRUE(conn->database.isDamaged());

    // What can be read is still read, and nothing is written any more.
    EXPECT_FALSE(reports.canModify());
    reports.first();
    EXPECT_EQ(reports.fieldByName("RepName")->asString(), "O1");
    try {
        reports.edit();
        ADD_FAILURE() << "a damaged store took an edit";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains(store)) << qPrintable(e.message());
    }
    EXPECT_EQ(reports.state(), DataSetState::Browse);
    Query q(nullptr, QStringLiteral("QryGeneric"));
    q.setDatabaseName(QStringLiteral("MyDatabase"));
    q.setSql({QStringLiteral("insert into TextBtn (TxbName) values ('btnNew')")});
    EXPECT_THROW(q.execSql(), EngineError);
    reports.close();
    conn.reset();
    EXPECT_EQ(fileHash(store), before) << "the damaged store was written";
}

TEST_F(RawValuesTest, DamageFoundInAWriteStopsTheWritesThatFollow)
{
    damageTable(dir, QStringLiteral("TextBtn"));
    const QString store = dir + QStringLiteral("/KVT3.sqlite");
    Query q(nullptr, QStringLiteral("QryGeneric"));
    q.setDatabaseName(QStringLiteral("MyDatabase"));
    q.setSql({QStringLiteral("insert into TextBtn (TxbName) values ('btnOne')")});
    try {
        q.execSql();
        ADD_FAILURE() << "an insert into a malformed table passed";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("damaged"))) << qPrintable(e.message());
    }
    EXPECT_TRUE(conn->database.isDamaged());
    const QByteArray after = fileHash(store);
    q.setSql({QStringLiteral("insert into RepCat values ('New')")});
    EXPECT_THROW(q.execSql(), EngineError);
    conn.reset();
    EXPECT_EQ(fileHash(store), after) << "a write went on after the damage was found";
}

TEST_F(RawValuesTest, StoreThatIsNoDatabaseIsReportedDamagedAtOpen)
{
    const QString store = dir + QStringLiteral("/KVT3.sqlite");
    {
        QFile f(store);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write(QByteArray(100, 'x')); // the header
    }
    const QByteArray before = fileHash(store);
    try {
        conn->database.open();
        ADD_FAILURE() << "a store without its header opened";
    } catch (const EngineError &e) {
        for (const QString &part : {store, QStringLiteral("damaged"), QStringLiteral("backup")})
            EXPECT_TRUE(e.message().contains(part)) << qPrintable(e.message()) << " lacks " << qPrintable(part);
    }
    EXPECT_FALSE(conn->database.isOpen());
    EXPECT_EQ(fileHash(store), before);
}

TEST_F(RawValuesTest, ZeroLengthStoreIsReportedAsEmpty)
{
    conn.reset();
    {
        QFile f(dir + QStringLiteral("/KVT3.sqlite"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }
    conn = std::make_unique<test::Connection>(dir);
    try {
        open("RepCat.DB");
        ADD_FAILURE() << "a table opened in an empty store";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("is empty"))) << qPrintable(e.message());
        EXPECT_TRUE(e.message().contains(QStringLiteral("0 bytes"))) << qPrintable(e.message());
        EXPECT_FALSE(e.message().contains(QStringLiteral("does not exist"))) << qPrintable(e.message());
    }
    table.reset();
    conn.reset();
    EXPECT_EQ(QFile(dir + QStringLiteral("/KVT3.sqlite")).size(), 0);
}

} // namespace

// ------------------------------------------------------------------ bulk reads

namespace {
int cacheSize(Database &db)
{
    QSqlQuery q(db.connection());
    q.exec(QStringLiteral("pragma cache_size"));
    return q.next() ? q.value(0).toInt() : 0;
}
} // namespace

TEST_F(RawValuesTest, ABulkReadKeepsThePageCacheSmallUntilItsOutermostScopeEnds)
{
    Database &db = conn->database;
    {
        BulkReadScope closed(&db); // a closed database: nothing happens, also at the end
    }
    open("Reports.DB");
    const int interactive = cacheSize(db);
    {
        BulkReadScope outer(&db);
        const int bulk = cacheSize(db);
        EXPECT_GT(bulk, interactive) << "negative sizes are KiB: a smaller cache is a larger number";
        {
            BulkReadScope inner(&db);
            EXPECT_EQ(cacheSize(db), bulk);
        }
        EXPECT_EQ(cacheSize(db), bulk) << "the inner scope leaves the outer one's size";
    }
    EXPECT_EQ(cacheSize(db), interactive);
    BulkReadScope acrossAClose(&db);
    db.close();
    db.open();
    EXPECT_EQ(cacheSize(db), interactive) << "a new open starts with the interactive size";
}
