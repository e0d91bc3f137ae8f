// The edit journal in kvt-datadir: create and copy make it (copy keeps its rows), "journal" prints it.
#include "tools/datadir.h"
#include "tools/datadircopy.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

QString runTool(const QStringList &args, int *exitCode, QString *err = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(KVT_BINARY_DIR "/kvt-datadir"), args);
    p.waitForFinished(30000);
    *exitCode = p.exitCode();
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool execOn(const QString &dir, const QStringList &statements)
{
    const QString name = QUuid::createUuid().toString();
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QDir(dir).filePath(QStringLiteral("KVT3.sqlite")));
        ok = db.open();
        QSqlQuery q(db);
        for (const QString &s : statements)
            ok = ok && q.exec(s);
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

TEST(JournalCommand, CreateMakesTheJournalCopyKeepsItAndJournalPrintsItSinceADate)
{
    if (!QFile::exists(QStringLiteral(KVT_BINARY_DIR "/kvt-datadir")))
        GTEST_SKIP() << "kvt-datadir not built";
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/data";
    ASSERT_EQ(kvt::datadir::create(dir, {}), QString());
    int rc = -1;
    EXPECT_EQ(runTool({"journal", dir}, &rc), QString()) << "an empty journal, made by create";
    EXPECT_EQ(rc, 0);
    ASSERT_TRUE(execOn(dir, {"insert into EditJournal (JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn, JrnOld, "
                             "JrnNew) values ('2026-12-09T10:00:00.000Z', 'anna', 'h1', 'RepCtrl.DB', 'RepName=Q1', "
                             "'RctWidth', '30', '33')",
                             "insert into EditJournal (JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn, JrnOld, "
                             "JrnNew) values ('2026-12-11T10:00:00.000Z', 'bob', 'h2', 'Reports.DB', 'RepName=Q1', "
                             "'RepTitle', 'Old', null)"}));
    const QString both = "2026-12-09 10:00:00 anna@h1 RepCtrl.DB [RepName=Q1] RctWidth: 30 -> 33\n"
                         "2026-12-11 10:00:00 bob@h2 Reports.DB [RepName=Q1] RepTitle: Old -> (empty)\n";
    EXPECT_EQ(runTool({"journal", dir}, &rc), both);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(runTool({"journal", dir, "--since", "2026-12-10"}, &rc),
              "2026-12-11 10:00:00 bob@h2 Reports.DB [RepName=Q1] RepTitle: Old -> (empty)\n");
    QString err;
    EXPECT_EQ(runTool({"journal", dir, "--since", "yesterday"}, &rc, &err), QString());
    EXPECT_EQ(rc, 1);
    EXPECT_TRUE(err.contains("--since")) << err.toStdString();
    runTool({"journal", tmp.path() + "/none"}, &rc, &err);
    EXPECT_EQ(rc, 1) << "a missing directory is named";
    EXPECT_TRUE(err.contains("none")) << err.toStdString();

    const QString copy = tmp.path() + "/copy";
    ASSERT_EQ(kvt::datadir::copyStore(dir, copy, {}), QString());
    EXPECT_EQ(runTool({"journal", copy}, &rc), both);
    // The copy's journal takes new rows with numbers of its own.
    EXPECT_TRUE(execOn(copy, {"insert into EditJournal (JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn) "
                              "values ('2026-12-12T10:00:00.000Z', 'c', 'h', 'RepBand.DB', 'k', 'RbdName')"}));
}

} // namespace
