// The server store: a database on a PostgreSQL server, reached through Qt SQL's QPSQL driver.
// Names are kept in lower case on the server, so that the SQL of the layers above (written without
// quotes) finds them; the names as written and their declared types are kept in comments, so that
// tables, fields and conversions are exactly those of the SQLite store.
#include "engine/session.h"
#include "engine/store.h"
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <libpq-fe.h>
#include <cmath>
#include <limits>

namespace kvt {

namespace {

const char *NotifyChannel = "kvt_rows";
const char *RowIdColumn = "kvt_rowid";

QString sqlString(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString pgIdent(const QString &ident)
{
    QString s = ident.toLower();
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

/// The server's column type for a declared type.
QString pgType(const QString &declared)
{
    int type = 0, size = 0;
    mapDeclaredType(declared, type, size);
    switch (type) {
    case ftFloat: case ftCurrency: case ftBCD:
        return QStringLiteral("double precision");
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc:
        return QStringLiteral("bigint");
    case ftBoolean:
        // As in the SQLite store, a logical is a number (0 or 1): statements written for one store
        // then run on the other.
        return QStringLiteral("smallint");
    case ftBlob: case ftGraphic: case ftBytes: case ftVarBytes: case ftTypedBinary:
        return QStringLiteral("bytea");
    default:
        // No length limit: data written by others may be longer than the declared size, and is kept.
        return QStringLiteral("text");
    }
}

struct Conninfo {
    QStringList keywords;
    QStringList values;
    QString error;
};

Conninfo parseConninfo(const QString &conninfo)
{
    Conninfo out;
    char *err = nullptr;
    const QByteArray utf8 = conninfo.toUtf8();
    PQconninfoOption *opts = PQconninfoParse(utf8.constData(), &err);
    if (!opts) {
        out.error = err ? QString::fromUtf8(err).trimmed() : QStringLiteral("it cannot be read");
        if (err)
            PQfreemem(err);
        return out;
    }
    for (PQconninfoOption *o = opts; o->keyword; ++o) {
        if (!o->val)
            continue;
        out.keywords << QString::fromUtf8(o->keyword);
        out.values << QString::fromUtf8(o->val);
    }
    PQconninfoFree(opts);
    return out;
}

QString optionValue(const Conninfo &c, const char *key)
{
    const int i = c.keywords.indexOf(QString::fromLatin1(key));
    return i >= 0 ? c.values[i] : QString();
}

QString defaultValue(const char *key)
{
    QString v;
    if (PQconninfoOption *defs = PQconndefaults()) {
        for (PQconninfoOption *o = defs; o->keyword; ++o)
            if (qstrcmp(o->keyword, key) == 0 && o->val)
                v = QString::fromUtf8(o->val);
        PQconninfoFree(defs);
    }
    return v;
}

QString keywordForm(const Conninfo &c)
{
    QStringList parts;
    for (int i = 0; i < c.keywords.size(); ++i) {
        QString v = c.values[i];
        v.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        v.replace(QLatin1Char('\''), QLatin1String("\\'"));
        parts << c.keywords[i] + QStringLiteral("='") + v + QLatin1Char('\'');
    }
    return parts.join(QLatin1Char(' '));
}

QString describeServer(const QString &server, const QString &database)
{
    return QStringLiteral("database '%1' on server '%2'").arg(database, server);
}

QVariant bindable(const QVariant &v)
{
    // Logicals are numbers on the server, as in the SQLite store.
    if (v.typeId() == QMetaType::Bool)
        return QVariant(v.toBool() ? 1 : 0);
    if (v.isNull())
        return QVariant(QMetaType::fromType<QString>());
    return v;
}

QVariant storedBindable(const StoredValue &v)
{
    switch (v.kind) {
    case StoredValue::Integer: return QVariant(qlonglong(v.integer));
    case StoredValue::Float: return QVariant(v.real);
    case StoredValue::Text: return QVariant(QString::fromUtf8(v.bytes));
    case StoredValue::Blob: return QVariant(v.bytes);
    }
    return QVariant();
}

QVariant recordBindable(const RecordData &r, int column)
{
    for (const StoredValue &v : r.stored)
        if (v.column == column)
            return storedBindable(v);
    return bindable(r.values.value(column));
}

bool fitsInt32(qint64 i) { return i >= std::numeric_limits<qint32>::min() && i <= std::numeric_limits<qint32>::max(); }

/// The value of a column as its field holds it; the server's column types fit the fields, so only
/// whole numbers beyond 32 bits and logicals other than 0 and 1 keep a stored form.
QVariant fieldValue(const QVariant &raw, FieldType type, int index, std::vector<StoredValue> &stored)
{
    if (raw.isNull())
        return QVariant();
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: {
        const qint64 i = raw.toLongLong();
        if (fitsInt32(i))
            return qint32(i);
        StoredValue v;
        v.column = index;
        v.kind = StoredValue::Integer;
        v.integer = i;
        v.readable = false;
        stored.push_back(v);
        return QVariant();
    }
    case ftFloat: case ftCurrency: case ftBCD:
        return raw.toDouble();
    case ftBoolean: {
        const qint64 i = raw.toLongLong();
        if (i != 0 && i != 1) {
            StoredValue v;
            v.column = index;
            v.kind = StoredValue::Integer;
            v.integer = i;
            stored.push_back(v);
        }
        return i != 0;
    }
    case ftBlob: case ftGraphic: case ftBytes: case ftVarBytes: case ftTypedBinary:
        return raw.toByteArray();
    default:
        return raw.toString();
    }
}

class ServerStore final : public Store {
public:
    ServerStore(Database &db, QString conninfo, int busyTimeoutMs)
        : m_db(db), m_conninfo(std::move(conninfo)), m_busyTimeoutMs(busyTimeoutMs),
          m_connection(QStringLiteral("kvt-pg-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        serverstore::checkConnection(m_conninfo, &m_server, &m_database);
    }
    ~ServerStore() override { close(); }

    bool isServer() const override { return true; }
    QString displayName() const override { return describeServer(m_server, m_database); }

    void open() override
    {
        QSqlDatabase db = serverstore::connect(m_connection, m_conninfo);
        QSqlQuery q(db);
        // A write waits this long for another editor's lock on the row, then fails.
        if (!q.exec(QStringLiteral("set lock_timeout = %1").arg(m_busyTimeoutMs))) {
            const QString msg = q.lastError().text();
            q = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            throw EngineError(QStringLiteral("Cannot use %1: %2").arg(displayName(), msg));
        }
        if (serverstore::tables(db).isEmpty()) {
            q = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            throw EngineError(QStringLiteral("The %1 holds no tables of the editor; make them with "
                                             "kvt-datadir create DIR --server CONNECTION")
                                  .arg(displayName()));
        }
        QSqlDriver *driver = db.driver();
        driver->subscribeToNotification(QString::fromLatin1(NotifyChannel));
        QObject::connect(driver, &QSqlDriver::notification, driver,
                         [this](const QString &, QSqlDriver::NotificationSource source, const QVariant &payload) {
                             if (source == QSqlDriver::OtherSource && onRemoteChange)
                                 onRemoteChange(payload.toString());
                         });
        m_open = true;
    }

    void close() override
    {
        if (!m_open)
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
        m_open = false;
    }

    QSqlDatabase connection() const override { return QSqlDatabase::database(m_connection, false); }

    TableInfo tableInfo(const QString &sqlName, const QString &tableName) override
    {
        QSqlDatabase db = connection();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select c.oid, c.relname, obj_description(c.oid, 'pg_class') from pg_class c "
                                 "where c.relkind = 'r' and c.relnamespace = current_schema()::regnamespace "
                                 "and c.relname = ?"));
        q.addBindValue(sqlName.toLower());
        if (!q.exec())
            throw failure(q.lastError(), QStringLiteral("Cannot read table '%1'").arg(tableName));
        if (!q.next())
            throw EngineError(QStringLiteral("Table '%1' does not exist in the %2").arg(tableName, displayName()));
        const qlonglong oid = q.value(0).toLongLong();
        TableInfo info;
        info.sqlName = q.value(2).toString().isEmpty() ? q.value(1).toString() : q.value(2).toString();

        QSqlQuery cols(db);
        cols.prepare(QStringLiteral("select a.attname, col_description(a.attrelid, a.attnum), "
                                    "format_type(a.atttypid, a.atttypmod), "
                                    "coalesce((select k.n from pg_index i, unnest(i.indkey) with ordinality as k(attnum, n) "
                                    "where i.indrelid = a.attrelid and i.indisprimary and k.attnum = a.attnum), 0) "
                                    "from pg_attribute a where a.attrelid = ? and a.attnum > 0 and not a.attisdropped "
                                    "order by a.attnum"));
        cols.addBindValue(oid);
        if (!cols.exec())
            throw failure(cols.lastError(), QStringLiteral("Cannot read table '%1'").arg(tableName));
        std::vector<std::pair<int, QString>> pk;
        QHash<QString, QString> names; // server name -> name as written
        while (cols.next()) {
            const QString attname = cols.value(0).toString();
            if (attname == QLatin1String(RowIdColumn))
                continue;
            const QString comment = cols.value(1).toString();
            const int tab = comment.indexOf(QLatin1Char('\t'));
            ColumnInfo c;
            c.name = tab > 0 ? comment.left(tab) : attname;
            mapDeclaredType(tab > 0 ? comment.mid(tab + 1) : cols.value(2).toString(), c.type, c.size);
            const int pkPos = cols.value(3).toInt();
            c.primaryKey = pkPos > 0;
            if (pkPos > 0)
                pk.emplace_back(pkPos, c.name);
            names.insert(attname, c.name);
            info.columns.push_back(c);
        }
        std::sort(pk.begin(), pk.end());
        for (const auto &p : pk)
            info.primaryKey << p.second;

        QSqlQuery idx(db);
        idx.prepare(QStringLiteral("select ic.relname, obj_description(ic.oid, 'pg_class'), "
                                   "array_to_string(array(select a.attname from unnest(i.indkey) with ordinality "
                                   "as k(attnum, n) join pg_attribute a on a.attrelid = i.indrelid and "
                                   "a.attnum = k.attnum order by k.n), chr(9)) "
                                   "from pg_index i join pg_class ic on ic.oid = i.indexrelid "
                                   "where i.indrelid = ? and not i.indisprimary"));
        idx.addBindValue(oid);
        if (idx.exec()) {
            while (idx.next()) {
                const QString name = idx.value(1).toString().isEmpty() ? idx.value(0).toString() : idx.value(1).toString();
                QStringList columns;
                for (const QString &a : idx.value(2).toString().split(QLatin1Char('\t'), Qt::SkipEmptyParts))
                    columns << names.value(a, a);
                info.indexes.insert(name.toLower(), columns);
            }
        }
        return info;
    }

    QString quoted(const QString &ident) const override { return pgIdent(ident); }
    QString rowIdColumn() const override { return QString::fromLatin1(RowIdColumn); }
    QString sameValueOperator() const override { return QStringLiteral("is not distinct from"); }
    QString insertSuffix() const override { return QStringLiteral(" returning ") + QString::fromLatin1(RowIdColumn); }

    void fetch(const QString &sql, const QVariantList &binds, const std::vector<FieldType> &types,
               QVector<RecordData> &records, const QString &tableName) override
    {
        const auto context = [&] { return QStringLiteral("Cannot read table '%1'").arg(tableName); };
        QSqlQuery *stmt = nullptr;
        try {
            stmt = &m_db.statement(sql);
        } catch (const EngineError &e) {
            throw EngineError(context() + QStringLiteral(": ") + e.message());
        }
        QSqlQuery &q = *stmt;
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, bindable(binds[i]));
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            q.finish();
            throw failure(error, context());
        }
        const int n = int(types.size());
        while (q.next()) {
            RecordData r;
            r.rowid = q.value(0).toLongLong();
            r.values.reserve(n);
            for (int i = 0; i < n; ++i)
                r.values.append(fieldValue(q.value(i + 1), types[size_t(i)], i, r.stored));
            records.push_back(std::move(r));
        }
        q.finish();
    }

