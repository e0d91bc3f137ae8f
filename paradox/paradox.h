#pragma once
// Reading and writing Paradox tables (.DB with its .MB blob file and .PX primary index).
// Values come in the store's forms: null for an empty field, QString for alpha, memo, formatted memo
// and the text forms of date ("YYYY-MM-DD"), time ("HH:MM:SS[.zzz]") and timestamp; double for number,
// currency and BCD; qint64 for short, long integer and autoincrement; bool for logical; QByteArray
// for bytes, binary blob, graphic and OLE.
#include <QString>
#include <QVariant>
#include <exception>
#include <memory>
#include <vector>

namespace kvt::paradox {

class Error : public std::exception {
public:
    explicit Error(QString message) : m_message(std::move(message)), m_what(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

enum FieldType : int {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoInc = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

/// The name the legacy engine's users know a type by ("Alpha", "Long Integer", ...); empty if unknown.
QString typeName(int type);
bool isKnownType(int type);
bool isBlobType(int type);

struct Field {
    QString name;
    int type = Alpha;
    int length = 0; // as in the header: bytes in the record; for BCD the number of decimals
    bool operator==(const Field &o) const { return name == o.name && type == o.type && length == o.length; }
};

struct TableDef {
    int fileVersion = 70; // 30, 35, 40, 50, 70
    int codePage = 1252;  // 0 when the header holds none (file versions 3.x)
    bool encrypted = false;
    int primaryKeyFields = 0;
    std::vector<Field> fields;
};

struct ReadOptions {
    int defaultCodePage = 1252; // for tables whose header holds no code page
    /// Tables up to this size are read whole and then from memory; larger ones from the file.
    qint64 inMemoryLimit = qint64(256) << 20;
};

/// An open table, read record by record. Every failure throws Error naming the file.
class Reader {
public:
    explicit Reader(const QString &dbPath, const ReadOptions &options = {});
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    const TableDef &definition() const;
    int recordCount() const;
    QString path() const;
    /// The code page text is converted from (the header's, else the default).
    int textCodePage() const;
    /// Record i (0-based); throws naming the file and the record number (1-based).
    std::vector<QVariant> record(int i);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

/// Writes a new table: dbPath, and beside it a .PX when there is a primary key and a .MB when a field
/// is a blob. Rows must come in primary key order. Files are complete only after finish().
class Writer {
public:
    /// password: used when def.encrypted.
    Writer(const QString &dbPath, const TableDef &def, const QString &password = QString());
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    void append(const std::vector<QVariant> &row);
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

/// The blob and index files that belong to a table file: "X.DB" -> "X.MB", "X.PX" (same case as the
/// extension given, or the existing file's spelling).
QString companionPath(const QString &dbPath, const char *ext);

/// True when two values in store form are the same value (numbers bit for bit, text exactly; an empty
/// text equals null since the format has no empty text).
bool sameValue(const QVariant &a, const QVariant &b);

} // namespace kvt::paradox
