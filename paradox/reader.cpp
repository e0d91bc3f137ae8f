#include "paradox/blobfile.h"
#include "paradox/check.h"
#include "paradox/codepage.h"
#include "paradox/paradox.h"
#include "paradox/pxdoc.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kvt::paradox {

namespace {
constexpr long SdnOffset = 1721425; // day 1 of the format is 1 January of year 1

bool allZero(const char *p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i])
            return false;
    return true;
}

QString timeText(qint64 ms)
{
    const qint64 s = ms / 1000;
    QString t = QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    if (ms % 1000)
        t += QString::asprintf(".%03lld", ms % 1000);
    return t;
}

QString dateText(long days)
{
    int y = 0, m = 0, d = 0;
    PX_SdnToGregorian(days + SdnOffset, &y, &m, &d);
    return QString::asprintf("%04d-%02d-%02d", y, m, d);
}
} // namespace

QString typeName(int type)
{
    switch (type) {
    case Alpha: return QStringLiteral("Alpha");
    case Date: return QStringLiteral("Date");
    case Short: return QStringLiteral("Short");
    case Long: return QStringLiteral("Long Integer");
    case Currency: return QStringLiteral("Money");
    case Number: return QStringLiteral("Number");
    case Logical: return QStringLiteral("Logical");
    case Memo: return QStringLiteral("Memo");
    case Blob: return QStringLiteral("Binary");
    case FormattedMemo: return QStringLiteral("Formatted Memo");
    case Ole: return QStringLiteral("OLE");
    case Graphic: return QStringLiteral("Graphic");
    case Time: return QStringLiteral("Time");
    case Timestamp: return QStringLiteral("Timestamp");
    case AutoInc: return QStringLiteral("Autoincrement");
    case Bcd: return QStringLiteral("BCD");
    case Bytes: return QStringLiteral("Bytes");
    default: return QString();
    }
}

bool isKnownType(int type) { return !typeName(type).isEmpty(); }

bool isBlobType(int type)
{
    return type == Memo || type == Blob || type == FormattedMemo || type == Ole || type == Graphic;
}

