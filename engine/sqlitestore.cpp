// The SQLite store: reads and posts straight on sqlite3 statements, because a fetch is on the path
// of every selection and Qt SQL's result caching and per-run column descriptions cost more than
// the read itself.
#include "engine/store.h"
#include "engine/session.h"
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <sqlite3.h>
#include <cmath>
#include <limits>
#include <optional>

namespace kvt {

namespace {

QVariant normalised(FieldType type, const QVariant &raw)
{
    if (raw.isNull())
        return QVariant();
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc:
        return qint32(raw.toLongLong());
    case ftFloat: case ftCurrency: case ftBCD:
        return raw.toDouble();
    case ftBoolean:
        if (raw.typeId() == QMetaType::QString) {
            const QString s = raw.toString().trimmed();
            return s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || s == QLatin1String("1");
        }
        return raw.toLongLong() != 0;
    case ftBlob: case ftGraphic: case ftBytes: case ftVarBytes: case ftTypedBinary:
        return raw.toByteArray();
    default:
        return raw.toString();
    }
}

void bindValue(sqlite3_stmt *st, int index, const QVariant &v)
{
    if (v.isNull()) {
        sqlite3_bind_null(st, index);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(st, index, v.toBool() ? 1 : 0);
        break;
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        sqlite3_bind_int64(st, index, v.toLongLong());
        break;
    case QMetaType::Double: case QMetaType::Float:
        sqlite3_bind_double(st, index, v.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(st, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        // UTF-8, SQLite's own encoding: a UTF-16 value would be converted for every comparison.
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text(st, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

QString columnText(sqlite3_stmt *st, int col)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, col)), sqlite3_column_bytes(st, col));
}

QVariant columnValue(sqlite3_stmt *st, int col)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, col);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(st, col)), sqlite3_column_bytes(st, col));
    case SQLITE_TEXT:
        return columnText(st, col);
    default:
        return QVariant();
    }
}

bool isValidUtf8(const unsigned char *p, int n)
{
    int i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more;
        unsigned int cp;
        if ((c & 0xe0) == 0xc0) {
            more = 1;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            more = 2;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= n)
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3f);
        }
        // Overlong forms, surrogates and values beyond Unicode are no valid UTF-8 either.
        static const unsigned int least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[more] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        i += more + 1;
    }
    return true;
}

/// The stored form of a column, read before anything converts it.
StoredValue storedOf(sqlite3_stmt *st, int col, int index, bool readable)
{
    StoredValue v;
    v.column = index;
    v.readable = readable;
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_INTEGER:
        v.kind = StoredValue::Integer;
        v.integer = sqlite3_column_int64(st, col);
        break;
    case SQLITE_FLOAT:
        v.kind = StoredValue::Float;
        v.real = sqlite3_column_double(st, col);
        break;
    case SQLITE_BLOB:
        v.kind = StoredValue::Blob;
        v.bytes = QByteArray(static_cast<const char *>(sqlite3_column_blob(st, col)), sqlite3_column_bytes(st, col));
        break;
    default:
        v.kind = StoredValue::Text;
        v.bytes = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, col)), sqlite3_column_bytes(st, col));
        break;
    }
    return v;
}

bool fitsInt32(qint64 i) { return i >= std::numeric_limits<qint32>::min() && i <= std::numeric_limits<qint32>::max(); }

