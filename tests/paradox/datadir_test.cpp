// kvt-datadir import and export: the seven tables in and out, all or nothing.
#include "engine/dataset.h"
#include "engine/session.h"
#include "paradox/paradox.h"
#include "pxdirect.h"
#include "samples.h"
#include "reportdef/schema.h"
#include "support/teststore.h"
#include "tools/datadir.h"
#include "tools/datadirparadox.h"
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

// A connection of its own to a store, closed with the object.
class StoreDb {
public:
    explicit StoreDb(const QString &dir) : m_name(QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(QDir(dir).filePath(QStringLiteral("KVT3.sqlite")));
        db.open();
    }
    ~StoreDb()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    std::vector<std::vector<QVariant>> rows(const QString &sql) const
    {
        std::vector<std::vector<QVariant>> out;
        QSqlQuery q(db());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        while (q.next()) {
            std::vector<QVariant> r;
            for (int i = 0; i < q.record().count(); ++i)
                r.push_back(q.value(i));
            out.push_back(r);
        }
        return out;
    }
    QVariant scalar(const QString &sql) const
    {
        auto r = rows(sql);
        return r.empty() ? QVariant() : r[0][0];
    }

private:
    QString m_name;
};

struct Outcome {
    QString error;
    QStringList lines;
};

Outcome runImport(const QString &px, const QString &dir, bool all = false, std::function<bool()> cancel = {})
{
    Outcome r;
    datadir::ParadoxOptions o;
    o.all = all;
    o.progress = [&](const QString &l) { r.lines << l; };
    o.cancelled = std::move(cancel);
    r.error = datadir::importParadox(px, dir, o);
    return r;
}

Outcome runExport(const QString &dir, const QString &px, bool replace = false, std::function<bool()> cancel = {})
{
    Outcome r;
    datadir::ParadoxOptions o;
    o.replace = replace;
    o.progress = [&](const QString &l) { r.lines << l; };
    o.cancelled = std::move(cancel);
    r.error = datadir::exportParadox(dir, px, o);
    return r;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray cp1252(const char *utf8)
{
    QByteArray out;
    for (char32_t c : QString::fromUtf8(utf8).toUcs4())
        out += char(c); // the letters used here lie in Latin-1's part of 1252
    return out;
}

// The seven tables written with pxlib itself: RepCtrl.DB encrypted with the suite's password and
// carrying a column the editor does not use; text outside ASCII in code page 1252.
void writeSuiteTablesWithPxlib(const QString &px)
{
    QDir().mkpath(px);
    static const QRegularExpression col(QStringLiteral("(\\w+) (VARCHAR\\((\\d+)\\)|DOUBLE|INTEGER|BOOLEAN)"));
    const QByteArray password = datadir::builtInTablePassword().toLatin1();
    auto a = [](const char *utf8) { return QVariant(cp1252(utf8)); };
    const QVariant e;
    std::map<QString, std::vector<std::vector<QVariant>>> rows = {
        {"RepCat", {{a("Leer")}, {a("Quotes")}}},
        {"Reports", {{a("Q1"), a("Angebot für Kunden"), 1.5, 2.0, 3.0, 4.0, a("Quotes"), a("P")},
                     {a("Q2"), a("Zweites"), 0.0, 0.0, 0.0, 0.0, a("Quotes"), a("L")}}},
        {"RepBand", {{a("Q1"), a("Body"), a("G2"), 3, 0.0, 0.0, 0.0, 0.0, 2, 0},
                     {a("Q1"), a("Head"), a("G1"), 1, 0.5, 0.5, 1.0, 1.0, 1, 15}}},
        {"RepCtrl", {{a("Q1"), a("G1"), a("QtNo:1"), 2, a("Nummer"), 20.0, a("Arial,9,B,0"), a("Arial,9,,0"), 8.0, 1, true, 1, e, 0, 0.5, 0.5, 0.0, 0.0, false, a("frei")},
                     {a("Q1"), a("G1"), a("RepCompName"), 1, a("Firma"), 10.0, a("Arial,9,B,0"), a("Arial,9,,0"), 0.0, 0, true, 2, e, 15, 0.0, 0.0, 0.0, 0.0, true, e},
                     {a("Q1"), a("G2"), a("Größe"), 5, a("Größe in m²"), 5.25, e, e, e, e, false, 10, e, e, e, e, e, e, e, e}}},
        {"TextField", {{a("RctName"), a("Steuerelement"), a("Strg."), 100, true}, {a("RepTitle"), a("Titel"), a("Titel"), 150, false}}},
        {"TextBtn", {{a("OKBtn"), a("OK"), e, a("Knopf"), 40.0}}},
        {"TextMsg", {{a("fntLabel"), a("Arial,8,,0"), a("fntLabel+")}}},
    };
    for (const auto &t : reportdef::allTables()) {
        std::vector<pxdirect::Col> cols;
        std::vector<QByteArray> names;
        for (const QString &s : t.createStatements) {
            if (!s.startsWith("CREATE TABLE"))
                continue;
            auto it = col.globalMatch(s);
            while (it.hasNext()) {
                auto m = it.next();
                names.push_back(m.captured(1).toLatin1());
                const QString ty = m.captured(2);
                int type = pxfAlpha, len = m.captured(3).toInt();
                if (ty == "DOUBLE")
                    type = pxfNumber, len = 8;
                else if (ty == "INTEGER")
                    type = pxfLong, len = 4;
                else if (ty == "BOOLEAN")
                    type = pxfLogical, len = 1;
                cols.push_back({nullptr, type, len});
            }
        }
        if (t.sqlName == "RepCtrl") {
            names.push_back("Extra Note");
            cols.push_back({nullptr, pxfAlpha, 20});
        }
        for (size_t i = 0; i < cols.size(); ++i)
            cols[i].name = names[i].constData();
        const int keys = t.sqlName == "RepBand" ? 2 : t.sqlName == "RepCtrl" ? 3 : 1;
        pxdirect::writeTable(QDir(px).filePath(t.fileName), cols, keys, rows[t.sqlName],
                             t.sqlName == "RepCtrl" ? password.constData() : nullptr);
    }
}

} // namespace

