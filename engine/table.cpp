#include "engine/dataset.h"
#include "engine/session.h"
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>
#include <QLocale>
#include <cmath>
#include <limits>
#include <optional>

namespace kvt {

namespace {

QString quoted(const QString &ident)
{
    QString s = ident;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QStringList splitNames(const QString &names)
{
    QStringList out;
    for (const QString &n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            out << n.trimmed();
    return out;
}

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

} // namespace

// Follows the master data source: a move of the master re-ranges this table.
class Table::MasterLink : public DataLink {
public:
    explicit MasterLink(Table *t) : m_table(t) {}
    bool isControlLink() const override { return false; }
    void dataSetChanged() override { m_table->masterChanged(); }

private:
    Table *m_table;
};

Table::Table(QObject *parent, const QString &name) : DataSet(parent, name) {}

Table::~Table()
{
    m_masterLink.reset();
    close();
}

void Table::setTableName(const QString &name)
{
    if (isOpen())
        throw EngineError(QStringLiteral("Cannot change the table name of open table '%1'").arg(objectName()));
    m_tableName = name;
}

void Table::setIndexFieldNames(const QString &names)
{
    if (isOpen())
        throw EngineError(QStringLiteral("Cannot change the index of open table '%1'").arg(objectName()));
    m_indexFieldNames = names;
    m_indexName.clear();
}

void Table::setIndexName(const QString &name)
{
    if (isOpen())
        throw EngineError(QStringLiteral("Cannot change the index of open table '%1'").arg(objectName()));
    m_indexName = name;
    m_indexFieldNames.clear();
}

void Table::setMasterSource(DataSource *ds)
{
    if (!ds) {
        m_masterLink.reset();
        return;
    }
    if (!m_masterLink)
        m_masterLink = std::make_unique<MasterLink>(this);
    m_masterLink->setDataSource(ds);
}

DataSource *Table::masterSource() const { return m_masterLink ? m_masterLink->dataSource() : nullptr; }

void Table::setMasterFields(const QString &names)
{
    m_masterFields = names;
    m_masterFieldList = splitNames(names);
    if (isOpen()) {
        m_stale = true;
        notifyDataSetChanged();
    }
}

namespace {

bool isAsciiSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool isNameStart(QChar c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_'; }

/// Splits "Field = 'value'" (a doubled quote standing for one); an empty text gives empty parts.
/// Read by hand: every selection sets a filter, and a pattern match costs more than the read.
void splitFilter(const QString &filter, QString &field, QString &value)
{
    field.clear();
    value.clear();
    const QString text = filter.trimmed();
    if (text.isEmpty())
        return;
    const auto invalid = [&] { return EngineError(QStringLiteral("Invalid filter expression: %1").arg(filter)); };
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (!isNameStart(text[i]))
        throw invalid();
    while (i < n && (isNameStart(text[i]) || (text[i] >= u'0' && text[i] <= u'9')))
        ++i;
    const qsizetype nameEnd = i;
    while (i < n && isAsciiSpace(text[i]))
        ++i;
    if (i >= n || text[i] != u'=')
        throw invalid();
    ++i;
    while (i < n && isAsciiSpace(text[i]))
        ++i;
    if (i >= n || text[i] != u'\'')
        throw invalid();
    ++i;
    QString v;
    for (;; ++i) {
        if (i >= n)
            throw invalid(); // no closing quote
        if (text[i] != u'\'') {
            v += text[i];
            continue;
        }
        if (i + 1 < n && text[i + 1] == u'\'') {
            v += u'\'';
            ++i;
            continue;
        }
        break; // the closing quote
    }
    ++i;
    while (i < n && isAsciiSpace(text[i]))
        ++i;
    if (i != n)
        throw invalid();
    field = text.left(nameEnd);
    value = std::move(v);
}

} // namespace

void Table::parseFilter() { splitFilter(m_filter, m_filterField, m_filterValue); }

void Table::setFilter(const QString &text)
{
    if (text == m_filter) {
        // The same narrowing again: settle the pending edit; the records in hand are those it selects.
        if (isOpen())
            checkBrowseMode();
        return;
    }
    QString field, value;
    splitFilter(text, field, value);
    if (isOpen() && !field.isEmpty())
        fieldByName(field);
    // Settle under the old filter first; a failed post keeps it and the record in edit.
    if (isOpen())
        checkBrowseMode();
    m_filter = text;
    m_filterField = field;
    m_filterValue = value;
    if (!isOpen())
        return;
    if (m_filtered) {
        m_stale = false;
        doFetch();
        notifyDataSetChanged();
    }
}

void Table::setFiltered(bool on)
{
    if (!isOpen()) {
        m_filtered = on;
        return;
    }
    checkBrowseMode();
    if (on == m_filtered)
        return;
    m_filtered = on;
    m_stale = false;
    doFetch();
    notifyDataSetChanged();
}

QStringList Table::orderColumns() const
{
    QStringList cols = m_indexColumns;
    for (const QString &pk : m_pkColumns)
        if (!cols.contains(pk, Qt::CaseInsensitive))
            cols << pk;
    return cols;
}

QStringList Table::keyColumns() const { return m_indexColumns.isEmpty() ? m_pkColumns : m_indexColumns; }

void Table::doOpen()
{
    if (m_tableName.trimmed().isEmpty())
        throw EngineError(QStringLiteral("No table name given for '%1'").arg(objectName()));
    const TableInfo info = m_database->tableInfo(m_tableName);
    m_database->checkAccess(info.sqlName);
    m_sqlName = info.sqlName;

    std::vector<std::unique_ptr<Field>> fields;
    QStringList select;
    select << QStringLiteral("rowid");
    for (size_t i = 0; i < info.columns.size(); ++i) {
        const ColumnInfo &c = info.columns[i];
        fields.push_back(std::make_unique<Field>(this, int(i), c.name, FieldType(c.type), c.size));
        select << quoted(c.name);
    }
    const auto hasColumn = [&](const QString &n) {
        for (const auto &c : info.columns)
            if (c.name.compare(n, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    QStringList indexColumns;
    if (!m_indexName.isEmpty()) {
        auto it = info.indexes.find(m_indexName.toLower());
        if (it == info.indexes.end())
            throw EngineError(QStringLiteral("Index '%1' does not exist for table '%2'").arg(m_indexName, m_tableName));
        indexColumns = *it;
    } else {
        indexColumns = splitNames(m_indexFieldNames);
        for (const QString &c : indexColumns)
            if (!hasColumn(c))
                throw EngineError(QStringLiteral("%1: Field '%2' not found").arg(m_tableName, c));
    }
    parseFilter();
    if (!m_filterField.isEmpty() && !hasColumn(m_filterField))
        throw EngineError(QStringLiteral("%1: Field '%2' not found").arg(m_tableName, m_filterField));

    setFields(std::move(fields));
    m_pkColumns = info.primaryKey;
    m_indexColumns = indexColumns;
    m_selectSql = QStringLiteral("select %1 from %2").arg(select.join(QLatin1Char(',')), quoted(m_sqlName));
    m_fetchSql.clear();
    m_stale = false;
    doFetch();
}

void Table::doFetch()
{
    QStringList where; // columns compared with the bound values
    QVariantList binds;
    bool noRows = false;
    const QStringList &masterFields = m_masterFieldList;
    if (m_masterLink && m_masterLink->dataSource() && !masterFields.isEmpty()) {
        DataSet *master = m_masterLink->dataSet();
        const QStringList linkColumns = keyColumns();
        m_rangeValues.clear();
        if (!master || !master->isOpen()) {
            noRows = true;
        } else {
            for (int i = 0; i < masterFields.size(); ++i) {
                if (i >= linkColumns.size())
                    throw EngineError(QStringLiteral("Master link of '%1' has more fields than its index")
                                          .arg(objectName()));
                const QVariant v = master->fieldByName(masterFields[i])->value();
                m_rangeValues << v;
                if (v.isNull())
                    noRows = true;
                where << linkColumns[i];
                binds << v;
            }
        }
    }
    if (m_filtered && !m_filterField.isEmpty()) {
        where << m_filterField;
        binds << m_filterValue;
    }
    m_records.clear();
    m_cur = -1;
    m_eof = m_bof = true;
    if (noRows)
        return;

    // The text only changes with the compared columns; the values are bound.
    if (m_fetchSql.isEmpty() || where != m_fetchColumns) {
        QStringList conds;
        for (const QString &c : where)
            conds << quoted(c) + QStringLiteral(" = ?");
        QString sql = m_selectSql;
        if (!conds.isEmpty())
            sql += QStringLiteral(" where ") + conds.join(QStringLiteral(" and "));
        QStringList order;
        for (const QString &c : orderColumns())
            order << quoted(c);
        order << QStringLiteral("rowid");
        sql += QStringLiteral(" order by ") + order.join(QLatin1Char(','));
        m_fetchSql = sql;
        m_fetchColumns = where;
    }

    sqlite3_stmt *st = nullptr;
    try {
        st = m_database->rawStatement(m_fetchSql);
    } catch (const EngineError &e) {
        if (m_database->isDamaged())
            throw;
        throw EngineError(QStringLiteral("Cannot read table '%1': %2").arg(m_tableName, e.message()));
    }
    // Read straight from SQLite: a fetch is on the path of every selection, and Qt SQL's result
    // caching and per-run column descriptions cost more than the read itself.
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    for (int i = 0; i < binds.size(); ++i)
        bindValue(st, i + 1, binds[i]);
    const int n = int(m_fields.size());
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        Record r;
        r.rowid = sqlite3_column_int64(st, 0);
        r.values.reserve(n);
        for (int i = 0; i < n; ++i)
            r.values.append(fieldValue(st, i + 1, m_fields[size_t(i)]->dataType(), i, r.stored));
        m_records.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE) { // a failed step is no end of the rows
        const QString msg = errorText(sqlite3_db_handle(st));
        const int code = sqlite3_extended_errcode(sqlite3_db_handle(st));
        sqlite3_reset(st);
        m_records.clear();
        throw m_database->failure(code, QStringLiteral("Cannot read table '%1'").arg(m_tableName), msg);
    }
    sqlite3_reset(st); // a reset statement holds no read lock
    if (!m_records.isEmpty()) {
        m_cur = 0;
        m_eof = false;
    }
}

void Table::ensureFresh()
{
    if (!m_stale || m_fetching)
        return;
    m_fetching = true;
    try {
        doFetch();
    } catch (...) {
        m_fetching = false;
        throw;
    }
    m_fetching = false;
    m_stale = false;
}

void Table::masterChanged()
{
    if (!isOpen())
        return;
    checkBrowseMode();
    QVector<QVariant> values;
    DataSet *master = m_masterLink ? m_masterLink->dataSet() : nullptr;
    const QStringList &masterFields = m_masterFieldList;
    if (auto *masterTable = qobject_cast<Table *>(master); masterTable && masterTable->m_stale) {
        // The master re-reads when it is next read; this table simply follows it then. Reading
        // the master's fields here would make it fetch records about to be narrowed anyway.
        m_stale = true;
        m_records.clear();
        m_cur = -1;
        m_eof = m_bof = true;
        notifyDataSetChanged();
        return;
    }
    if (master && master->isOpen()) {
        for (const QString &f : masterFields) {
            Field *field = master->findField(f);
            values << (field ? field->value() : QVariant());
        }
    }
    if (!m_stale && values == m_rangeValues && master && master->isOpen())
        return;
    m_rangeValues = values;
    m_stale = true;
    m_records.clear();
    m_cur = -1;
    m_eof = m_bof = true;
    notifyDataSetChanged();
}

void Table::doPost(Record &buffer, bool inserting)
{
    m_database->requireWritable();
    m_database->leaveSharedRead(); // a write commits on its own, never with a shared read
    const int n = int(m_fields.size());
    QString sql;
    if (inserting) {
        QStringList cols, marks;
        for (int i = 0; i < n; ++i) {
            cols << quoted(m_fields[size_t(i)]->fieldName());
            marks << QStringLiteral("?");
        }
        sql = QStringLiteral("insert into %1 (%2) values (%3)")
                  .arg(quoted(m_sqlName), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    } else {
        QStringList sets, conds;
        for (int i = 0; i < n; ++i) {
            sets << quoted(m_fields[size_t(i)]->fieldName()) + QStringLiteral(" = ?");
            conds << quoted(m_fields[size_t(i)]->fieldName()) + QStringLiteral(" is ?");
        }
        // One statement: the record is matched by its row and by every value it had when read, so a
        // change made by someone else in between is never overwritten. The values are compared as
        // stored, also those the fields cannot hold, and such values not written go back unchanged.
        sql = QStringLiteral("update %1 set %2 where rowid = ? and %3")
                  .arg(quoted(m_sqlName), sets.join(QLatin1Char(',')), conds.join(QStringLiteral(" and ")));
    }
    const QString context = inserting ? QStringLiteral("Cannot insert into table '%1'").arg(m_tableName)
                                      : QStringLiteral("Cannot post to table '%1'").arg(m_tableName);
    sqlite3_stmt *st = nullptr;
    try {
        st = m_database->rawStatement(sql);
    } catch (const EngineError &e) {
        if (m_database->isDamaged())
            throw;
        throw EngineError(context + QStringLiteral(": ") + e.message());
    }
    sqlite3 *db = sqlite3_db_handle(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    int k = 1;
    for (int i = 0; i < n; ++i)
        bindRecordValue(st, k++, buffer.values, buffer.stored, i);
    if (!inserting) {
        const Record &original = m_records[m_cur];
        sqlite3_bind_int64(st, k++, original.rowid);
        for (int i = 0; i < n; ++i)
            bindRecordValue(st, k++, original.values, original.stored, i);
    }
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE) {
        const QString msg = errorText(db);
        const int code = sqlite3_extended_errcode(db);
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        throw m_database->failure(code, context, msg);
    }
    const int changes = sqlite3_changes(db);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    if (inserting) {
        buffer.rowid = sqlite3_last_insert_rowid(db);
        return;
    }
    if (changes == 0)
        throw EngineError(QStringLiteral("The record of table '%1' was changed or deleted by another user since it "
                                         "was read; refresh to see its current values")
                              .arg(m_tableName));
}

QString Table::recordDescription()
{
    QStringList parts;
    for (const QString &c : m_pkColumns)
        if (Field *f = findField(c))
            parts << QStringLiteral("%1 '%2'").arg(f->fieldName(), f->asString());
    if (parts.isEmpty())
        return DataSet::recordDescription();
    return QStringLiteral("row ") + parts.join(QStringLiteral(", "));
}

void Table::setKey()
{
    requireBrowseable();
    ensureFresh();
    m_stateBeforeKey = m_state;
    m_keyBuffer = Record();
    m_keyBuffer.values = QVector<QVariant>(int(m_fields.size()));
    m_keyAssigned = QVector<bool>(int(m_fields.size()), false);
    setState(DataSetState::SetKey);
}

bool Table::gotoKey()
{
    if (m_state != DataSetState::SetKey)
        throw EngineError(QStringLiteral("Table '%1' is not in key mode").arg(objectName()));
    setState(m_stateBeforeKey);
    QVector<int> cols;
    for (const QString &c : keyColumns()) {
        Field *f = findField(c);
        if (f && m_keyAssigned[f->index()])
            cols << f->index();
    }
    if (cols.isEmpty())
        return false;
    for (int r = 0; r < m_records.size(); ++r) {
        bool match = true;
        for (int c : cols) {
            const QVariant &have = m_records[r].values[c];
            const QVariant &want = m_keyBuffer.values[c];
            if (have.isNull() != want.isNull() || (!have.isNull() && have.toString() != want.toString())) {
                match = false;
                break;
            }
        }
        if (match) {
            m_cur = r;
            m_eof = m_bof = false;
            notifyDataSetChanged();
            return true;
        }
    }
    return false;
}

} // namespace kvt