    int write(const QString &sql, RecordData &buffer, const RecordData *original, int n,
              const QString &context) override
    {
        QSqlQuery *stmt = nullptr;
        try {
            stmt = &m_db.statement(sql);
        } catch (const EngineError &e) {
            throw EngineError(context + QStringLiteral(": ") + e.message());
        }
        QSqlQuery &q = *stmt;
        int k = 0;
        for (int i = 0; i < n; ++i)
            q.bindValue(k++, recordBindable(buffer, i));
        if (original) {
            q.bindValue(k++, original->rowid);
            for (int i = 0; i < n; ++i)
                q.bindValue(k++, recordBindable(*original, i));
        }
        if (!q.exec()) {
            const QSqlError error = q.lastError();
            q.finish();
            // 55P03: lock_not_available, the wait for another editor's row lock ran out.
            if (error.nativeErrorCode() == QLatin1String("55P03"))
                throw EngineError(context + QStringLiteral(": ") + lockedMessage());
            throw failure(error, context);
        }
        int changes = q.numRowsAffected();
        if (!original) {
            if (q.next())
                buffer.rowid = q.value(0).toLongLong();
            changes = 1;
        }
        q.finish();
        return changes;
    }

    void beginWrite(const QString &context) override
    {
        QSqlDatabase c = connection();
        if (!c.transaction())
            throw failure(c.lastError(), context);
    }
    void commitWrite(const QString &context) override
    {
        QSqlDatabase c = connection();
        if (!c.commit()) {
            const QSqlError error = c.lastError();
            c.rollback();
            throw failure(error, context);
        }
    }
    void rollbackWrite() override { connection().rollback(); }
    void execute(const QString &sql, const QVariantList &binds, const QString &context) override
    {
        QSqlQuery plain(connection()); // a statement without values may not be one the server prepares
        QSqlQuery *stmt = &plain;
        if (!binds.isEmpty()) {
            try {
                stmt = &m_db.statement(sql);
            } catch (const EngineError &e) {
                throw EngineError(context + QStringLiteral(": ") + e.message());
            }
        }
        QSqlQuery &q = *stmt;
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, binds[i]);
        if (!(binds.isEmpty() ? q.exec(sql) : q.exec())) {
            const QSqlError error = q.lastError();
            q.finish();
            if (error.nativeErrorCode() == QLatin1String("55P03"))
                throw EngineError(context + QStringLiteral(": ") + lockedMessage());
            throw failure(error, context);
        }
        q.finish();
    }

    // Every statement on the server reads one consistent view of its own and holds no lock that
    // would keep others from writing, so there is nothing to share.
    bool beginRead() override { return false; }
    void commitRead() override {}

    EngineError failure(const QSqlError &error, const QString &context) override
    {
        QString msg = error.databaseText().trimmed();
        if (msg.isEmpty())
            msg = error.text().trimmed();
        if (error.type() == QSqlError::ConnectionError || !connection().isOpen())
            msg = QStringLiteral("the connection to the %1 failed: %2").arg(displayName(), msg);
        return EngineError(context.isEmpty() ? msg : context + QStringLiteral(": ") + msg);
    }