TEST(ParadoxImport, SevenTablesWrittenByPxlibImportExactly)
{
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px"), dir = tmp.filePath("data");
    writeSuiteTablesWithPxlib(px);
    const QStringList before = filesIn(px);

    const Outcome r = runImport(px, dir);
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.lines, QStringList({"RepCat.DB: 2 rows", "Reports.DB: 2 rows", "RepBand.DB: 2 rows", "RepCtrl.DB: 3 rows",
                                    "TextField.DB: 2 rows", "TextBtn.DB: 1 rows", "TextMsg.DB: 1 rows"}));
    EXPECT_EQ(filesIn(px), before) << "PXDIR is only read";
    EXPECT_EQ(filesIn(dir), QStringList({"KVT3.sqlite"})) << "no temporary file is left";

    StoreDb s(dir);
    EXPECT_EQ(s.scalar("select RepTitle from Reports where RepName='Q1'").toString(), QString::fromUtf8("Angebot für Kunden"));
    EXPECT_EQ(s.scalar("select RctLabel from RepCtrl where RctSortIdx=10").toString(), QString::fromUtf8("Größe in m²"));
    EXPECT_EQ(s.scalar("select \"Extra Note\" from RepCtrl where RctName='QtNo:1'").toString(), "frei");
    EXPECT_TRUE(s.scalar("select RctLabelWidth from RepCtrl where RctSortIdx=10").isNull());
    EXPECT_EQ(s.scalar("select typeof(RctInclude) || RctInclude from RepCtrl where RctName='RepCompName'").toString(), "integer1");
    EXPECT_EQ(s.scalar("select RepLeftX from Reports where RepName='Q1'").toDouble(), 1.5);
    // The encrypted table makes the store protected, as --protect does.
    QSqlDatabase db = s.db();
    EXPECT_TRUE(protection::isProtected(db, "RepCtrl"));
    EXPECT_TRUE(protection::isProtected(db, "RepCat"));
    EXPECT_EQ(s.scalar("select Encrypted from _ParadoxTables where TableName='RepCtrl'").toInt(), 1);
    EXPECT_EQ(s.scalar("select Encrypted from _ParadoxTables where TableName='RepCat'").toInt(), 0);
    EXPECT_EQ(s.scalar("select count(*) from _ParadoxFields where TableName='RepCtrl'").toInt(), 20);

    // Keys and indexes as `create` gives them.
    QTemporaryDir created;
    ASSERT_EQ(datadir::create(created.path(), {}), QString());
    StoreDb c(created.path());
    for (const auto &t : reportdef::allTables()) {
        const QString pk = QStringLiteral("select group_concat(name) from (select name from pragma_table_info('%1') where pk > 0 order by pk)").arg(t.sqlName);
        EXPECT_EQ(s.scalar(pk), c.scalar(pk)) << t.sqlName.toStdString();
        const QString idx = QStringLiteral("select group_concat(name) from pragma_index_list('%1') where origin='c'").arg(t.sqlName);
        EXPECT_EQ(s.scalar(idx), c.scalar(idx)) << t.sqlName.toStdString();
    }
}

