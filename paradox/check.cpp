#include "paradox/check.h"
#include "paradox/pxdoc.h"
#include <QFile>
#include <QFileInfo>

namespace kvt::paradox {
namespace {

int u8(const QByteArray &b, int at) { return uchar(b[at]); }
int u16(const QByteArray &b, int at) { return uchar(b[at]) | (uchar(b[at + 1]) << 8); }
int s16(const QByteArray &b, int at) { return qint16(quint16(u16(b, at))); }
quint32 u32(const QByteArray &b, int at) { return quint32(u16(b, at)) | (quint32(u16(b, at + 2)) << 16); }

int fileVersionOf(int id)
{
    switch (id) {
    case 3: return 30;
    case 4: return 35;
    case 5: case 6: case 7: case 8: case 9: return 40;
    case 10: case 11: return 50;
    case 12: return 70;
    default: return 0;
    }
}

bool lengthFits(int type, int len)
{
    switch (type) {
    case Alpha: case Bytes: return len >= 1 && len <= 255;
    case Date: case Long: case Time: case AutoInc: return len == 4;
    case Short: return len == 2;
    case Currency: case Number: case Timestamp: return len == 8;
    case Logical: return len == 1;
    case Memo: case Blob: case FormattedMemo: case Ole: case Graphic: return len >= 10 && len <= 250;
    case Bcd: return len >= 0 && len <= 32; // decimals; 17 bytes in the record
    default: return false;
    }
}

} // namespace

CheckedHeader checkTableFile(const QString &path)
{
    auto fail = [&](const QString &why) { return Error(QStringLiteral("'%1' is not a readable Paradox table: %2").arg(path, why)); };

    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open '%1': %2").arg(path, f.errorString()));
    const qint64 fileSize = f.size();
    if (fileSize < 0x58)
        throw fail(QStringLiteral("the file is too short for a table header (%1 bytes)").arg(fileSize));
    const QByteArray head = f.read(qMin<qint64>(fileSize, 0x10000));

    CheckedHeader h;
    h.fileSize = fileSize;
    h.recordSize = u16(head, 0x00);
    const int headerSize = u16(head, 0x02);
    const int fileType = u8(head, 0x04);
    const int maxTableSize = u8(head, 0x05);
    h.recordCount = int(u32(head, 0x06));
    const int fileBlocks = u16(head, 0x0C);
    const int firstBlock = u16(head, 0x0E);
    const int lastBlock = u16(head, 0x10);
    const int numFields = u16(head, 0x21);
    const int keyFields = u16(head, 0x23);
    const int versionId = u8(head, 0x39);

    if (fileType != 0 && fileType != 2)
        throw fail(QStringLiteral("file type %1 is not a data table").arg(fileType));
    h.def.fileVersion = fileVersionOf(versionId);
    if (h.def.fileVersion == 0)
        throw fail(QStringLiteral("unknown file version (0x%1)").arg(versionId, 0, 16));
    if (maxTableSize != 1 && maxTableSize != 2 && maxTableSize != 3 && maxTableSize != 4 && maxTableSize != 8 &&
        maxTableSize != 16 && maxTableSize != 32)
        throw fail(QStringLiteral("unknown block size (%1)").arg(maxTableSize));
    if (h.recordSize == 0)
        throw fail(QStringLiteral("record size 0"));
    if (numFields < 1 || numFields > 255)
        throw fail(QStringLiteral("%1 fields").arg(numFields));
    if (headerSize > fileSize || headerSize > head.size())
        throw fail(QStringLiteral("the header size (%1) exceeds the file (%2 bytes); the file may be truncated")
                       .arg(headerSize).arg(fileSize));
    if (keyFields > numFields)
        throw fail(QStringLiteral("%1 key fields for %2 fields").arg(keyFields).arg(numFields));

    const bool dataHeader = h.def.fileVersion >= 40;
    const int fieldInfo = dataHeader ? 0x78 : 0x58;
    const int tableNameLen = h.def.fileVersion >= 70 ? 261 : 79;
    const int namesAt = fieldInfo + numFields * 2 + 4 + numFields * 4 + tableNameLen;
    if (namesAt + numFields > headerSize)
        throw fail(QStringLiteral("the header size (%1) is too small for %2 fields").arg(headerSize).arg(numFields));

    h.encryption = u32(head, 0x25);
    if (h.encryption == 0xFF00FF00u)
        h.encryption = dataHeader ? u32(head, 0x5C) : 0;
    h.def.encrypted = h.encryption != 0;
    h.def.codePage = dataHeader ? u16(head, 0x6A) : 0;
    h.def.primaryKeyFields = keyFields;

    int offset = 0;
    int at = namesAt;
    for (int i = 0; i < numFields; ++i) {
        Field fd;
        fd.type = u8(head, fieldInfo + 2 * i);
        fd.length = u8(head, fieldInfo + 2 * i + 1);
        if (!isKnownType(fd.type))
            throw fail(QStringLiteral("field %1 has an unknown type (0x%2)").arg(i + 1).arg(fd.type, 2, 16, QLatin1Char('0')));
        if (!lengthFits(fd.type, fd.length))
            throw fail(QStringLiteral("field %1 (%2) has an impossible length %3").arg(i + 1).arg(typeName(fd.type)).arg(fd.length));
        const int end = head.indexOf('\0', at);
        if (end < 0 || end >= headerSize)
            throw fail(QStringLiteral("the name of field %1 runs past the header").arg(i + 1));
        if (end - at > 250)
            throw fail(QStringLiteral("the name of field %1 is too long").arg(i + 1));
        h.rawNames.push_back(QByteArray(head.constData() + at, end - at));
        fd.name = QString::fromLatin1(h.rawNames.back());
        at = end + 1;
        h.offsets.push_back(offset);
        offset += fd.type == Bcd ? 17 : fd.length;
        h.def.fields.push_back(fd);
    }
    if (offset != h.recordSize)
        throw fail(QStringLiteral("the fields take %1 bytes, the header says %2").arg(offset).arg(h.recordSize));

    // Blocks: every block that the header counts lies in the file; the chain from the first block
    // visits each at most once and holds exactly the records the header counts.
    const qint64 blockSize = qint64(maxTableSize) * 0x400;
    if (h.recordSize > blockSize - 6)
        throw fail(QStringLiteral("a record (%1 bytes) does not fit a block").arg(h.recordSize));
    if (headerSize + fileBlocks * blockSize > fileSize)
        throw fail(QStringLiteral("the header counts %1 blocks, the file holds %2; the file may be truncated")
                       .arg(fileBlocks).arg((fileSize - headerSize) / blockSize));
    if (firstBlock > fileBlocks || lastBlock > fileBlocks || (fileBlocks > 0 && firstBlock == 0 && h.recordCount > 0))
        throw fail(QStringLiteral("block numbers outside the file"));
    const qint64 perBlock = (blockSize - 6) / h.recordSize;
    if (h.recordCount < 0 || qint64(h.recordCount) > perBlock * fileBlocks)
        throw fail(QStringLiteral("%1 records do not fit %2 blocks").arg(h.recordCount).arg(fileBlocks));

    std::vector<bool> seen(size_t(fileBlocks) + 1, false);
    qint64 counted = 0;
    QByteArray block(int(blockSize), '\0');
    for (int b = firstBlock; b > 0;) {
        if (b > fileBlocks || seen[size_t(b)])
            throw fail(QStringLiteral("the block chain is broken at block %1").arg(b));
        seen[size_t(b)] = true;
        if (!f.seek(headerSize + (b - 1) * blockSize) || f.read(block.data(), blockSize) != blockSize)
            throw fail(QStringLiteral("block %1 cannot be read").arg(b));
        if (h.encryption)
            px_decrypt_db_block(reinterpret_cast<unsigned char *>(block.data()),
                                reinterpret_cast<unsigned char *>(block.data()), h.encryption,
                                (unsigned long)blockSize, (unsigned long)b);
        const int add = s16(block, 4);
        if (add < -h.recordSize || (add + h.recordSize) % h.recordSize != 0 ||
            (add + h.recordSize) / h.recordSize > perBlock)
            throw fail(QStringLiteral("block %1 claims an impossible size").arg(b));
        counted += (add + h.recordSize) / h.recordSize;
        b = u16(block, 0);
    }
    if (counted != h.recordCount)
        throw fail(QStringLiteral("the header counts %1 records, the blocks hold %2").arg(h.recordCount).arg(counted));
    return h;
}

} // namespace kvt::paradox
