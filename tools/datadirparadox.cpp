#include "tools/datadirparadox.h"
#include "app/crypto.h"
#include "app/protect.h"
#include "engine/errors.h"
#include "engine/session.h"
#include "engine/journal.h"
#include "paradox/paradox.h"
#include "reportdef/schema.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlDriver>
#include <QSqlRecord>
#include <QUuid>
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cstring>
#include <sqlite3.h>
#include <map>

namespace kvt::datadir {
namespace {

using paradox::Field;
using paradox::TableDef;

struct Failure {
    QString message;
};

QString quoted(const QString &name)
{
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QString storeTypeOf(const Field &f)
{
    switch (f.type) {
    case paradox::Alpha: return QStringLiteral("VARCHAR(%1)").arg(f.length);
    case paradox::Memo:
    case paradox::FormattedMemo: return QStringLiteral("TEXT");
    case paradox::Number:
    case paradox::Currency:
    case paradox::Bcd: return QStringLiteral("DOUBLE");
    case paradox::Short: return QStringLiteral("SMALLINT");
    case paradox::Long:
    case paradox::AutoInc: return QStringLiteral("INTEGER");
    case paradox::Logical: return QStringLiteral("BOOLEAN");
    case paradox::Date: return QStringLiteral("VARCHAR(10)");
    case paradox::Time: return QStringLiteral("VARCHAR(12)");
    case paradox::Timestamp: return QStringLiteral("VARCHAR(23)");
    default: return QStringLiteral("BLOB");
    }
}

// What the editor needs of one of its tables: column types, primary key and indexes as `create` makes them.
struct Needs {
    std::vector<std::pair<QString, QString>> columns; // name, declared type
    QStringList primaryKey;
    QStringList indexStatements;
};

Needs needsOf(const reportdef::TableDef &t)
{
    Needs n;
    static const QRegularExpression col(QStringLiteral("(\\w+) (VARCHAR\\(\\d+\\)|DOUBLE|INTEGER|BOOLEAN|SMALLINT|TEXT)"));
    static const QRegularExpression pk(QStringLiteral("PRIMARY KEY \\(([^)]*)\\)"));
    for (const QString &s : t.createStatements) {
        if (s.startsWith(QLatin1String("CREATE TABLE"))) {
            auto it = col.globalMatch(s);
            while (it.hasNext()) {
                auto m = it.next();
                n.columns.emplace_back(m.captured(1), m.captured(2));
            }
            const auto m = pk.match(s);
            if (m.hasMatch())
                for (const QString &c : m.captured(1).split(QLatin1Char(',')))
                    n.primaryKey << c.trimmed();
        } else {
            n.indexStatements << s;
        }
    }
    return n;
}

bool compatible(const QString &declared, int type)
{
    if (declared.startsWith(QLatin1String("VARCHAR")) || declared == QLatin1String("TEXT"))
        return type == paradox::Alpha || type == paradox::Memo || type == paradox::FormattedMemo;
    if (declared == QLatin1String("DOUBLE"))
        return type == paradox::Number || type == paradox::Currency || type == paradox::Bcd || type == paradox::Short ||
               type == paradox::Long || type == paradox::AutoInc;
    if (declared == QLatin1String("INTEGER") || declared == QLatin1String("SMALLINT"))
        return type == paradox::Long || type == paradox::AutoInc || type == paradox::Short;
    if (declared == QLatin1String("BOOLEAN"))
        return type == paradox::Logical;
    return false;
}

/// The file in dir whose name equals name without regard to case; empty when none.
QString findFile(const QString &dir, const QString &name)
{
    const QStringList all = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &n : all)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return n;
    return QString();
}

// A SQLite connection of its own, removed with its owner.
class Connection {
public:
    explicit Connection(const QString &file)
        : m_name(QStringLiteral("paradox-") + QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        if (!db.open())
            throw Failure{QStringLiteral("Cannot open store '%1': %2").arg(file, db.lastError().text())};
    }
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    sqlite3 *handle() const
    {
        const QVariant h = db().driver()->handle();
        sqlite3 *p = h.isValid() ? *static_cast<sqlite3 *const *>(h.constData()) : nullptr;
        if (!p)
            throw Failure{QStringLiteral("The store has no SQLite connection")};
        return p;
    }
    void exec(const QString &sql) const
    {
        QSqlQuery q(db());
        if (!q.exec(sql))
            throw Failure{QStringLiteral("%1: %2").arg(sql, q.lastError().text())};
    }

private:
    QString m_name;
};

// A prepared statement, finalized with its owner.
class Statement {
public:
    Statement(sqlite3 *db, const QString &sql)
    {
        const QByteArray u = sql.toUtf8();
        if (sqlite3_prepare_v2(db, u.constData(), int(u.size()), &m_stmt, nullptr) != SQLITE_OK)
            throw Failure{QStringLiteral("%1: %2").arg(sql, QString::fromUtf8(sqlite3_errmsg(db)))};
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }

