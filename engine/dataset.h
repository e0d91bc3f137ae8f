#pragma once
// Data sets (tables and queries), their fields and the data sources that data-aware controls bind to.
#include "engine/errors.h"
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class QSqlQuery;

namespace kvt {

class Database;
class DataSet;
class DataSource;
class Table;

/// Field types in the framework's numbering.
enum FieldType {
    ftUnknown = 0, ftString = 1, ftSmallint = 2, ftInteger = 3, ftWord = 4, ftBoolean = 5, ftFloat = 6,
    ftCurrency = 7, ftBCD = 8, ftDate = 9, ftTime = 10, ftDateTime = 11, ftBytes = 12, ftVarBytes = 13,
    ftAutoInc = 14, ftBlob = 15, ftMemo = 16, ftGraphic = 17, ftFmtMemo = 18, ftParadoxOle = 19,
    ftDBaseOle = 20, ftTypedBinary = 21
};

inline bool isIntegerType(FieldType t) { return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc; }
inline bool isFloatType(FieldType t) { return t == ftFloat || t == ftCurrency || t == ftBCD; }

enum class DataSetState { Inactive, Browse, Edit, Insert, SetKey };

/// A value as the store holds it, kept beside a field's value when that is not exactly what is stored
/// (text in a number column, a whole number beyond 32 bits, text that is not valid UTF-8), so that a
/// post finds the row by what is stored and writes the value back unchanged unless it was written.
struct StoredValue {
    enum Kind { Integer, Float, Text, Blob };
    int column = -1;
    Kind kind = Text;
    qint64 integer = 0;
    double real = 0.0;
    QByteArray bytes; // text as stored (maybe not UTF-8), or the blob
    /// False when the field's value cannot show it (the field then reads empty).
    bool readable = true;
};

/// One record of a data set: its row in the store, its values and the stored forms of those values
/// that its fields do not hold exactly.
struct RecordData {
    qint64 rowid = -1;
    QVector<QVariant> values;
    std::vector<StoredValue> stored; // only the values not held exactly, by column
};

/// One column of an open data set, reading and writing the current record.
class Field {
public:
    Field(DataSet *owner, int index, QString name, FieldType type, int size)
        : m_owner(owner), m_index(index), m_name(std::move(name)), m_type(type), m_size(size) {}

    DataSet *dataSet() const { return m_owner; }
    int index() const { return m_index; }
    const QString &fieldName() const { return m_name; }
    FieldType dataType() const { return m_type; }
    /// Maximum length of a text field; 0 for other types.
    int size() const { return m_size; }
    bool isNumeric() const;

    /// The name of the field as the user sees it (a caption); the field name until one is set.
    /// Messages about the field's values name it so.
    QString displayLabel() const { return m_displayLabel.isEmpty() ? m_name : m_displayLabel; }
    void setDisplayLabel(const QString &label) { m_displayLabel = label; }

    /// True when the current record holds a value this field's type cannot hold or show exactly
    /// (see StoredValue); such a value is kept as stored until the field is written.
    bool holdsUnreadableValue() const;
    /// What the store holds for the current record, described for a message ("the text 'abc'").
    QString storedDescription() const;
    /// The message naming an unreadable value: table, row, field (also by caption, when given) and
    /// what is stored; empty when the current value is readable.
    QString unreadableMessage(const QString &caption = QString()) const;

    /// Raw value of the current record (null when empty).
    QVariant value() const;
    bool isNull() const;
    /// Reads: an empty field gives "", 0, 0.0 or false.
    QString asString() const;
    qint32 asInteger() const;
    double asFloat() const;
    bool asBoolean() const;

    /// Writes convert and check; a bad value raises EngineError naming the field and the value.
    /// The data set must be in edit, insert or key mode. A write raises the change event.
    void setAsString(const QString &text);
    void setAsInteger(qint32 v);
    void setAsFloat(double v);
    void setAsBoolean(bool v);
    void setValue(const QVariant &v);
    void clear();

