#include "common/genericaccess.h"
#include "app/datamodule.h"
#include "common/reporterror.h"

namespace kvt {

QString ExecuteSql(const QString &statement)
{
    Query &q = *DM1->QryGeneric;
    q.close();
    q.clearSql();
    q.addSql(statement);
    try {
        q.execSql();
        q.close();
    } catch (const std::exception &e) {
        q.close();
        return exceptionClassName(e) + QStringLiteral(": ") + exceptionMessage(e);
    }
    return QString();
}

Table &openGenericTable(const QString &tableName)
{
    Table &t = *DM1->TblGeneric;
    t.setFiltered(false);
    t.setFilter(QString());
    t.setTableName(tableName);
    t.open();
    return t;
}

} // namespace kvt