    void bind(int col, const QVariant &v) const
    {
        if (v.isNull()) {
            sqlite3_bind_null(m_stmt, col);
            return;
        }
        switch (v.typeId()) {
        case QMetaType::QString: {
            const QString &s = *static_cast<const QString *>(v.constData());
            sqlite3_bind_text16(m_stmt, col, s.utf16(), int(s.size() * 2), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::Double: sqlite3_bind_double(m_stmt, col, v.toDouble()); break;
        case QMetaType::Bool: sqlite3_bind_int(m_stmt, col, v.toBool() ? 1 : 0); break; // logical: 0 or 1
        case QMetaType::QByteArray: {
            const QByteArray &b = *static_cast<const QByteArray *>(v.constData());
            sqlite3_bind_blob(m_stmt, col, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        default: sqlite3_bind_int64(m_stmt, col, v.toLongLong()); break;
        }
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
};

// Whether column col of the current row holds the record's value, in its store form.
bool storedEquals(sqlite3_stmt *st, int col, const QVariant &orig)
{
    const int t = sqlite3_column_type(st, col);
    if (orig.isNull())
        return t == SQLITE_NULL;
    switch (orig.typeId()) {
    case QMetaType::QString: {
        if (t != SQLITE_TEXT)
            return false;
        const auto *p = static_cast<const char16_t *>(sqlite3_column_text16(st, col));
        const int bytes = sqlite3_column_bytes16(st, col);
        return QStringView(p, bytes / 2) == *static_cast<const QString *>(orig.constData());
    }
    case QMetaType::Double: {
        if (t != SQLITE_FLOAT)
            return false;
        const double x = sqlite3_column_double(st, col), y = orig.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case QMetaType::Bool: return t == SQLITE_INTEGER && sqlite3_column_int64(st, col) == (orig.toBool() ? 1 : 0);
    case QMetaType::QByteArray: {
        if (t != SQLITE_BLOB)
            return false;
        const QByteArray &b = *static_cast<const QByteArray *>(orig.constData());
        return sqlite3_column_bytes(st, col) == b.size() &&
               std::memcmp(sqlite3_column_blob(st, col), b.constData(), size_t(b.size())) == 0;
    }
    default: return t == SQLITE_INTEGER && sqlite3_column_int64(st, col) == orig.toLongLong();
    }
}

// Reads a table's records in batches on a thread of its own, so that reading the file and filling
// the store overlap. The reader is used by that thread only while the feed lives.
class RecordFeed {
public:
    static constexpr int Batch = 2000;
    explicit RecordFeed(paradox::Reader &reader) : m_reader(reader), m_thread([this] { run(); }) {}
    ~RecordFeed()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    RecordFeed(const RecordFeed &) = delete;
    RecordFeed &operator=(const RecordFeed &) = delete;

    /// The next batch in record order; false after the last. Throws Failure for a record that
    /// cannot be read.
    bool next(std::vector<std::vector<QVariant>> &batch)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_done; });
        if (m_ready.empty()) {
            if (!m_error.isEmpty())
                throw Failure{m_error};
            return false;
        }
        batch = std::move(m_ready.front());
        m_ready.pop_front();
        m_changed.notify_all();
        return true;
    }

private:
    void run()
    {
        const int n = m_reader.recordCount();
        QString error;
        for (int first = 0; first < n && error.isEmpty();) {
            std::vector<std::vector<QVariant>> batch;
            const int last = qMin(n, first + Batch);
            batch.reserve(size_t(last - first));
            try {
                for (int i = first; i < last; ++i)
                    batch.push_back(m_reader.record(i));
            } catch (const paradox::Error &e) {
                error = e.message();
            } catch (const std::exception &e) {
                error = QString::fromLocal8Bit(e.what());
            }
            first = last;
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_ready.size() < 4 || m_stop; });
            if (m_stop)
                return;
            // Records read before a failing one still go in first, so the failure is met in order.
            if (!batch.empty())
                m_ready.push_back(std::move(batch));
            m_changed.notify_all();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_error = error;
        m_done = true;
        m_changed.notify_all();
    }

    paradox::Reader &m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<std::vector<QVariant>>> m_ready;
    QString m_error;
    bool m_done = false;
    bool m_stop = false;
    std::thread m_thread; // last: starts once the rest is set up
};

void checkCancel(const ParadoxOptions &o)
{
    if (o.cancelled && o.cancelled())
        throw Failure{QStringLiteral("Interrupted; nothing was changed")};
}

void say(const ParadoxOptions &o, const QString &line)
{
    if (o.progress)
        o.progress(line);
}

struct Source {
    QString fileName;  // as in PXDIR
    QString sqlName;   // file name without extension
    const reportdef::TableDef *suite = nullptr; // one of the seven
    std::unique_ptr<paradox::Reader> reader;
};

void importTable(Connection &c, Source &s, const ParadoxOptions &o)
{
    const TableDef &def = s.reader->definition();
    const QString path = s.reader->path();
    QStringList cols;
    QStringList key;
    Needs needs;
    if (s.suite)
        needs = needsOf(*s.suite);
    for (const Field &f : def.fields) {
        QString col = quoted(f.name) + QLatin1Char(' ') + storeTypeOf(f);
        if (needs.primaryKey.contains(f.name, Qt::CaseInsensitive))
            col += QStringLiteral(" NOT NULL");
        cols << col;
    }
    for (const QString &k : needs.primaryKey)
        key << quoted(k);
    if (!key.isEmpty())
        cols << QStringLiteral("PRIMARY KEY (%1)").arg(key.join(QStringLiteral(", ")));
    c.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(s.sqlName), cols.join(QStringLiteral(", "))));
    for (const QString &st : needs.indexStatements)
        c.exec(st);