    /// Converts text to this field's stored type without writing (raises on a bad value).
    /// A text longer than the field's size is refused, unless it is the text already held: data
    /// written by others may be longer than the size, and is kept whole.
    QVariant convertText(const QString &text) const;

private:
    /// True when text is the value the field holds now or held when its record was read.
    bool holdsText(const QString &text) const;

    DataSet *m_owner;
    int m_index;
    QString m_name;
    FieldType m_type;
    int m_size;
    QString m_displayLabel;
};

/// Reads a decimal number as the user types it: digits with at most one decimal separator, either
/// "." or the current locale's, an optional sign and exponent. Group separators are never taken, so
/// "1,000" is refused where "," is not the decimal separator, instead of being read as a thousand.
bool parseDecimal(const QString &text, double &value);

/// What a data source tells the objects linked to it (data-aware controls, detail tables).
/// Exceptions thrown by a link's updateData() pass on to the post that asked for it.
class DataLink {
public:
    DataLink() = default;
    virtual ~DataLink();
    DataLink(const DataLink &) = delete;
    DataLink &operator=(const DataLink &) = delete;

    void setDataSource(DataSource *ds);
    DataSource *dataSource() const { return m_source; }
    DataSet *dataSet() const;
    /// Control links are silenced by DataSet::disableControls(); master links never are.
    virtual bool isControlLink() const { return true; }

    /// The data set was opened, closed, moved to another record, re-read or cancelled.
    virtual void dataSetChanged() {}
    /// One field of the current record was written.
    virtual void recordChanged(Field *) {}
    /// The data set's state changed (browse, edit, insert, inactive).
    virtual void stateChanged() {}
    /// Write any pending edit into the fields now (sent before a post).
    virtual void updateData() {}

private:
    friend class DataSource;
    QPointer<DataSource> m_source;
};

/// Connects data-aware controls and detail tables to one data set.
class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr, const QString &name = QString());
    ~DataSource() override;

    void setDataSet(DataSet *ds);
    DataSet *dataSet() const { return m_dataSet; }

    // Used by DataSet to notify; control links are skipped while controls are disabled.
    void notifyDataSetChanged(bool includeControls);
    void notifyRecordChanged(Field *f);
    void notifyStateChanged();
    void notifyUpdateData();

signals:
    /// For code that follows a source (navigator-like widgets); emitted alongside the links.
    void dataSetReplaced();

private:
    friend class DataLink;
    friend class DataSet;
    void addLink(DataLink *l);
    void removeLink(DataLink *l);
    QPointer<DataSet> m_dataSet;
    std::vector<DataLink *> m_links;
};

/// Common part of tables and queries: a cursor over records held in memory.
class DataSet : public QObject {
    Q_OBJECT
public:
    explicit DataSet(QObject *parent = nullptr, const QString &name = QString());
    ~DataSet() override;

    void setDatabaseName(const QString &name);
    QString databaseName() const { return m_databaseName; }
    void setSessionName(const QString &name) { m_sessionName = name; }
    QString sessionName() const { return m_sessionName; }

    /// Opens its database (and that database its session) when they are closed.
    void open();
    void close();
    bool isOpen() const { return m_state != DataSetState::Inactive; }
    bool active() const { return isOpen(); }
    DataSetState state() const { return m_state; }

    // Moving settles a pending edit first (see checkBrowseMode()).
    void first();
    void next();
    void prior();
    void last();
    bool eof();
    bool bof();
    bool isEmpty();
    int recordCount();
    /// 0-based position of the current record, -1 when there is none.
    int recNo();

    int fieldCount() const { return int(m_fields.size()); }
    /// Changes whenever the field objects are replaced (unique across all data sets), so a
    /// Field pointer kept together with it is known to be still valid while it is unchanged.
    quint64 fieldsVersion() const { return m_fieldsVersion; }
    Field *fields(int index) const;
    /// Raises EngineError for a name that is not in the data set.
    Field *fieldByName(const QString &name) const;
    Field *findField(const QString &name) const;
    QStringList fieldNames() const;

