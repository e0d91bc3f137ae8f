#pragma once
// Internal: the blocks of a .MB blob file, read here rather than through pxlib, whose blob file
// opening overruns a stack buffer.
#include <QByteArray>
#include <QString>

namespace kvt::paradox {

class BlobFile {
public:
    /// Reads and (when encryption is not 0) deciphers the whole file; throws Error naming it.
    BlobFile(const QString &path, unsigned long encryption);
    /// The value of a blob field of the given length in a record; null QByteArray when empty.
    /// graphic: the block header of a graphic is 8 bytes longer. Throws Error (the caller adds the record).
    static QByteArray value(const BlobFile *file, const char *field, int length, bool graphic);

    const QString &path() const { return m_path; }

private:
    QByteArray blob(quint32 offset, int index, quint32 size, bool graphic) const;
    QString m_path;
    QByteArray m_data;
};

} // namespace kvt::paradox
