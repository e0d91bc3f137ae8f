#include "engine/session.h"
#include "engine/dataset.h"
#include "engine/errors.h"
#include "engine/store.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlDriver>
#include <QUuid>
#include <sqlite3.h>
#include <algorithm>

namespace kvt {
namespace {

QHash<QString, Session *> &sessions()
{
    static QHash<QString, Session *> s;
    return s;
}
QHash<QString, Database *> &databases()
{
    static QHash<QString, Database *> d;
    return d;
}

void checkDirectory(const QString &what, const QString &dir)
{
    if (!dir.isEmpty() && !QFileInfo(dir).isDir())
        throw EngineError(QStringLiteral("%1 '%2' is not an existing directory").arg(what, dir));
}

} // namespace

// Declared types of the store map onto the framework's field types.
void mapDeclaredType(const QString &declared, int &type, int &size)
{
    const QString t = declared.trimmed().toUpper();
    size = 0;
    if (t.startsWith(QLatin1String("VARCHAR")) || t.startsWith(QLatin1String("CHAR"))) {
        type = ftString;
        const int open = t.indexOf(QLatin1Char('('));
        const int close = t.indexOf(QLatin1Char(')'));
        if (open > 0 && close > open)
            size = t.mid(open + 1, close - open - 1).trimmed().toInt();
        if (size <= 0)
            size = 255;
    } else if (t == QLatin1String("TEXT")) {
        type = ftString;
        size = 255;
    } else if (t == QLatin1String("DOUBLE") || t == QLatin1String("REAL") || t == QLatin1String("FLOAT") ||
               t == QLatin1String("NUMBER")) {
        type = ftFloat;
    } else if (t == QLatin1String("INTEGER") || t == QLatin1String("INT") || t == QLatin1String("LONG")) {
        type = ftInteger;
    } else if (t == QLatin1String("SMALLINT")) {
        type = ftSmallint;
    } else if (t == QLatin1String("BOOLEAN") || t == QLatin1String("LOGICAL")) {
        type = ftBoolean;
    } else if (t == QLatin1String("MEMO")) {
        type = ftMemo;
    } else if (t == QLatin1String("BLOB")) {
        type = ftBlob;
    } else if (t == QLatin1String("GRAPHIC")) {
        type = ftGraphic;
    } else if (t == QLatin1String("AUTOINC")) {
        type = ftAutoInc;
    } else if (t == QLatin1String("CURRENCY")) {
        type = ftCurrency;
    } else if (t == QLatin1String("DATE")) {
        type = ftDate;
    } else {
        type = ftString;
        size = 255;
    }
}

QString lockedMessage()
{
    return QStringLiteral("another user is writing to the same table and did not finish in time; the change "
                          "is kept unsaved, try again");
}

namespace {

const char *ProtectTable = "EngineProtection";

QByteArray verifier(const QByteArray &salt, const QString &password)
{
    QByteArray data = salt + password.toUtf8();
    for (int i = 0; i < 1000; ++i)
        data = QCryptographicHash::hash(data + salt, QCryptographicHash::Sha256);
    return data.toHex();
}

} // namespace

// ---------------------------------------------------------------- Session

Session::Session(const QString &name) { setSessionName(name); }

Session::~Session()
{
    close();
    if (!m_name.isEmpty() && sessions().value(m_name.toLower()) == this)
        sessions().remove(m_name.toLower());
}

void Session::setSessionName(const QString &name)
{
    if (!m_name.isEmpty() && sessions().value(m_name.toLower()) == this)
        sessions().remove(m_name.toLower());
    m_name = name;
    if (!m_name.isEmpty())
        sessions().insert(m_name.toLower(), this);
}

void Session::setNetFileDir(const QString &dir)
{
    if (m_open)
        throw EngineError(QStringLiteral("Cannot change the network control directory of an open session"));
    m_netFileDir = dir;
}

void Session::setPrivateDir(const QString &dir)
{
    if (m_open)
        throw EngineError(QStringLiteral("Cannot change the private directory of an open session"));
    m_privateDir = dir;
}

void Session::open()
{
    if (m_open)
        return;
    checkDirectory(QStringLiteral("Network control directory"), m_netFileDir);
    checkDirectory(QStringLiteral("Private directory"), m_privateDir);
    m_open = true;
}

void Session::close()
{
    if (!m_open)
        return;
    const auto all = databases();
    for (Database *db : all)
        if (db->session() == this)
            db->close();
    m_open = false;
}

void Session::addPassword(const QString &password)
{
    if (password.isEmpty())
        return;
    m_passwords.append(password.left(255));
}

void Session::removeAllPasswords() { m_passwords.clear(); }

Session *Session::find(const QString &name) { return sessions().value(name.toLower(), nullptr); }

// ---------------------------------------------------------------- Database

Database::Database(const QString &name)
{
    setDatabaseName(name);
}

Database::~Database()
{
    close();
    if (!m_name.isEmpty() && databases().value(m_name.toLower()) == this)
        databases().remove(m_name.toLower());
}

void Database::setDatabaseName(const QString &name)
{
    if (!m_name.isEmpty() && databases().value(m_name.toLower()) == this)
        databases().remove(m_name.toLower());
    m_name = name;
    if (!m_name.isEmpty())
        databases().insert(m_name.toLower(), this);
}

void Database::setParams(const QStringList &params)
{
    if (m_open)
        throw EngineError(QStringLiteral("Cannot change the parameters of an open database"));
    m_params = params;
}

void Database::setParam(const QString &name, const QString &value)
{
    if (m_open)
        throw EngineError(QStringLiteral("Cannot change the parameters of an open database"));
    const QString prefix = name + QLatin1Char('=');
    for (QString &p : m_params) {
        if (p.startsWith(prefix, Qt::CaseInsensitive)) {
            p = prefix + value;
            return;
        }
    }
    m_params.append(prefix + value);
}

QString Database::param(const QString &name) const
{
    const QString prefix = name + QLatin1Char('=');
    for (const QString &p : m_params)
        if (p.startsWith(prefix, Qt::CaseInsensitive))
            return p.mid(prefix.size());
    return QString();
}

Session *Database::session() const { return Session::find(m_sessionName); }

QString Database::storePath() const
{
    return QDir(param(QStringLiteral("PATH"))).filePath(QString::fromLatin1(StoreFileName));
}

void Database::open()
{
    if (m_open)
        return;
    Session *s = session();
    if (!s)
        throw EngineError(QStringLiteral("Session '%1' does not exist").arg(m_sessionName));
    s->open();
    const QString dir = param(QStringLiteral("PATH"));
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        throw EngineError(QStringLiteral("Data directory '%1' does not exist").arg(dir));
    const QString store = storePath();
    const QString server = QDir(dir).filePath(QString::fromLatin1(ServerFileName));
    const bool hasServer = QFileInfo::exists(server);
    if (hasServer && QFileInfo::exists(store))
        throw EngineError(QStringLiteral("The data directory '%1' holds both '%2' and '%3', so it is not clear which "
                                         "store to use; remove the one that is not in use")
                              .arg(dir, QString::fromLatin1(StoreFileName), QString::fromLatin1(ServerFileName)));
    std::unique_ptr<Store> opened = hasServer
                                        ? makeServerStore(*this, serverstore::readConnectionFile(server), m_busyTimeoutMs)
                                        : makeSqliteStore(*this, store, m_busyTimeoutMs);
    opened->open();
    opened->onRemoteChange = [this](const QString &table) { remoteChange(table); };
    m_store = std::move(opened);
    m_tables.clear();
    m_open = true;
    ++m_openCount;
}

void Database::close()
{
    if (!m_open)
        return;
    const auto sets = m_dataSets;
    for (DataSet *ds : sets)
        ds->close();
    m_dataSets.clear();
    m_tables.clear();
    m_granted.clear();
    m_statements.clear(); // before the connection goes
    for (sqlite3_stmt *st : std::as_const(m_rawStatements))
        sqlite3_finalize(st);
    m_rawStatements.clear();
    m_readDepth = 0;
    m_bulkDepth = 0;
    m_readOwned = false;
    m_store.reset();
    m_open = false;
}

QSqlDatabase Database::connection() const { return m_store ? m_store->connection() : QSqlDatabase(); }

bool Database::isServerStore() const { return m_store && m_store->isServer(); }

QString Database::storeName() const
{
    return m_store ? m_store->displayName() : QStringLiteral("store '%1'").arg(storePath());
}

QString Database::sqlTableName(const QString &tableName)
{
    QString n = tableName.trimmed();
    if (n.endsWith(QLatin1String(".DB"), Qt::CaseInsensitive))
        n.chop(3);
    return n;
}

const TableInfo &Database::tableInfo(const QString &tableName)
{
    const QString sql = sqlTableName(tableName);
    auto it = m_tables.find(sql.toLower());
    if (it != m_tables.end())
        return *it;
    if (!m_store)
        throw EngineError(QStringLiteral("Database '%1' is not open").arg(m_name));
    return *m_tables.insert(sql.toLower(), m_store->tableInfo(sql, tableName));
}

void Database::checkAccess(const QString &sqlTable)
{
    if (m_granted.contains(sqlTable, Qt::CaseInsensitive))
        return;
    QSqlDatabase db = connection();
    if (!protection::isProtected(db, sqlTable)) {
        m_granted << sqlTable;
        return;
    }
    Session *s = session();
    for (;;) {
        if (s) {
            for (const QString &p : s->passwords())
                if (protection::passwordFits(db, sqlTable, p)) {
                    m_granted << sqlTable;
                    return;
                }
        }
        bool retry = false;
        if (s && s->onPassword)
            s->onPassword(*s, retry);
        if (!retry)
            throw EngineError(QStringLiteral("Table '%1' is protected and no valid password was given").arg(sqlTable));
    }
}

namespace {

QString statementKey(const QString &sql, const void *owner)
{
    if (!owner)
        return sql;
    return QString::number(quintptr(owner), 16) + QLatin1Char('\n') + sql;
}

} // namespace

QSqlQuery &Database::statement(const QString &sql, const void *owner)
{
    const QString key = statementKey(sql, owner);
    auto it = m_statements.find(key);
    if (it != m_statements.end())
        return **it;
    auto q = std::make_shared<QSqlQuery>(connection());
    // The server's driver reads a forward-only result row by row from the connection, which then
    // runs nothing else until it is read out; its statements take their rows whole instead.
    q->setForwardOnly(!isServerStore());
    if (!q->prepare(sql))
        throw failure(q->lastError(), QString());
    return *m_statements.insert(key, q).value();
}

sqlite3_stmt *Database::rawStatement(const QString &sql)
{
    auto it = m_rawStatements.find(sql);
    if (it != m_rawStatements.end())
        return *it;
    const QVariant handle = connection().driver()->handle();
    sqlite3 *db = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
                      ? *static_cast<sqlite3 *const *>(handle.constData())
                      : nullptr;
    if (!db)
        throw EngineError(QStringLiteral("The store has no SQLite handle"));
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare16_v3(db, sql.utf16(), int(sql.size() * sizeof(char16_t)), SQLITE_PREPARE_PERSISTENT, &st,
                             nullptr) != SQLITE_OK) {
        const QString msg = QString::fromUtf16(static_cast<const char16_t *>(sqlite3_errmsg16(db)));
        const int code = sqlite3_extended_errcode(db);
        sqlite3_finalize(st);
        throw failure(code, QString(), msg);
    }
    m_rawStatements.insert(sql, st);
    return st;
}