    QSqlQuery meta(c.db());
    meta.prepare(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?, ?, ?, ?)").arg(QString::fromLatin1(ParadoxTablesTable)));
    for (const QVariant &v : {QVariant(s.sqlName), QVariant(s.fileName), QVariant(def.fileVersion), QVariant(def.codePage),
                              QVariant(s.reader->textCodePage()), QVariant(def.encrypted ? 1 : 0), QVariant(def.primaryKeyFields)})
        meta.addBindValue(v);
    if (!meta.exec())
        throw Failure{meta.lastError().text()};
    QSqlQuery fq(c.db());
    fq.prepare(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?, ?)").arg(QString::fromLatin1(ParadoxFieldsTable)));
    for (size_t i = 0; i < def.fields.size(); ++i) {
        for (const QVariant &v : {QVariant(s.sqlName), QVariant(int(i) + 1), QVariant(def.fields[i].name),
                                  QVariant(def.fields[i].type), QVariant(def.fields[i].length)})
            fq.addBindValue(v);
        if (!fq.exec())
            throw Failure{fq.lastError().text()};
    }

    QStringList marks;
    for (size_t i = 0; i < def.fields.size(); ++i)
        marks << QStringLiteral("?");
    // Straight on SQLite: a store of 100,000 rows goes in and back several times faster than
    // through QSqlQuery's boxed values.
    sqlite3 *h = c.handle();
    Statement ins(h, QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(quoted(s.sqlName), marks.join(QLatin1Char(','))));
    Statement back(h, QStringLiteral("SELECT * FROM %1 WHERE rowid >= ? AND rowid <= ? ORDER BY rowid").arg(quoted(s.sqlName)));

