#pragma once
// Copies a store between data directories and between the two kinds of store (an SQLite file, or
// a database on a PostgreSQL server), all or nothing, verified row by row.
#include <QString>
#include <functional>

namespace kvt::datadir {

struct CopyOptions {
    QString server;                                  // connection string of the destination server; empty: SQLite
    std::function<void(const QString &)> progress;   // one line per table
    std::function<bool()> cancelled;                 // polled between rows
};

/// Copies the store of SRCDIR into DSTDIR (created when missing): every table with its definition,
/// indexes and rows, the recorded Paradox structure and the protection. Refuses a DSTDIR that
/// already holds a store and a server database that already holds the editor's tables. Returns
/// an empty text on success, else the reason; on failure nothing is left behind.
QString copyStore(const QString &srcDir, const QString &dstDir, const CopyOptions &options);

} // namespace kvt::datadir
