#pragma once
// The single definition of the store's tables, used by the data-directory tool and the tests.
#include <QString>
#include <QStringList>
#include <vector>

namespace kvt::reportdef {

struct TableDef {
    QString fileName;          // "RepCat.DB"
    QString sqlName;           // "RepCat"
    QStringList createStatements; // CREATE TABLE and CREATE INDEX statements
    QStringList columns;       // column names in stored order
};

/// The four report tables followed by the three text tables.
const std::vector<TableDef> &allTables();
const TableDef *tableDef(const QString &fileName);

/// The query that lists the bands of a report, in the band table's order (its key), with what the
/// report tree needs of them.
inline QString bandQuerySql()
{
    return QStringLiteral("select RbdName, RctGroup from RepBand where RepName=:RepName Order by RbdName");
}

/// The query that lists the controls of a band in print order.
inline QString controlQuerySql()
{
    return QStringLiteral("select * from RepCtrl where RepName=:RepName and RctGroup=:RctGroup Order by RctSortIdx");
}

} // namespace kvt::reportdef