    // Rows go in and are read back in batches, each compared field by field with its record.
    const int n = s.reader->recordCount();
    RecordFeed feed(*s.reader);
    std::vector<std::vector<QVariant>> batch;
    sqlite3_int64 firstId = 0, lastId = 0;
    for (int first = 0; feed.next(batch); first += int(batch.size())) {
        for (size_t r = 0; r < batch.size(); ++r) {
            checkCancel(o);
            int col = 1;
            for (const QVariant &v : batch[r])
                ins.bind(col++, v);
            if (sqlite3_step(ins.get()) != SQLITE_DONE)
                throw Failure{QStringLiteral("'%1', record %2: cannot be stored: %3").arg(path).arg(first + int(r) + 1).arg(QString::fromUtf8(sqlite3_errmsg(h)))};
            sqlite3_reset(ins.get());
            lastId = sqlite3_last_insert_rowid(h);
            if (r == 0)
                firstId = lastId;
        }
        sqlite3_bind_int64(back.get(), 1, firstId);
        sqlite3_bind_int64(back.get(), 2, lastId);
        size_t k = 0;
        int rc;
        for (; (rc = sqlite3_step(back.get())) == SQLITE_ROW; ++k) {
            if (k >= batch.size())
                break;
            const auto &rec = batch[k];
            for (size_t f = 0; f < rec.size(); ++f)
                if (!storedEquals(back.get(), int(f), rec[f]))
                    throw Failure{QStringLiteral("'%1', record %2, field '%3': the store reads back '%4', the table holds '%5'")
                                      .arg(path).arg(first + int(k) + 1)
                                      .arg(def.fields[f].name, QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(back.get(), int(f)))), rec[f].toString())};
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            throw Failure{QString::fromUtf8(sqlite3_errmsg(h))};
        sqlite3_reset(back.get());
        if (k != batch.size())
            throw Failure{QStringLiteral("'%1': the store reads back %2 of %3 records from record %4")
                              .arg(path).arg(k).arg(batch.size()).arg(first + 1)};
    }
    say(o, QStringLiteral("%1: %2 rows").arg(s.fileName).arg(n));
}

} // namespace

QString builtInTablePassword()
{
    std::array<unsigned char, 256> table{};
    crypto::keyTableInit(table.data(), crypto::keySeed());
    QByteArray plain = crypto::cryptDecode(QByteArray(crypto::builtInPassword()), table.data());
    const QString password = QString::fromLatin1(plain);
    crypto::wipe(plain);
    return password;
}

