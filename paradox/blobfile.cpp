#include "paradox/blobfile.h"
#include "paradox/paradox.h"
#include "paradox/pxdoc.h"
#include <QFile>

namespace kvt::paradox {
namespace {
quint32 le32(const char *p)
{
    return quint32(uchar(p[0])) | quint32(uchar(p[1])) << 8 | quint32(uchar(p[2])) << 16 | quint32(uchar(p[3])) << 24;
}
int le16(const char *p) { return uchar(p[0]) | uchar(p[1]) << 8; }
constexpr qint64 BlockSize = 4096;
} // namespace

BlobFile::BlobFile(const QString &path, unsigned long encryption) : m_path(path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open the blob file '%1': %2").arg(path, f.errorString()));
    m_data = f.readAll();
    if (m_data.size() < BlockSize)
        throw Error(QStringLiteral("'%1' is not a Paradox blob file").arg(path));
    if (encryption) {
        const qint64 whole = m_data.size() & ~qint64(255);
        px_decrypt_mb_block(reinterpret_cast<unsigned char *>(m_data.data()),
                            reinterpret_cast<unsigned char *>(m_data.data()), encryption, (unsigned long)whole);
    }
    if (m_data[0] != 0)
        throw Error(QStringLiteral("'%1' is not a Paradox blob file").arg(path));
}

QByteArray BlobFile::value(const BlobFile *file, const char *field, int length, bool graphic)
{
    const int leader = length - 10;
    const char *ptr = field + leader;
    const quint32 offsetIndex = le32(ptr);
    const quint32 size = le32(ptr + 4);
    if (size == 0)
        return QByteArray();
    if (!graphic && size <= quint32(leader))
        return QByteArray(field, int(size)); // held in the record itself
    if (!file)
        throw Error(QStringLiteral("a blob value lies in the blob file (.MB), which is missing"));
    return file->blob(offsetIndex & 0xffffff00u, int(offsetIndex & 0xff), size, graphic);
}

QByteArray BlobFile::blob(quint32 offset, int index, quint32 size, bool graphic) const
{
    auto bad = [&](const QString &why) {
        return Error(QStringLiteral("blob file '%1': %2 (block at %3)").arg(m_path, why).arg(offset));
    };
    if (offset == 0 || offset + 12 > quint64(m_data.size()))
        throw bad(QStringLiteral("a blob points outside the file"));
    const char *block = m_data.constData() + offset;
    const int type = uchar(block[0]);
    if (type == 2) {
        if (index != 0xff)
            throw bad(QStringLiteral("a single-blob block is addressed with an index"));
        const int head = graphic ? 17 : 9;
        const quint32 stored = le32(block + 3);
        const qint64 chunks = le16(block + 1);
        if (stored != size)
            throw bad(QStringLiteral("the blob's size (%1) differs from its record's (%2)").arg(stored).arg(size));
        const quint32 n = graphic ? size - 8 : size;
        if (graphic && size < 8)
            throw bad(QStringLiteral("a graphic blob is too short"));
        if (quint64(offset) + head + n > quint64(m_data.size()) || head + n > chunks * BlockSize)
            throw bad(QStringLiteral("the blob runs past its block"));
        return QByteArray(block + head, int(n));
    }
    if (type == 3) {
        if (index >= 64)
            throw bad(QStringLiteral("blob index %1 out of range").arg(index));
        const char *p = block + 12 + index * 5;
        const int start = uchar(p[0]) * 16;
        const quint32 stored = quint32(uchar(p[1]) - 1) * 16 + uchar(p[4]);
        if (uchar(p[1]) == 0 || stored != size)
            throw bad(QStringLiteral("the blob's size differs from its record's (%1)").arg(size));
        if (start < 12 + 64 * 5 || start + qint64(size) > BlockSize || quint64(offset) + start + size > quint64(m_data.size()))
            throw bad(QStringLiteral("the blob runs past its block"));
        return QByteArray(block + start, int(size));
    }
    throw bad(QStringLiteral("block type %1 holds no blob").arg(type));
}

} // namespace kvt::paradox
