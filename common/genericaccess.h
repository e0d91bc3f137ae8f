#pragma once
// The shared table and query of the data module, borrowed for a moment by the common services.
#include <QString>

namespace kvt {

class Table;

/// Runs one statement through QryGeneric; "" on success, else "<error class>: <message>".
QString ExecuteSql(const QString &statement);

/// Sets TblGeneric up for tableName (filter off and empty) and opens it. The caller must have found it
/// closed, and closes it again before it returns.
Table &openGenericTable(const QString &tableName);

} // namespace kvt
