#include "editor/reporttree.h"
#include "editor/stateimages.h"
#include "engine/dataset.h"
#include "labels/textcache.h"
#include "reportdef/codes.h"
#include <QSignalBlocker>

namespace kvt {

RepTreeItem::RepTreeItem(std::unique_ptr<TvDataType> record, const QString &text, int stateIndex)
    : m_record(std::move(record)), m_stateIndex(stateIndex)
{
    setText(0, text);
}

void RepTreeItem::setStateIndex(int index, bool repaint)
{
    if (index == m_stateIndex)
        return;
    m_stateIndex = index;
    if (repaint)
        emitDataChanged();
}

QRegion RepTreeView::visualRegionForSelection(const QItemSelection &selection) const
{
    if (selection.isEmpty())
        return QRegion();
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!uniformRowHeights() || !top.isValid())
        return QTreeWidget::visualRegionForSelection(selection);
    const QRect first = visualRect(top);
    const int rowHeight = first.height();
    if (rowHeight <= 0)
        return QTreeWidget::visualRegionForSelection(selection);
    // Rows all have one height, so the rows on screen are found by position alone.
    QRegion region;
    const int width = viewport()->width();
    for (int y = first.top(); y < viewport()->height(); y += rowHeight) {
        const QModelIndex index = indexAt(QPoint(0, qMax(y, 0)));
        if (!index.isValid())
            break;
        for (const QItemSelectionRange &range : selection) {
            if (index.row() >= range.top() && index.row() <= range.bottom() && index.parent() == range.parent()) {
                region += QRect(0, y, width, rowHeight);
                break;
            }
        }
    }
    return region;
}

void RepTreeView::restoreCurrent(QTreeWidgetItem *item)
{
    const QModelIndex index = item ? indexFromItem(item) : QModelIndex();
    if (!index.isValid())
        return;
    {
        const QSignalBlocker quiet(this);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    if (m_inputDepth > 0)
        m_restored = index;
}

void RepTreeView::keepRestored()
{
    if (m_inputDepth > 0 || !m_restored.isValid()) {
        if (m_inputDepth == 0)
            m_restored = QPersistentModelIndex();
        return;
    }
    const QModelIndex index = m_restored;
    m_restored = QPersistentModelIndex();
    const QSignalBlocker quiet(this);
    if (currentIndex() != index)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
}

bool RepTreeView::viewportEvent(QEvent *event)
{
    ++m_inputDepth;
    const bool done = QTreeWidget::viewportEvent(event);
    --m_inputDepth;
    keepRestored();
    return done;
}

void RepTreeView::keyPressEvent(QKeyEvent *event)
{
    ++m_inputDepth;
    QTreeWidget::keyPressEvent(event);
    --m_inputDepth;
    keepRestored();
}

QVariant RepTreeItem::data(int column, int role) const
{
    if (column == 0 && role == Qt::DecorationRole)
        return stateImage(m_stateIndex);
    return QTreeWidgetItem::data(column, role);
}

QString controlNodeText(int sortIdx, const QString &rctName, const TxtFldLstClass *labels)
{
    const QString name = reportdef::controlDisplayName(rctName);
    // "%02d. " without a format parser: this runs once per control node.
    QString text;
    text.reserve(name.size() + 16);
    if (sortIdx >= 0 && sortIdx < 10)
        text += QLatin1Char('0');
    text += QString::number(sortIdx);
    text += QLatin1String(". ");
    // The label when the texts have one, else the name (no miss marker is built for it).
    const TextFieldClass *row = labels ? labels->search(name) : nullptr;
    text += row ? row->TxfLabel : name;
    return text;
}

QList<QTreeWidgetItem *> buildReportNodes(Table &reports, Table &bands, Query &controls,
                                          const TxtFldLstClass *labels)
{
    QList<QTreeWidgetItem *> tops;
    try {
        for (reports.first(); !reports.eof(); reports.next()) {
            const QString repName = reports.fields(0)->asString();
            auto rec = std::make_unique<TvDataType>();
            rec->Level = 1;
            rec->RepName = repName;
            auto *repNode = new RepTreeItem(std::move(rec), repName, 2);
            tops << repNode;
            QList<QTreeWidgetItem *> bandNodes;
            for (bands.first(); !bands.eof(); bands.next()) {
                const QString bandName = bands.fields(1)->asString();
                auto brec = std::make_unique<TvDataType>();
                brec->Level = 2;
                brec->RepName = repName;
                brec->RbdName = bandName;
                auto *bandNode = new RepTreeItem(std::move(brec), bandName, 4);
                bandNodes << bandNode;
                controls.open();
                Field *name = controls.fields(2);
                Field *sortIdx = controls.fieldByName(QStringLiteral("RctSortIdx"));
                Field *include = controls.fieldByName(QStringLiteral("RctInclude"));
                QList<QTreeWidgetItem *> ctrlNodes;
                for (; !controls.eof(); controls.next()) {
                    auto crec = std::make_unique<TvDataType>();
                    crec->Level = 3;
                    crec->RepName = repName;
                    crec->RbdName = bandName;
                    crec->RctName = name->asString();
                    const QString text = controlNodeText(sortIdx->asInteger(), crec->RctName, labels);
                    ctrlNodes << new RepTreeItem(std::move(crec), text, include->asBoolean() ? 8 : 6);
                }
                controls.close();
                bandNode->addChildren(ctrlNodes);
            }
            repNode->addChildren(bandNodes);
        }
    } catch (...) {
        qDeleteAll(tops);
        throw;
    }
    return tops;
}

} // namespace kvt