void Database::releaseStatements(const void *owner)
{
    if (!owner)
        return;
    const QString prefix = QString::number(quintptr(owner), 16) + QLatin1Char('\n');
    for (auto it = m_statements.begin(); it != m_statements.end();)
        it = it.key().startsWith(prefix) ? m_statements.erase(it) : std::next(it);
}

bool Database::beginRead()
{
    if (!m_open)
        return false;
    if (m_readDepth > 0) {
        ++m_readDepth;
        return true;
    }
    // A transaction somebody else began is left to them; the reads simply join it. Should the
    // begin fail, the reads run each on their own, as without a scope.
    const bool owned = m_store->beginRead();
    ++m_readDepth;
    m_readOwned = owned;
    return true;
}

void Database::endRead()
{
    if (m_readDepth == 0)
        return;
    if (--m_readDepth == 0)
        leaveSharedRead();
}

void Database::leaveSharedRead()
{
    if (!m_readOwned || !m_open)
        return;
    m_readOwned = false;
    // Nothing was written under the shared read, so dropping it when the commit fails loses
    // nothing. This runs from destructors: it never throws.
    m_store->commitRead();
}

BulkReadScope::BulkReadScope(Database *db) : m_db(db)
{
    if (!m_db || !m_db->isOpen() || !m_db->store())
        return;
    m_openCount = m_db->openCount();
    m_counted = true;
    if (m_db->m_bulkDepth++ == 0)
        m_db->store()->setBulkRead(true);
}