std::optional<bool> booleanText(const QString &text)
{
    const QString s = text.trimmed();
    for (const char *y : {"True", "T", "Yes", "Y", "1"})
        if (s.compare(QLatin1String(y), Qt::CaseInsensitive) == 0)
            return true;
    for (const char *n : {"False", "F", "No", "N", "0"})
        if (s.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return false;
    return std::nullopt;
}

/// The value of a column as its field holds it. Where that is not exactly what is stored (the write
/// of the field's value would not give back the stored value), the stored form is added to stored;
/// the field's value is then as near as the type allows, or null when it cannot show the value.
/// The usual cases, where the stored type is the field's own, are read directly.
QVariant fieldValue(sqlite3_stmt *st, int col, FieldType type, int index, std::vector<StoredValue> &stored)
{
    const int kind = sqlite3_column_type(st, col);
    if (kind == SQLITE_NULL)
        return QVariant();
    const auto keep = [&](bool readable) { stored.push_back(storedOf(st, col, index, readable)); };
    switch (type) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc:
        if (kind == SQLITE_INTEGER) {
            const qint64 i = sqlite3_column_int64(st, col);
            if (fitsInt32(i))
                return qint32(i);
        } else if (kind == SQLITE_FLOAT) {
            // A whole number compares equal with its integer, so it needs no stored form.
            const double d = sqlite3_column_double(st, col);
            if (d == std::trunc(d) && fitsInt32(qint64(d)))
                return qint32(d);
        } else if (kind == SQLITE_TEXT) {
            bool ok = false;
            const qlonglong i = columnText(st, col).trimmed().toLongLong(&ok);
            if (ok && fitsInt32(i)) {
                keep(true);
                return qint32(i);
            }
        }
        keep(false);
        return QVariant();
    case ftFloat: case ftCurrency: case ftBCD:
        if (kind == SQLITE_FLOAT)
            return sqlite3_column_double(st, col);
        if (kind == SQLITE_INTEGER) {
            const qint64 i = sqlite3_column_int64(st, col);
            if (qint64(double(i)) != i)
                keep(true);
            return double(i);
        }
        if (kind == SQLITE_TEXT) {
            static const QLocale plain = [] {
                QLocale c = QLocale::c();
                c.setNumberOptions(QLocale::RejectGroupSeparator);
                return c;
            }();
            bool ok = false;
            const double d = plain.toDouble(columnText(st, col).trimmed(), &ok);
            if (ok && std::isfinite(d)) {
                keep(true);
                return d;
            }
        }
        keep(false);
        return QVariant();
    case ftString: case ftMemo: case ftFmtMemo: case ftDate: case ftTime: case ftDateTime:
        if (kind == SQLITE_TEXT) {
            const auto *text = sqlite3_column_text(st, col);
            const int n = sqlite3_column_bytes(st, col);
            if (isValidUtf8(text, n))
                return QString::fromUtf8(reinterpret_cast<const char *>(text), n);
            keep(false);
            return QString::fromUtf8(reinterpret_cast<const char *>(text), n);
        }
        if (kind == SQLITE_BLOB) {
            const auto *bytes = static_cast<const unsigned char *>(sqlite3_column_blob(st, col));
            const int n = sqlite3_column_bytes(st, col);
            keep(isValidUtf8(bytes, n));
            return QString::fromUtf8(reinterpret_cast<const char *>(bytes), n);
        }
        keep(true); // a number in a text column
        return columnText(st, col);
    case ftBoolean:
        if (kind == SQLITE_INTEGER) {
            const qint64 i = sqlite3_column_int64(st, col);
            if (i != 0 && i != 1)
                keep(true);
            return i != 0;
        }
        if (kind == SQLITE_FLOAT) {
            keep(true);
            return sqlite3_column_double(st, col) != 0.0;
        }
        if (kind == SQLITE_TEXT) {
            if (const auto b = booleanText(columnText(st, col))) {
                keep(true);
                return *b;
            }
        }
        keep(false);
        return QVariant();
    case ftBlob: case ftGraphic: case ftBytes: case ftVarBytes: case ftTypedBinary:
        if (kind != SQLITE_BLOB)
            keep(true);
        return normalised(type, columnValue(st, col));
    default:
        break;
    }
    if (kind != SQLITE_TEXT)
        keep(true);
    return normalised(type, columnValue(st, col));
}