QString importParadox(const QString &pxDir, const QString &dir, const ParadoxOptions &options)
{
    const QString store = QDir(dir).filePath(QString::fromLatin1(Database::StoreFileName));
    if (QFileInfo::exists(store))
        return QStringLiteral("'%1' already holds a store (%2); nothing was changed").arg(dir, store);
    if (QFileInfo::exists(dir) && !QFileInfo(dir).isDir())
        return QStringLiteral("'%1' exists and is not a directory").arg(dir);
    if (!QFileInfo(pxDir).isDir())
        return QStringLiteral("'%1' is not a directory").arg(pxDir);

    std::vector<Source> sources;
    QString tmp;
    bool createdDir = false;
    try {
        // Every table is opened and checked before anything is created.
        if (options.all) {
            const QStringList files = QDir(pxDir).entryList({QStringLiteral("*.db"), QStringLiteral("*.DB"), QStringLiteral("*.Db"), QStringLiteral("*.dB")},
                                                            QDir::Files, QDir::Name | QDir::IgnoreCase);
            QStringList seen;
            for (const QString &f : files) {
                if (seen.contains(f, Qt::CaseInsensitive))
                    continue;
                seen << f;
                Source s;
                s.fileName = f;
                for (const auto &t : reportdef::allTables())
                    if (t.fileName.compare(f, Qt::CaseInsensitive) == 0)
                        s.suite = &t;
                sources.push_back(std::move(s));
            }
            if (sources.empty())
                throw Failure{QStringLiteral("'%1' holds no Paradox table (.DB)").arg(pxDir)};
        } else {
            for (const auto &t : reportdef::allTables()) {
                Source s;
                s.fileName = findFile(pxDir, t.fileName);
                if (s.fileName.isEmpty())
                    throw Failure{QStringLiteral("'%1' holds no table %2").arg(pxDir, t.fileName)};
                s.suite = &t;
                sources.push_back(std::move(s));
            }
        }
        paradox::ReadOptions ro;
        ro.defaultCodePage = options.defaultCodePage;
        QStringList names;
        for (Source &s : sources) {
            s.sqlName = QFileInfo(s.fileName).completeBaseName();
            if (names.contains(s.sqlName, Qt::CaseInsensitive) || s.sqlName.startsWith(QLatin1Char('_')) ||
                s.sqlName.compare(QStringLiteral("EngineProtection"), Qt::CaseInsensitive) == 0)
                throw Failure{QStringLiteral("'%1': the table name %2 cannot be used in the store").arg(s.fileName, s.sqlName)};
            names << s.sqlName;
            try {
                s.reader = std::make_unique<paradox::Reader>(QDir(pxDir).filePath(s.fileName), ro);
            } catch (const paradox::Error &e) {
                throw Failure{e.message()};
            }
            if (!s.suite)
                continue;
            const auto &fields = s.reader->definition().fields;
            for (const auto &[col, declared] : needsOf(*s.suite).columns) {
                auto it = std::find_if(fields.begin(), fields.end(),
                                       [&](const Field &f) { return f.name.compare(col, Qt::CaseInsensitive) == 0; });
                if (it == fields.end())
                    throw Failure{QStringLiteral("Table %1 has no column %2, which the editor needs; nothing was created")
                                      .arg(s.fileName, col)};
                if (!compatible(declared, it->type))
                    throw Failure{QStringLiteral("Column %2 of table %1 is %3, the editor needs %4; nothing was created")
                                      .arg(s.fileName, col, paradox::typeName(it->type), declared)};
            }
        }

        createdDir = !QFileInfo::exists(dir);
        if (!QDir().mkpath(dir))
            throw Failure{QStringLiteral("Cannot create directory '%1'").arg(dir)};
        tmp = QDir(dir).filePath(QStringLiteral(".KVT3.sqlite.import-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
        bool protect = false;
        {
            Connection c(tmp);
            c.exec(QStringLiteral("PRAGMA journal_mode=OFF"));
            c.exec(QStringLiteral("PRAGMA synchronous=OFF"));
            c.exec(QStringLiteral("BEGIN"));
            c.exec(QStringLiteral("CREATE TABLE %1 (TableName VARCHAR(64) NOT NULL PRIMARY KEY, FileName VARCHAR(255), "
                                  "FileVersion INTEGER, CodePage INTEGER, TextCodePage INTEGER, Encrypted BOOLEAN, "
                                  "PrimaryKeyFields INTEGER)").arg(QString::fromLatin1(ParadoxTablesTable)));
            c.exec(QStringLiteral("CREATE TABLE %1 (TableName VARCHAR(64) NOT NULL, Position INTEGER NOT NULL, "
                                  "FieldName VARCHAR(255), FieldType INTEGER, FieldLength INTEGER, "
                                  "PRIMARY KEY (TableName, Position))").arg(QString::fromLatin1(ParadoxFieldsTable)));
            for (Source &s : sources) {
                importTable(c, s, options);
                protect = protect || (s.suite && s.reader->definition().encrypted);
            }
            // Paradox tables hold no journal: the store starts with an empty one.
            c.exec(journal::createStatement(false));
            c.exec(QStringLiteral("COMMIT"));
            if (protect) {
                QSqlDatabase db = c.db();
                protectAllTables(db);
            }
        }
        checkCancel(options);
        if (!QFile::rename(tmp, store))
            throw Failure{QStringLiteral("Cannot move the new store into place as '%1'").arg(store)};
    } catch (const Failure &f) {
        if (!tmp.isEmpty())
            QFile::remove(tmp);
        if (createdDir)
            QDir().rmdir(dir); // only when it is still empty
        return f.message;
    } catch (const FrameworkError &e) {
        if (!tmp.isEmpty())
            QFile::remove(tmp);
        if (createdDir)
            QDir().rmdir(dir);
        return e.message();
    }
    return QString();
}

namespace {

struct Target {
    const reportdef::TableDef *suite = nullptr;
    QString sqlName;  // as in the store
    QString fileName; // .DB file to write
    TableDef def;
    bool recorded = false;
    QStringList orderBy;
    QString tmpPath;
    int rows = 0;
};

QString storeTableName(Connection &c, const QString &name)
{
    QSqlQuery q(c.db());
    q.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND lower(name)=lower(?)"));
    q.addBindValue(name);
    if (q.exec() && q.next())
        return q.value(0).toString();
    return QString();
}

// The Paradox structure of a store table: the recorded one, else one made from the column types.
void describe(Connection &c, Target &t)
{
    QSqlQuery cols(c.db());
    if (!cols.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(t.sqlName))))
        throw Failure{cols.lastError().text()};
    std::vector<std::pair<QString, QString>> storeCols;
    std::map<int, QString> pk;
    while (cols.next()) {
        storeCols.emplace_back(cols.value(1).toString(), cols.value(2).toString().toUpper());
        if (cols.value(5).toInt() > 0)
            pk[cols.value(5).toInt()] = cols.value(1).toString();
    }

    const bool hasMeta = !storeTableName(c, QString::fromLatin1(ParadoxTablesTable)).isEmpty();
    if (hasMeta) {
        QSqlQuery m(c.db());
        m.prepare(QStringLiteral("SELECT FileName, FileVersion, CodePage, TextCodePage, Encrypted, PrimaryKeyFields FROM %1 "
                                 "WHERE lower(TableName)=lower(?)").arg(QString::fromLatin1(ParadoxTablesTable)));
        m.addBindValue(t.sqlName);
        if (m.exec() && m.next()) {
            t.recorded = true;
            t.fileName = m.value(0).toString();
            t.def.fileVersion = m.value(1).toInt();
            t.def.codePage = m.value(2).toInt() > 0 ? m.value(2).toInt() : m.value(3).toInt();
            t.def.encrypted = m.value(4).toInt() != 0;
            t.def.primaryKeyFields = m.value(5).toInt();
            QSqlQuery f(c.db());
            f.prepare(QStringLiteral("SELECT FieldName, FieldType, FieldLength FROM %1 WHERE lower(TableName)=lower(?) "
                                     "ORDER BY Position").arg(QString::fromLatin1(ParadoxFieldsTable)));
            f.addBindValue(t.sqlName);
            if (!f.exec())
                throw Failure{f.lastError().text()};
            while (f.next())
                t.def.fields.push_back({f.value(0).toString(), f.value(1).toInt(), f.value(2).toInt()});
            if (t.def.fields.size() != storeCols.size())
                throw Failure{QStringLiteral("Table %1 of the store has %2 columns, its recorded Paradox structure %3")
                                  .arg(t.sqlName).arg(storeCols.size()).arg(t.def.fields.size())};
            for (size_t i = 0; i < storeCols.size(); ++i)
                if (storeCols[i].first.compare(t.def.fields[i].name, Qt::CaseInsensitive) != 0)
                    throw Failure{QStringLiteral("Column %1 of table %2 in the store differs from its recorded Paradox field %3")
                                      .arg(storeCols[i].first, t.sqlName, t.def.fields[i].name)};
            t.orderBy << QStringLiteral("rowid");
            return;
        }
    }
    t.fileName = t.suite->fileName;
    t.def.fileVersion = 70;
    t.def.codePage = 1252;
    for (const auto &[name, declared] : storeCols) {
        Field f;
        f.name = name;
        static const QRegularExpression varchar(QStringLiteral("^VARCHAR\\((\\d+)\\)$"));
        const auto m = varchar.match(declared);
        if (m.hasMatch()) {
            f.type = paradox::Alpha;
            f.length = m.captured(1).toInt();
            if (f.length < 1 || f.length > 255)
                throw Failure{QStringLiteral("Column %1 of table %2 is %3: too long for a Paradox alpha field").arg(name, t.sqlName, declared)};
        } else if (declared == QLatin1String("DOUBLE") || declared == QLatin1String("REAL")) {
            f.type = paradox::Number;
            f.length = 8;
        } else if (declared == QLatin1String("INTEGER")) {
            f.type = paradox::Long;
            f.length = 4;
        } else if (declared == QLatin1String("SMALLINT")) {
            f.type = paradox::Short;
            f.length = 2;
        } else if (declared == QLatin1String("BOOLEAN")) {
            f.type = paradox::Logical;
            f.length = 1;
        } else if (declared == QLatin1String("TEXT")) {
            f.type = paradox::Memo;
            f.length = 10;
        } else if (declared == QLatin1String("BLOB")) {
            f.type = paradox::Blob;
            f.length = 10;
        } else {
            throw Failure{QStringLiteral("Column %1 of table %2 has the type %3, which has no Paradox form").arg(name, t.sqlName, declared)};
        }
        t.def.fields.push_back(f);
    }
    // Paradox keys are the leading fields.
    int lead = 0;
    while (lead < int(storeCols.size()) && pk.count(lead + 1) && pk[lead + 1] == storeCols[size_t(lead)].first)
        ++lead;
    t.def.primaryKeyFields = lead == int(pk.size()) ? lead : 0;
    for (const auto &[pos, name] : pk)
        t.orderBy << quoted(name);
    if (t.orderBy.isEmpty())
        t.orderBy << QStringLiteral("rowid");
}

std::vector<QVariant> rowOf(const QSqlQuery &q, const TableDef &def)
{
    std::vector<QVariant> row;
    row.reserve(def.fields.size());
    for (size_t i = 0; i < def.fields.size(); ++i) {
        QVariant v = q.value(int(i));
        if (!v.isNull() && def.fields[i].type == paradox::Logical)
            v = v.toLongLong() != 0;
        row.push_back(v);
    }
    return row;
}

QStringList companions(const QString &fileName)
{
    const QString base = QFileInfo(fileName).completeBaseName();
    return {fileName, base + QStringLiteral(".PX"), base + QStringLiteral(".MB")};
}

void writeTable(Connection &c, Target &t, const QString &tmpDir, const QString &password, const ParadoxOptions &o)
{
    t.tmpPath = QDir(tmpDir).filePath(t.fileName);
    const QString select = QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(quoted(t.sqlName), t.orderBy.join(QStringLiteral(", ")));
    {
        paradox::Writer w(t.tmpPath, t.def, password);
        QSqlQuery q(c.db());
        q.setForwardOnly(true);
        if (!q.exec(select))
            throw Failure{q.lastError().text()};
        while (q.next()) {
            checkCancel(o);
            w.append(rowOf(q, t.def));
            ++t.rows;
        }
        w.finish();
    }
    // Read back through the library and compare with the store, row by row.
    paradox::ReadOptions ro;
    ro.defaultCodePage = t.def.codePage > 0 ? t.def.codePage : 1252;
    paradox::Reader r(t.tmpPath, ro);
    if (r.recordCount() != t.rows)
        throw Failure{QStringLiteral("%1: %2 rows written, %3 read back").arg(t.fileName).arg(t.rows).arg(r.recordCount())};
    const TableDef &back = r.definition();
    if (back.fields.size() != t.def.fields.size() || back.primaryKeyFields != t.def.primaryKeyFields ||
        back.encrypted != t.def.encrypted)
        throw Failure{QStringLiteral("%1: the written structure reads back differently").arg(t.fileName)};
    for (size_t i = 0; i < back.fields.size(); ++i)
        if (!(back.fields[i] == t.def.fields[i]))
            throw Failure{QStringLiteral("%1: field %2 reads back differently").arg(t.fileName, t.def.fields[i].name)};
    QSqlQuery q(c.db());
    q.setForwardOnly(true);
    if (!q.exec(select))
        throw Failure{q.lastError().text()};
    for (int i = 0; q.next(); ++i) {
        checkCancel(o);
        const auto want = rowOf(q, t.def);
        const auto got = r.record(i);
        for (size_t f = 0; f < want.size(); ++f)
            if (!paradox::sameValue(want[f], got[f]))
                throw Failure{QStringLiteral("%1, record %2, field '%3': written '%4', read back '%5'")
                                  .arg(t.fileName).arg(i + 1).arg(t.def.fields[f].name, want[f].toString(), got[f].toString())};
    }
}

} // namespace

