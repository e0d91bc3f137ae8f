#include "paradox/codepage.h"
#include "paradox/paradox.h"
#include "paradox/pxdoc.h"
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTime>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kvt::paradox {

namespace {
constexpr long SdnOffset = 1721425;

int recordBytes(const Field &f) { return f.type == Bcd ? 17 : f.length; }

char *dupString(const QByteArray &s)
{
    char *p = static_cast<char *>(std::malloc(size_t(s.size()) + 1));
    if (!p)
        throw Error(QStringLiteral("Out of memory"));
    std::memcpy(p, s.constData(), size_t(s.size()));
    p[s.size()] = '\0';
    return p;
}

// pxlib takes ownership of the field array and frees it with the document.
pxfield_t *makeFields(const std::vector<Field> &fields, size_t count, const CodePage &cp)
{
    std::vector<QByteArray> names;
    for (size_t i = 0; i < count; ++i) {
        QByteArray n;
        if (!cp.encode(fields[i].name, n) || n.isEmpty() || n.contains('\0') || n.size() > 250)
            throw Error(QStringLiteral("The field name '%1' cannot be written in code page %2").arg(fields[i].name).arg(cp.number()));
        names.push_back(n);
    }
    auto *pf = static_cast<pxfield_t *>(std::calloc(count, sizeof(pxfield_t)));
    if (!pf)
        throw Error(QStringLiteral("Out of memory"));
    for (size_t i = 0; i < count; ++i) {
        pf[i].px_fname = dupString(names[i]);
        pf[i].px_ftype = char(fields[i].type);
        pf[i].px_flen = recordBytes(fields[i]);
        pf[i].px_fdc = fields[i].type == Bcd ? fields[i].length : 0;
    }
    return pf;
}

bool parseTime(const QString &text, qint64 &ms)
{
    const QTime t = QTime::fromString(text, text.size() > 8 ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
    if (!t.isValid())
        return false;
    ms = t.msecsSinceStartOfDay();
    return true;
}

bool parseDate(const QString &text, long &days)
{
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        return false;
    days = long(PX_GregorianToSdn(d.year(), d.month(), d.day())) - SdnOffset;
    return true;
}
} // namespace

struct Writer::Impl {
    QString path;
    TableDef def;
    PxDoc doc;
    std::unique_ptr<CodePage> codePage;
    QByteArray record;
    std::vector<int> offsets;
    int rows = 0;
    bool finished = false;
    bool hasBlobs = false;
};

Writer::Writer(const QString &dbPath, const TableDef &def, const QString &password) : d(std::make_unique<Impl>())
{
    d->path = dbPath;
    d->def = def;
    if (def.fields.empty() || def.fields.size() > 255)
        throw Error(QStringLiteral("Cannot write '%1': a table has 1 to 255 fields").arg(dbPath));
    int size = 0;
    bool hasBlobs = false;
    for (const Field &f : def.fields) {
        if (!isKnownType(f.type))
            throw Error(QStringLiteral("Cannot write '%1': field '%2' has an unknown type").arg(dbPath, f.name));
        // pxlib writes every blob with the header of a binary blob; a graphic needs a longer one.
        if (f.type == Graphic)
            throw Error(QStringLiteral("Cannot write '%1': graphic fields ('%2') cannot be written").arg(dbPath, f.name));
        d->offsets.push_back(size);
        size += recordBytes(f);
        hasBlobs = hasBlobs || isBlobType(f.type);
    }
    d->hasBlobs = hasBlobs;
    if (def.primaryKeyFields < 0 || def.primaryKeyFields > int(def.fields.size()))
        throw Error(QStringLiteral("Cannot write '%1': %2 key fields").arg(dbPath).arg(def.primaryKeyFields));
    const int cp = def.codePage > 0 ? def.codePage : 1252;
    d->codePage = std::make_unique<CodePage>(cp);
    d->record.resize(size);

    pxdoc_t *doc = d->doc.get();
    const QByteArray native = QFile::encodeName(dbPath);
    pxfield_t *pf = makeFields(def.fields, def.fields.size(), *d->codePage);
    d->doc.check(PX_create_file(doc, pf, int(def.fields.size()), native.constData(),
                                def.primaryKeyFields > 0 ? pxfFileTypIndexDB : pxfFileTypNonIndexDB),
                 QStringLiteral("Cannot create table"), dbPath);
    d->doc.markOpen();
    // pxlib stores the path it was given as the table name; the legacy engine stores the file name.
    d->doc.check(PX_set_parameter(doc, "tablename", QFileInfo(dbPath).fileName().toLatin1().constData()),
                 QStringLiteral("Cannot name table"), dbPath);
    doc->px_head->px_fileversion = def.fileVersion >= 70 ? 70 : 50;
    doc->px_head->px_doscodepage = cp;
    if (def.primaryKeyFields > 0)
        d->doc.check(PX_set_value(doc, "numprimkeys", float(def.primaryKeyFields)),
                     QStringLiteral("Cannot set the primary key of"), dbPath);
    if (def.encrypted) {
        if (password.isEmpty())
            throw Error(QStringLiteral("Cannot write '%1' encrypted: no password").arg(dbPath));
        d->doc.check(PX_set_parameter(doc, "password", password.toLatin1().constData()),
                     QStringLiteral("Cannot encrypt table"), dbPath);
    }
    if (hasBlobs) {
        const QByteArray mb = QFile::encodeName(companionPath(dbPath, "MB"));
        d->doc.check(PX_set_blob_file(doc, mb.constData()), QStringLiteral("Cannot create the blob file of"), dbPath);
    }
}

Writer::~Writer() = default;

void Writer::append(const std::vector<QVariant> &row)
{
    auto fail = [&](const Field &f, const QString &why) {
        return Error(QStringLiteral("Cannot write '%1', record %2, field '%3': %4")
                         .arg(d->path).arg(d->rows + 1).arg(f.name, why));
    };
    if (d->finished)
        throw Error(QStringLiteral("Cannot write '%1': already finished").arg(d->path));
    if (row.size() != d->def.fields.size())
        throw Error(QStringLiteral("Cannot write '%1', record %2: %3 values for %4 fields")
                        .arg(d->path).arg(d->rows + 1).arg(row.size()).arg(d->def.fields.size()));
    pxdoc_t *doc = d->doc.get();
    std::memset(d->record.data(), 0, size_t(d->record.size()));
    for (size_t k = 0; k < row.size(); ++k) {
        const Field &f = d->def.fields[k];
        const QVariant &v = row[k];
        if (v.isNull())
            continue; // all zero bytes: the empty value of every type
        char *p = d->record.data() + d->offsets[k];
        const int len = recordBytes(f);
        bool ok = true;
        switch (f.type) {
        case Alpha: {
            QByteArray bytes;
            // pxlib ignores its input encoding when writing: convert here.
            if (!d->codePage->encode(v.toString(), bytes))
                throw fail(f, QStringLiteral("the text has characters that code page %1 lacks").arg(d->codePage->number()));
            if (bytes.size() > len)
                throw fail(f, QStringLiteral("the text is longer than %1 characters").arg(len));
            if (bytes.contains('\0'))
                throw fail(f, QStringLiteral("the text holds a NUL character"));
            if (!bytes.isEmpty())
                PX_put_data_alpha(doc, p, len, bytes.data());
            break;
        }
        case Date: {
            long days = 0;
            if (!parseDate(v.toString(), days))
                throw fail(f, QStringLiteral("'%1' is not a date YYYY-MM-DD").arg(v.toString()));
            PX_put_data_long(doc, p, 4, int(days));
            break;
        }
        case Time: {
            qint64 ms = 0;
            if (!parseTime(v.toString(), ms))
                throw fail(f, QStringLiteral("'%1' is not a time HH:MM:SS").arg(v.toString()));
            PX_put_data_long(doc, p, 4, int(ms));
            break;
        }
        case Timestamp: {
            const QString s = v.toString();
            long days = 0;
            qint64 ms = 0;
            if (s.size() < 19 || !parseDate(s.left(10), days) || !parseTime(s.mid(11), ms))
                throw fail(f, QStringLiteral("'%1' is not a timestamp YYYY-MM-DD HH:MM:SS").arg(s));
            PX_put_data_double(doc, p, 8, double(days) * 86400000.0 + double(ms));
            break;
        }
        case Short: {
            const qlonglong n = v.toLongLong(&ok);
            if (!ok || n < -32767 || n > 32767)
                throw fail(f, QStringLiteral("'%1' is not a short number").arg(v.toString()));
            PX_put_data_short(doc, p, 2, short(n));
            break;
        }
        case Long:
        case AutoInc: {
            const qlonglong n = v.toLongLong(&ok);
            if (!ok || n < -2147483647LL || n > 2147483647LL || (v.typeId() == QMetaType::Double && std::trunc(v.toDouble()) != v.toDouble()))
                throw fail(f, QStringLiteral("'%1' is not a long integer").arg(v.toString()));
            PX_put_data_long(doc, p, 4, int(n));
            break;
        }
        case Number:
        case Currency: {
            const double x = v.toDouble(&ok);
            if (!ok || !std::isfinite(x))
                throw fail(f, QStringLiteral("'%1' is not a number").arg(v.toString()));
            PX_put_data_double(doc, p, 8, x);
            if (x == 0 && std::signbit(x))
                for (int b = 0; b < 8; ++b) // pxlib writes -0 as +0; the format keeps the sign
                    p[b] = char(b == 0 ? 0x7f : 0xff);
            break;
        }
        case Bcd: {
            const double x = v.toDouble(&ok);
            if (!ok || !std::isfinite(x))
                throw fail(f, QStringLiteral("'%1' is not a number").arg(v.toString()));
            QByteArray text = QByteArray::number(x, 'f', qMin(f.length, 15));
            // Without a point pxlib drops the whole-number digits (a field of 0 decimals).
            if (!text.contains('.'))
                text += ".0";
            PX_put_data_bcd(doc, p, f.length, text.data());
            break;
        }
        case Logical:
            PX_put_data_byte(doc, p, 1, char(v.toBool() ? 1 : 0));
            break;
        case Bytes: {
            QByteArray b = v.toByteArray();
            if (b.size() > len)
                throw fail(f, QStringLiteral("%1 bytes do not fit %2").arg(b.size()).arg(len));
            std::memcpy(p, b.constData(), size_t(b.size()));
            break;
        }
        default: { // blobs
            QByteArray b;
            if (f.type == Memo || f.type == FormattedMemo) {
                if (!d->codePage->encode(v.toString(), b))
                    throw fail(f, QStringLiteral("the text has characters that code page %1 lacks").arg(d->codePage->number()));
            } else {
                b = v.toByteArray();
            }
            if (!b.isEmpty()) {
                // pxlib writes blob blocks in the clear but deciphers them when it reads them back
                // to fill a block: it works on the blob file as unencrypted, and finish() enciphers it.
                const unsigned long encryption = doc->px_head->px_encryption;
                doc->px_head->px_encryption = 0;
                PX_put_data_blob(doc, p, len, b.data(), int(b.size()));
                doc->px_head->px_encryption = encryption;
            }
            break;
        }
        }
        const QString e = d->doc.takeErrors();
        if (!e.isEmpty())
            throw fail(f, e);
    }
    // At its position: PX_put_record searches the blocks for a free slot on every call.
    d->doc.check(PX_put_recordn(doc, d->record.data(), d->rows), QStringLiteral("Cannot write a record to"), d->path);
    ++d->rows;
}

void Writer::finish()
{
    if (d->finished)
        return;
    d->finished = true;
    pxdoc_t *doc = d->doc.get();
    if (d->def.primaryKeyFields > 0) {
        const QString pxPath = companionPath(d->path, "PX");
        PxDoc index;
        pxfield_t *pf = makeFields(d->def.fields, size_t(d->def.primaryKeyFields), *d->codePage);
        const QByteArray native = QFile::encodeName(pxPath);
        index.check(PX_create_file(index.get(), pf, d->def.primaryKeyFields, native.constData(), pxfFileTypPrimIndex),
                    QStringLiteral("Cannot create the primary index"), pxPath);
        index.markOpen();
        index.check(PX_set_parameter(index.get(), "tablename", QFileInfo(pxPath).fileName().toLatin1().constData()),
                    QStringLiteral("Cannot name the primary index"), pxPath);
        d->doc.check(PX_write_primary_index(doc, index.get()), QStringLiteral("Cannot write the primary index of"), d->path);
    }
    const unsigned long encryption = doc->px_head ? doc->px_head->px_encryption : 0;
    d->doc.close();
    const QString e = d->doc.takeErrors();
    if (!e.isEmpty())
        throw Error(QStringLiteral("Cannot finish '%1': %2").arg(d->path, e));
    if (d->def.encrypted && d->hasBlobs) {
        // The legacy engine reads the blob file of an encrypted table enciphered with the table's
        // key, 256 bytes at a time.
        const QString mb = companionPath(d->path, "MB");
        QFile f(mb);
        if (!f.open(QIODevice::ReadWrite))
            throw Error(QStringLiteral("Cannot encrypt the blob file '%1': %2").arg(mb, f.errorString()));
        QByteArray data = f.readAll();
        const qint64 whole = data.size() & ~qint64(255);
        px_encrypt_mb_block(reinterpret_cast<unsigned char *>(data.data()), reinterpret_cast<unsigned char *>(data.data()),
                            encryption, (unsigned long)whole);
        if (!f.seek(0) || f.write(data) != data.size() || !f.flush())
            throw Error(QStringLiteral("Cannot encrypt the blob file '%1': %2").arg(mb, f.errorString()));
    }
}

} // namespace kvt::paradox
