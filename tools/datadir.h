#pragma once
// Sets up data directories for the editor: the store with its seven tables, demo rows, bench rows.
#include <QString>

namespace kvt::datadir {

struct Options {
    bool demo = false;
    bool protect = false;
    int benchReports = 0; // --generate R,B,C
    int benchBands = 0;
    int benchControls = 0;
};

/// Creates DIR (when missing) and the store in it. Refuses a directory that already holds a store.
/// Returns an empty text on success, else the reason.
QString create(const QString &dir, const Options &options);

/// Parses "R,B,C"; false when malformed.
bool parseGenerate(const QString &text, Options &options);

} // namespace kvt::datadir