private:
    Database &m_db;
    QString m_conninfo;
    int m_busyTimeoutMs;
    QString m_connection;
    QString m_server;
    QString m_database;
    bool m_open = false;
};

} // namespace

std::unique_ptr<Store> makeServerStore(Database &db, const QString &conninfo, int busyTimeoutMs)
{
    const QString problem = serverstore::checkConnection(conninfo);
    if (!problem.isEmpty())
        throw EngineError(problem);
    return std::make_unique<ServerStore>(db, conninfo, busyTimeoutMs);
}

namespace serverstore {

QString checkConnection(const QString &conninfo, QString *server, QString *database)
{
    if (conninfo.trimmed().isEmpty())
        return QStringLiteral("The server connection is empty: it needs a connection string such as "
                              "'host=SERVER dbname=DATABASE'");
    const Conninfo c = parseConninfo(conninfo.trimmed());
    if (!c.error.isEmpty())
        return QStringLiteral("The server connection cannot be read: %1").arg(c.error);
    const QString host = !optionValue(c, "host").isEmpty() ? optionValue(c, "host") : optionValue(c, "hostaddr");
    const QString db = optionValue(c, "dbname");
    const QString user = !optionValue(c, "user").isEmpty() ? optionValue(c, "user") : defaultValue("user");
    if (server)
        *server = !host.isEmpty() ? host
                  : !defaultValue("host").isEmpty() ? defaultValue("host")
                                                    : QStringLiteral("localhost");
    if (database)
        *database = !db.isEmpty() ? db : user;
    if (!optionValue(c, "password").isEmpty())
        return QStringLiteral("The server connection holds a password; remove it and give the password in "
                              "~/.pgpass (or the file PGPASSFILE names, or a service file) instead");
    return QString();
}

QString readConnectionFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EngineError(QStringLiteral("Cannot read the server connection file '%1': %2").arg(path, f.errorString()));
    const QString line = QString::fromUtf8(f.readLine()).trimmed();
    if (line.isEmpty())
        throw EngineError(QStringLiteral("The server connection file '%1' is empty: it needs one line such as "
                                         "'host=SERVER dbname=DATABASE'")
                              .arg(path));
    const QString problem = checkConnection(line);
    if (!problem.isEmpty())
        throw EngineError(QStringLiteral("%1 (in '%2')").arg(problem, path));
    return line;
}

