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
#include <QProcess>
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

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
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
    QByteArray contents;
    for (const QString &f : before)
        contents += fileBytes(px + "/" + f);

    const Outcome r = runImport(px, dir);
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.lines, QStringList({"RepCat.DB: 2 rows", "Reports.DB: 2 rows", "RepBand.DB: 2 rows", "RepCtrl.DB: 3 rows",
                                    "TextField.DB: 2 rows", "TextBtn.DB: 1 rows", "TextMsg.DB: 1 rows"}));
    EXPECT_EQ(filesIn(px), before) << "PXDIR is only read";
    QByteArray after;
    for (const QString &f : before)
        after += fileBytes(px + "/" + f);
    EXPECT_TRUE(after == contents) << "no file in PXDIR is changed";
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
    EXPECT_FALSE(QFileInfo::exists(dir)) << "the directory it made is removed again";

    const QString out = tmp.filePath("out");
    polls = 0;
    ASSERT_EQ(runImport(px, dir).error, QString());
    EXPECT_TRUE(runExport(dir, out, false, [&] { return ++polls > 6; }).error.contains("Interrupted"));
    EXPECT_FALSE(QFileInfo::exists(out));
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

namespace {

// Rows as pxlib reads them, compared value for value (doubles bit for bit).
void expectSameRows(const std::vector<std::vector<QVariant>> &a, const std::vector<std::vector<QVariant>> &b, const QString &what)
{
    ASSERT_EQ(a.size(), b.size()) << what.toStdString();
    for (size_t r = 0; r < a.size(); ++r) {
        ASSERT_EQ(a[r].size(), b[r].size());
        for (size_t f = 0; f < a[r].size(); ++f) {
            const QVariant &x = a[r][f], &y = b[r][f];
            EXPECT_EQ(x.isValid(), y.isValid()) << what.toStdString() << " row " << r << " field " << f;
            if (x.typeId() == QMetaType::Double && y.typeId() == QMetaType::Double) {
                const double dx = x.toDouble(), dy = y.toDouble();
                EXPECT_EQ(std::memcmp(&dx, &dy, sizeof dx), 0) << what.toStdString() << " row " << r << " field " << f;
            } else {
                EXPECT_EQ(x, y) << what.toStdString() << " row " << r << " field " << f;
            }
        }
    }
}
} // namespace

TEST(ParadoxExport, ACreatedStoreBecomesSevenEncryptedTables)
{
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("data"), px = tmp.filePath("px");
    datadir::Options co;
    co.demo = true;
    co.protect = true;
    ASSERT_EQ(datadir::create(dir, co), QString());
    test::execOnStore(dir, {QString::fromUtf8("update TextField set TxfLabel='Größe' where TxfName='RctWidth'")});

    const Outcome r = runExport(dir, px);
    ASSERT_EQ(r.error, QString());
    EXPECT_EQ(r.lines.size(), 7);
    EXPECT_EQ(r.lines[3], "RepCtrl.DB: 252 rows");
    for (const auto &t : reportdef::allTables()) {
        SCOPED_TRACE(t.fileName.toStdString());
        const QString base = QFileInfo(t.fileName).completeBaseName();
        EXPECT_TRUE(QFileInfo::exists(px + "/" + base + ".PX"));
        EXPECT_FALSE(QFileInfo::exists(px + "/" + base + ".MB"));
        int encrypted = 0, cp = 0;
        pxdirect::readTable(px + "/" + t.fileName, &encrypted, &cp);
        EXPECT_EQ(encrypted, 1);
        EXPECT_EQ(cp, 1252);
        paradox::Reader rd(px + "/" + t.fileName);
        ASSERT_EQ(rd.definition().fields.size(), size_t(t.columns.size()));
        for (size_t i = 0; i < rd.definition().fields.size(); ++i)
            EXPECT_EQ(rd.definition().fields[i].name, t.columns[int(i)]);
        EXPECT_EQ(rd.definition().fileVersion, 70);
    }
    EXPECT_EQ(filesIn(px).size(), 14u) << "no temporary files are left";
    paradox::Reader ctrl(px + "/RepCtrl.DB");
    const auto &f = ctrl.definition().fields;
    EXPECT_EQ(ctrl.definition().primaryKeyFields, 3);
    EXPECT_EQ(f[0].type, paradox::Alpha);
    EXPECT_EQ(f[0].length, 32);
    EXPECT_EQ(f[3].type, paradox::Long);
    EXPECT_EQ(f[5].type, paradox::Number);
    EXPECT_EQ(f[10].type, paradox::Logical);
    // Text in code page 1252, byte for byte.
    bool found = false;
    for (const auto &row : pxdirect::readTable(px + "/TextField.DB"))
        found = found || row[1].toByteArray() == QByteArray("Gr\xf6\xdf" "e");
    EXPECT_TRUE(found);
}

