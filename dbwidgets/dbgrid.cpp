#include "dbwidgets/dbgrid.h"
#include <QHeaderView>

namespace kvt {

DbGrid::DbGrid(QWidget *parent) : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void DbGrid::setColumns(std::vector<DbGridColumn> columns)
{
    m_columns = std::move(columns);
    m_defaultColumns = false;
    applyColumns();
}

Field *DbGrid::columnField(int i) const
{
    DataSet *ds = dataSet();
    if (i < 0 || i >= int(m_columns.size()) || !ds || !ds->isOpen())
        return nullptr;
    return ds->findField(m_columns[size_t(i)].fieldName);
}

void DbGrid::applyColumns()
{
    setColumnCount(int(m_columns.size()));
    for (int c = 0; c < int(m_columns.size()); ++c) {
        const DbGridColumn &col = m_columns[size_t(c)];
        auto *head = new QTableWidgetItem(col.title.caption);
        head->setFont(col.title.font);
        setHorizontalHeaderItem(c, head);
        setColumnHidden(c, col.width <= 0);
        if (col.width > 0)
            setColumnWidth(c, col.width);
        for (int r = 0; r < rowCount(); ++r)
            if (QTableWidgetItem *it = item(r, c))
                it->setFont(col.font);
    }
}

void DbGrid::showRow(int row)
{
    for (int c = 0; c < int(m_columns.size()); ++c) {
        Field *f = columnField(c);
        auto *it = new QTableWidgetItem(f ? f->asString() : QString());
        it->setFont(m_columns[size_t(c)].font);
        setItem(row, c, it);
    }
}

void DbGrid::fill()
{
    DataSet *ds = dataSet();
    const bool open = ds && ds->isOpen();
    if ((m_columns.empty() || m_defaultColumns) && open) {
        std::vector<DbGridColumn> cols;
        for (const QString &name : ds->fieldNames()) {
            DbGridColumn col;
            col.fieldName = name;
            col.title.caption = name;
            cols.push_back(col);
        }
        m_columns = std::move(cols);
        m_defaultColumns = true;
        applyColumns();
    }
    m_filling = true;
    int current = -1;
    try {
        if (!open) {
            setRowCount(0);
        } else if (ds->state() == DataSetState::Browse) {
            current = ds->recNo();
            setRowCount(0);
            forEachRecord(ds, [&] {
                setRowCount(rowCount() + 1);
                showRow(rowCount() - 1);
            });
        } else {
            // Editing: moving would post, so only the current row is shown afresh.
            current = ds->recNo();
            if (current >= rowCount())
                setRowCount(current + 1);
            if (current >= 0)
                showRow(current);
        }
    } catch (const std::exception &e) {
        reportDbError(e);
    }
    m_filling = false;
    if (current >= 0)
        selectRow(current);
    else
        clearSelection();
}

void DbGrid::dataChange()
{
    if (!m_filling)
        fill();
}

void DbGrid::recordChange(Field *)
{
    DataSet *ds = dataSet();
    const int row = ds && ds->isOpen() ? ds->recNo() : -1;
    if (!m_filling && row >= 0 && row < rowCount())
        showRow(row);
}

} // namespace kvt