    void edit();
    void insert();
    void append() { insert(); }
    /// Asks the data links to write pending edits, runs beforePost, writes, runs afterPost.
    /// A failure raises and leaves the record in edit with its values.
    void post();
    void cancel();
    /// Re-reads the records, keeping the current record where it still exists.
    void refresh();
    /// Settles a pending edit: a changed record is posted, an unchanged one cancelled.
    void checkBrowseMode();
    /// Asks the data links to write their pending edits into the fields now.
    void updateRecord();
    bool modified() const { return m_modified; }
    /// False for read-only data sets and for every data set of a damaged store.
    bool canModify() const;

    std::function<void(DataSet &)> beforePost;
    std::function<void(DataSet &)> afterPost;
    /// Change event of the named field, raised by every write of it (not by cancel).
    void setFieldChangeHandler(const QString &fieldName, std::function<void(Field &)> handler);

    /// Silences the data-aware controls (not the detail tables) until enableControls().
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    Database *database() const { return m_database; }

    // Record access for fields.
    QVariant currentValue(int index);
    /// The value of the current record as read from the store, also while the record is in edit.
    QVariant readValue(int index);
    /// The stored form of a value of the current record that its field does not hold exactly, or null.
    const StoredValue *storedValue(int index);
    /// Names the current record in messages ("row 3"; tables name it by its key).
    virtual QString recordDescription();
    void writeValue(Field *f, const QVariant &v);

    void addDataSource(DataSource *ds);
    void removeDataSource(DataSource *ds);

protected:
    using Record = RecordData;
    /// Reads the records (and sets up fields on first fetch after open).
    virtual void doOpen() = 0;
    virtual void doFetch() = 0;
    virtual void doPost(Record &buffer, bool inserting) = 0;
    /// Hook for tables to re-read lazily.
    virtual void ensureFresh() {}
    /// Hooks of a data set that reads its records one way only, straight from a running
    /// statement, instead of holding them all (see Query::setUniDirectional).
    virtual bool isStreaming() const { return false; }
    /// Moves the statement to the next record; false at the end.
    virtual bool streamNext() { return false; }
    virtual QVariant streamValue(int) const { return QVariant(); }
    /// Called by close() before the records go.
    virtual void doClose() {}
    /// Called when an edit or insert has ended, by a post (after its hooks) or a cancel.
    virtual void editEnded() {}
    void requireBidirectional(const char *operation) const;

    void setFields(std::vector<std::unique_ptr<Field>> fields);
    void notifyDataSetChanged();
    void notifyStateChanged();
    void setState(DataSetState s);
    void requireActive() const;
    void requireBrowseable();

    std::vector<std::unique_ptr<Field>> m_fields;
    QVector<Record> m_records;
    int m_cur = -1;
    bool m_eof = true;
    bool m_bof = true;
    Record m_buffer;          // edit / insert buffer
    Record m_keyBuffer;       // key mode buffer
    QVector<bool> m_keyAssigned;
    DataSetState m_state = DataSetState::Inactive;
    DataSetState m_stateBeforeKey = DataSetState::Browse;
    bool m_modified = false;
    bool m_canModify = true;
    int m_insertPos = -1;
    QString m_databaseName;
    QString m_sessionName;
    Database *m_database = nullptr;
    std::vector<QPointer<DataSource>> m_sources;
    QHash<QString, std::function<void(Field &)>> m_changeHandlers;
    int m_disableCount = 0;
    bool m_pendingNotify = false;
    quint64 m_fieldsVersion = 0;

    friend class Database;
    friend class Table;
};

/// A table of the store, optionally ranged by a master data source and narrowed by a filter.
class Table : public DataSet {
    Q_OBJECT
public:
    explicit Table(QObject *parent = nullptr, const QString &name = QString());
    ~Table() override;

    /// "RepCat.DB" addresses the SQL table RepCat. Only while closed.
    void setTableName(const QString &name);
    QString tableName() const { return m_tableName; }
    /// The primary key of the open table.
    QStringList primaryKeyColumns() const { return m_pkColumns; }