QSqlDatabase connect(const QString &connectionName, const QString &conninfo)
{
    QString server, database;
    const QString problem = checkConnection(conninfo, &server, &database);
    if (!problem.isEmpty())
        throw EngineError(problem);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw EngineError(QStringLiteral("Cannot connect to the %1: the PostgreSQL driver of Qt SQL is not "
                                         "installed (Debian package libqt6sql6-psql)")
                              .arg(describeServer(server, database)));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    // Every option goes in as libpq reads it; the driver adds them to its connection string.
    db.setConnectOptions(keywordForm(parseConninfo(conninfo.trimmed())));
    if (!db.open()) {
        QString msg = db.lastError().databaseText().trimmed();
        if (msg.isEmpty())
            msg = db.lastError().text().trimmed();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw EngineError(QStringLiteral("Cannot connect to the %1: %2").arg(describeServer(server, database), msg));
    }
    return db;
}

QStringList tables(QSqlDatabase &db)
{
    QStringList out;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select c.relname from pg_class c join pg_attribute a on a.attrelid = c.oid "
                               "where c.relkind = 'r' and c.relnamespace = current_schema()::regnamespace "
                               "and a.attname = '%1' order by c.oid")
                    .arg(QString::fromLatin1(RowIdColumn))))
        return out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QStringList setupStatements()
{
    return {QStringLiteral("create or replace function kvt_row_changed() returns trigger language plpgsql as $$ "
                           "begin perform pg_notify('%1', TG_TABLE_NAME); return null; end $$")
                .arg(QString::fromLatin1(NotifyChannel))};
}

