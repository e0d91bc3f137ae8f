#pragma once
// The search box above the report tree: typing narrows the tree of the current category to the
// nodes whose text or name holds the typed text, with their ancestors, expanded.
#include "editor/reporttree.h"
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <vector>

class QLineEdit;

namespace kvt {

class TRepMainForm;

/// Whether a node is found by part: its text or its name (report name, band name, RctName) holds
/// part without regard to case, by the comparison of the text caches. An empty part finds all.
bool treeNodeMatches(const QString &text, const QString &name, const QString &part);

class TreeFilter : public QObject {
    Q_OBJECT
public:
    /// The box is made in boxParent; the window's tree, model and tables are used as they are.
    TreeFilter(TRepMainForm *window, QWidget *boxParent);
    ~TreeFilter() override;

    QLineEdit *box() const { return m_box; }
    /// The tree the view shows while the box holds text.
    ReportTreeModel *filteredModel() const { return m_filtered; }
    /// True while the view shows the filtered tree.
    bool isActive() const { return m_active; }

    /// Narrows the tree to text (an empty text restores the full tree). Errors are raised.
    void apply(const QString &text);
    /// Reads the names of the current category's reports, bands and controls, when not read yet.
    void readRows();
    /// The first node found itself (not only as an ancestor), or none.
    QModelIndex firstMatch() const { return m_firstMatch; }
    /// Enter or Down in the box: into the tree, on the first match.
    void enterTree();
    /// Back to the full tree, the box emptied and the rows forgotten, without selecting anything:
    /// the tree is about to be rebuilt.
    void reset();
    /// The rows read are out of date (a control row was saved).
    void invalidate() { m_read = false; }
    /// Gives the full tree's copy of a node of the filtered tree the same state image.
    void copyState(const QModelIndex &filteredNode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry {
        int kind; // 1 report, 2 band, 3 control
        int index; // into m_rows' vector of that kind
    };
    void restore();
    void switchTo(ReportTreeModel *model);
    bool rowPending() const;
    TvDataType recordOf(const Entry &e) const;
    /// Indexes into m_rows of the node with these names; -1 where there is none.
    void locate(const TvDataType &rec, int &report, int &band, int &control) const;

    TRepMainForm *m_window;
    QLineEdit *m_box;
    ReportTreeModel *m_filtered;
    bool m_active = false;
    bool m_read = false;
    // The category's rows, each node's folded text and name in one string ("text\nname\n"), and
    // where each node's part of it ends.
    ReportTreeRows m_rows;
    std::vector<int> m_bandStart;    // first control of each band in m_rows.controls
    std::vector<int> m_reportStart;  // first band of each report
    QString m_haystack;
    std::vector<qsizetype> m_ends;
    std::vector<Entry> m_entries;
    // The full tree's state while the filtered one is shown.
    QPersistentModelIndex m_fullCurrent;
    std::vector<QPersistentModelIndex> m_fullExpanded;
    TvDataType m_kept; // the node whose rows the pages show
    QPersistentModelIndex m_firstMatch;
};

} // namespace kvt