TEST(ParadoxExport, RoundTripGivesTheOriginalTables)
{
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px"), dir = tmp.filePath("data"), px2 = tmp.filePath("px2");
    writeSuiteTablesWithPxlib(px);
    ASSERT_EQ(runImport(px, dir).error, QString());
    const Outcome r = runExport(dir, px2);
    ASSERT_EQ(r.error, QString());
    for (const auto &t : reportdef::allTables()) {
        SCOPED_TRACE(t.fileName.toStdString());
        paradox::Reader a(px + "/" + t.fileName), b(px2 + "/" + t.fileName);
        EXPECT_TRUE(a.definition().fields == b.definition().fields);
        EXPECT_EQ(a.definition().fileVersion, b.definition().fileVersion);
        EXPECT_EQ(a.definition().codePage, b.definition().codePage);
        EXPECT_EQ(a.definition().encrypted, b.definition().encrypted);
        EXPECT_EQ(a.definition().primaryKeyFields, b.definition().primaryKeyFields);
        expectSameRows(pxdirect::readTable(px + "/" + t.fileName), pxdirect::readTable(px2 + "/" + t.fileName), t.fileName);
    }
}

TEST(ParadoxExport, AnEditComesBackAndTheOldTablesStayAsBackups)
{
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px"), dir = tmp.filePath("data");
    writeSuiteTablesWithPxlib(px);
    ASSERT_EQ(runImport(px, dir).error, QString());
    test::execOnStore(dir, {QString::fromUtf8("update RepCtrl set RctLabel='Geändert', RctWidth=12.5 where RctName='RepCompName'")});

    const Outcome refused = runExport(dir, px);
    EXPECT_TRUE(refused.error.contains("already holds RepCat.DB")) << refused.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(px + "/RepCat.DB.bak"));

    const auto before = pxdirect::readTable(px + "/RepCtrl.DB");
    const Outcome r = runExport(dir, px, true);
    ASSERT_EQ(r.error, QString());
    for (const auto &t : reportdef::allTables())
        EXPECT_TRUE(QFileInfo::exists(px + "/" + t.fileName + ".bak")) << t.fileName.toStdString();
    EXPECT_TRUE(QFileInfo::exists(px + "/RepCtrl.PX")) << "the new table has its primary index";
    expectSameRows(pxdirect::readTable(px + "/RepCtrl.DB.bak"), before, "backup");

    auto after = pxdirect::readTable(px + "/RepCtrl.DB");
    ASSERT_EQ(after.size(), before.size());
    int encrypted = 0;
    pxdirect::readTable(px + "/RepCtrl.DB", &encrypted);
    EXPECT_EQ(encrypted, 1);
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i][2].toByteArray() == "RepCompName") {
            EXPECT_EQ(after[i][4].toByteArray(), QByteArray("Ge\xe4ndert"));
            EXPECT_EQ(after[i][5].toDouble(), 12.5);
            after[i][4] = before[i][4];
            after[i][5] = before[i][5];
        }
    }
    expectSameRows(after, before, "everything else unchanged");
    for (const char *other : {"RepCat.DB", "TextField.DB", "TextMsg.DB"})
        expectSameRows(pxdirect::readTable(px + "/" + other), pxdirect::readTable(px + "/" + other + ".bak"), other);
}

