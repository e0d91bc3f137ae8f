#pragma once
// Moves the tables of a suite data directory (Paradox) into a store and back.
#include <QString>
#include <functional>

namespace kvt::datadir {

struct ParadoxOptions {
    bool all = false;          // import: every table, not only the seven
    bool replace = false;      // export: replace the seven tables, keeping the old ones as .bak
    int defaultCodePage = 1252; // import: for tables whose header names no code page
    std::function<void(const QString &)> progress; // one line per table
    std::function<bool()> cancelled;               // polled between rows
};

/// The store tables that keep each imported table's Paradox structure.
constexpr const char *ParadoxTablesTable = "_ParadoxTables";
constexpr const char *ParadoxFieldsTable = "_ParadoxFields";

/// Builds DIR's store from the tables of PXDIR. Returns an empty text on success, else the reason;
/// on failure no store is left behind and PXDIR is never changed.
QString importParadox(const QString &pxDir, const QString &dir, const ParadoxOptions &options);

/// Writes the seven tables of DIR's store into PXDIR as Paradox tables.
QString exportParadox(const QString &dir, const QString &pxDir, const ParadoxOptions &options);

/// The table password of the suite, in plain form (for tests that open exported tables).
QString builtInTablePassword();

} // namespace kvt::datadir
