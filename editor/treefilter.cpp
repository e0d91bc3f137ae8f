#include "editor/treefilter.h"
#include "common/stdexception.h"
#include "editor/repmainfrm.h"
#include "engine/dataset.h"
#include "engine/session.h"
#include "labels/textcache.h"
#include "reportdef/codes.h"
#include <QHash>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStringMatcher>
#include <algorithm>

namespace kvt {

namespace {

// Every report of the category with its bands and their controls, in the tree's order: reports and
// bands in their tables' key order (as the tables and the band query list them), controls by RctSortIdx.
const char *const RowsSql =
    "select r.RepName, b.RbdName, b.RctGroup, c.RctName, c.RctSortIdx, c.RctInclude "
    "from Reports r left join RepBand b on b.RepName = r.RepName "
    "left join RepCtrl c on c.RepName = b.RepName and c.RctGroup = b.RctGroup "
    "where r.RepCatName = :RepCatName order by r.RepName, b.RbdName, c.RctSortIdx";

/// The part typed, folded; a line break cannot be typed and would find across two nodes.
QString foldedPart(const QString &text)
{
    QString part = textFolded(text);
    part.remove(QLatin1Char('\n'));
    return part;
}

} // namespace

bool treeNodeMatches(const QString &text, const QString &name, const QString &part)
{
    return textContains(text, part) || textContains(name, part);
}

TreeFilter::TreeFilter(TRepMainForm *window, QWidget *boxParent) : QObject(window), m_window(window)
{
    m_box = new QLineEdit(boxParent);
    m_box->setObjectName(QStringLiteral("EdtTreeFilter"));
    m_box->setPlaceholderText(QStringLiteral("Find a report, band or control"));
    m_box->setAccessibleName(QStringLiteral("Find in the report tree"));
    m_box->setToolTip(QStringLiteral("Find a report, band or control (Ctrl+F); Esc shows the whole tree again"));
    m_box->setClearButtonEnabled(true);
    m_box->installEventFilter(this);
    m_filtered = new ReportTreeModel(window->TreeView1);
    m_filtered->setObjectName(QStringLiteral("FilteredTreeModel"));
    m_filtered->setLabels(txtFldLst);
    connect(m_box, &QLineEdit::textChanged, this, [this](const QString &text) { guarded([&] { apply(text); }); });
}

TreeFilter::~TreeFilter() = default;

void TreeFilter::readRows()
{
    if (m_read)
        return;
    m_rows = ReportTreeRows();
    m_bandStart.clear();
    m_reportStart.clear();
    m_haystack.clear();
    m_ends.clear();
    m_entries.clear();
    Table *cat = m_window->TblRepCat;
    if (!cat->isOpen() || cat->eof()) {
        m_read = true;
        return;
    }
    const QVariant category = cat->fieldByName(QStringLiteral("RepCatName"))->value();
    Query q(nullptr, QStringLiteral("QryTreeFilter"));
    q.setDatabaseName(QStringLiteral("MyDatabase"));
    q.setSessionName(QStringLiteral("MySession"));
    q.setSql({QString::fromLatin1(RowsSql)});
    q.setUniDirectional(true);
    q.setParam(QStringLiteral("RepCatName"), category);
    q.open();
    Field *repName = q.fields(0), *rbdName = q.fields(1), *group = q.fields(2), *rctName = q.fields(3),
          *sortIdx = q.fields(4), *include = q.fields(5);
    // Labels by display name: a category repeats few names many times.
    QHash<QString, QString> labels;
    const TxtFldLstClass *cache = txtFldLst;
    const auto add = [this](int kind, int index, const QString &text, const QString &name) {
        m_haystack += textFolded(text);
        if (!name.isEmpty()) {
            m_haystack += QLatin1Char('\n');
            m_haystack += textFolded(name);
        }
        m_haystack += QLatin1Char('\n');
        m_ends.push_back(m_haystack.size());
        m_entries.push_back({kind, index});
    };
    QString lastReport, lastBand;
    for (; !q.eof(); q.next()) {
        const QString rep = repName->asString();
        if (m_rows.reports.empty() || rep != lastReport) {
            lastReport = rep;
            lastBand.clear();
            m_reportStart.push_back(int(m_rows.bands.size()));
            m_rows.reports.push_back({rep});
            add(1, int(m_rows.reports.size()) - 1, rep, QString());
        }
        if (rbdName->isNull())
            continue; // a report without bands
        const QString band = rbdName->asString();
        if (m_rows.bands.empty() || m_rows.bands.back().report != int(m_rows.reports.size()) - 1 ||
            band != lastBand) {
            lastBand = band;
            m_bandStart.push_back(int(m_rows.controls.size()));
            m_rows.bands.push_back({band, group->value(), int(m_rows.reports.size()) - 1});
            add(2, int(m_rows.bands.size()) - 1, band, QString());
        }
        if (rctName->isNull())
            continue; // a band without controls
        ReportTreeRows::Control c;
        c.band = int(m_rows.bands.size()) - 1;
        c.name = rctName->asString();
        c.sortIdx = sortIdx->asInteger();
        c.included = include->asBoolean();
        const QString display = reportdef::controlDisplayName(c.name);
        auto label = labels.constFind(display);
        if (label == labels.constEnd()) {
            const TextFieldClass *row = cache ? cache->search(display) : nullptr;
            label = labels.insert(display, row ? row->TxfLabel : display);
        }
        const QString text = controlNodeText(c.sortIdx, QString(), nullptr) + *label;
        m_rows.controls.push_back(std::move(c));
        add(3, int(m_rows.controls.size()) - 1, text, m_rows.controls.back().name);
    }
    q.close();
    m_bandStart.push_back(int(m_rows.controls.size()));
    m_reportStart.push_back(int(m_rows.bands.size()));
    m_read = true;
}

void TreeFilter::locate(const TvDataType &rec, int &report, int &band, int &control) const
{
    report = band = control = -1;
    for (size_t r = 0; r < m_rows.reports.size(); ++r)
        if (m_rows.reports[r].name == rec.RepName) {
            report = int(r);
            break;
        }
    if (report < 0 || rec.Level < 2)
        return;
    for (int b = m_reportStart[size_t(report)]; b < m_reportStart[size_t(report) + 1]; ++b)
        if (m_rows.bands[size_t(b)].name == rec.RbdName) {
            band = b;
            break;
        }
    if (band < 0 || rec.Level < 3)
        return;
    for (int c = m_bandStart[size_t(band)]; c < m_bandStart[size_t(band) + 1]; ++c)
        if (m_rows.controls[size_t(c)].name == rec.RctName) {
            control = c;
            break;
        }
}

TvDataType TreeFilter::recordOf(const Entry &e) const
{
    TvDataType rec;
    rec.Level = e.kind;
    int band = -1, report = e.index;
    if (e.kind == 3) {
        rec.RctName = m_rows.controls[size_t(e.index)].name;
        band = m_rows.controls[size_t(e.index)].band;
    } else if (e.kind == 2) {
        band = e.index;
    }
    if (band >= 0) {
        rec.RbdName = m_rows.bands[size_t(band)].name;
        report = m_rows.bands[size_t(band)].report;
    }
    rec.RepName = m_rows.reports[size_t(report)].name;
    return rec;
}

bool TreeFilter::rowPending() const
{
    for (Table *t : {m_window->TblReports, m_window->TblRepBand, m_window->TblRepCtrl})
        if (t->state() == DataSetState::Edit || t->state() == DataSetState::Insert)
            return true;
    return false;
}

void TreeFilter::switchTo(ReportTreeModel *model)
{
    RepTreeView *view = m_window->TreeView1;
    if (view->model() == model)
        return;
    const QSignalBlocker quiet(view);
    QPointer<QItemSelectionModel> old = view->selectionModel();
    view->setModel(model);
    if (old)
        old->deleteLater(); // the view makes a new one for every model
}

void TreeFilter::apply(const QString &text)
{
    const QString part = foldedPart(text);
    if (part.isEmpty()) {
        restore();
        return;
    }
    RepTreeView *view = m_window->TreeView1;
    ReportTreeModel *full = m_window->TreeModel;
    if (!m_active) {
        m_fullCurrent = view->currentIndex();
        m_kept = full->record(m_fullCurrent);
        m_fullExpanded.clear();
        // Reports and bands only: a control has nothing to expand.
        for (int r = 0; r < full->rowCount(); ++r) {
            const QModelIndex rep = full->index(r, 0);
            if (!view->isExpanded(rep))
                continue;
            m_fullExpanded.emplace_back(rep);
            for (int b = 0; b < full->rowCount(rep); ++b) {
                const QModelIndex band = full->index(b, 0, rep);
                if (view->isExpanded(band))
                    m_fullExpanded.emplace_back(band);
            }
        }
    } else if (view->currentIndex().isValid()) {
        m_kept = m_filtered->record(view->currentIndex());
    }
    m_filtered->setLabels(txtFldLst);
    readRows();

    // The nodes found, and their ancestors.
    std::vector<char> keepR(m_rows.reports.size()), keepB(m_rows.bands.size()), keepC(m_rows.controls.size());
    const auto keep = [&](int kind, int i) {
        if (kind == 3) {
            keepC[size_t(i)] = 1;
            i = m_rows.controls[size_t(i)].band;
        }
        if (kind >= 2) {
            keepB[size_t(i)] = 1;
            i = m_rows.bands[size_t(i)].report;
        }
        keepR[size_t(i)] = 1;
    };
    Entry first{0, -1};
    const QStringMatcher matcher(part, Qt::CaseSensitive);
    for (qsizetype at = matcher.indexIn(m_haystack, 0); at >= 0;) {
        const size_t e = size_t(std::upper_bound(m_ends.begin(), m_ends.end(), at) - m_ends.begin());
        if (e >= m_entries.size())
            break;
        if (first.index < 0)
            first = m_entries[e];
        keep(m_entries[e].kind, m_entries[e].index);
        at = matcher.indexIn(m_haystack, m_ends[e]);
    }
    // A row in edit stays in sight: a move away that cannot save it comes back to its node.
    int keptR = -1, keptB = -1, keptC = -1;
    locate(m_kept, keptR, keptB, keptC);
    if (m_kept.Level > 0 && rowPending()) {
        const int kind = keptC >= 0 ? 3 : keptB >= 0 ? 2 : keptR >= 0 ? 1 : 0;
        if (kind == m_kept.Level)
            keep(kind, kind == 3 ? keptC : kind == 2 ? keptB : keptR);
    }

    ReportTreeRows rows;
    std::vector<int> newR(m_rows.reports.size(), -1), newB(m_rows.bands.size(), -1);
    for (size_t r = 0; r < m_rows.reports.size(); ++r)
        if (keepR[r]) {
            newR[r] = int(rows.reports.size());
            rows.reports.push_back(m_rows.reports[r]);
        }
    for (size_t b = 0; b < m_rows.bands.size(); ++b)
        if (keepB[b]) {
            newB[b] = int(rows.bands.size());
            rows.bands.push_back(m_rows.bands[b]);
            rows.bands.back().report = newR[size_t(m_rows.bands[b].report)];
        }
    for (size_t c = 0; c < m_rows.controls.size(); ++c)
        if (keepC[c]) {
            rows.controls.push_back(m_rows.controls[c]);
            rows.controls.back().band = newB[size_t(m_rows.controls[c].band)];
        }

    const QSignalBlocker quiet(view);
    m_active = true;
    m_filtered->loadRows(rows);
    switchTo(m_filtered);
    view->expandAll();

    if (first.index >= 0) {
        const TvDataType rec = recordOf(first);
        m_firstMatch = m_filtered->findNode(rec.RepName, rec.RbdName, rec.RctName, false);
    } else {
        m_firstMatch = QPersistentModelIndex();
    }

    // The node whose rows the pages show stays current when it is in the filtered tree.
    const QModelIndex kept =
        m_kept.Level > 0 ? m_filtered->findNode(m_kept.RepName, m_kept.RbdName, m_kept.RctName, false) : QModelIndex();
    if (kept.isValid()) {
        m_filtered->setStateIndex(kept, m_filtered->stateIndex(kept) - 1, false);
        view->restoreCurrent(kept);
    }
}

void TreeFilter::restore()
{
    if (!m_active)
        return;
    RepTreeView *view = m_window->TreeView1;
    ReportTreeModel *full = m_window->TreeModel;
    if (view->currentIndex().isValid())
        m_kept = m_filtered->record(view->currentIndex());
    const TvDataType kept = m_kept;
    {
        const QSignalBlocker quiet(view);
        switchTo(full);
        m_active = false;
        m_firstMatch = QPersistentModelIndex();
        m_filtered->clear();
        for (const QPersistentModelIndex &i : m_fullExpanded)
            if (i.isValid())
                view->expand(i);
        m_fullExpanded.clear();
    }
    QModelIndex target;
    if (kept.Level > 0)
        guarded([&] { target = full->findNode(kept.RepName, kept.RbdName, kept.RctName, true); });
    if (!target.isValid())
        target = m_fullCurrent;
    if (m_fullCurrent.isValid() && QModelIndex(m_fullCurrent) != target && full->stateIndex(m_fullCurrent) % 2 == 1)
        full->setStateIndex(m_fullCurrent, full->stateIndex(m_fullCurrent) + 1);
    m_fullCurrent = QPersistentModelIndex();
    if (!target.isValid())
        return;
    if (full->stateIndex(target) % 2 == 0)
        full->setStateIndex(target, full->stateIndex(target) - 1);
    for (QModelIndex p = target.parent(); p.isValid(); p = p.parent())
        view->expand(p);
    // Expanded as selecting it expands it, its controls read for that.
    guarded([&] { full->readControls(target); });
    if (full->rowCount(target) > 0)
        view->expand(target);
    view->restoreCurrent(target);
    view->scrollTo(target);
}

void TreeFilter::reset()
{
    if (m_active) {
        const QSignalBlocker quiet(m_window->TreeView1);
        switchTo(m_window->TreeModel);
        m_active = false;
        m_firstMatch = QPersistentModelIndex();
        m_filtered->clear();
        m_fullExpanded.clear();
        m_fullCurrent = QPersistentModelIndex();
    }
    {
        const QSignalBlocker quiet(m_box);
        m_box->clear();
    }
    m_read = false;
}

void TreeFilter::copyState(const QModelIndex &filteredNode)
{
    if (!m_active || filteredNode.model() != m_filtered)
        return;
    const TvDataType rec = m_filtered->record(filteredNode);
    const QModelIndex there = m_window->TreeModel->findNode(rec.RepName, rec.RbdName, rec.RctName, false);
    if (there.isValid()) {
        // The full tree shows it with the normal look until it is selected there.
        const int state = m_filtered->stateIndex(filteredNode);
        m_window->TreeModel->setStateIndex(there, state % 2 == 1 ? state + 1 : state, false);
    }
}

void TreeFilter::enterTree()
{
    RepTreeView *view = m_window->TreeView1;
    view->setFocus(Qt::OtherFocusReason);
    if (m_active && m_firstMatch.isValid())
        view->setCurrentIndex(m_firstMatch);
}

bool TreeFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::FocusIn)
        guarded([this] { readRows(); }); // read while the user starts to type
    if (watched == m_box && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        switch (key->key()) {
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter: guarded([this] { enterTree(); }); return true;
        case Qt::Key_Escape:
            if (m_box->text().isEmpty())
                return false;
            m_box->clear();
            return true;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kvt
