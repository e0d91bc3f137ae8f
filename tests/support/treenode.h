#pragma once
// A node of the report tree for tests: the view and the node's index, asked through the model.
// Asking for a band's children reads its controls, as the window does when they are first needed.
#include "editor/reporttree.h"
#include <QIcon>
#include <QItemSelectionModel>
#include <cstddef>
#include <optional>

namespace kvt::test {

class TreeNode {
public:
    TreeNode() = default;
    TreeNode(std::nullptr_t) {}
    TreeNode(const RepTreeView *view, const QModelIndex &index) : m_view(view), m_index(index) {}

    /// Written as the pointer it stands for: node->text(0).
    const TreeNode *operator->() const { return this; }
    explicit operator bool() const { return m_index.isValid(); }
    bool operator==(const TreeNode &o) const { return QModelIndex(m_index) == QModelIndex(o.m_index); }
    bool operator!=(const TreeNode &o) const { return !(*this == o); }
    bool operator==(std::nullptr_t) const { return !m_index.isValid(); }
    bool operator!=(std::nullptr_t) const { return m_index.isValid(); }

    QModelIndex index() const { return m_index; }
    ReportTreeModel *model() const { return m_view ? m_view->reportModel() : nullptr; }
    QString text(int = 0) const { return model() ? model()->text(m_index) : QString(); }
    int stateIndex() const { return model() ? model()->stateIndex(m_index) : -1; }
    QIcon icon(int = 0) const { return m_index.data(Qt::DecorationRole).value<QIcon>(); }
    std::optional<TvDataType> record() const
    {
        if (!model() || model()->level(m_index) == 0)
            return std::nullopt;
        return model()->record(m_index);
    }
    int childCount() const
    {
        if (!model())
            return 0;
        model()->readBands(m_index);
        model()->readControls(m_index);
        return model()->rowCount(m_index);
    }
    TreeNode child(int row) const
    {
        if (!model())
            return TreeNode();
        model()->readBands(m_index);
        model()->readControls(m_index);
        return TreeNode(m_view, model()->index(row, 0, m_index));
    }
    bool isExpanded() const { return m_view && m_view->isExpanded(m_index); }
    bool isSelected() const { return m_view && m_view->selectionModel()->isSelected(m_index); }

private:
    const RepTreeView *m_view = nullptr;
    QPersistentModelIndex m_index;
};

inline TreeNode topNode(const RepTreeView *view, int row)
{
    return TreeNode(view, view->topLevelIndex(row));
}

inline TreeNode currentNode(const RepTreeView *view)
{
    return TreeNode(view, view->currentIndex());
}

/// The node of a report, of one of its bands, or of one of that band's controls; null if none.
inline TreeNode findNode(const RepTreeView *view, const QString &report, const QString &band = QString(),
                         const QString &ctrl = QString())
{
    for (int i = 0; i < view->topLevelCount(); ++i) {
        const TreeNode r = topNode(view, i);
        if (r->record()->RepName != report)
            continue;
        if (band.isEmpty())
            return r;
        for (int j = 0; j < r->childCount(); ++j) {
            const TreeNode b = r->child(j);
            if (b->record()->RbdName != band)
                continue;
            if (ctrl.isEmpty())
                return b;
            for (int k = 0; k < b->childCount(); ++k) {
                const TreeNode c = b->child(k);
                if (c->record()->RctName == ctrl)
                    return c;
            }
        }
    }
    return TreeNode();
}

/// The same by node texts (the band's and the control's).
inline TreeNode findNodeByText(const RepTreeView *view, const QString &report, const QString &band = QString(),
                               const QString &text = QString())
{
    for (int i = 0; i < view->topLevelCount(); ++i) {
        const TreeNode r = topNode(view, i);
        if (r->text(0) != report)
            continue;
        if (band.isEmpty())
            return r;
        for (int j = 0; j < r->childCount(); ++j) {
            const TreeNode b = r->child(j);
            if (b->text(0) != band)
                continue;
            if (text.isEmpty())
                return b;
            for (int k = 0; k < b->childCount(); ++k)
                if (b->child(k)->text(0) == text)
                    return b->child(k);
        }
    }
    return TreeNode();
}

} // namespace kvt::test