BulkReadScope::~BulkReadScope()
{
    if (!m_counted || m_db->openCount() != m_openCount || m_db->m_bulkDepth == 0)
        return; // a close in between ended every scope of the old open
    if (--m_db->m_bulkDepth == 0 && m_db->isOpen() && m_db->store()) {
        try {
            m_db->store()->setBulkRead(false);
        } catch (...) {
            // Only the cache's size is at stake; a destructor must not throw.
        }
    }
}

ReadScope::ReadScope(Database *db) : m_db(db)
{
    if (m_db) {
        m_joined = m_db->beginRead();
        m_openCount = m_db->openCount();
    }
}

ReadScope::~ReadScope()
{
    if (m_joined && m_db->isOpen() && m_db->openCount() == m_openCount)
        m_db->endRead();
}

QString Database::damagedMessage() const
{
    return QStringLiteral("The store '%1' is damaged (%2). Nothing more is written to it, and what can still be "
                          "read is shown read-only. Restore the file from a backup")
        .arg(m_damagePath, m_damage);
}

void Database::requireWritable() const
{
    if (isDamaged())
        throw EngineError(damagedMessage());
}

namespace {

bool tellsOfDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

} // namespace

EngineError Database::failure(int sqliteCode, const QString &context, const QString &message)
{
    if (tellsOfDamage(sqliteCode)) {
        if (!isDamaged()) {
            m_damage = message;
            m_damagePath = storePath();
        }
        return EngineError(damagedMessage());
    }
    return EngineError(context.isEmpty() ? message : context + QStringLiteral(": ") + message);
}

