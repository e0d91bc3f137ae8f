#include "engine/dataset.h"
#include "engine/session.h"
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace kvt {

namespace {

FieldType typeOf(const QSqlField &f)
{
    switch (f.metaType().id()) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt: case QMetaType::ULongLong:
        return ftInteger;
    case QMetaType::Double: case QMetaType::Float:
        return ftFloat;
    case QMetaType::Bool:
        return ftBoolean;
    case QMetaType::QByteArray:
        return ftBlob;
    default:
        return ftString;
    }
}

QVariant normalised(FieldType type, const QVariant &raw)
{
    if (raw.isNull())
        return QVariant();
    switch (type) {
    case ftInteger: return qint32(raw.toLongLong());
    case ftFloat: return raw.toDouble();
    case ftBoolean: return raw.toLongLong() != 0;
    case ftBlob: return raw.toByteArray();
    default: return raw.toString();
    }
}

} // namespace

Query::Query(QObject *parent, const QString &name) : DataSet(parent, name) { m_canModify = false; }

Query::~Query()
{
    close();
    releaseStatements();
}

void Query::releaseStatements()
{
    if (Database *db = Database::find(m_databaseName))
        db->releaseStatements(this);
}

void Query::setUniDirectional(bool on)
{
    if (isOpen())
        throw EngineError(QStringLiteral("Cannot change the reading of open query '%1'").arg(objectName()));
    m_uniDirectional = on;
}

void Query::setSql(const QStringList &lines)
{
    close();
    releaseStatements();
    m_sql = lines;
    m_paramNames = paramNames();
}

void Query::clearSql()
{
    close();
    releaseStatements();
    m_sql.clear();
    m_paramNames.clear();
}

void Query::addSql(const QString &line)
{
    close();
    releaseStatements();
    m_sql << line;
    m_paramNames = paramNames();
}

QStringList Query::paramNames() const
{
    QStringList names;
    const QString text = sqlText();
    bool inQuote = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
        } else if (!inQuote && c == QLatin1Char(':') && i + 1 < text.size() &&
                   (text[i + 1].isLetter() || text[i + 1] == QLatin1Char('_'))) {
            int j = i + 1;
            while (j < text.size() && (text[j].isLetterOrNumber() || text[j] == QLatin1Char('_')))
                ++j;
            const QString n = text.mid(i + 1, j - i - 1);
            if (!names.contains(n, Qt::CaseInsensitive))
                names << n;
            i = j - 1;
        }
    }
    return names;
}

static void bindParams(QSqlQuery &q, const QStringList &names, DataSource *source,
                       const QHash<QString, QVariant> &values)
{
    for (const QString &n : names) {
        QVariant v;
        Field *f = nullptr;
        if (source && source->dataSet() && source->dataSet()->isOpen())
            f = source->dataSet()->findField(n);
        if (f)
            v = f->value();
        else
            v = values.value(n);
        q.bindValue(QLatin1Char(':') + n, v);
    }
}

void Query::doOpen()
{
    QSqlQuery *stmt = nullptr;
    m_stream = nullptr;
    try {
        // A one-way read keeps its statement running between calls: it must be its own.
        stmt = &m_database->statement(sqlText(), m_uniDirectional ? this : nullptr);
    } catch (const EngineError &e) {
        if (m_database->isDamaged())
            throw;
        throw EngineError(QStringLiteral("Invalid query: %1").arg(e.message()));
    }
    QSqlQuery &q = *stmt;
    bindParams(q, m_paramNames, m_paramSource, m_params);
    if (!q.exec()) {
        const QSqlError error = q.lastError();
        q.finish();
        throw m_database->failure(error, QStringLiteral("Query failed"));
    }
    const QSqlRecord rec = q.record();
    // Fields are kept across re-opens of the same statement, so pointers to them stay valid.
    bool same = int(m_fields.size()) == rec.count();
    for (int i = 0; same && i < rec.count(); ++i)
        same = m_fields[size_t(i)]->fieldName() == rec.fieldName(i) &&
               m_fields[size_t(i)]->dataType() == typeOf(rec.field(i));
    if (!same) {
        std::vector<std::unique_ptr<Field>> fields;
        for (int i = 0; i < rec.count(); ++i) {
            const FieldType t = typeOf(rec.field(i));
            fields.push_back(std::make_unique<Field>(this, i, rec.fieldName(i), t, t == ftString ? 255 : 0));
        }
        setFields(std::move(fields));
    }
    m_records.clear();
    if (m_uniDirectional) {
        m_bof = true;
        if (q.next()) {
            m_stream = &q;
            m_cur = 0;
            m_eof = false;
        } else {
            q.finish();
            m_cur = -1;
            m_eof = true;
        }
        return;
    }
    const int n = rec.count();
    while (q.next()) {
        Record r;
        r.values.resize(n);
        for (int i = 0; i < n; ++i)
            r.values[i] = normalised(m_fields[size_t(i)]->dataType(), q.value(i));
        m_records.push_back(std::move(r));
    }
    if (q.lastError().isValid()) {
        const QSqlError error = q.lastError();
        q.finish();
        m_records.clear();
        throw m_database->failure(error, QStringLiteral("Query failed"));
    }
    q.finish();
    m_cur = m_records.isEmpty() ? -1 : 0;
    m_eof = m_records.isEmpty();
    m_bof = true;
}

void Query::doFetch() { doOpen(); }

bool Query::streamNext()
{
    if (!m_stream)
        return false;
    if (m_stream->next())
        return true;
    // A failed step ends the rows too; it must not pass for the end of them.
    const QSqlError error = m_stream->lastError();
    m_stream->finish(); // the end: the statement's read of the store ends with it
    m_stream = nullptr;
    if (error.isValid()) {
        if (m_database)
            throw m_database->failure(error, QStringLiteral("Query failed"));
        throw EngineError(QStringLiteral("Query failed: %1").arg(error.text()));
    }
    return false;
}

QVariant Query::streamValue(int index) const
{
    if (!m_stream || index < 0 || index >= int(m_fields.size()))
        return QVariant();
    return normalised(m_fields[size_t(index)]->dataType(), m_stream->value(index));
}

void Query::doClose()
{
    if (m_stream)
        m_stream->finish();
    m_stream = nullptr;
}

void Query::doPost(Record &, bool)
{
    throw EngineError(QStringLiteral("Cannot modify a read-only data set '%1'").arg(objectName()));
}

void Query::execSql()
{
    close();
    Database *db = Database::find(m_databaseName);
    if (!db)
        throw EngineError(QStringLiteral("Database '%1' does not exist").arg(m_databaseName));
    if (!db->isOpen())
        db->open();
    db->requireWritable(); // a damaged store takes no statements: any of them may write
    db->leaveSharedRead(); // a write commits on its own, never with a shared read
    QSqlQuery q(db->connection());
    if (!q.prepare(sqlText()))
        throw db->failure(q.lastError(), QStringLiteral("Invalid statement"));
    bindParams(q, m_paramNames, m_paramSource, m_params);
    if (!q.exec())
        throw db->failure(q.lastError(), QStringLiteral("Statement failed"));
}

} // namespace kvt
