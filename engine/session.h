#pragma once
// Session and database of the table engine. Data sets find them by name when they open.
#include "engine/errors.h"
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct sqlite3_stmt;
class QSqlError;

namespace kvt {

class DataSet;
class Database;
class Store;

/// Maps a declared column type ("VARCHAR(32)", "DOUBLE", ...) onto a field type and size.
void mapDeclaredType(const QString &declared, int &type, int &size);
/// Why a post failed that waited in vain for another editor to finish writing.
QString lockedMessage();

/// A session holds the engine's directories and the passwords for protected tables.
/// Sessions register under their name; Session::find() resolves "MySession" and the like.
class Session {
public:
    explicit Session(const QString &name = QString());
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    void setSessionName(const QString &name);
    QString sessionName() const { return m_name; }

    /// Both directories may only be set while the session is closed (EngineError otherwise).
    void setNetFileDir(const QString &dir);
    QString netFileDir() const { return m_netFileDir; }
    void setPrivateDir(const QString &dir);
    QString privateDir() const { return m_privateDir; }

    /// Opens the session; fails when a set directory does not exist.
    void open();
    /// Closes every database of this session first.
    void close();
    bool isOpen() const { return m_open; }

    /// Adds a password (at most 255 characters are kept); an empty one adds nothing.
    void addPassword(const QString &password);
    void removeAllPasswords();
    const QStringList &passwords() const { return m_passwords; }

    /// Password event: raised when a protected table is opened and no added password fits.
    /// The handler may add passwords and sets retry (true: try again; false: give up).
    std::function<void(Session &sender, bool &retry)> onPassword;

    /// The session registered under name (case-insensitive), or null.
    static Session *find(const QString &name);

private:
    QString m_name;
    QString m_netFileDir;
    QString m_privateDir;
    QStringList m_passwords;
    bool m_open = false;
};

struct ColumnInfo {
    QString name;
    int type = 0; // FieldType
    int size = 0;
    bool primaryKey = false;
};

struct TableInfo {
    QString sqlName;
    std::vector<ColumnInfo> columns;
    QStringList primaryKey;
    QHash<QString, QStringList> indexes; // lower-cased index name -> columns
};

/// A database: one data directory holding the store "KVT3.sqlite", or the file "KVT3.pgconn" that
/// names a database on a PostgreSQL server. Registers under its name; Database::find() resolves
/// "MyDatabase".
class Database {
public:
    static constexpr const char *StoreFileName = "KVT3.sqlite";
    static constexpr const char *ServerFileName = "KVT3.pgconn";

    explicit Database(const QString &name = QString());
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    void setDatabaseName(const QString &name);
    QString databaseName() const { return m_name; }
    void setSessionName(const QString &name) { m_sessionName = name; }
    QString sessionName() const { return m_sessionName; }
    void setDriverName(const QString &driver) { m_driver = driver; }
    QString driverName() const { return m_driver; }

    /// Parameter list of "NAME=value" entries; may be changed only while closed.
    QStringList params() const { return m_params; }
    void setParams(const QStringList &params);
    /// Replaces (or adds) the entry NAME=value.
    void setParam(const QString &name, const QString &value);
    QString param(const QString &name) const;

    /// Opens the store in the directory of PATH; opens the session first when it is closed.
    /// Never creates anything: a missing directory or store raises EngineError naming it.
    void open();
    /// Closes every data set that is open on this database.
    void close();
    bool isOpen() const { return m_open; }

    Session *session() const;
    QSqlDatabase connection() const;
    QString storePath() const;
    /// The store of the open database (null while closed).
    Store *store() const { return m_store.get(); }
    /// True while the open database is on a server.
    bool isServerStore() const;
    /// Names the open store in messages.
    QString storeName() const;
    /// How long a write waits for another editor's lock before it fails (set while closed).
    void setBusyTimeout(int ms) { m_busyTimeoutMs = ms; }
    int busyTimeout() const { return m_busyTimeoutMs; }

    /// Table description, read once per open database. Raises when the table does not exist.
    const TableInfo &tableInfo(const QString &tableName);
    /// Checks the session's passwords against a protected table, raising the password event as needed.
    void checkAccess(const QString &sqlTable);

