#include "engine/dataset.h"
#include "engine/session.h"
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kvt {

// ---------------------------------------------------------------- Field

bool Field::isNumeric() const
{
    switch (m_type) {
    case ftSmallint: case ftInteger: case ftWord: case ftFloat: case ftCurrency: case ftBCD: case ftAutoInc:
        return true;
    default:
        return false;
    }
}


QVariant Field::value() const { return m_owner->currentValue(m_index); }

bool Field::isNull() const
{
    const QVariant v = value();
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

QString Field::asString() const
{
    const QVariant v = value();
    if (v.isNull())
        return QString();
    if (m_type == ftBoolean)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (isFloatType(m_type)) {
        const double d = v.toDouble();
        // Whole numbers, the most common measures, are written as 'g' writes them, without the
        // general conversion's cost.
        if (d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', 15);
    }
    if (isIntegerType(m_type))
        return QString::number(v.toLongLong());
    return v.toString();
}

qint32 Field::asInteger() const
{
    const QVariant v = value();
    if (v.isNull())
        return 0;
    if (isFloatType(m_type))
        return qint32(std::llround(v.toDouble()));
    if (m_type == ftString) {
        const QString s = v.toString().trimmed();
        if (s.isEmpty())
            return 0;
        bool ok = false;
        const int i = s.toInt(&ok);
        if (!ok)
            throw EngineError(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(s, displayLabel()));
        return i;
    }
    return qint32(v.toLongLong());
}

double Field::asFloat() const
{
    const QVariant v = value();
    if (v.isNull())
        return 0.0;
    if (m_type == ftString) {
        const QString s = v.toString().trimmed();
        if (s.isEmpty())
            return 0.0;
        double d = 0.0;
        if (!parseDecimal(s, d))
            throw EngineError(
                QStringLiteral("'%1' is not a valid floating point value for field '%2'").arg(s, displayLabel()));
        return d;
    }
    return v.toDouble();
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    if (v.isNull())
        return false;
    if (m_type == ftString) {
        const QString s = v.toString().trimmed();
        return s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
               s.compare(QLatin1String("T"), Qt::CaseInsensitive) == 0 || s == QLatin1String("1");
    }
    if (isFloatType(m_type))
        return v.toDouble() != 0.0;
    return v.toLongLong() != 0;
}

QVariant Field::convertText(const QString &text) const
{
    if (m_type == ftString || m_type == ftMemo || m_type == ftFmtMemo) {
        if (m_size > 0 && m_type == ftString && text.size() > m_size && !holdsText(text))
            throw EngineError(QStringLiteral("'%1' takes at most %2 characters; the text entered, '%3', has %4. "
                                             "Shorten it to %2 characters")
                                  .arg(displayLabel(), QString::number(m_size),
                                       text.size() > 40 ? text.left(37) + QStringLiteral("...") : text,
                                       QString::number(text.size())));
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    const QString s = text.trimmed();
    if (s.isEmpty())
        return QVariant();
    if (isFloatType(m_type)) {
        double d = 0.0;
        if (!parseDecimal(s, d))
            throw EngineError(
                QStringLiteral("'%1' is not a valid floating point value for field '%2'").arg(s, displayLabel()));
        return d;
    }
    if (isIntegerType(m_type)) {
        bool ok = false;
        const qlonglong i = s.toLongLong(&ok);
        if (!ok || i < std::numeric_limits<qint32>::min() || i > std::numeric_limits<qint32>::max())
            throw EngineError(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(s, displayLabel()));
        return qint32(i);
    }
    if (m_type == ftBoolean) {
        static const char *const yes[] = {"True", "T", "Yes", "Y", "1"};
        static const char *const no[] = {"False", "F", "No", "N", "0"};
        for (const char *y : yes)
            if (s.compare(QLatin1String(y), Qt::CaseInsensitive) == 0)
                return true;
        for (const char *n : no)
            if (s.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
                return false;
        throw EngineError(QStringLiteral("'%1' is not a valid boolean value for field '%2'").arg(s, displayLabel()));
    }
    return text;
}

bool Field::holdsText(const QString &text) const
{
    const QVariant now = value();
    if (now.typeId() == QMetaType::QString && now.toString() == text)
        return true;
    const QVariant read = m_owner->readValue(m_index);
    return read.typeId() == QMetaType::QString && read.toString() == text;
}

bool Field::holdsUnreadableValue() const
{
    const StoredValue *v = m_owner->storedValue(m_index);
    return v && !v->readable;
}

namespace {

/// Bytes of a text that is not valid UTF-8, readable in a message: printable ASCII as it is, the rest
/// as \xHH.
QString escapedBytes(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7f)
            out += QLatin1Char(char(b));
        else
            out += QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return out;
}

QString shortened(const QString &text)
{
    return text.size() > 60 ? text.left(57) + QStringLiteral("...") : text;
}

} // namespace

QString Field::storedDescription() const
{
    const StoredValue *v = m_owner->storedValue(m_index);
    if (!v)
        return asString();
    switch (v->kind) {
    case StoredValue::Integer:
        return QStringLiteral("the whole number %1").arg(v->integer);
    case StoredValue::Float:
        return QStringLiteral("the number %1").arg(QString::number(v->real, 'g', 17));
    case StoredValue::Text: {
        const QString text = QString::fromUtf8(v->bytes);
        if (text.toUtf8() != v->bytes)
            return QStringLiteral("text that is not valid UTF-8: '%1'").arg(shortened(escapedBytes(v->bytes)));
        return QStringLiteral("the text '%1'").arg(shortened(text));
    }
    case StoredValue::Blob:
        return QStringLiteral("binary data of %1 bytes").arg(v->bytes.size());
    }
    return QString();
}

QString Field::unreadableMessage(const QString &caption) const
{
    const StoredValue *v = m_owner->storedValue(m_index);
    if (!v || v->readable)
        return QString();
    QString what;
    if (isIntegerType(m_type))
        what = QStringLiteral("a whole number from %1 to %2")
                   .arg(std::numeric_limits<qint32>::min())
                   .arg(std::numeric_limits<qint32>::max());
    else if (isFloatType(m_type))
        what = QStringLiteral("a number");
    else if (m_type == ftBoolean)
        what = QStringLiteral("True or False");
    else
        what = QStringLiteral("text");
    QString table = m_owner->objectName();
    if (auto *t = qobject_cast<const Table *>(m_owner))
        table = t->tableName();
    QString where = QStringLiteral("Table '%1', %2, column '%3'").arg(table, m_owner->recordDescription(), m_name);
    const QString label = caption.isEmpty() ? displayLabel() : caption;
    if (label != m_name)
        where += QStringLiteral(" ('%1')").arg(label);
    const QString shown = m_type == ftString || m_type == ftMemo || m_type == ftFmtMemo
                              ? QStringLiteral("shown as far as it can be read")
                              : QStringLiteral("shown empty");
    return QStringLiteral("%1 holds %2, which is not %3. The value is %4 and kept as stored unless a new value "
                          "is entered; the rest of the row can be edited as usual")
        .arg(where, storedDescription(), what, shown);
}

bool parseDecimal(const QString &text, double &value)
{
    const QLocale locale;
    const QString decimal = locale.decimalPoint();
    const QString minus = locale.negativeSign();
    const QString plus = locale.positiveSign();
    const QString s = text.trimmed();
    QByteArray plain; // the number in the C locale's form
    plain.reserve(s.size());
    qsizetype i = 0;
    const auto takeSign = [&] {
        if (i >= s.size())
            return;
        if (s[i] == u'-' || (!minus.isEmpty() && s.mid(i, minus.size()) == minus)) {
            plain += '-';
            i += s[i] == u'-' ? 1 : minus.size();
        } else if (s[i] == u'+' || (!plus.isEmpty() && s.mid(i, plus.size()) == plus)) {
            i += s[i] == u'+' ? 1 : plus.size();
        }
    };
    const auto takeDigits = [&] {
        int n = 0;
        for (; i < s.size(); ++i) {
            const int d = s[i].digitValue();
            if (d < 0)
                break;
            plain += char('0' + d);
            ++n;
        }
        return n;
    };
    takeSign();
    int digits = takeDigits();
    if (i < s.size() && (s[i] == u'.' || (!decimal.isEmpty() && s.mid(i, decimal.size()) == decimal))) {
        i += s[i] == u'.' ? 1 : decimal.size();
        plain += '.';
        digits += takeDigits();
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        ++i;
        plain += 'e';
        takeSign();
        if (takeDigits() == 0)
            return false;
    }
    if (i != s.size())
        return false;
    bool ok = false;
    const double d = QLocale::c().toDouble(QLatin1String(plain), &ok);
    if (!ok || !std::isfinite(d))
        return false;
    value = d;
    return true;
}

void Field::setAsString(const QString &text) { m_owner->writeValue(this, convertText(text)); }

void Field::setAsInteger(qint32 v)
{
    if (m_type == ftString)
        setAsString(QString::number(v));
    else if (m_type == ftBoolean)
        m_owner->writeValue(this, v != 0);
    else if (isFloatType(m_type))
        m_owner->writeValue(this, double(v));
    else
        m_owner->writeValue(this, v);
}

void Field::setAsFloat(double v)
{
    if (m_type == ftString)
        setAsString(QString::number(v, 'g', 15));
    else if (isIntegerType(m_type)) {
        if (v != std::floor(v) || v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            throw EngineError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                                  .arg(QString::number(v, 'g', 15), m_name));
        m_owner->writeValue(this, qint32(v));
    } else if (m_type == ftBoolean)
        m_owner->writeValue(this, v != 0.0);
    else
        m_owner->writeValue(this, v);
}

void Field::setAsBoolean(bool v)
{
    if (m_type == ftString)
        setAsString(v ? QStringLiteral("True") : QStringLiteral("False"));
    else if (m_type == ftBoolean)
        m_owner->writeValue(this, v);
    else if (isFloatType(m_type))
        m_owner->writeValue(this, v ? 1.0 : 0.0);
    else
        m_owner->writeValue(this, qint32(v ? 1 : 0));
}

void Field::setValue(const QVariant &v)
{
    if (v.isNull()) {
        m_owner->writeValue(this, QVariant());
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool: setAsBoolean(v.toBool()); break;
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::UInt:
        if (v.toLongLong() < std::numeric_limits<qint32>::min() || v.toLongLong() > std::numeric_limits<qint32>::max())
            setAsFloat(v.toDouble());
        else
            setAsInteger(qint32(v.toLongLong()));
        break;
    case QMetaType::Double: case QMetaType::Float: setAsFloat(v.toDouble()); break;
    default: setAsString(v.toString()); break;
    }
}

void Field::clear() { m_owner->writeValue(this, QVariant()); }

// ---------------------------------------------------------------- DataLink / DataSource

DataLink::~DataLink()
{
    if (m_source)
        m_source->removeLink(this);
}

void DataLink::setDataSource(DataSource *ds)
{
    if (m_source == ds)
        return;
    if (m_source)
        m_source->removeLink(this);
    m_source = ds;
    if (ds)
        ds->addLink(this);
    dataSetChanged();
    stateChanged();
}

DataSet *DataLink::dataSet() const { return m_source ? m_source->dataSet() : nullptr; }

DataSource::DataSource(QObject *parent, const QString &name) : QObject(parent) { setObjectName(name); }

DataSource::~DataSource()
{
    if (m_dataSet)
        m_dataSet->removeDataSource(this);
    for (DataLink *l : m_links)
        l->m_source = nullptr;
}

void DataSource::setDataSet(DataSet *ds)
{
    if (m_dataSet == ds)
        return;
    if (m_dataSet)
        m_dataSet->removeDataSource(this);
    m_dataSet = ds;
    if (ds)
        ds->addDataSource(this);
    notifyDataSetChanged(true);
    notifyStateChanged();
    emit dataSetReplaced();
}

void DataSource::addLink(DataLink *l)
{
    if (std::find(m_links.begin(), m_links.end(), l) == m_links.end())
        m_links.push_back(l);
}

void DataSource::removeLink(DataLink *l) { m_links.erase(std::remove(m_links.begin(), m_links.end(), l), m_links.end()); }

// Links may come and go while they are told (a handler can rebind a control), so each is checked
// against the live list before it is called.
template <typename F> static void forEachLink(const std::vector<DataLink *> &live, F f)
{
    const std::vector<DataLink *> copy = live;
    for (DataLink *l : copy)
        if (std::find(live.begin(), live.end(), l) != live.end())
            f(l);
}

void DataSource::notifyDataSetChanged(bool includeControls)
{
    forEachLink(m_links, [&](DataLink *l) {
        if (includeControls || !l->isControlLink())
            l->dataSetChanged();
    });
}

void DataSource::notifyRecordChanged(Field *f)
{
    forEachLink(m_links, [&](DataLink *l) {
        if (l->isControlLink())
            l->recordChanged(f);
    });
}

void DataSource::notifyStateChanged()
{
    forEachLink(m_links, [&](DataLink *l) { l->stateChanged(); });
}

void DataSource::notifyUpdateData()
{
    forEachLink(m_links, [&](DataLink *l) {
        if (l->isControlLink())
            l->updateData();
    });
}

// ---------------------------------------------------------------- DataSet

DataSet::DataSet(QObject *parent, const QString &name) : QObject(parent) { setObjectName(name); }

DataSet::~DataSet()
{
    // Subclasses close themselves; here only the links to sources are dropped.
    for (auto &s : m_sources)
        if (s)
            s->m_dataSet = nullptr;
    if (m_database)
        m_database->unregisterDataSet(this);
}

void DataSet::setDatabaseName(const QString &name)
{
    if (isOpen())
        throw EngineError(QStringLiteral("Cannot change the database of open data set '%1'").arg(objectName()));
    m_databaseName = name;
}

void DataSet::requireActive() const
{
    if (!isOpen())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed data set '%1'").arg(objectName()));
}

void DataSet::requireBrowseable()
{
    requireActive();
    checkBrowseMode();
}

void DataSet::open()
{
    if (isOpen())
        return;
    Database *db = Database::find(m_databaseName);
    if (!db)
        throw EngineError(QStringLiteral("Database '%1' does not exist").arg(m_databaseName));
    if (!db->isOpen())
        db->open();
    m_database = db;
    try {
        doOpen();
    } catch (...) {
        m_database = nullptr;
        throw;
    }
    db->registerDataSet(this);
    m_modified = false;
    setState(DataSetState::Browse);
    notifyDataSetChanged();
}

void DataSet::close()
{
    if (!isOpen())
        return;
    doClose();
    m_buffer = Record();
    m_modified = false;
    m_records.clear();
    m_cur = -1;
    m_eof = m_bof = true;
    if (m_database)
        m_database->unregisterDataSet(this);
    m_database = nullptr;
    setState(DataSetState::Inactive);
    notifyDataSetChanged();
}

void DataSet::requireBidirectional(const char *operation) const
{
    if (isStreaming())
        throw EngineError(QStringLiteral("Operation not applicable: '%1' reads its records one way only (%2)")
                              .arg(objectName(), QLatin1String(operation)));
}

void DataSet::first()
{
    requireBrowseable();
    if (isStreaming()) {
        if (m_cur != 0 || m_eof)
            doFetch(); // runs the statement again, onto its first record
        notifyDataSetChanged();
        return;
    }
    ensureFresh();
    m_cur = m_records.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_records.isEmpty();
    notifyDataSetChanged();
}

void DataSet::next()
{
    requireBrowseable();
    if (isStreaming()) {
        if (m_eof)
            return;
        if (streamNext()) {
            ++m_cur;
            m_bof = false;
            notifyDataSetChanged();
        } else {
            m_eof = true;
        }
        return;
    }
    ensureFresh();
    if (m_cur + 1 < m_records.size()) {
        ++m_cur;
        m_eof = false;
        m_bof = false;
        notifyDataSetChanged();
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    requireBrowseable();
    requireBidirectional("prior");
    ensureFresh();
    if (m_cur > 0) {
        --m_cur;
        m_bof = false;
        m_eof = false;
        notifyDataSetChanged();
    } else {
        m_bof = true;
    }
}

void DataSet::last()
{
    requireBrowseable();
    requireBidirectional("last");
    ensureFresh();
    m_cur = int(m_records.size()) - 1;
    m_eof = true;
    m_bof = m_records.isEmpty();
    notifyDataSetChanged();
}

bool DataSet::eof()
{
    if (!isOpen())
        return true;
    if (isStreaming())
        return m_eof;
    ensureFresh();
    return m_eof || m_records.isEmpty();
}

bool DataSet::bof()
{
    if (!isOpen())
        return true;
    ensureFresh();
    return m_bof;
}

bool DataSet::isEmpty()
{
    if (!isOpen())
        return true;
    if (isStreaming())
        return m_cur < 0;
    ensureFresh();
    return m_records.isEmpty() && m_state != DataSetState::Insert;
}

int DataSet::recordCount()
{
    if (!isOpen())
        return 0;
    requireBidirectional("record count");
    ensureFresh();
    return int(m_records.size());
}

int DataSet::recNo()
{
    if (!isOpen())
        return -1;
    ensureFresh();
    return m_cur;
}

Field *DataSet::fields(int index) const
{
    if (index < 0 || index >= int(m_fields.size()))
        throw EngineError(QStringLiteral("Field index %1 out of range in '%2'").arg(index).arg(objectName()));
    return m_fields[size_t(index)].get();
}

Field *DataSet::findField(const QString &name) const
{
    // Names nearly always come spelt as the table spells them: a plain comparison finds them at
    // a fraction of the cost of one that ignores case.
    for (const auto &f : m_fields)
        if (f->fieldName() == name)
            return f.get();
    for (const auto &f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field *DataSet::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        throw EngineError(QStringLiteral("%1: Field '%2' not found").arg(objectName(), name));
    return f;
}

QStringList DataSet::fieldNames() const
{
    QStringList n;
    for (const auto &f : m_fields)
        n << f->fieldName();
    return n;
}

void DataSet::setFields(std::vector<std::unique_ptr<Field>> fields)
{
    static quint64 versions = 0;
    m_fields = std::move(fields);
    m_fieldsVersion = ++versions;
}

void DataSet::edit()
{
    requireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    if (m_state == DataSetState::SetKey)
        setState(m_stateBeforeKey);
    if (m_database)
        m_database->requireWritable();
    if (!m_canModify)
        throw EngineError(QStringLiteral("Cannot modify a read-only data set '%1'").arg(objectName()));
    ensureFresh();
    if (m_cur < 0 || m_cur >= m_records.size())
        throw EngineError(QStringLiteral("There is no record to edit in '%1'").arg(objectName()));
    m_buffer = m_records[m_cur];
    m_modified = false;
    setState(DataSetState::Edit);
}

void DataSet::insert()
{
    requireBrowseable();
    if (m_database)
        m_database->requireWritable();
    if (!m_canModify)
        throw EngineError(QStringLiteral("Cannot modify a read-only data set '%1'").arg(objectName()));
    ensureFresh();
    m_buffer = Record();
    m_buffer.values = QVector<QVariant>(int(m_fields.size()));
    m_insertPos = m_cur < 0 ? 0 : m_cur;
    m_modified = false;
    setState(DataSetState::Insert);
    notifyDataSetChanged();
}

void DataSet::post()
{
    requireActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    for (auto &s : m_sources)
        if (s)
            s->notifyUpdateData();
    if (beforePost)
        beforePost(*this);
    const bool inserting = m_state == DataSetState::Insert;
    doPost(m_buffer, inserting);
    if (inserting) {
        const int pos = qBound(0, m_insertPos, int(m_records.size()));
        m_records.insert(pos, m_buffer);
        m_cur = pos;
        m_eof = m_bof = false;
    } else {
        m_records[m_cur] = m_buffer;
    }
    m_buffer = Record();
    m_modified = false;
    setState(DataSetState::Browse);
    notifyDataSetChanged();
    if (afterPost)
        afterPost(*this);
    editEnded();
}

void DataSet::cancel()
{
    if (m_state == DataSetState::SetKey) {
        setState(m_stateBeforeKey);
        return;
    }
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    m_buffer = Record();
    m_modified = false;
    setState(DataSetState::Browse);
    notifyDataSetChanged();
    editEnded();
}

void DataSet::refresh()
{
    requireBrowseable();
    if (isStreaming()) {
        doFetch();
        notifyDataSetChanged();
        return;
    }
    const qint64 rowid = (m_cur >= 0 && m_cur < m_records.size()) ? m_records[m_cur].rowid : -1;
    const int oldPos = m_cur;
    doFetch();
    int pos = -1;
    for (int i = 0; i < m_records.size(); ++i)
        if (m_records[i].rowid == rowid) {
            pos = i;
            break;
        }
    if (pos < 0 && !m_records.isEmpty())
        pos = qBound(0, oldPos, int(m_records.size()) - 1);
    m_cur = pos;
    m_eof = m_records.isEmpty();
    m_bof = m_cur <= 0;
    notifyDataSetChanged();
}

void DataSet::checkBrowseMode()
{
    if (!isOpen())
        return;
    if (m_state == DataSetState::SetKey) {
        cancel();
        return;
    }
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    for (auto &s : m_sources)
        if (s)
            s->notifyUpdateData();
    if (m_modified)
        post();
    else
        cancel();
}

void DataSet::updateRecord()
{
    for (auto &s : m_sources)
        if (s)
            s->notifyUpdateData();
}

void DataSet::setFieldChangeHandler(const QString &fieldName, std::function<void(Field &)> handler)
{
    m_changeHandlers.insert(fieldName.toLower(), std::move(handler));
}

void DataSet::disableControls() { ++m_disableCount; }

void DataSet::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount == 0 && m_pendingNotify) {
        m_pendingNotify = false;
        for (auto &s : m_sources)
            if (s) {
                s->notifyDataSetChanged(true);
                s->notifyStateChanged();
            }
    }
}

QVariant DataSet::currentValue(int index)
{
    if (!isOpen())
        return QVariant();
    ensureFresh();
    switch (m_state) {
    case DataSetState::SetKey:
        return m_keyBuffer.values.value(index);
    case DataSetState::Edit:
    case DataSetState::Insert:
        return m_buffer.values.value(index);
    default:
        if (isStreaming())
            return m_cur >= 0 && !m_eof ? streamValue(index) : QVariant();
        if (m_cur >= 0 && m_cur < m_records.size())
            return m_records[m_cur].values.value(index);
        return QVariant();
    }
}

bool DataSet::canModify() const { return m_canModify && !(m_database && m_database->isDamaged()); }

QVariant DataSet::readValue(int index)
{
    if (m_state == DataSetState::Edit && m_cur >= 0 && m_cur < m_records.size())
        return m_records[m_cur].values.value(index);
    if (m_state == DataSetState::Insert)
        return QVariant();
    return currentValue(index);
}

const StoredValue *DataSet::storedValue(int index)
{
    if (!isOpen())
        return nullptr;
    ensureFresh();
    const Record *r = nullptr;
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        r = &m_buffer;
    else if (m_state == DataSetState::Browse && !isStreaming() && m_cur >= 0 && m_cur < m_records.size())
        r = &m_records[m_cur];
    if (!r)
        return nullptr;
    for (const StoredValue &v : r->stored)
        if (v.column == index)
            return &v;
    return nullptr;
}

QString DataSet::recordDescription() { return QStringLiteral("row %1").arg(recNo() + 1); }

void DataSet::writeValue(Field *f, const QVariant &v)
{
    requireActive();
    if (m_state == DataSetState::SetKey) {
        m_keyBuffer.values[f->index()] = v;
        m_keyAssigned[f->index()] = true;
        return;
    }
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw EngineError(QStringLiteral("Data set '%1' is not in edit or insert mode").arg(objectName()));
    m_buffer.values[f->index()] = v;
    // A written value replaces what was stored, also a value the field could not hold.
    auto &stored = m_buffer.stored;
    stored.erase(std::remove_if(stored.begin(), stored.end(),
                                [&](const StoredValue &s) { return s.column == f->index(); }),
                 stored.end());
    m_modified = true;
    auto it = m_changeHandlers.find(f->fieldName().toLower());
    if (it != m_changeHandlers.end() && *it)
        (*it)(*f);
    for (auto &s : m_sources)
        if (s && !controlsDisabled())
            s->notifyRecordChanged(f);
}

void DataSet::addDataSource(DataSource *ds)
{
    for (auto &s : m_sources)
        if (s == ds)
            return;
    m_sources.emplace_back(ds);
}

void DataSet::removeDataSource(DataSource *ds)
{
    m_sources.erase(std::remove_if(m_sources.begin(), m_sources.end(),
                                   [ds](const QPointer<DataSource> &p) { return p.isNull() || p == ds; }),
                    m_sources.end());
}

void DataSet::notifyDataSetChanged()
{
    const bool controls = !controlsDisabled();
    if (!controls)
        m_pendingNotify = true;
    const auto sources = m_sources;
    for (auto &s : sources)
        if (s)
            s->notifyDataSetChanged(controls);
}

void DataSet::notifyStateChanged()
{
    if (controlsDisabled()) {
        m_pendingNotify = true;
        return;
    }
    const auto sources = m_sources;
    for (auto &s : sources)
        if (s)
            s->notifyStateChanged();
}

void DataSet::setState(DataSetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    notifyStateChanged();
}

} // namespace kvt
