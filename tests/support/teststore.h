#pragma once
// Builds a small store in a temporary directory for tests.
#include "engine/session.h"
#include "reportdef/schema.h"
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>
#include <stdexcept>

namespace kvt::test {

/// Runs statements on DIR/KVT3.sqlite through a connection of its own (a "second editor"); with
/// withSchema the seven tables are created first.
inline void runOnStore(const QString &dir, const QStringList &statements, bool withSchema)
{
    const QString conn = QStringLiteral("teststore-") + QUuid::createUuid().toString();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(QDir(dir).filePath(QStringLiteral("KVT3.sqlite")));
        // A locked store is reported at once, so tests can check that it is locked.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        if (!db.open()) {
            failure = QStringLiteral("cannot open test store");
        } else {
            QSqlQuery q(db);
            QStringList all;
            if (withSchema)
                for (const auto &t : reportdef::allTables())
                    all << t.createStatements;
            all << statements;
            for (const QString &s : all)
                if (!q.exec(s)) {
                    failure = s + QStringLiteral(": ") + q.lastError().text();
                    break;
                }
            q = QSqlQuery();
        }
        db.close();
    }
    // Closed before reporting a failure: a connection left open would keep its locks.
    QSqlDatabase::removeDatabase(conn);
    if (!failure.isEmpty())
        throw std::runtime_error(failure.toStdString());
}

/// Creates DIR/KVT3.sqlite with all tables and runs the given statements in it.
inline void createStore(const QString &dir, const QStringList &statements = {})
{
    QDir().mkpath(dir);
    runOnStore(dir, statements, true);
}

/// Runs statements on an existing store through a connection of its own (a "second editor").
inline void execOnStore(const QString &dir, const QStringList &statements) { runOnStore(dir, statements, false); }

/// A session "MySession" and a database "MyDatabase" on a directory.
struct Connection {
    explicit Connection(const QString &dir) : session(QStringLiteral("MySession")), database(QStringLiteral("MyDatabase"))
    {
        database.setSessionName(QStringLiteral("MySession"));
        database.setParams({QStringLiteral("PATH=") + dir, QStringLiteral("DEFAULT DRIVER=PARADOX"),
                            QStringLiteral("ENABLE BCD=FALSE")});
    }
    Session session;
    Database database;
};

/// A few categories, reports, bands and controls.
inline QStringList sampleRows()
{
    return {
        "insert into RepCat values ('Quotes')", "insert into RepCat values ('Orders')",
        "insert into RepCat values ('Empty')",
        "insert into Reports values ('Q1','Quote one',1,2,3,4,'Quotes','P')",
        "insert into Reports values ('Q2','Quote two',0,0,0,0,'Quotes','L')",
        "insert into Reports values ('O1','Order one',0,0,0,0,'Orders','P')",
        "insert into RepBand values ('Q1','Head','G1',1,0,0,0,0,1,15)",
        "insert into RepBand values ('Q1','Body','G2',3,0,0,0,0,2,0)",
        "insert into RepBand values ('Q2','Head','G1',1,0,0,0,0,0,0)",
        "insert into RepCtrl (RepName,RctGroup,RctName,RctType,RctLabel,RctWidth,RctInclude,RctSortIdx) "
        "values ('Q1','G1','RepCompName',1,'Company',10,0,2)",
        "insert into RepCtrl (RepName,RctGroup,RctName,RctType,RctLabel,RctWidth,RctInclude,RctSortIdx) "
        "values ('Q1','G1','QtNo:1',2,'Number',20,1,1)",
        "insert into RepCtrl (RepName,RctGroup,RctName,RctType,RctLabel,RctWidth,RctInclude,RctSortIdx) "
        "values ('Q1','G2','O''Brien',5,'Quote',5,1,10)",
        "insert into RepCtrl (RepName,RctGroup,RctName,RctType,RctLabel,RctWidth,RctInclude,RctSortIdx) "
        "values ('Q2','G1','Logo',4,NULL,NULL,NULL,3)",
    };
}

} // namespace kvt::test