    /// A prepared statement kept for this open database (reused across calls with the same text).
    /// A data set that keeps a statement running between calls passes itself as owner, so nobody
    /// else re-runs it underneath. Raises EngineError when the text does not prepare. Callers
    /// finish() it when done.
    QSqlQuery &statement(const QString &sql, const void *owner = nullptr);
    /// Drops the statements kept for owner.
    void releaseStatements(const void *owner);
    /// A statement prepared straight on the store's SQLite handle, kept while the database is
    /// open, for reads that need none of Qt SQL's result machinery (see Table).
    struct sqlite3_stmt *rawStatement(const QString &sql);

    /// Shared reads (see ReadScope). beginRead() starts one read transaction for the reads that
    /// follow, until the matching endRead(); nested calls join it.
    /// beginRead() returns false when it did nothing (database closed); only a true one is ended.
    bool beginRead();
    void endRead();
    /// Counts the opens, so a scope begun before a close does not end a later one's read.
    quint64 openCount() const { return m_openCount; }
    /// Ends a shared read at once, so that a write that follows commits on its own.
    void leaveSharedRead();
    bool inSharedRead() const { return m_readOwned; }

    void registerDataSet(DataSet *ds);
    void unregisterDataSet(DataSet *ds);
    /// Another editor changed rows of a table: the tables on it that are not being edited re-read.
    void remoteChange(const QString &sqlTable);

    /// A damaged store (SQLite finds its file malformed, or not a database) is written no more from
    /// its first sign on: writes and edits are refused with damagedMessage(), reads go on.
    /// The mark stays while the database keeps addressing the same store file.
    bool isDamaged() const { return !m_damage.isEmpty() && m_damagePath == storePath(); }
    /// Says that the store is damaged and must be restored from a backup, naming the file.
    QString damagedMessage() const;
    /// Raises damagedMessage() when the store is damaged; called before every write.
    void requireWritable() const;
    /// The error to raise for a failed SQLite call: the damage message when the SQLite result code
    /// (primary or extended) tells of a damaged store, which marks it; otherwise context and message.
    EngineError failure(int sqliteCode, const QString &context, const QString &message);
    /// The same for a failure reported through Qt SQL.
    EngineError failure(const QSqlError &error, const QString &context);

    static Database *find(const QString &name);

    /// SQL table name for a file name: "RepCat.DB" -> "RepCat".
    static QString sqlTableName(const QString &tableName);

private:
    QString m_name;
    QString m_sessionName;
    QString m_driver = QStringLiteral("STANDARD");
    QStringList m_params;
    std::unique_ptr<Store> m_store;
    int m_busyTimeoutMs = 5000;
    bool m_open = false;
    QHash<QString, TableInfo> m_tables;
    QStringList m_granted;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_statements;
    QHash<QString, struct sqlite3_stmt *> m_rawStatements;
    std::vector<DataSet *> m_dataSets;
    int m_readDepth = 0;
    int m_bulkDepth = 0; // nested BulkReadScopes
    friend class BulkReadScope;
    bool m_readOwned = false;
    quint64 m_openCount = 0;
    QString m_damage;     // SQLite's words for the first sign of damage
    QString m_damagePath; // the store they were found in
};

/// While it lives, the store knows that most of a table is read once (see Store::setBulkRead).
/// Nested scopes join the outer one; a null or closed database makes it do nothing.
class BulkReadScope {
public:
    explicit BulkReadScope(Database *db);
    ~BulkReadScope();
    BulkReadScope(const BulkReadScope &) = delete;
    BulkReadScope &operator=(const BulkReadScope &) = delete;

private:
    Database *m_db;
    quint64 m_openCount = 0;
    bool m_counted = false;
};

/// While it lives, the reads of one database share a single read transaction: one lock and one
/// consistent view instead of one of each per read. Pending edits are best settled before one
/// is opened; a post made inside ends the shared read first, so it still commits on its own.
/// A null or closed database makes it do nothing.
class ReadScope {
public:
    explicit ReadScope(Database *db);
    ~ReadScope();
    ReadScope(const ReadScope &) = delete;
    ReadScope &operator=(const ReadScope &) = delete;

private:
    Database *m_db;
    quint64 m_openCount = 0;
    bool m_joined = false;
};

/// Protection of tables (used by the data-directory tool and tests): the store keeps a salted verifier.
namespace protection {
void protectTable(QSqlDatabase &db, const QString &sqlTable, const QString &password);
bool isProtected(QSqlDatabase &db, const QString &sqlTable);
bool passwordFits(QSqlDatabase &db, const QString &sqlTable, const QString &password);
} // namespace protection

} // namespace kvt
