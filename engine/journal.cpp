#include "engine/journal.h"
#include "engine/dataset.h"
#include "engine/errors.h"
#include "engine/session.h"
#include "engine/store.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTimeZone>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace kvt::journal {

std::function<void()> afterRowWrite;
std::function<void(const Step &)> onPosted;

namespace {

QVariant asText(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(v.toByteArray().toHex());
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

} // namespace

bool isJournaled(const QString &sqlTable)
{
    const QString t = sqlTable.toLower();
    return t == QLatin1String("reports") || t == QLatin1String("repband") || t == QLatin1String("repctrl");
}

QString createStatement(bool server)
{
    // Names unquoted, so the server folds them as it folds the editor's own.
    return QStringLiteral("create table if not exists EditJournal (JrnId %1 primary key, JrnTime text not null, "
                          "JrnUser text, JrnHost text, JrnTable text not null, JrnKey text not null, "
                          "JrnColumn text not null, JrnOld text, JrnNew text)")
        .arg(server ? QStringLiteral("bigserial") : QStringLiteral("integer"));
}

QString userName()
{
    for (const char *var : {"USER", "LOGNAME", "USERNAME"}) {
        const QString v = qEnvironmentVariable(var);
        if (!v.isEmpty())
            return v;
    }
#ifdef Q_OS_UNIX
    // A process started without a login environment (a service, a desktop launcher) still has its account.
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
#endif
    return QStringLiteral("unknown");
}

QString hostName() { return QSysInfo::machineHostName(); }

QString keyText(const QStringList &columns, const QVariantList &values)
{
    QStringList parts;
    for (int i = 0; i < columns.size() && i < values.size(); ++i)
        parts << columns[i] + QLatin1Char('=') + asText(values[i]).toString();
    return parts.join(QStringLiteral("; "));
}

void record(Database &db, const QString &tableName, const QString &key, const QVector<Change> &changes)
{
    if (changes.isEmpty())
        return;
    Store &store = *db.store();
    const QString context = QStringLiteral("Cannot write the edit journal of table '%1'").arg(tableName);
    // Inside the post's transaction, so a store that takes no writes gets no journal either; a
    // no-op once it exists, and cheaper than finding out whether a store was replaced meanwhile.
    store.execute(createStatement(store.isServer()), {}, context);
    const QString sql = QStringLiteral("insert into EditJournal (JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, "
                                       "JrnColumn, JrnOld, JrnNew) values (?, ?, ?, ?, ?, ?, ?, ?)");
    const QString time = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    const QString user = userName(), host = hostName();
    for (const Change &c : changes)
        store.execute(sql, {time, user, host, tableName, key, c.column, asText(c.oldValue), asText(c.newValue)},
                      context);
}

QVector<Entry> read(QSqlDatabase db, const QString &tableName, const QString &key, const QDateTime &since)
{
    QString sql = QStringLiteral("select JrnId, JrnTime, JrnUser, JrnHost, JrnTable, JrnKey, JrnColumn, JrnOld, "
                                 "JrnNew from EditJournal where 1 = 1");
    QVariantList binds;
    if (!tableName.isEmpty()) {
        sql += QStringLiteral(" and lower(JrnTable) = lower(?) and JrnKey = ?");
        binds << tableName << key;
    }
    if (since.isValid()) {
        sql += QStringLiteral(" and JrnTime >= ?");
        binds << since.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    }
    sql += QStringLiteral(" order by JrnId desc");
    QSqlQuery q(db);
    q.prepare(sql);
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec())
        throw EngineError(QStringLiteral("Cannot read the edit journal: ") + q.lastError().text());
    QVector<Entry> out;
    while (q.next()) {
        Entry e;
        e.id = q.value(0).toLongLong();
        e.time = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
        e.time.setTimeSpec(Qt::UTC);
        e.user = q.value(2).toString();
        e.host = q.value(3).toString();
        e.table = q.value(4).toString();
        e.key = q.value(5).toString();
        e.column = q.value(6).toString();
        e.oldValue = q.value(7);
        e.newValue = q.value(8);
        out << e;
    }
    return out;
}

QVector<Entry> read(Database &db, const QString &tableName, const QString &key)
{
    QSqlDatabase conn = db.connection();
    if (!QSqlQuery(conn).exec(QStringLiteral("select 1 from EditJournal where 1 = 0")))
        return {}; // a store from before the journal
    return read(conn, tableName, key);
}

QString valueText(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("(empty)") : v.toString();
}

QString line(const Entry &e)
{
    return QStringLiteral("%1 %2@%3 %4 [%5] %6: %7 -> %8")
        .arg(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.user, e.host, e.table, e.key, e.column,
             valueText(e.oldValue), valueText(e.newValue));
}

RevertResult revert(Database &db, const Step &step, bool undo)
{
    RevertResult result;
    Table t(nullptr, QStringLiteral("journal-revert"));
    t.setDatabaseName(db.databaseName());
    t.setSessionName(db.sessionName());
    t.setTableName(step.table);
    t.open();
    const auto onRow = [&] {
        for (int i = 0; i < step.keyColumns.size(); ++i) {
            Field *f = t.findField(step.keyColumns[i]);
            if (!f || asText(f->value()) != asText(step.keyValues.value(i)))
                return false;
        }
        return true;
    };
    bool found = false;
    for (t.first(); !t.eof(); t.next())
        if (onRow()) {
            found = true;
            break;
        }
    const auto newestSince = [&] {
        const QVector<Entry> entries = read(db, step.table, step.key);
        return entries.isEmpty() ? Entry() : entries.first();
    };
    if (!found) {
        result.missing = true;
        result.since = newestSince();
        return result;
    }
    for (const Change &c : step.changes) {
        Field *f = t.findField(c.column);
        const QVariant expected = undo ? c.newValue : c.oldValue;
        if (!f || asText(f->value()) != asText(expected)) {
            result.since = newestSince();
            return result;
        }
    }
    t.edit();
    try {
        for (const Change &c : step.changes) {
            const QVariant v = undo ? c.oldValue : c.newValue;
            Field *f = t.findField(c.column);
            if (v.isNull())
                f->clear();
            else if (v.typeId() == QMetaType::QString)
                f->setAsString(v.toString()); // as the journal holds it
            else
                f->setValue(v);
        }
        t.post();
    } catch (...) {
        if (t.state() != DataSetState::Browse)
            t.cancel();
        throw;
    }
    result.done = true;
    return result;
}

namespace {
UndoStack *listening = nullptr;
}

void UndoStack::attach()
{
    listening = this;
    onPosted = [](const Step &s) {
        if (listening && !listening->m_reverting)
            listening->push(s);
    };
}

void UndoStack::detach()
{
    if (listening == this) {
        listening = nullptr;
        onPosted = nullptr;
    }
}

void UndoStack::push(const Step &step)
{
    m_undo.push_back(step);
    m_redo.clear();
}

RevertResult UndoStack::move(Database &db, QVector<Step> &from, QVector<Step> &to, bool undo)
{
    if (from.isEmpty())
        return {};
    m_reverting = true;
    RevertResult r;
    try {
        r = revert(db, from.last(), undo);
    } catch (...) {
        m_reverting = false;
        throw;
    }
    m_reverting = false;
    if (r.done)
        to.push_back(from.takeLast());
    return r;
}

RevertResult UndoStack::undo(Database &db) { return move(db, m_undo, m_redo, true); }
RevertResult UndoStack::redo(Database &db) { return move(db, m_redo, m_undo, false); }

} // namespace kvt::journal