TEST(ParadoxImport, TheEngineOpensAnImportedDirectoryWithTheBuiltInPassword)
{
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px"), dir = tmp.filePath("data");
    writeSuiteTablesWithPxlib(px);
    ASSERT_EQ(runImport(px, dir).error, QString());

    test::Connection conn(dir);
    conn.session.addPassword(datadir::builtInTablePassword());
    Table reports;
    reports.setDatabaseName("MyDatabase");
    reports.setSessionName("MySession");
    reports.setTableName("Reports.DB");
    reports.setIndexName("RepCatName");
    reports.open();
    EXPECT_EQ(reports.recordCount(), 2);
    Query q;
    q.setDatabaseName("MyDatabase");
    q.setSessionName("MySession");
    q.setSql({reportdef::controlQuerySql()});
    q.setParam("RepName", "Q1");
    q.setParam("RctGroup", "G1");
    q.open();
    QStringList names;
    for (; !q.eof(); q.next())
        names << q.fields(2)->asString();
    EXPECT_EQ(names, QStringList({"QtNo:1", "RepCompName"}));
}

TEST(ParadoxImport, RefusesWithoutCreatingAnything)
{
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px");
    writeSuiteTablesWithPxlib(px);

    // A store in DIR is refused like `create` refuses it.
    const QString existing = tmp.filePath("existing");
    test::createStore(existing);
    EXPECT_TRUE(runImport(px, existing).error.contains("already holds a store"));

    struct Case {
        const char *what;
        std::function<void(const QString &px)> spoil;
        const char *message;
    } cases[] = {
        {"missing table", [](const QString &p) { QFile::remove(p + "/TextMsg.DB"); }, "no table TextMsg.DB"},
        {"missing column",
         [](const QString &p) {
             QFile::remove(p + "/RepCat.DB");
             pxdirect::writeTable(p + "/RepCat.DB", {{"Name", pxfAlpha, 16}}, 1, {});
         },
         "Table RepCat.DB has no column RepCatName"},
        {"incompatible column",
         [](const QString &p) {
             QFile::remove(p + "/RepCat.DB");
             pxdirect::writeTable(p + "/RepCat.DB", {{"RepCatName", pxfNumber, 8}}, 1, {});
         },
         "Column RepCatName of table RepCat.DB is Number"},
        {"not a table",
         [](const QString &p) {
             QFile f(p + "/TextBtn.DB");
             f.open(QIODevice::WriteOnly | QIODevice::Truncate);
             f.write(QByteArray(3000, 'x'));
         },
         "TextBtn.DB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir t;
        const QString p = t.filePath("px"), dir = t.filePath("data");
        writeSuiteTablesWithPxlib(p);
        c.spoil(p);
        const Outcome r = runImport(p, dir);
        EXPECT_TRUE(r.error.contains(c.message)) << r.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir + "/KVT3.sqlite"));
        EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(",").toStdString();
    }
}

TEST(ParadoxImport, AnInterruptedImportLeavesNoStore)
{
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px"), dir = tmp.filePath("data");
    writeSuiteTablesWithPxlib(px);
    int polls = 0;
    const Outcome r = runImport(px, dir, false, [&] { return ++polls > 6; });
    EXPECT_TRUE(r.error.contains("Interrupted")) << r.error.toStdString();
    EXPECT_TRUE(filesIn(dir).isEmpty()) << filesIn(dir).join(",").toStdString();
}

TEST(ParadoxImport, AllImportsEveryTableOfTheSamples)
{
    QTemporaryDir tmp;
    const Outcome r = runImport(QDir(samples()).filePath("fields"), tmp.filePath("data"), true);
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.lines.size(), 8);
    StoreDb s(tmp.filePath("data"));
    EXPECT_EQ(s.scalar("select count(*) from fmemo where instr(FMEMO, char(0)) > 0").toInt(), 2)
        << "formatted memo keeps its NUL bytes";
    EXPECT_EQ(s.scalar("select typeof(BYTES) from bytes").toString(), "blob");
    EXPECT_EQ(s.scalar("select \"Timestamp\" from timestamp where \"Timestamp\" is not null").toString(), "2020-02-01 01:00:01");
}
