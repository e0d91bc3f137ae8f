#include "engine/session.h"
#include "engine/dataset.h"
#include "engine/errors.h"
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
    : m_connection(QStringLiteral("kvt-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
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
    if (!QFileInfo(store).isFile())
        throw EngineError(QStringLiteral("Store '%1' does not exist").arg(store));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(store);
        // A second editor on the same store waits for its lock instead of failing at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const QString msg = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            throw EngineError(QStringLiteral("Cannot open store '%1': %2").arg(store, msg));
        }
        QSqlQuery check(db);
        // A large category's tree and the selections in it revisit the control table's pages;
        // 4 MiB of page cache, twice SQLite's default, keeps a selection's pages at hand without
        // letting an Expand All fill much more (the system's file cache holds the rest).
        check.exec(QStringLiteral("pragma cache_size = -4096"));
        if (!check.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QSqlError error = check.lastError();
            check = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            throw failure(error, QStringLiteral("Cannot read store '%1'").arg(store));
        }
    }
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
    m_readOwned = false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
    m_open = false;
}

QSqlDatabase Database::connection() const { return QSqlDatabase::database(m_connection, false); }

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

    QSqlDatabase db = connection();
    TableInfo info;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select name from sqlite_master where type='table' and lower(name)=lower(?)"));
    q.addBindValue(sql);
    if (!q.exec())
        throw failure(q.lastError(), QStringLiteral("Cannot read table '%1'").arg(tableName));
    if (!q.next()) {
        // A store without any table (a file of 0 bytes is one) is reported as such: no table is
        // missing from it, it has lost all of them.
        QSqlQuery any(db);
        if (any.exec(QStringLiteral("select count(*) from sqlite_master")) && any.next() && any.value(0).toInt() == 0)
            throw EngineError(QStringLiteral("The store '%1' is empty (%2): it holds no tables. Restore the file "
                                             "from a backup")
                                  .arg(storePath(), QFileInfo(storePath()).size() == 0
                                                        ? QStringLiteral("the file has 0 bytes")
                                                        : QStringLiteral("no table is defined in it")));
        throw EngineError(QStringLiteral("Table '%1' does not exist in '%2'").arg(tableName, storePath()));
    }
    info.sqlName = q.value(0).toString();

    QSqlQuery cols(db);
    if (!cols.exec(QStringLiteral("pragma table_info(\"%1\")").arg(info.sqlName)))
        throw failure(cols.lastError(), QStringLiteral("Cannot read table '%1'").arg(tableName));
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
    return *m_tables.insert(sql.toLower(), info);
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
    q->setForwardOnly(true);
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

namespace {

/// Runs a statement without rows (begin, commit, rollback); false when SQLite refuses it.
bool runRaw(sqlite3_stmt *st)
{
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    return rc == SQLITE_DONE;
}

} // namespace

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
    bool owned = false;
    try {
        owned = runRaw(rawStatement(QStringLiteral("begin")));
    } catch (const EngineError &) {
        owned = false;
    }
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
    try {
        if (!runRaw(rawStatement(QStringLiteral("commit"))))
            runRaw(rawStatement(QStringLiteral("rollback")));
    } catch (const EngineError &) {
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

Database *Database::find(const QString &name) { return databases().value(name.toLower(), nullptr); }

// ---------------------------------------------------------------- protection

namespace protection {

static bool hasProtectionTable(QSqlDatabase &db)
{
    QSqlQuery q(db);
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
    q.prepare(QStringLiteral("insert or replace into %1 (TableName, Salt, Verifier) values (?, ?, ?)")
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
