#include "reportdef/schema.h"

namespace kvt::reportdef {
namespace {

// Column types: VARCHAR(n) is alpha n, DOUBLE a number, INTEGER a long integer, BOOLEAN a logical.
// Primary keys: a category by name, a report by name, a band by report and band name, a control by
// report, group and control name; text rows by name.
std::vector<TableDef> build()
{
    std::vector<TableDef> t;
    t.push_back({"RepCat.DB", "RepCat",
                 {"CREATE TABLE RepCat (RepCatName VARCHAR(16) NOT NULL, PRIMARY KEY (RepCatName))"},
                 {"RepCatName"}});
    t.push_back({"Reports.DB", "Reports",
                 {"CREATE TABLE Reports (RepName VARCHAR(32) NOT NULL, RepTitle VARCHAR(64), RepLeftX DOUBLE, "
                  "RepRightX DOUBLE, RepTopY DOUBLE, RepBottomY DOUBLE, RepCatName VARCHAR(16), "
                  "RepOrient VARCHAR(1), PRIMARY KEY (RepName))",
                  "CREATE INDEX RepCatName ON Reports (RepCatName)"},
                 {"RepName", "RepTitle", "RepLeftX", "RepRightX", "RepTopY", "RepBottomY", "RepCatName",
                  "RepOrient"}});
    t.push_back({"RepBand.DB", "RepBand",
                 {"CREATE TABLE RepBand (RepName VARCHAR(32) NOT NULL, RbdName VARCHAR(32) NOT NULL, "
                  "RctGroup VARCHAR(32), RbdType INTEGER, RbdLeftX DOUBLE, RbdRightX DOUBLE, RbdTopY DOUBLE, "
                  "RbdBottomY DOUBLE, RbdContType INTEGER, RbdBox INTEGER, PRIMARY KEY (RepName, RbdName))"},
                 {"RepName", "RbdName", "RctGroup", "RbdType", "RbdLeftX", "RbdRightX", "RbdTopY", "RbdBottomY",
                  "RbdContType", "RbdBox"}});
    t.push_back({"RepCtrl.DB", "RepCtrl",
                 {"CREATE TABLE RepCtrl (RepName VARCHAR(32) NOT NULL, RctGroup VARCHAR(32) NOT NULL, "
                  "RctName VARCHAR(32) NOT NULL, RctType INTEGER, RctLabel VARCHAR(64), RctWidth DOUBLE, "
                  "RctLabelFnt VARCHAR(32), RctFieldFnt VARCHAR(32), RctLabelWidth DOUBLE, "
                  "RctAlignHorPage INTEGER, RctInclude BOOLEAN, RctSortIdx INTEGER, RctFldInc VARCHAR(32), "
                  "RctBox INTEGER, RctSpLeft DOUBLE, RctSpRight DOUBLE, RctSpTop DOUBLE, RctSpBottom DOUBLE, "
                  "RctNewLine BOOLEAN, PRIMARY KEY (RepName, RctGroup, RctName))"},
                 {"RepName", "RctGroup", "RctName", "RctType", "RctLabel", "RctWidth", "RctLabelFnt",
                  "RctFieldFnt", "RctLabelWidth", "RctAlignHorPage", "RctInclude", "RctSortIdx", "RctFldInc",
                  "RctBox", "RctSpLeft", "RctSpRight", "RctSpTop", "RctSpBottom", "RctNewLine"}});
    t.push_back({"TextField.DB", "TextField",
                 {"CREATE TABLE TextField (TxfName VARCHAR(64) NOT NULL, TxfLabel VARCHAR(128), "
                  "TxfClmLabel VARCHAR(64), TxfClmWidth INTEGER, TxfIncYes BOOLEAN, PRIMARY KEY (TxfName))"},
                 {"TxfName", "TxfLabel", "TxfClmLabel", "TxfClmWidth", "TxfIncYes"}});
    t.push_back({"TextBtn.DB", "TextBtn",
                 {"CREATE TABLE TextBtn (TxbName VARCHAR(64) NOT NULL, TxbLabel VARCHAR(128), "
                  "TxbHint VARCHAR(255), TxbDesc VARCHAR(255), TxCatNo DOUBLE, PRIMARY KEY (TxbName))"},
                 {"TxbName", "TxbLabel", "TxbHint", "TxbDesc", "TxCatNo"}});
    t.push_back({"TextMsg.DB", "TextMsg",
                 {"CREATE TABLE TextMsg (TxmName VARCHAR(64) NOT NULL, TxmText VARCHAR(255), "
                  "TxmDesc VARCHAR(255), PRIMARY KEY (TxmName))"},
                 {"TxmName", "TxmText", "TxmDesc"}});
    return t;
}

} // namespace

const std::vector<TableDef> &allTables()
{
    static const std::vector<TableDef> tables = build();
    return tables;
}

const TableDef *tableDef(const QString &fileName)
{
    for (const auto &t : allTables())
        if (t.fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

} // namespace kvt::reportdef
