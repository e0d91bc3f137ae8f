#pragma once
// Data grid: the records of a data source in rows, one column per entry of its column collection.
#include "dbwidgets/dbcontrol.h"
#include <QFont>
#include <QTableWidget>
#include <vector>

namespace kvt {

struct DbGridColumnTitle {
    QString caption;
    QFont font;
};

struct DbGridColumn {
    QString fieldName;
    DbGridColumnTitle title;
    /// Pixels; 0 hides the column.
    int width = 64;
    QFont font;
};

/// Shows the records and follows the current one; the cells are not edited in place. Without columns of
/// its own the grid shows every field of the data set. After changing columns() call applyColumns().
class DbGrid : public QTableWidget, public DbControl {
    Q_OBJECT
public:
    explicit DbGrid(QWidget *parent = nullptr);

    std::vector<DbGridColumn> &columns() { return m_columns; }
    const std::vector<DbGridColumn> &columns() const { return m_columns; }
    void setColumns(std::vector<DbGridColumn> columns);
    void applyColumns();
    /// The field of column i in the open data set, or null.
    Field *columnField(int i) const;

protected:
    void dataChange() override;
    void recordChange(Field *f) override;

private:
    void fill();
    void showRow(int row);

    std::vector<DbGridColumn> m_columns;
    bool m_defaultColumns = false;
    bool m_filling = false;
};

} // namespace kvt