TEST(ParadoxExport, RefusesAndLeavesTheOldTablesAsTheyWere)
{
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px"), dir = tmp.filePath("data");
    writeSuiteTablesWithPxlib(px);
    ASSERT_EQ(runImport(px, dir).error, QString());
    std::map<QString, QByteArray> original;
    for (const QString &f : filesIn(px))
        original[f] = fileBytes(px + "/" + f);
    auto unchanged = [&](const char *what) {
        EXPECT_EQ(filesIn(px).size(), original.size()) << what << ": " << filesIn(px).join(",").toStdString();
        for (const auto &[f, bytes] : original)
            EXPECT_EQ(fileBytes(px + "/" + f), bytes) << what << ": " << f.toStdString();
    };

    for (const char *lock : {"PARADOX.LCK", "pdoxusrs.lck"}) {
        QFile l(px + "/" + lock);
        l.open(QIODevice::WriteOnly);
        l.close();
        const Outcome r = runExport(dir, px, true);
        EXPECT_TRUE(r.error.contains(lock) && r.error.contains("close the suite's programs")) << r.error.toStdString();
        QFile::remove(px + "/" + lock);
        unchanged(lock);
    }

    // A value that does not fit its field fails while writing: nothing is replaced.
    test::execOnStore(dir, {"update TextMsg set TxmText='" + QString(300, 'x') + "'"});
    const Outcome tooLong = runExport(dir, px, true);
    EXPECT_TRUE(tooLong.error.contains("TextMsg.DB") && tooLong.error.contains("TxmText")) << tooLong.error.toStdString();
    unchanged("failed write");

    test::execOnStore(dir, {"update TextMsg set TxmText='short'"});
    int polls = 0;
    const Outcome stopped = runExport(dir, px, true, [&] { return ++polls > 20; });
    EXPECT_TRUE(stopped.error.contains("Interrupted")) << stopped.error.toStdString();
    unchanged("interrupted");

    // A rename that fails while the new tables are moved into place (here: a folder stands where
    // the last index file goes) puts every old file back.
    QDir().mkpath(px + "/TextMsg.PX/in the way");
    original.erase(QStringLiteral("TextMsg.PX"));
    const Outcome blocked = runExport(dir, px, true);
    EXPECT_TRUE(blocked.error.contains("Cannot rename") && blocked.error.contains("left as they were")) << blocked.error.toStdString();
    QDir(px + "/TextMsg.PX").removeRecursively();
    unchanged("failed rename");

    QTemporaryDir empty;
    EXPECT_TRUE(runExport(empty.path(), px).error.contains("holds no store"));
}