void bindStored(sqlite3_stmt *st, int index, const StoredValue &v)
{
    switch (v.kind) {
    case StoredValue::Integer:
        sqlite3_bind_int64(st, index, v.integer);
        break;
    case StoredValue::Float:
        sqlite3_bind_double(st, index, v.real);
        break;
    case StoredValue::Text:
        sqlite3_bind_text(st, index, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    case StoredValue::Blob:
        sqlite3_bind_blob(st, index, v.bytes.constData(), int(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}

/// Binds what the record holds in a column: the stored form where one is kept, else the value.
void bindRecordValue(sqlite3_stmt *st, int index, const QVector<QVariant> &values,
                     const std::vector<StoredValue> &stored, int column)
{
    for (const StoredValue &v : stored)
        if (v.column == column) {
            bindStored(st, index, v);
            return;
        }
    bindValue(st, index, values.value(column));
}

QString errorText(sqlite3 *db) { return QString::fromUtf16(static_cast<const char16_t *>(sqlite3_errmsg16(db))); }

// Page cache sizes in KiB, negative as the pragma takes them.
constexpr int InteractiveCacheKiB = -16384;
constexpr int BulkCacheKiB = -2048;

class SqliteStore final : public Store {
public:
    SqliteStore(Database &db, QString path, int busyTimeoutMs)
        : m_db(db), m_path(std::move(path)), m_busyTimeoutMs(busyTimeoutMs),
          m_connection(QStringLiteral("kvt-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
    }
    ~SqliteStore() override { close(); }

    bool isServer() const override { return false; }
    QString displayName() const override { return QStringLiteral("store '%1'").arg(m_path); }

    void setBulkRead(bool on) override
    {
        // Lowering the size frees the cached pages above it at once; raising it again lets the
        // selections that follow fill it anew.
        QSqlQuery q(connection());
        q.exec(QStringLiteral("pragma cache_size = %1").arg(on ? BulkCacheKiB : InteractiveCacheKiB));
    }

    void open() override
    {
        if (!QFileInfo(m_path).isFile())
            throw EngineError(QStringLiteral("Store '%1' does not exist").arg(m_path));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_path);
        // A second editor on the same store waits for its lock instead of failing at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
        if (!db.open()) {
            const QString msg = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            throw EngineError(QStringLiteral("Cannot open store '%1': %2").arg(m_path, msg));
        }
        QSqlQuery check(db);
        // Selections spread over a large category revisit the control table's pages; 16 MiB of
        // page cache keeps them in memory instead of SQLite's default 2 MiB. A bulk read (Expand
        // All) runs with the default, see setBulkRead().
        check.exec(QStringLiteral("pragma cache_size = %1").arg(InteractiveCacheKiB));
        if (!check.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QSqlError error = check.lastError();
            check = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            throw m_db.failure(error, QStringLiteral("Cannot read store '%1'").arg(m_path));
        }
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

    TableInfo tableInfo(const QString &sql, const QString &tableName) override
    {
        QSqlDatabase db = connection();
        TableInfo info;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select name from sqlite_master where type='table' and lower(name)=lower(?)"));
        q.addBindValue(sql);
        if (!q.exec())
            throw m_db.failure(q.lastError(), QStringLiteral("Cannot read table '%1'").arg(tableName));
        if (!q.next()) {
            // A store without any table (a file of 0 bytes is one) is reported as such: no table is
            // missing from it, it has lost all of them.
            QSqlQuery any(db);
            if (any.exec(QStringLiteral("select count(*) from sqlite_master")) && any.next() &&
                any.value(0).toInt() == 0)
                throw EngineError(QStringLiteral("The store '%1' is empty (%2): it holds no tables. Restore the file "
                                                 "from a backup")
                                      .arg(m_path, QFileInfo(m_path).size() == 0
                                                       ? QStringLiteral("the file has 0 bytes")
                                                       : QStringLiteral("no table is defined in it")));
            throw EngineError(QStringLiteral("Table '%1' does not exist in '%2'").arg(tableName, m_path));
        }
        info.sqlName = q.value(0).toString();

        QSqlQuery cols(db);
        if (!cols.exec(QStringLiteral("pragma table_info(\"%1\")").arg(info.sqlName)))
            throw m_db.failure(cols.lastError(), QStringLiteral("Cannot read table '%1'").arg(tableName));
        std::vector<std::pair<int, QString>> pk;
        while (cols.next()) {
            ColumnInfo c;
            c.name = cols.value(1).toString();
            mapDeclaredType(cols.value(2).toString(), c.type, c.size);
            const int pkPos = cols.value(5).toInt();
            c.primaryKey = pkPos > 0;
            if (pkPos > 0)
                pk.emplace_back(pkPos, c.name);
            info.columns.push_back(c);
        }
        std::sort(pk.begin(), pk.end());
        for (const auto &p : pk)
            info.primaryKey << p.second;

        QSqlQuery idx(db);
        if (idx.exec(QStringLiteral("pragma index_list(\"%1\")").arg(info.sqlName))) {
            QStringList names;
            while (idx.next())
                names << idx.value(1).toString();
            for (const QString &name : names) {
                QSqlQuery ic(db);
                if (!ic.exec(QStringLiteral("pragma index_info(\"%1\")").arg(name)))
                    continue;
                QStringList columns;
                while (ic.next())
                    columns << ic.value(2).toString();
                info.indexes.insert(name.toLower(), columns);
            }
        }
        return info;
    }

    QString quoted(const QString &ident) const override
    {
        QString s = ident;
        s.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + s + QLatin1Char('"');
    }
    QString rowIdColumn() const override { return QStringLiteral("rowid"); }
    QString sameValueOperator() const override { return QStringLiteral("is"); }
    QString insertSuffix() const override { return QString(); }

    void fetch(const QString &sql, const QVariantList &binds, const std::vector<FieldType> &types,
               QVector<RecordData> &records, const QString &tableName) override
    {
        const auto context = [&] { return QStringLiteral("Cannot read table '%1'").arg(tableName); };
        sqlite3_stmt *st = keptStatement(sql, context);
        for (int i = 0; i < binds.size(); ++i)
            bindValue(st, i + 1, binds[i]);
        const int n = int(types.size());
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            RecordData r;
            r.rowid = sqlite3_column_int64(st, 0);
            r.values.reserve(n);
            for (int i = 0; i < n; ++i)
                r.values.append(fieldValue(st, i + 1, types[size_t(i)], i, r.stored));
            records.push_back(std::move(r));
        }
        if (rc != SQLITE_DONE) { // a failed step is no end of the rows
            const QString msg = errorText(sqlite3_db_handle(st));
            const int code = sqlite3_extended_errcode(sqlite3_db_handle(st));
            sqlite3_reset(st);
            records.clear();
            throw m_db.failure(code, context(), msg);
        }
        sqlite3_reset(st); // a reset statement holds no read lock
    }

    /// A kept statement, reset and unbound; a statement that does not prepare is named with the
    /// text context() gives (made only then: reads run on every selection), the damage message
    /// stays as it is.
    template <class Context>
    sqlite3_stmt *keptStatement(const QString &sql, const Context &context)
    {
        sqlite3_stmt *st = nullptr;
        try {
            st = m_db.rawStatement(sql);
        } catch (const EngineError &e) {
            if (m_db.isDamaged())
                throw;
            throw EngineError(context() + QStringLiteral(": ") + e.message());
        }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return st;
    }
    /// Raises the failure of a step of st, which is reset first: another writer's lock as such.
    [[noreturn]] void throwStepFailure(sqlite3_stmt *st, const QString &context)
    {
        sqlite3 *db = sqlite3_db_handle(st);
        const QString msg = errorText(db);
        const int code = sqlite3_extended_errcode(db);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
            throw EngineError(context + QStringLiteral(": ") + lockedMessage());
        throw m_db.failure(code, context, msg);
    }

    int write(const QString &sql, RecordData &buffer, const RecordData *original, int n,
              const QString &context) override
    {
        sqlite3_stmt *st = keptStatement(sql, [&] { return context; });
        sqlite3 *db = sqlite3_db_handle(st);
        int k = 1;
        for (int i = 0; i < n; ++i)
            bindRecordValue(st, k++, buffer.values, buffer.stored, i);
        if (original) {
            sqlite3_bind_int64(st, k++, original->rowid);
            for (int i = 0; i < n; ++i)
                bindRecordValue(st, k++, original->values, original->stored, i);
        }
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE)
            throwStepFailure(st, context);
        const int changes = sqlite3_changes(db);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (!original)
            buffer.rowid = sqlite3_last_insert_rowid(db);
        return changes;
    }

    void beginWrite(const QString &context) override
    {
        // Immediate: the write lock is taken (or waited for) now, never upgraded half-way.
        execute(QStringLiteral("begin immediate"), {}, context);
    }
    void commitWrite(const QString &context) override
    {
        execute(QStringLiteral("commit"), {}, context);
    }
    void rollbackWrite() override
    {
        try {
            runRaw(m_db.rawStatement(QStringLiteral("rollback")));
        } catch (const EngineError &) {
        }
    }
    void execute(const QString &sql, const QVariantList &binds, const QString &context) override
    {
        sqlite3_stmt *st = keptStatement(sql, [&] { return context; });
        for (int i = 0; i < binds.size(); ++i)
            bindValue(st, i + 1, binds[i]);
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            throwStepFailure(st, context);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }

    bool beginRead() override
    {
        try {
            return runRaw(m_db.rawStatement(QStringLiteral("begin")));
        } catch (const EngineError &) {
            return false;
        }
    }

    void commitRead() override
    {
        try {
            if (!runRaw(m_db.rawStatement(QStringLiteral("commit"))))
                runRaw(m_db.rawStatement(QStringLiteral("rollback")));
        } catch (const EngineError &) {
        }
    }

    EngineError failure(const QSqlError &error, const QString &context) override
    {
        return m_db.failure(error, context);
    }

private:
    /// Runs a statement without rows (begin, commit, rollback); false when SQLite refuses it.
    static bool runRaw(sqlite3_stmt *st)
    {
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        return rc == SQLITE_DONE;
    }

    Database &m_db;
    QString m_path;
    int m_busyTimeoutMs;
    QString m_connection;
    bool m_open = false;
};

} // namespace

std::unique_ptr<Store> makeSqliteStore(Database &db, const QString &path, int busyTimeoutMs)
{
    return std::make_unique<SqliteStore>(db, path, busyTimeoutMs);
}

} // namespace kvt