QStringList createStatements(const QStringList &sqliteDdl)
{
    // SQLite reads the definitions; the server's statements are made from what it understood.
    const QString name = QStringLiteral("kvt-ddl-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QStringList out;
    QString error;
    {
        QSqlDatabase mem = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        mem.setDatabaseName(QStringLiteral(":memory:"));
        mem.open();
        QSqlQuery q(mem);
        for (const QString &s : sqliteDdl)
            if (!q.exec(s)) {
                error = s + QStringLiteral(": ") + q.lastError().text();
                break;
            }
        QStringList tableNames;
        if (error.isEmpty() && q.exec(QStringLiteral("select name from sqlite_master where type = 'table' order by rowid")))
            while (q.next())
                tableNames << q.value(0).toString();
        for (const QString &table : tableNames) {
            const QString t = pgIdent(table);
            QStringList defs, comments;
            std::vector<std::pair<int, QString>> pk;
            QSqlQuery cols(mem);
            cols.exec(QStringLiteral("pragma table_info(\"%1\")").arg(table));
            while (cols.next()) {
                const QString col = cols.value(1).toString();
                const QString declared = cols.value(2).toString();
                QString def = pgIdent(col) + QLatin1Char(' ') + pgType(declared);
                if (cols.value(3).toInt() != 0)
                    def += QStringLiteral(" not null");
                defs << def;
                if (cols.value(5).toInt() > 0)
                    pk.emplace_back(cols.value(5).toInt(), pgIdent(col));
                comments << QStringLiteral("comment on column %1.%2 is %3")
                                .arg(t, pgIdent(col), sqlString(col + QLatin1Char('\t') + declared));
            }
            defs << QString::fromLatin1(RowIdColumn) + QStringLiteral(" bigserial");
            if (!pk.empty()) {
                std::sort(pk.begin(), pk.end());
                QStringList keys;
                for (const auto &p : pk)
                    keys << p.second;
                defs << QStringLiteral("primary key (%1)").arg(keys.join(QLatin1Char(',')));
            }
            out << QStringLiteral("create table %1 (%2)").arg(t, defs.join(QLatin1Char(',')));
            out << QStringLiteral("comment on table %1 is %2").arg(t, sqlString(table));
            out << comments;
            QSqlQuery idx(mem);
            idx.exec(QStringLiteral("pragma index_list(\"%1\")").arg(table));
            QStringList indexes;
            QList<bool> unique;
            while (idx.next())
                if (idx.value(3).toString() == QLatin1String("c")) { // made by CREATE INDEX
                    indexes << idx.value(1).toString();
                    unique << (idx.value(2).toInt() != 0);
                }
            for (int i = 0; i < indexes.size(); ++i) {
                QSqlQuery ic(mem);
                ic.exec(QStringLiteral("pragma index_info(\"%1\")").arg(indexes[i]));
                QStringList columns;
                while (ic.next())
                    columns << pgIdent(ic.value(2).toString());
                // Index names are one name space per schema on the server, per table in the editor.
                const QString ix = pgIdent(table + QLatin1Char('_') + indexes[i]);
                out << QStringLiteral("create %1index %2 on %3 (%4)")
                           .arg(unique[i] ? QStringLiteral("unique ") : QString(), ix, t, columns.join(QLatin1Char(',')));
                out << QStringLiteral("comment on index %1 is %2").arg(ix, sqlString(indexes[i]));
            }
            out << QStringLiteral("create trigger kvt_notify after insert or update or delete or truncate on %1 "
                                  "for each statement execute function kvt_row_changed()")
                       .arg(t);
        }
        q = QSqlQuery();
        mem.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!error.isEmpty())
        throw EngineError(error);
    return out;
}

} // namespace serverstore

} // namespace kvt
