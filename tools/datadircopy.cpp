#include "tools/datadircopy.h"
#include "engine/session.h"
#include "engine/store.h"
#include "engine/journal.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <cmath>
#include <memory>
#include <vector>

namespace kvt::datadir {

namespace {

struct Failure {
    QString message;
};

const char *ProtectionTable = "EngineProtection";

QString quotedName(const QString &name)
{
    QString s = name;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

/// One table of a store: its SQLite definition, its columns as the store spells them, its rows.
struct TableCopy {
    QString name;       // as written ("RepCtrl")
    QString sqlName;    // as the source store addresses it
    QStringList ddl;    // CREATE TABLE and CREATE INDEX, SQLite's dialect
    QStringList columns;
};

/// A Qt SQL connection removed again at the end.
class Connection {
public:
    Connection() : m_name(QStringLiteral("datadir-copy-") + QUuid::createUuid().toString(QUuid::Id128)) {}
    ~Connection()
    {
        if (m_db.isValid()) {
            m_db.close();
            m_db = QSqlDatabase();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    void openSqlite(const QString &path)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        if (!m_db.open())
            throw Failure{QStringLiteral("Cannot open store '%1': %2").arg(path, m_db.lastError().text())};
        m_label = QStringLiteral("store '%1'").arg(path);
    }
    void openServer(const QString &conninfo)
    {
        try {
            m_db = serverstore::connect(m_name, conninfo);
        } catch (const EngineError &e) {
            throw Failure{e.message()};
        }
        QString server, database;
        serverstore::checkConnection(conninfo, &server, &database);
        m_label = QStringLiteral("database '%1' on server '%2'").arg(database, server);
        m_server = true;
        exec(QStringLiteral("set client_min_messages = warning"));
    }
    QSqlDatabase &db() { return m_db; }
    bool isServer() const { return m_server; }
    const QString &label() const { return m_label; }
    void exec(const QString &sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(sql))
            throw Failure{QStringLiteral("%1: %2").arg(m_label, q.lastError().text())};
    }

private:
    QString m_name;
    QSqlDatabase m_db;
    QString m_label;
    bool m_server = false;
};

QSqlQuery run(Connection &c, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q(c.db());
    q.setForwardOnly(!c.isServer());
    if (!q.prepare(sql))
        throw Failure{QStringLiteral("%1: %2").arg(c.label(), q.lastError().text())};
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec())
        throw Failure{QStringLiteral("%1: %2").arg(c.label(), q.lastError().text())};
    return q;
}

/// The edit journal, made on either kind with its own numbering, its rows in their order.
void copyJournal(Connection &src, Connection &dst)
{
    dst.exec(journal::createStatement(dst.isServer()));
    QSqlQuery probe(src.db());
    if (!probe.exec(QStringLiteral("select 1 from EditJournal where 1 = 0")))
        return; // a store from before the journal
    QSqlQuery rows = run(src, QStringLiteral("select JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn, JrnOld, "
                                             "JrnNew from EditJournal order by JrnId"));
    while (rows.next()) {
        QVariantList values;
        for (int i = 0; i < 8; ++i)
            values << rows.value(i);
        run(dst, QStringLiteral("insert into EditJournal (JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn, "
                                "JrnOld, JrnNew) values (?, ?, ?, ?, ?, ?, ?, ?)"),
            values);
    }
}

std::vector<TableCopy> sqliteTables(Connection &c)
{
    std::vector<TableCopy> out;
    QSqlQuery q = run(c, QStringLiteral("select name, sql from sqlite_master where type = 'table' and name not like "
                                        "'sqlite\\_%' escape '\\' order by rowid"));
    while (q.next()) {
        TableCopy t;
        t.name = t.sqlName = q.value(0).toString();
        if (t.name.compare(QLatin1String(ProtectionTable), Qt::CaseInsensitive) == 0 ||
            t.name.compare(QLatin1String(journal::TableName), Qt::CaseInsensitive) == 0)
            continue; // made and copied by copyJournal()
        t.ddl << q.value(1).toString();
        out.push_back(t);
    }
    for (TableCopy &t : out) {
        QSqlQuery ix = run(c, QStringLiteral("select sql from sqlite_master where type = 'index' and tbl_name = ? and "
                                             "sql is not null order by rowid"),
                           {t.name});
        while (ix.next())
            t.ddl << ix.value(0).toString();
        QSqlQuery cols = run(c, QStringLiteral("pragma table_info(%1)").arg(quotedName(t.name)));
        while (cols.next())
            t.columns << cols.value(1).toString();
    }
    return out;
}

/// The server keeps the names as written and the declared types in comments; the SQLite
/// definitions are made again from them.
std::vector<TableCopy> serverTables(Connection &c)
{
    std::vector<TableCopy> out;
    for (const QString &rel : serverstore::tables(c.db())) {
        TableCopy t;
        t.sqlName = rel;
        QSqlQuery name = run(c, QStringLiteral("select coalesce(obj_description(c.oid, 'pg_class'), c.relname) from "
                                               "pg_class c where c.relname = ? and c.relnamespace = "
                                               "current_schema()::regnamespace"),
                             {rel});
        name.next();
        t.name = name.value(0).toString();
        QSqlQuery cols = run(c, QStringLiteral("select a.attname, col_description(a.attrelid, a.attnum), a.attnotnull, "
                                               "coalesce((select k.n from pg_index i, unnest(i.indkey) with ordinality "
                                               "as k(attnum, n) where i.indrelid = a.attrelid and i.indisprimary and "
                                               "k.attnum = a.attnum), 0) from pg_attribute a join pg_class r on "
                                               "r.oid = a.attrelid where r.relname = ? and r.relnamespace = "
                                               "current_schema()::regnamespace and a.attnum > 0 and not a.attisdropped "
                                               "and a.attname <> 'kvt_rowid' order by a.attnum"),
                                {rel});
        QStringList defs;
        std::vector<std::pair<int, QString>> pk;
        QHash<QString, QString> names;
        while (cols.next()) {
            const QString comment = cols.value(1).toString();
            const int tab = comment.indexOf(QLatin1Char('\t'));
            const QString col = tab > 0 ? comment.left(tab) : cols.value(0).toString();
            const QString declared = tab > 0 ? comment.mid(tab + 1) : QString();
            names.insert(cols.value(0).toString(), col);
            t.columns << cols.value(0).toString();
            QString def = quotedName(col);
            if (!declared.isEmpty())
                def += QLatin1Char(' ') + declared;
            if (cols.value(2).toBool())
                def += QStringLiteral(" NOT NULL");
            defs << def;
            if (cols.value(3).toInt() > 0)
                pk.emplace_back(cols.value(3).toInt(), quotedName(col));
        }
        if (!pk.empty()) {
            std::sort(pk.begin(), pk.end());
            QStringList keys;
            for (const auto &p : pk)
                keys << p.second;
            defs << QStringLiteral("PRIMARY KEY (%1)").arg(keys.join(QStringLiteral(", ")));
        }
        t.ddl << QStringLiteral("CREATE TABLE %1 (%2)").arg(quotedName(t.name), defs.join(QStringLiteral(", ")));
        QSqlQuery ix = run(c, QStringLiteral("select obj_description(ic.oid, 'pg_class'), i.indisunique, "
                                             "array_to_string(array(select a.attname from unnest(i.indkey) with "
                                             "ordinality as k(attnum, n) join pg_attribute a on a.attrelid = i.indrelid "
                                             "and a.attnum = k.attnum order by k.n), chr(9)) from pg_index i join "
                                             "pg_class ic on ic.oid = i.indexrelid join pg_class r on r.oid = i.indrelid "
                                             "where r.relname = ? and r.relnamespace = current_schema()::regnamespace "
                                             "and not i.indisprimary order by ic.relname"),
                           {rel});
        while (ix.next()) {
            QStringList columns;
            for (const QString &a : ix.value(2).toString().split(QLatin1Char('\t'), Qt::SkipEmptyParts))
                columns << quotedName(names.value(a, a));
            t.ddl << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                         .arg(ix.value(1).toBool() ? QStringLiteral("UNIQUE ") : QString(), quotedName(ix.value(0).toString()),
                              quotedName(t.name), columns.join(QStringLiteral(", ")));
        }
        out.push_back(t);
    }
    return out;
}

QString selectAll(Connection &c, const TableCopy &t, const QString &sqlName)
{
    QStringList cols;
    for (const QString &col : t.columns)
        cols << quotedName(c.isServer() ? col.toLower() : col);
    const QString table = c.isServer() ? quotedName(sqlName.toLower()) : quotedName(sqlName);
    return QStringLiteral("select %1 from %2 order by %3")
        .arg(cols.join(QLatin1Char(',')), table, c.isServer() ? QStringLiteral("kvt_rowid") : QStringLiteral("rowid"));
}

/// Values as both stores give them back: logicals and whole numbers as numbers, empty as null.
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const auto numeric = [](const QVariant &v) {
        switch (v.typeId()) {
        case QMetaType::Bool: case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
        case QMetaType::ULongLong: case QMetaType::Double: case QMetaType::Float:
            return true;
        default:
            return false;
        }
    };
    if (numeric(a) && numeric(b)) {
        if (a.typeId() != QMetaType::Double && b.typeId() != QMetaType::Double)
            return a.toLongLong() == b.toLongLong();
        return a.toDouble() == b.toDouble();
    }
    if (a.typeId() == QMetaType::QByteArray || b.typeId() == QMetaType::QByteArray)
        return a.toByteArray() == b.toByteArray();
    return a.toString() == b.toString();
}

QVariant forDestination(const QVariant &v)
{
    if (v.typeId() == QMetaType::Bool)
        return QVariant(v.toBool() ? 1 : 0);
    return v;
}

void copyTable(Connection &src, Connection &dst, const TableCopy &t, const CopyOptions &o)
{
    const auto stopped = [&] { return o.cancelled && o.cancelled(); };
    std::vector<QVector<QVariant>> rows;
    {
        QSqlQuery q = run(src, selectAll(src, t, t.sqlName));
        while (q.next()) {
            QVector<QVariant> r(t.columns.size());
            for (int i = 0; i < t.columns.size(); ++i)
                r[i] = q.value(i);
            rows.push_back(std::move(r));
            if (stopped())
                throw Failure{QStringLiteral("Stopped by Ctrl+C")};
        }
    }
    QStringList cols;
    for (const QString &col : t.columns)
        cols << quotedName(dst.isServer() ? col.toLower() : col);
    const QString table = quotedName(dst.isServer() ? t.name.toLower() : t.name);
    // Many rows per statement: a server answers each statement over the network.
    const int perStatement = dst.isServer() ? std::max(1, 2000 / std::max(1, int(t.columns.size()))) : 1;
    QString marks = QStringLiteral("(") + QStringList(QVector<QString>(t.columns.size(), QStringLiteral("?"))).join(QLatin1Char(',')) +
                    QStringLiteral(")");
    std::unique_ptr<QSqlQuery> full;
    for (size_t first = 0; first < rows.size(); first += size_t(perStatement)) {
        const size_t count = std::min(rows.size() - first, size_t(perStatement));
        QSqlQuery *q = nullptr;
        QSqlQuery partial(dst.db());
        if (count == size_t(perStatement) && full) {
            q = full.get();
        } else {
            QStringList all;
            for (size_t i = 0; i < count; ++i)
                all << marks;
            const QString sql = QStringLiteral("insert into %1 (%2) values %3").arg(table, cols.join(QLatin1Char(',')), all.join(QLatin1Char(',')));
            if (count == size_t(perStatement)) {
                full = std::make_unique<QSqlQuery>(dst.db());
                q = full.get();
            } else {
                q = &partial;
            }
            if (!q->prepare(sql))
                throw Failure{QStringLiteral("%1: %2").arg(dst.label(), q->lastError().text())};
        }
        int k = 0;
        for (size_t i = 0; i < count; ++i)
            for (const QVariant &v : rows[first + i])
                q->bindValue(k++, forDestination(v));
        if (!q->exec())
            throw Failure{QStringLiteral("Cannot copy the rows %1 to %2 of table '%3' into the %4: %5")
                              .arg(first + 1)
                              .arg(first + count)
                              .arg(t.name, dst.label(), q->lastError().text())};
        if (stopped())
            throw Failure{QStringLiteral("Stopped by Ctrl+C")};
    }
    // Read back in the order they were written, and compare row by row.
    QSqlQuery back = run(dst, selectAll(dst, t, t.name));
    size_t n = 0;
    while (back.next()) {
        if (n >= rows.size())
            throw Failure{QStringLiteral("Table '%1' has more rows in the %2 than were written").arg(t.name, dst.label())};
        for (int i = 0; i < t.columns.size(); ++i)
            if (!sameValue(rows[n][i], back.value(i)))
                throw Failure{QStringLiteral("Table '%1', row %2, column '%3' reads back as '%4' instead of '%5'")
                                  .arg(t.name)
                                  .arg(n + 1)
                                  .arg(t.columns[i], back.value(i).toString(), rows[n][i].toString())};
        ++n;
    }
    if (n != rows.size())
        throw Failure{QStringLiteral("Table '%1' reads back with %2 rows instead of %3").arg(t.name).arg(n).arg(rows.size())};
    if (o.progress)
        o.progress(QStringLiteral("%1: %2 rows").arg(t.name).arg(rows.size()));
}

bool hasProtection(Connection &c)
{
    if (c.isServer()) {
        QSqlQuery q = run(c, QStringLiteral("select 1 from pg_class where relkind = 'r' and relname = 'engineprotection' "
                                            "and relnamespace = current_schema()::regnamespace"));
        return q.next();
    }
    QSqlQuery q = run(c, QStringLiteral("select 1 from sqlite_master where type = 'table' and name = ?"),
                      {QString::fromLatin1(ProtectionTable)});
    return q.next();
}

void copyProtection(Connection &src, Connection &dst)
{
    if (!hasProtection(src))
        return;
    dst.exec(QStringLiteral("create table %1 (TableName VARCHAR(64) NOT NULL PRIMARY KEY, Salt VARCHAR(64), "
                            "Verifier VARCHAR(128))")
                 .arg(QString::fromLatin1(ProtectionTable)));
    QSqlQuery q = run(src, QStringLiteral("select TableName, Salt, Verifier from %1").arg(QString::fromLatin1(ProtectionTable)));
    while (q.next())
        run(dst, QStringLiteral("insert into %1 (TableName, Salt, Verifier) values (?, ?, ?)").arg(QString::fromLatin1(ProtectionTable)),
            {q.value(0), q.value(1), q.value(2)});
}

} // namespace

