#pragma once
// The two kinds of store for tests that run on both: an SQLite file, or a schema of its own on the
// test server that the test command starts (see scripts/pg-test-cluster.sh).
#include "engine/store.h"
#include "reportdef/schema.h"
#include "support/teststore.h"
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>
#include <string>

namespace kvt::test {

enum class StoreKind { Sqlite, Server };

/// Names the kind in a failing test's message.
inline void PrintTo(StoreKind kind, std::ostream *os) { *os << (kind == StoreKind::Sqlite ? "Sqlite" : "Server"); }

inline std::string storeKindName(const ::testing::TestParamInfo<StoreKind> &info)
{
    return info.param == StoreKind::Sqlite ? "Sqlite" : "Server";
}

/// The connection string of the test server: KVT_TEST_PGCONN, else the file the test command
/// writes. Empty, with the reason, when there is none.
inline QString testServer(QString *why = nullptr)
{
    const QByteArray env = qgetenv("KVT_TEST_PGCONN");
    if (!env.isEmpty())
        return QString::fromUtf8(env);
    QFile f(QStringLiteral(KVT_BINARY_DIR "/pgtest-server"));
    if (f.open(QIODevice::ReadOnly))
        return QString::fromUtf8(f.readLine()).trimmed();
    if (why)
        *why = QStringLiteral("no PostgreSQL test server: its binaries are not installed (Debian package "
                              "postgresql), or the tests were not started by ctest");
    return QString();
}

/// Runs statements on a server through a connection of its own; throws std::runtime_error.
inline void runOnServer(const QString &conninfo, const QStringList &statements)
{
    const QString name = QStringLiteral("testserver-") + QUuid::createUuid().toString();
    QString failure;
    try {
        QSqlDatabase db = serverstore::connect(name, conninfo);
        QSqlQuery q(db);
        // A row locked by an editor is reported soon, so a test that finds one does not hang.
        q.exec(QStringLiteral("set lock_timeout = 2000"));
        q.exec(QStringLiteral("set client_min_messages = warning"));
        for (const QString &s : statements)
            if (!q.exec(s)) {
                failure = s + QStringLiteral(": ") + q.lastError().text();
                break;
            }
        q = QSqlQuery();
        db.close();
    } catch (const EngineError &e) {
        failure = e.message();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw std::runtime_error(failure.toStdString());
}

/// One store of either kind in a data directory. On the server it is a schema of its own, named in
/// the directory's KVT3.pgconn, dropped again at the end.
class TestStore {
public:
    TestStore(StoreKind kind, QString dir) : m_kind(kind), m_dir(std::move(dir))
    {
        QDir().mkpath(m_dir);
        if (m_kind != StoreKind::Server)
            return;
        m_base = testServer();
        if (m_base.isEmpty())
            throw std::runtime_error("no test server");
        m_schema = QStringLiteral("kvt_t_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
        runOnServer(m_base, {QStringLiteral("create schema ") + m_schema});
        m_conninfo = m_base + QStringLiteral(" options='-c search_path=") + m_schema + QStringLiteral("'");
        QFile f(QDir(m_dir).filePath(QString::fromLatin1(Database::ServerFileName)));
        if (!f.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write KVT3.pgconn");
        f.write(m_conninfo.toUtf8() + '\n');
    }
    ~TestStore()
    {
        if (m_kind == StoreKind::Server && !m_schema.isEmpty()) {
            try {
                runOnServer(m_base, {QStringLiteral("drop schema ") + m_schema + QStringLiteral(" cascade")});
            } catch (const std::exception &) {
            }
        }
    }
    TestStore(const TestStore &) = delete;
    TestStore &operator=(const TestStore &) = delete;

    bool isServer() const { return m_kind == StoreKind::Server; }
    const QString &conninfo() const { return m_conninfo; }
    const QString &dir() const { return m_dir; }

    /// The seven tables, then the given statements.
    void create(const QStringList &statements = {})
    {
        if (!isServer()) {
            createStore(m_dir, statements);
            return;
        }
        QStringList ddl;
        for (const auto &t : reportdef::allTables())
            ddl << t.createStatements;
        exec(serverstore::setupStatements() + serverstore::createStatements(ddl) + statements);
    }
    /// Statements through a connection of its own (a "second editor"); throws std::runtime_error.
    void exec(const QStringList &statements)
    {
        if (isServer())
            runOnServer(m_conninfo, statements);
        else
            execOnStore(m_dir, statements);
    }
    /// Runs f on a Qt SQL connection of its own to the store.
    template <typename F> void withConnection(F f)
    {
        const QString name = QStringLiteral("teststore-own-") + QUuid::createUuid().toString();
        {
            QSqlDatabase db;
            if (isServer()) {
                db = serverstore::connect(name, m_conninfo);
            } else {
                db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
                db.setDatabaseName(QDir(m_dir).filePath(QStringLiteral("KVT3.sqlite")));
                db.open();
            }
            f(db);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    StoreKind m_kind;
    QString m_dir;
    QString m_base;
    QString m_schema;
    QString m_conninfo;
};

} // namespace kvt::test
