#pragma once
// The report tree: node records, tree items with their state image, and the build from the tables.
#include <QString>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <memory>

namespace kvt {

class Table;
class Query;
class TxtFldLstClass;

/// What a tree node stands for.
struct TvDataType {
    int Level = 0; // 1 report, 2 band, 3 control
    QString RepName;
    QString RbdName;
    QString RctName;
};

/// A tree node owning its record; the record goes with the node.
class RepTreeItem : public QTreeWidgetItem {
public:
    RepTreeItem(std::unique_ptr<TvDataType> record, const QString &text, int stateIndex);
    TvDataType *record() const { return m_record.get(); }
    int stateIndex() const { return m_stateIndex; }
    /// Sets the state image (0..8). Without a repaint when the caller knows the row repaints anyway,
    /// as a node that becomes or stops being the current one does.
    void setStateIndex(int index, bool repaint = true);
    /// The state image is drawn from the index, so a node holds no icon of its own.
    QVariant data(int column, int role) const override;

private:
    std::unique_ptr<TvDataType> m_record;
    int m_stateIndex = 0;
};

/// The tree view of the reports. A selection change repaints the selected rows among those on
/// screen: Qt's own view finds each selected row by a walk over every shown row before it, which in
/// a big expanded tree costs more than all the rest of a click.
class RepTreeView : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;
    /// Makes item current and selected again without telling the window (its selection handler
    /// does not run), after a selection that could not be completed. Inside a click or a key
    /// press the view would go on to select the row the event points at; item is made current
    /// and selected once more when the event is done.
    void restoreCurrent(QTreeWidgetItem *item);

protected:
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    bool viewportEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void keepRestored();
    QPersistentModelIndex m_restored;
    int m_inputDepth = 0;
};

/// Text of a control node: RctSortIdx as "%02d. " and the field label of the name before its first
/// colon, or that name when the texts have no label for it.
QString controlNodeText(int sortIdx, const QString &rctName, const TxtFldLstClass *labels);

/// Walks the reports of the current category, their bands and (through the query) each band's
/// controls, and returns the top-level nodes.
QList<QTreeWidgetItem *> buildReportNodes(Table &reports, Table &bands, Query &controls,
                                          const TxtFldLstClass *labels);

} // namespace kvt