QString companionPath(const QString &dbPath, const char *ext)
{
    const QFileInfo fi(dbPath);
    const QString base = fi.completeBaseName();
    const QDir dir = fi.dir();
    const QString wanted = base + QLatin1Char('.') + QLatin1String(ext);
    // The legacy engine's files come in any case: take the existing spelling.
    const QStringList found = dir.entryList({wanted}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &n : found)
        if (n.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(n);
    const bool lower = fi.suffix() == fi.suffix().toLower();
    return dir.filePath(base + QLatin1Char('.') + (lower ? QString::fromLatin1(ext).toLower() : QString::fromLatin1(ext)));
}

/// A table file read whole, as a stream pxlib reads from. pxlib seeks before every record, and on a
/// file each seek and read is a call into the system (three per record); in memory they are not.
/// Files above a limit are read from the file, so memory stays bounded.
class MemoryFile {
public:
    /// Null when the file is larger than limit or could not be read whole as checked.
    FILE *open(const QString &path, qint64 checkedSize, qint64 limit)
    {
        QFile f(path);
        if (checkedSize <= 0 || checkedSize > limit || !f.open(QIODevice::ReadOnly) || f.size() != checkedSize)
            return nullptr;
        m_bytes = f.readAll();
        if (m_bytes.size() != checkedSize)
            return nullptr;
        m_fp = fmemopen(m_bytes.data(), size_t(m_bytes.size()), "rb");
        return m_fp;
    }
    ~MemoryFile()
    {
        if (m_fp)
            std::fclose(m_fp);
    }

private:
    QByteArray m_bytes;
    FILE *m_fp = nullptr;
};

struct Reader::Impl {
    QString path;
    CheckedHeader head;
    MemoryFile memory; // before doc: pxlib lets go of the stream before it is closed
    PxDoc doc;
    std::unique_ptr<CodePage> codePage;
    std::unique_ptr<BlobFile> blobs;
    QByteArray record;
};

Reader::Reader(const QString &dbPath, const ReadOptions &options) : d(std::make_unique<Impl>())
{
    d->path = dbPath;
    d->head = checkTableFile(dbPath);
    if (FILE *fp = d->memory.open(dbPath, d->head.fileSize, options.inMemoryLimit)) {
        d->doc.check(PX_open_fp(d->doc.get(), fp), QStringLiteral("Cannot open table"), dbPath);
    } else {
        const QByteArray native = QFile::encodeName(dbPath);
        d->doc.check(PX_open_file(d->doc.get(), native.constData()), QStringLiteral("Cannot open table"), dbPath);
    }
    d->doc.markOpen();
    pxhead_t *h = d->doc.get()->px_head;
    if (!h || h->px_numfields != int(d->head.def.fields.size()) || h->px_recordsize != d->head.recordSize ||
        h->px_numrecords != d->head.recordCount)
        throw Error(QStringLiteral("'%1' is not a readable Paradox table: the library reads its header differently").arg(dbPath));
    // Text is converted here, not by pxlib: its conversion fails for tables without a code page.
    const int cp = d->head.def.codePage > 0 ? d->head.def.codePage : options.defaultCodePage;
    try {
        d->codePage = std::make_unique<CodePage>(cp);
    } catch (const Error &e) {
        throw Error(QStringLiteral("'%1': %2").arg(dbPath, e.message()));
    }
    // Field names are in the table's code page too.
    for (size_t i = 0; i < d->head.def.fields.size(); ++i)
        d->head.def.fields[i].name = d->codePage->decode(d->head.rawNames[i].constData(), int(d->head.rawNames[i].size()));
    bool hasBlobs = false;
    for (const Field &f : d->head.def.fields)
        hasBlobs = hasBlobs || isBlobType(f.type);
    if (hasBlobs) {
        const QString mb = companionPath(dbPath, "MB");
        if (QFileInfo::exists(mb)) {
            try {
                d->blobs = std::make_unique<BlobFile>(mb, d->head.encryption);
            } catch (const Error &e) {
                throw Error(QStringLiteral("'%1': %2").arg(dbPath, e.message()));
            }
        }
    }
    d->record.resize(d->head.recordSize);
}

Reader::~Reader() = default;

const TableDef &Reader::definition() const { return d->head.def; }
int Reader::recordCount() const { return d->head.recordCount; }
QString Reader::path() const { return d->path; }
int Reader::textCodePage() const { return d->codePage->number(); }

std::vector<QVariant> Reader::record(int i)
{
    auto fail = [&](const QString &why) {
        return Error(QStringLiteral("'%1', record %2: %3").arg(d->path).arg(i + 1).arg(why));
    };
    if (i < 0 || i >= d->head.recordCount)
        throw fail(QStringLiteral("no such record"));
    std::memset(d->record.data(), 0, size_t(d->record.size()));
    pxdoc_t *doc = d->doc.get();
    if (!PX_get_record(doc, i, d->record.data())) {
        const QString e = d->doc.takeErrors();
        throw fail(e.isEmpty() ? QStringLiteral("cannot be read") : e);
    }
    std::vector<QVariant> row;
    const auto &fields = d->head.def.fields;
    row.reserve(fields.size());
    for (size_t k = 0; k < fields.size(); ++k) {
        const Field &f = fields[k];
        char *p = d->record.data() + d->head.offsets[k];
        const int len = f.type == Bcd ? 17 : f.length;
        QVariant v;
        switch (f.type) {
        case Alpha: {
            char *s = nullptr;
            if (PX_get_data_alpha(doc, p, len, &s) > 0 && s) {
                v = d->codePage->decode(s, int(strnlen(s, size_t(len))));
                d->doc.free(s);
            }
            break;
        }
        case Date:
        case Long:
        case AutoInc:
        case Time: {
            // pxlib tests 8 bytes for the empty value of this 4-byte field.
            if (allZero(p, 4))
                break;
            long value = 0;
            if (PX_get_data_long(doc, p, 4, &value) < 0)
                break;
            const qint32 n = qint32(value);
            if (f.type == Date)
                v = dateText(n);
            else if (f.type == Time)
                v = timeText(n);
            else
                v = qint64(n);
            break;
        }
        case Short: {
            short value = 0;
            if (PX_get_data_short(doc, p, 2, &value) > 0)
                v = qint64(value);
            break;
        }
        case Currency:
        case Number: {
            double value = 0;
            if (PX_get_data_double(doc, p, 8, &value) > 0)
                v = value;
            break;
        }
        case Timestamp: {
            double value = 0;
            if (PX_get_data_double(doc, p, 8, &value) > 0) {
                const qint64 ms = qint64(std::llround(value));
                const qint64 days = ms / 86400000;
                v = dateText(long(days)) + QLatin1Char(' ') + timeText(ms % 86400000);
            }
            break;
        }
        case Logical: {
            char value = 0;
            if (PX_get_data_byte(doc, p, 1, &value) > 0)
                v = value != 0;
            break;
        }
        case Bcd: {
            // pxlib leaks its buffer for a value stored with other decimals than the field's.
            if (p[0] != 0 && (uchar(p[0]) & 0x3f) != f.length)
                throw fail(QStringLiteral("field '%1' holds a number with %2 decimals, the field has %3")
                               .arg(f.name).arg(uchar(p[0]) & 0x3f).arg(f.length));
            char *s = nullptr;
            if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char *>(p), f.length, &s) > 0 && s) {
                // pxlib gives junk past the digits the legacy engine stores for many decimals: keep
                // the leading sign, digits and point only. Its point follows the C locale.
                QByteArray text;
                for (const char *c = s; *c; ++c) {
                    if ((*c >= '0' && *c <= '9') || (*c == '-' && text.isEmpty()))
                        text += *c;
                    else if ((*c == '.' || *c == ',') && !text.contains('.'))
                        text += '.';
                    else
                        break;
                }
                d->doc.free(s);
                bool ok = false;
                const double value = text.toDouble(&ok);
                if (!ok)
                    throw fail(QStringLiteral("field '%1' holds no number").arg(f.name));
                v = value;
            } else if (p[0] != 0) {
                throw fail(QStringLiteral("field '%1' holds no number").arg(f.name));
            }
            break;
        }
        case Bytes:
            if (!allZero(p, len))
                v = QByteArray(p, len);
            break;
        default: { // blobs
            QByteArray data;
            try {
                data = BlobFile::value(d->blobs.get(), p, len, f.type == Graphic);
            } catch (const Error &e) {
                throw fail(QStringLiteral("field '%1': %2").arg(f.name, e.message()));
            }
            if (data.isNull())
                break;
            if (f.type == Memo || f.type == FormattedMemo)
                v = d->codePage->decode(data.constData(), int(data.size()));
            else
                v = data;
            break;
        }
        }
        row.push_back(v);
    }
    const QString e = d->doc.takeErrors();
    if (!e.isEmpty())
        throw fail(e);
    return row;
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    auto empty = [](const QVariant &v) {
        return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty()) ||
               (v.typeId() == QMetaType::QByteArray && v.toByteArray().isEmpty());
    };
    if (empty(a) || empty(b))
        return empty(a) && empty(b);
    const int ta = a.typeId(), tb = b.typeId();
    if (ta == QMetaType::Double || tb == QMetaType::Double) {
        if (ta != tb)
            return false;
        const double x = a.toDouble(), y = b.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (ta == QMetaType::QByteArray || tb == QMetaType::QByteArray)
        return a.toByteArray() == b.toByteArray();
    if (ta == QMetaType::QString || tb == QMetaType::QString)
        return ta == tb && a.toString() == b.toString();
    if (ta == QMetaType::Bool || tb == QMetaType::Bool)
        return a.toBool() == b.toBool() && a.toLongLong() == b.toLongLong();
    return a.toLongLong() == b.toLongLong();
}

} // namespace kvt::paradox
