#include "engine/dataset.h"
#include "engine/session.h"
#include "engine/store.h"
#include "engine/journal.h"

namespace kvt {

namespace {

QStringList splitNames(const QString &names)
{
    QStringList out;
    for (const QString &n : names.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            out << n.trimmed();
    return out;
}


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
    Store &store = *m_database->store();
    const auto quoted = [&](const QString &ident) { return store.quoted(ident); };
    QStringList select;
    select << store.rowIdColumn();
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
    m_fieldTypes.clear();
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

    Store &store = *m_database->store();
    const auto quoted = [&](const QString &ident) { return store.quoted(ident); };
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
        order << store.rowIdColumn();
        sql += QStringLiteral(" order by ") + order.join(QLatin1Char(','));
        m_fetchSql = sql;
        m_fetchColumns = where;
    }

    if (m_fieldTypes.size() != m_fields.size()) {
        m_fieldTypes.clear();
        for (const auto &f : m_fields)
            m_fieldTypes.push_back(f->dataType());
    }
    store.fetch(m_fetchSql, binds, m_fieldTypes, m_records, m_tableName);
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
    Store &store = *m_database->store();
    const auto quoted = [&](const QString &ident) { return store.quoted(ident); };
    const int n = int(m_fields.size());
    QString sql;
    if (inserting) {
        QStringList cols, marks;
        for (int i = 0; i < n; ++i) {
            cols << quoted(m_fields[size_t(i)]->fieldName());
            marks << QStringLiteral("?");
        }
        sql = QStringLiteral("insert into %1 (%2) values (%3)")
                  .arg(quoted(m_sqlName), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(','))) +
              store.insertSuffix();
    } else {
        QStringList sets, conds;
        const QString same = QLatin1Char(' ') + store.sameValueOperator() + QStringLiteral(" ?");
        for (int i = 0; i < n; ++i) {
            sets << quoted(m_fields[size_t(i)]->fieldName()) + QStringLiteral(" = ?");
            conds << quoted(m_fields[size_t(i)]->fieldName()) + same;
        }
        // One statement: the record is matched by its row and by every value it had when read, so a
        // change made by someone else in between is never overwritten. The values are compared as
        // stored, also those the fields cannot hold, and such values not written go back unchanged.
        sql = QStringLiteral("update %1 set %2 where %3 = ? and %4")
                  .arg(quoted(m_sqlName), sets.join(QLatin1Char(',')), store.rowIdColumn(),
                       conds.join(QStringLiteral(" and ")));
    }
    const QString context = inserting ? QStringLiteral("Cannot insert into table '%1'").arg(m_tableName)
                                      : QStringLiteral("Cannot post to table '%1'").arg(m_tableName);
    const RecordData *original = inserting ? nullptr : &m_records[m_cur];
    const auto conflict = [&] {
        return EngineError(QStringLiteral("The record of table '%1' was changed or deleted by another user since it "
                                          "was read; refresh to see its current values")
                               .arg(m_tableName));
    };
    if (!journal::isJournaled(m_sqlName)) {
        const int changes = store.write(sql, buffer, original, n, context);
        if (!inserting && changes == 0)
            throw conflict();
        return;
    }
    // The row and its journal rows commit together, or neither does.
    QVector<journal::Change> changes;
    for (int i = 0; i < n; ++i) {
        const QVariant after = buffer.values.value(i);
        const QVariant before = original ? original->values.value(i) : QVariant();
        if (before.isNull() && after.isNull())
            continue;
        if (original && !before.isNull() && !after.isNull() && before == after)
            continue;
        changes.push_back({m_fields[size_t(i)]->fieldName(), before, after});
    }
    if (changes.isEmpty()) {
        if (store.write(sql, buffer, original, n, context) == 0 && !inserting)
            throw conflict();
        return;
    }
    QVariantList keyValues;
    for (const QString &c : m_pkColumns)
        if (Field *f = findField(c))
            keyValues << buffer.values.value(f->index());
    store.beginWrite(context);
    try {
        if (store.write(sql, buffer, original, n, context) == 0 && !inserting)
            throw conflict();
        if (journal::afterRowWrite)
            journal::afterRowWrite();
        journal::record(*m_database, m_tableName, journal::keyText(m_pkColumns, keyValues), changes);
        store.commitWrite(context);
    } catch (...) {
        store.rollbackWrite();
        throw;
    }
    if (journal::onPosted)
        journal::onPosted({m_tableName, journal::keyText(m_pkColumns, keyValues), m_pkColumns, keyValues, changes});
}

void Table::remoteChanged()
{
    if (!isOpen() || m_stale || m_fetching)
        return;
    if (m_state != DataSetState::Browse) {
        // A record in edit stays as the user has it: its post then finds the change as a conflict,
        // and the table shows the other editor's values once the edit has ended.
        m_remoteChangePending = true;
        return;
    }
    m_remoteChangePending = false;
    try {
        refresh();
    } catch (const EngineError &) {
        // The next move reads again and reports what fails then.
        m_stale = true;
    }
}

void Table::editEnded()
{
    if (m_remoteChangePending && m_state == DataSetState::Browse)
        remoteChanged();
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
