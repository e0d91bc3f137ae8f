#include "tools/datadir.h"
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

int scalar(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    EXPECT_TRUE(q.exec(sql)) << qPrintable(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

TEST(DataDirTool, CreatesRefusesAnExistingStoreAndFillsDemoRows)
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/new/data";
    kvt::datadir::Options o;
    o.demo = true;
    ASSERT_EQ(kvt::datadir::create(dir, o), QString());
    const QByteArray before = [&] {
        QFile f(dir + "/KVT3.sqlite");
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    EXPECT_TRUE(kvt::datadir::create(dir, o).contains("already holds a store"));
    QFile f(dir + "/KVT3.sqlite");
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), before) << "an existing store is not touched";

    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "demo");
        db.setDatabaseName(dir + "/KVT3.sqlite");
        ASSERT_TRUE(db.open());
        struct Check {
            const char *what;
            const char *sql;
            int atLeast;
        } checks[] = {
            {"categories", "select count(*) from RepCat", 3},
            {"empty category", "select count(*) from RepCat c where not exists (select 1 from Reports r where r.RepCatName=c.RepCatName)", 1},
            {"reports", "select count(*) from Reports", 12},
            {"orientations", "select count(distinct RepOrient) from Reports", 2},
            {"band types", "select count(distinct RbdType) from RepBand where RbdType between 0 and 3", 4},
            {"content types", "select count(distinct RbdContType) from RepBand where RbdContType in (1,2)", 2},
            {"shared groups", "select count(*) from (select RepName, RctGroup from RepBand group by 1,2 having count(*) > 1)", 1},
            {"control types", "select count(distinct RctType) from RepCtrl where RctType between 1 and 6", 6},
            {"sort index over 9", "select count(*) from RepCtrl where RctSortIdx > 9", 1},
            {"sort index over 99", "select count(*) from RepCtrl where RctSortIdx > 99", 1},
            {"names with suffix", "select count(*) from RepCtrl where RctName like '%:%'", 1},
            {"company rows", "select count(distinct substr(RctName,1,11)) from RepCtrl where substr(RctName,1,11) in ('RepCompName','RepCompAddr')", 2},
            {"excluded", "select count(*) from RepCtrl where RctInclude = 0", 1},
            {"fonts", "select count(*) from TextMsg where TxmName in ('fntLabel','fntField','fntClmLabel','fntClmField')", 4},
            {"bands with controls", "select count(*) from RepBand b where exists (select 1 from RepCtrl c where c.RepName=b.RepName and c.RctGroup=b.RctGroup)", 12},
        };
        for (const auto &c : checks)
            EXPECT_GE(scalar(db, c.sql), c.atLeast) << c.what;
        EXPECT_EQ(scalar(db, "select count(*) from sqlite_master where type='index' and name='RepCatName' and tbl_name='Reports'"), 1);
        db.close();
    }
    QSqlDatabase::removeDatabase("demo");
}

TEST(DataDirTool, GeneratesBenchRowsAndChecksItsArguments)
{
    kvt::datadir::Options o;
    EXPECT_FALSE(kvt::datadir::parseGenerate("1,2", o));
    EXPECT_FALSE(kvt::datadir::parseGenerate("1,x,3", o));
    EXPECT_FALSE(kvt::datadir::parseGenerate("0,1,1", o));
    ASSERT_TRUE(kvt::datadir::parseGenerate("2,3,4", o));
    QTemporaryDir tmp;
    ASSERT_EQ(kvt::datadir::create(tmp.path(), o), QString());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "bench");
        db.setDatabaseName(tmp.path() + "/KVT3.sqlite");
        ASSERT_TRUE(db.open());
        EXPECT_EQ(scalar(db, "select count(*) from Reports where RepCatName='Bench'"), 2);
        EXPECT_EQ(scalar(db, "select count(*) from RepBand"), 6);
        EXPECT_EQ(scalar(db, "select count(*) from RepCtrl"), 24);
        db.close();
    }
    QSqlDatabase::removeDatabase("bench");
}

} // namespace