QString copyStore(const QString &srcDir, const QString &dstDir, const CopyOptions &o)
{
    const QString srcSqlite = QDir(srcDir).filePath(QString::fromLatin1(Database::StoreFileName));
    const QString srcServer = QDir(srcDir).filePath(QString::fromLatin1(Database::ServerFileName));
    const QString dstSqlite = QDir(dstDir).filePath(QString::fromLatin1(Database::StoreFileName));
    const QString dstServer = QDir(dstDir).filePath(QString::fromLatin1(Database::ServerFileName));
    const bool fromServer = QFileInfo::exists(srcServer);
    if (fromServer && QFileInfo::exists(srcSqlite))
        return QStringLiteral("'%1' holds both %2 and %3; remove the one that is not in use")
            .arg(srcDir, QString::fromLatin1(Database::StoreFileName), QString::fromLatin1(Database::ServerFileName));
    if (!fromServer && !QFileInfo(srcSqlite).isFile())
        return QStringLiteral("'%1' holds no store (%2 or %3)")
            .arg(srcDir, QString::fromLatin1(Database::StoreFileName), QString::fromLatin1(Database::ServerFileName));
    if (QFileInfo::exists(dstSqlite) || QFileInfo::exists(dstServer))
        return QStringLiteral("'%1' already holds a store (%2); nothing was changed")
            .arg(dstDir, QFileInfo::exists(dstSqlite) ? dstSqlite : dstServer);
    if (QFileInfo::exists(dstDir) && !QFileInfo(dstDir).isDir())
        return QStringLiteral("'%1' exists and is not a directory").arg(dstDir);
    if (!o.server.isEmpty()) {
        const QString problem = serverstore::checkConnection(o.server);
        if (!problem.isEmpty())
            return problem;
    }

    const bool madeDir = !QFileInfo::exists(dstDir);
    QString tmp;
    QString result;
    try {
        Connection src;
        if (fromServer) {
            try {
                src.openServer(serverstore::readConnectionFile(srcServer));
            } catch (const EngineError &e) {
                throw Failure{e.message()};
            }
        } else {
            src.openSqlite(srcSqlite);
        }
        const std::vector<TableCopy> tables = fromServer ? serverTables(src) : sqliteTables(src);
        if (tables.empty())
            throw Failure{QStringLiteral("The %1 holds no tables").arg(src.label())};
        if (!QDir().mkpath(dstDir))
            throw Failure{QStringLiteral("Cannot create directory '%1'").arg(dstDir)};
        Connection dst;
        if (!o.server.isEmpty()) {
            dst.openServer(o.server);
            if (!serverstore::tables(dst.db()).isEmpty())
                throw Failure{QStringLiteral("The %1 already holds the editor's tables; nothing was changed").arg(dst.label())};
        } else {
            tmp = QDir(dstDir).filePath(QStringLiteral(".KVT3.sqlite.copy-%1").arg(QUuid::createUuid().toString(QUuid::Id128)));
            dst.openSqlite(tmp);
        }
        // One transaction on either kind: a failure or Ctrl+C before the commit leaves nothing.
        dst.exec(QStringLiteral("begin"));
        try {
            if (dst.isServer())
                for (const QString &s : serverstore::setupStatements())
                    dst.exec(s);
            for (const TableCopy &t : tables) {
                QStringList ddl = t.ddl;
                if (dst.isServer()) {
                    try {
                        ddl = serverstore::createStatements(t.ddl);
                    } catch (const EngineError &e) {
                        throw Failure{QStringLiteral("Table '%1': %2").arg(t.name, e.message())};
                    }
                }
                for (const QString &s : ddl)
                    dst.exec(s);
                copyTable(src, dst, t, o);
            }
            copyProtection(src, dst);
            copyJournal(src, dst);
            if (o.cancelled && o.cancelled())
                throw Failure{QStringLiteral("Stopped by Ctrl+C")};
            if (dst.isServer()) {
                // The connection file is in place before the commit; should the commit fail it goes again.
                QSaveFile f(dstServer);
                if (!f.open(QIODevice::WriteOnly) || f.write(o.server.trimmed().toUtf8() + '\n') < 0 || !f.commit())
                    throw Failure{QStringLiteral("Cannot write '%1': %2").arg(dstServer, f.errorString())};
            }
            dst.exec(QStringLiteral("commit"));
        } catch (...) {
            QSqlQuery(dst.db()).exec(QStringLiteral("rollback"));
            if (dst.isServer())
                QFile::remove(dstServer);
            throw;
        }
    } catch (const Failure &f) {
        result = f.message;
    }
    if (result.isEmpty() && !tmp.isEmpty() && !QFile::rename(tmp, dstSqlite))
        result = QStringLiteral("Cannot rename '%1' to '%2'").arg(tmp, dstSqlite);
    if (!result.isEmpty()) {
        if (!tmp.isEmpty())
            QFile::remove(tmp);
        if (madeDir)
            QDir(dstDir).removeRecursively();
        if (!result.contains(QLatin1String("nothing was")))
            result += QStringLiteral("; nothing was copied");
    }
    return result;
}

} // namespace kvt::datadir