TEST(ParadoxExport, RoundTripKeepsMemosBlobsAndEveryOtherType)
{
    // The seven tables written by our writer; TextMsg.DB encrypted, with memos, a formatted memo and a
    // field of every other type the writer knows, names in code page 850.
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px"), dir = tmp.filePath("data"), px2 = tmp.filePath("px2");
    writeSuiteTablesWithPxlib(px);
    QFile::remove(px + "/TextMsg.DB");
    paradox::TableDef d;
    d.fileVersion = 50;
    d.codePage = 850;
    d.encrypted = true;
    d.primaryKeyFields = 1;
    d.fields = {{"TxmName", paradox::Alpha, 64}, {"TxmText", paradox::Memo, 30}, {"TxmDesc", paradox::FormattedMemo, 11},
                {QString::fromUtf8("Größe"), paradox::Bcd, 2}, {"Day", paradox::Date, 4}, {"At", paradox::Time, 4},
                {"When", paradox::Timestamp, 8}, {"Small", paradox::Short, 2}, {"Money", paradox::Currency, 8},
                {"Raw", paradox::Bytes, 4}, {"Bin", paradox::Blob, 10}, {"Ole", paradox::Ole, 10}, {"No", paradox::AutoInc, 4}};
    const QVariant e;
    const std::vector<std::vector<QVariant>> rows = {
        {QString("a"), QString::fromUtf8("Über alles ").repeated(500), QString::fromUtf8("x\0y", 3), 1.25, QString("2001-12-31"),
         QString("12:00:00.500"), QString("1999-01-02 03:04:05.006"), qint64(-3), 9.99, QByteArray("\x01\x00\x00\x02", 4),
         QByteArray(3000, '\xAB'), QByteArray("ole"), qint64(1)},
        {QString("b"), QString("kurz"), e, e, e, e, e, e, e, e, e, e, qint64(2)},
    };
    {
        paradox::Writer w(px + "/TextMsg.DB", d, datadir::builtInTablePassword());
        for (const auto &r : rows)
            w.append(r);
        w.finish();
    }
    ASSERT_EQ(runImport(px, dir).error, QString());
    StoreDb s(dir);
    EXPECT_EQ(s.scalar(QString::fromUtf8("select \"Größe\" from TextMsg where TxmName='a'")).toDouble(), 1.25);
    EXPECT_EQ(s.scalar("select \"When\" from TextMsg where TxmName='a'").toString(), "1999-01-02 03:04:05.006");
    EXPECT_EQ(s.scalar("select At from TextMsg where TxmName='a'").toString(), "12:00:00.500");
    EXPECT_EQ(s.scalar("select typeof(Bin) || length(Bin) from TextMsg where TxmName='a'").toString(), "blob3000");
    ASSERT_EQ(runExport(dir, px2).error, QString());

    paradox::Reader a(px + "/TextMsg.DB"), b(px2 + "/TextMsg.DB");
    EXPECT_TRUE(a.definition().fields == b.definition().fields);
    EXPECT_EQ(b.definition().fileVersion, 50);
    EXPECT_EQ(b.definition().codePage, 850);
    EXPECT_TRUE(b.definition().encrypted);
    EXPECT_TRUE(QFileInfo::exists(px2 + "/TextMsg.MB"));
    ASSERT_EQ(b.recordCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const auto x = a.record(i), y = b.record(i);
        for (size_t f = 0; f < x.size(); ++f)
            EXPECT_TRUE(paradox::sameValue(x[f], y[f]) && x[f].isNull() == y[f].isNull())
                << "record " << i + 1 << " field " << d.fields[f].name.toStdString();
    }
}

TEST(ParadoxCommands, PrintOneLinePerTableAndFailWithAMessage)
{
    const QString exe = QStringLiteral(KVT_BINARY_DIR "/kvt-datadir");
    if (!QFileInfo::exists(exe))
        GTEST_SKIP() << "kvt-datadir is not built";
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px");
    writeSuiteTablesWithPxlib(px);
    auto run = [&](const QStringList &args, QString &out, QString &err) {
        QProcess p;
        p.start(exe, args);
        p.waitForFinished(60000);
        out = QString::fromUtf8(p.readAllStandardOutput());
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QString out, err;
    EXPECT_EQ(run({"import", px, tmp.filePath("data")}, out, err), 0) << err.toStdString();
    EXPECT_EQ(out.count('\n'), 7);
    EXPECT_TRUE(out.startsWith("RepCat.DB: 2 rows\n")) << out.toStdString();
    EXPECT_EQ(run({"import", px, tmp.filePath("data")}, out, err), 1);
    EXPECT_TRUE(err.contains("already holds a store")) << err.toStdString();
    EXPECT_EQ(run({"export", tmp.filePath("data"), tmp.filePath("out")}, out, err), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("RepCtrl.DB: 3 rows")) << out.toStdString();
    EXPECT_EQ(run({"export", tmp.filePath("data"), tmp.filePath("out")}, out, err), 1);
    EXPECT_TRUE(err.contains("--replace")) << err.toStdString();
    EXPECT_EQ(run({"export", tmp.filePath("data"), tmp.filePath("out"), "--replace"}, out, err), 0) << err.toStdString();
    EXPECT_EQ(run({"import", px}, out, err), 1);
    EXPECT_TRUE(err.contains("usage")) << err.toStdString();
}
