#pragma once
// The store behind a database: one interface, one implementation per kind of store (an SQLite file
// in the data directory, or a database on a PostgreSQL server named by a connection file there).
// Data sets build their SQL through it and read and write their records through it; nothing above
// the engine sees which kind it has.
#include "engine/dataset.h"
#include "engine/errors.h"
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <vector>

class QSqlError;

namespace kvt {

struct TableInfo;
class Database;

class Store {
public:
    virtual ~Store() = default;

    virtual bool isServer() const = 0;
    /// Names the store in messages ("store '/data/KVT3.sqlite'", "database 'kvt' on server 'db1'").
    virtual QString displayName() const = 0;

    /// Opens the connection; raises EngineError with a message that names the store.
    virtual void open() = 0;
    virtual void close() = 0;
    virtual QSqlDatabase connection() const = 0;

    /// Description of a table by its SQL name (any letter case). Raises when it does not exist.
    virtual TableInfo tableInfo(const QString &sqlName, const QString &tableName) = 0;

    /// An identifier as the store's SQL spells it.
    virtual QString quoted(const QString &ident) const = 0;
    /// The column that identifies a row and orders rows as they were added.
    virtual QString rowIdColumn() const = 0;
    /// The comparison that also matches two empty values ("is", "is not distinct from").
    virtual QString sameValueOperator() const = 0;
    /// Added to an insert so that it yields the new row's identifier (may be empty).
    virtual QString insertSuffix() const = 0;

    /// Runs a select whose first column is the row identifier and whose next ones are the fields;
    /// a failure names the table.
    virtual void fetch(const QString &sql, const QVariantList &binds, const std::vector<FieldType> &types,
                       QVector<RecordData> &records, const QString &tableName) = 0;
    /// Runs an insert (values of buffer) or an update (values of buffer, then the identifier and the
    /// values of original). Yields the number of rows changed; sets the identifier of an insert.
    virtual int write(const QString &sql, RecordData &buffer, const RecordData *original, int columns,
                      const QString &context) = 0;

    /// A write transaction, so that a post and its journal rows are stored together or not at all.
    /// beginWrite() raises EngineError; rollbackWrite() never does.
    virtual void beginWrite(const QString &context) = 0;
    virtual void commitWrite(const QString &context) = 0;
    virtual void rollbackWrite() = 0;
    /// Runs a statement without rows; a failure raises EngineError with context.
    virtual void execute(const QString &sql, const QVariantList &binds, const QString &context) = 0;

    /// A read transaction shared by the reads that follow; false when none was begun.
    virtual bool beginRead() = 0;
    virtual void commitRead() = 0;

    /// A pass that reads most of a table once (every band of a category) begins and ends; a store
    /// with a page cache of its own keeps it small meanwhile, so the pass does not fill memory with
    /// pages nobody reads again.
    virtual void setBulkRead(bool /*on*/) {}

    /// The error to raise for a failure reported through Qt SQL.
    virtual EngineError failure(const QSqlError &error, const QString &context) = 0;

    /// Told when another editor changed rows of a table (by SQL name, lower case).
    std::function<void(const QString &sqlTable)> onRemoteChange;
};

/// Connection strings of server stores (libpq keyword form or postgresql:// URI).
namespace serverstore {

constexpr const char *ConnectionFileName = "KVT3.pgconn";

/// Checks a connection string: empty when usable, else the reason (a password in it is refused).
/// server and database are set to what it names (libpq's defaults where it names none).
QString checkConnection(const QString &conninfo, QString *server = nullptr, QString *database = nullptr);

/// Reads DIR/KVT3.pgconn: its first line, trimmed. Raises EngineError when it cannot be read.
QString readConnectionFile(const QString &path);

/// The statements that make a table on the server from its SQLite definition (CREATE TABLE and
/// CREATE INDEX statements): lower-case names, the names and declared types as written kept in
/// comments, a row identifier, and the trigger that tells other editors of changes.
QStringList createStatements(const QStringList &sqliteDdl);
/// The statements run once per server database before the first table: the trigger function.
QStringList setupStatements();

/// Opens a Qt SQL connection of the given name on a server; raises EngineError naming server and
/// database. The caller removes the connection.
QSqlDatabase connect(const QString &connectionName, const QString &conninfo);

/// Names the tables of the editor's kind in a server database (empty when it holds none).
QStringList tables(QSqlDatabase &db);

} // namespace serverstore

std::unique_ptr<Store> makeSqliteStore(Database &db, const QString &path, int busyTimeoutMs);
std::unique_ptr<Store> makeServerStore(Database &db, const QString &conninfo, int busyTimeoutMs);

} // namespace kvt