EngineError Database::failure(const QSqlError &error, const QString &context)
{
    if (m_store && m_store->isServer())
        return m_store->failure(error, context);
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    if (ok && tellsOfDamage(code))
        return failure(code, context, error.databaseText().isEmpty() ? error.text() : error.databaseText());
    return failure(ok ? code : 0, context, error.text());
}

void Database::registerDataSet(DataSet *ds)
{
    if (std::find(m_dataSets.begin(), m_dataSets.end(), ds) == m_dataSets.end())
        m_dataSets.push_back(ds);
}

void Database::unregisterDataSet(DataSet *ds)
{
    m_dataSets.erase(std::remove(m_dataSets.begin(), m_dataSets.end(), ds), m_dataSets.end());
}

void Database::remoteChange(const QString &sqlTable)
{
    const auto sets = m_dataSets;
    for (DataSet *ds : sets) {
        auto *t = qobject_cast<Table *>(ds);
        if (!t || t->sqlTableName().compare(sqlTable, Qt::CaseInsensitive) != 0)
            continue;
        if (std::find(m_dataSets.begin(), m_dataSets.end(), ds) == m_dataSets.end())
            continue; // closed by an earlier refresh's handlers
        t->remoteChanged();
    }
}

Database *Database::find(const QString &name) { return databases().value(name.toLower(), nullptr); }

// ---------------------------------------------------------------- protection

namespace protection {

static bool hasProtectionTable(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (db.driverName() != QLatin1String("QSQLITE")) {
        q.prepare(QStringLiteral("select 1 from pg_class where relkind = 'r' and relname = lower(?) and "
                                 "relnamespace = current_schema()::regnamespace"));
        q.addBindValue(QString::fromLatin1(ProtectTable));
        return q.exec() && q.next();
    }
    q.prepare(QStringLiteral("select 1 from sqlite_master where type='table' and name=?"));
    q.addBindValue(QString::fromLatin1(ProtectTable));
    return q.exec() && q.next();
}

void protectTable(QSqlDatabase &db, const QString &sqlTable, const QString &password)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("create table if not exists %1 (TableName VARCHAR(64) NOT NULL PRIMARY KEY, "
                               "Salt VARCHAR(64), Verifier VARCHAR(128))")
                    .arg(QString::fromLatin1(ProtectTable))))
        throw EngineError(q.lastError().text());
    QByteArray salt(16, '\0');
    for (auto &c : salt)
        c = char(QRandomGenerator::system()->bounded(256));
    salt = salt.toHex();
    q.prepare(QStringLiteral("delete from %1 where TableName = ?").arg(QString::fromLatin1(ProtectTable)));
    q.addBindValue(sqlTable.toLower());
    if (!q.exec())
        throw EngineError(q.lastError().text());
    q.prepare(QStringLiteral("insert into %1 (TableName, Salt, Verifier) values (?, ?, ?)")
                  .arg(QString::fromLatin1(ProtectTable)));
    q.addBindValue(sqlTable.toLower());
    q.addBindValue(QString::fromLatin1(salt));
    q.addBindValue(QString::fromLatin1(verifier(salt, password)));
    if (!q.exec())
        throw EngineError(q.lastError().text());
}

bool isProtected(QSqlDatabase &db, const QString &sqlTable)
{
    if (!hasProtectionTable(db))
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select 1 from %1 where TableName=?").arg(QString::fromLatin1(ProtectTable)));
    q.addBindValue(sqlTable.toLower());
    return q.exec() && q.next();
}

bool passwordFits(QSqlDatabase &db, const QString &sqlTable, const QString &password)
{
    if (!hasProtectionTable(db))
        return true;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select Salt, Verifier from %1 where TableName=?").arg(QString::fromLatin1(ProtectTable)));
    q.addBindValue(sqlTable.toLower());
    if (!q.exec() || !q.next())
        return true;
    const QByteArray salt = q.value(0).toString().toLatin1();
    return verifier(salt, password) == q.value(1).toString().toLatin1();
}

} // namespace protection

} // namespace kvt
