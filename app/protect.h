#pragma once
// Protection of a data directory's tables with the program's built-in password.
#include <QSqlDatabase>

namespace kvt {

/// Protects the seven tables of the store (report and text tables) with the built-in password.
/// Engine failures propagate as EngineError.
void protectAllTables(QSqlDatabase &db);

} // namespace kvt