QString exportParadox(const QString &dir, const QString &pxDir, const ParadoxOptions &options)
{
    const QString store = QDir(dir).filePath(QString::fromLatin1(Database::StoreFileName));
    if (!QFileInfo::exists(store))
        return QStringLiteral("'%1' holds no store (%2)").arg(dir, store);
    if (QFileInfo::exists(pxDir) && !QFileInfo(pxDir).isDir())
        return QStringLiteral("'%1' exists and is not a directory").arg(pxDir);
    for (const char *lock : {"PARADOX.LCK", "PDOXUSRS.LCK"}) {
        const QString found = QFileInfo(pxDir).isDir() ? findFile(pxDir, QString::fromLatin1(lock)) : QString();
        if (!found.isEmpty())
            return QStringLiteral("'%1' holds the lock file %2 of the suite's table engine: close the suite's programs "
                                  "first; nothing was changed").arg(pxDir, found);
    }

    QString tmpDir;
    std::vector<Target> targets;
    bool createdDir = false;
    try {
        Connection c(store);
        for (const auto &suite : reportdef::allTables()) {
            Target t;
            t.suite = &suite;
            t.sqlName = storeTableName(c, suite.sqlName);
            if (t.sqlName.isEmpty())
                throw Failure{QStringLiteral("The store in '%1' has no table %2").arg(dir, suite.sqlName)};
            describe(c, t);
            if (!t.recorded) {
                QSqlDatabase db = c.db();
                t.def.encrypted = protection::isProtected(db, t.sqlName);
            }
            for (const QString &f : companions(t.fileName)) {
                const QString old = QFileInfo(pxDir).isDir() ? findFile(pxDir, f) : QString();
                if (!old.isEmpty() && !options.replace)
                    throw Failure{QStringLiteral("'%1' already holds %2; nothing was changed (--replace replaces it)").arg(pxDir, old)};
            }
            targets.push_back(std::move(t));
        }
        const QString password = builtInTablePassword();
        createdDir = !QFileInfo::exists(pxDir);
        if (!QDir().mkpath(pxDir))
            throw Failure{QStringLiteral("Cannot create directory '%1'").arg(pxDir)};
        tmpDir = QDir(pxDir).filePath(QStringLiteral(".kvt-export-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
        if (!QDir().mkpath(tmpDir))
            throw Failure{QStringLiteral("Cannot create directory '%1'").arg(tmpDir)};
        for (Target &t : targets) {
            try {
                writeTable(c, t, tmpDir, password, options);
                say(options, QStringLiteral("%1: %2 rows").arg(t.fileName).arg(t.rows));
            } catch (const paradox::Error &e) {
                throw Failure{e.message()};
            }
        }
        checkCancel(options);

        // All tables are written and verified: now the old files become backups and the new ones
        // take their places. A failed rename undoes every step before it.
        std::vector<std::pair<QString, QString>> done; // from, to (in order)
        auto undo = [&] {
            for (auto it = done.rbegin(); it != done.rend(); ++it) {
                QFile::remove(it->first);
                QFile::rename(it->second, it->first);
            }
        };
        auto move = [&](const QString &from, const QString &to) {
            if (!QFile::rename(from, to)) {
                undo();
                throw Failure{QStringLiteral("Cannot rename '%1' to '%2'; the old tables are left as they were").arg(from, to)};
            }
            done.emplace_back(from, to);
        };
        QStringList oldBackups;
        for (const Target &t : targets)
            for (const QString &f : companions(t.fileName)) {
                const QString old = findFile(pxDir, f);
                if (old.isEmpty())
                    continue;
                const QString bak = QDir(pxDir).filePath(old + QStringLiteral(".bak"));
                if (QFileInfo::exists(bak)) {
                    // an older backup is kept until the new one is in place
                    const QString aside = bak + QStringLiteral(".old");
                    QFile::remove(aside);
                    move(bak, aside);
                    oldBackups << aside;
                }
                move(QDir(pxDir).filePath(old), bak);
            }
        for (const Target &t : targets)
            for (const QString &f : companions(t.fileName)) {
                const QString made = QDir(tmpDir).filePath(f);
                if (QFileInfo::exists(made))
                    move(made, QDir(pxDir).filePath(f));
            }
        for (const QString &f : oldBackups)
            QFile::remove(f);
    } catch (const Failure &f) {
        if (!tmpDir.isEmpty())
            QDir(tmpDir).removeRecursively();
        if (createdDir)
            QDir().rmdir(pxDir); // only when it is still empty
        return f.message;
    } catch (const FrameworkError &e) {
        if (!tmpDir.isEmpty())
            QDir(tmpDir).removeRecursively();
        if (createdDir)
            QDir().rmdir(pxDir);
        return e.message();
    }
    QDir(tmpDir).removeRecursively();
    return QString();
}

} // namespace kvt::datadir
