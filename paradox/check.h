#pragma once
// Internal: checks a table file's header and block chain against the file before pxlib reads it,
// since pxlib trusts both.
#include "paradox/paradox.h"
#include <QByteArray>

namespace kvt::paradox {

struct CheckedHeader {
    TableDef def;
    int recordSize = 0;
    int recordCount = 0;
    unsigned long encryption = 0;
    qint64 fileSize = 0; // as checked
    std::vector<int> offsets; // offset of each field in a record
    std::vector<QByteArray> rawNames; // field names as stored, in the table's code page
};

/// Throws Error naming the file when it is not a table pxlib can read safely.
CheckedHeader checkTableFile(const QString &path);

} // namespace kvt::paradox