    /// Index by field names ("RepName;RctGroup") or by index name (must exist when opened).
    void setIndexFieldNames(const QString &names);
    QString indexFieldNames() const { return m_indexFieldNames; }
    void setIndexName(const QString &name);
    QString indexName() const { return m_indexName; }

    /// Master link: only records whose index fields equal the master's fields are seen.
    void setMasterSource(DataSource *ds);
    DataSource *masterSource() const;
    void setMasterFields(const QString &names);
    QString masterFields() const { return m_masterFields; }

    /// Filter "Field = 'value'" (a doubled quote in the value stands for one quote).
    void setFilter(const QString &text);
    QString filter() const { return m_filter; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    /// Key search: setKey(), assign the key fields, gotoKey() (true when on the record).
    void setKey();
    bool gotoKey();

    /// Called by the master link.
    void masterChanged();

    QString recordDescription() override;

    /// The table's name in the store (set while open).
    QString sqlTableName() const { return m_sqlName; }
    /// Another editor changed rows of this table: re-read them now, or, while a record is in
    /// edit, once the edit has ended.
    void remoteChanged();

protected:
    void doOpen() override;
    void doFetch() override;
    void doPost(Record &buffer, bool inserting) override;
    void ensureFresh() override;
    void editEnded() override;

private:
    class MasterLink;
    friend class MasterLink;
    QStringList orderColumns() const;
    QStringList keyColumns() const;
    void parseFilter();

    QString m_tableName;
    QString m_sqlName;
    QString m_indexFieldNames;
    QString m_indexName;
    QString m_masterFields;
    QStringList m_masterFieldList;
    QString m_filter;
    bool m_filtered = false;
    QString m_filterField;
    QString m_filterValue;
    bool m_stale = false;
    bool m_fetching = false;
    QVector<QVariant> m_rangeValues;
    std::unique_ptr<MasterLink> m_masterLink;
    QStringList m_pkColumns;    // primary key of the open table
    QStringList m_indexColumns; // columns of the index in use (empty: primary key order)
    QString m_selectSql;        // select list and table, built at open
    QString m_fetchSql;         // the last fetch's statement text
    QStringList m_fetchColumns; // and the columns it compares
    std::vector<FieldType> m_fieldTypes;
    bool m_remoteChangePending = false;
};

/// An SQL query; ":Name" parameters take the same-named fields of the data source's current record,
/// or the values set with setParam().
class Query : public DataSet {
    Q_OBJECT
public:
    explicit Query(QObject *parent = nullptr, const QString &name = QString());
    ~Query() override;

    QStringList sql() const { return m_sql; }
    void setSql(const QStringList &lines);
    void clearSql();
    void addSql(const QString &line);
    QString sqlText() const { return m_sql.join(QLatin1Char('\n')); }

    void setDataSource(DataSource *ds) { m_paramSource = ds; }
    DataSource *paramSource() const { return m_paramSource; }
    void setParam(const QString &name, const QVariant &value) { m_params.insert(name, value); }
    /// Names of the parameters in the SQL, in order of first appearance.
    QStringList paramNames() const;

    /// Runs a statement without a result set. Raises EngineError with the SQL engine's message.
    void execSql();

    /// One-way reading (only while closed): the records are read from the running statement as
    /// the cursor moves on, not all copied at open. first() runs the query again; prior(),
    /// last() and recordCount() raise EngineError. The statement (and its read of the store)
    /// ends when next() passes the last record or the query is closed; past the end the fields
    /// read empty.
    void setUniDirectional(bool on);
    bool uniDirectional() const { return m_uniDirectional; }

protected:
    void doOpen() override;
    void doFetch() override;
    void doPost(Record &buffer, bool inserting) override;
    bool isStreaming() const override { return m_uniDirectional; }
    bool streamNext() override;
    QVariant streamValue(int index) const override;
    void doClose() override;

private:
    void releaseStatements();
    QStringList m_sql;
    QStringList m_paramNames;
    QPointer<DataSource> m_paramSource;
    QHash<QString, QVariant> m_params;
    bool m_uniDirectional = false;
    QSqlQuery *m_stream = nullptr; // the running statement of a one-way read
};

} // namespace kvt
