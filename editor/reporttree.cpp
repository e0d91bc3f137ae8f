#include "editor/reporttree.h"
#include "common/stdexception.h"
#include "editor/stateimages.h"
#include "engine/dataset.h"
#include "engine/session.h"
#include "labels/textcache.h"
#include "reportdef/codes.h"
#include <QSignalBlocker>
#include <QStringEncoder>
#include <QTimer>

namespace kvt {

namespace {

// A node's internal id is its kind and numbers, packed and then mixed by an invertible function:
// Qt finds persistent indexes by hashing the id's low bits, which packed numbers alone leave alike
// for whole runs of nodes.
constexpr quint64 MixA = 0xff51afd7ed558ccdULL;
constexpr quint64 MixB = 0xc4ceb9fe1a85ec53ULL;

constexpr quint64 inverse(quint64 odd)
{
    quint64 x = odd; // Newton's iteration doubles the correct low bits each step
    for (int i = 0; i < 6; ++i)
        x *= 2 - odd * x;
    return x;
}
constexpr quint64 MixAInv = inverse(MixA);
constexpr quint64 MixBInv = inverse(MixB);
static_assert(MixA * MixAInv == 1 && MixB * MixBInv == 1);

constexpr quint64 mix(quint64 x)
{
    x ^= x >> 33;
    x *= MixA;
    x ^= x >> 33;
    x *= MixB;
    x ^= x >> 33;
    return x;
}

constexpr quint64 unmix(quint64 x)
{
    x ^= x >> 33;
    x *= MixBInv;
    x ^= x >> 33;
    x *= MixAInv;
    x ^= x >> 33;
    return x;
}
static_assert(unmix(mix(0x8000000100000005ULL)) == 0x8000000100000005ULL);

constexpr int KindShift = 62;
constexpr int BandShift = 31;
constexpr quint64 RowMask = (quint64(1) << BandShift) - 1;

} // namespace

/// A band's controls, in one piece: this header, then per control its name's end, its index and its
/// state, then the names (UTF-8) one after the other.
struct ReportTreeModel::Controls {
    qint32 n = 0;
    quint32 spare = 0; // keeps what follows aligned
    int count() const { return n; }
    const quint32 *ends() const { return reinterpret_cast<const quint32 *>(this + 1); }
    const qint32 *sortIdx() const { return reinterpret_cast<const qint32 *>(ends() + n); }
    const quint8 *states() const { return reinterpret_cast<const quint8 *>(sortIdx() + n); }
    quint8 *states() { return const_cast<quint8 *>(static_cast<const Controls *>(this)->states()); }
    const char *names() const { return reinterpret_cast<const char *>(states() + n); }
    static size_t bytes(int n, qsizetype names) { return sizeof(Controls) + size_t(n) * 9 + size_t(names); }
    QString name(int i) const
    {
        const quint32 begin = i > 0 ? ends()[i - 1] : 0;
        return QString::fromUtf8(names() + begin, qsizetype(ends()[i] - begin));
    }
};
namespace {
constexpr size_t BlockSize = 64 * 1024; // below the size malloc gives back to the system at once
}

char *ReportTreeModel::allocate(size_t bytes)
{
    bytes = (bytes + 7) & ~size_t(7);
    if (bytes > BlockSize / 4) { // a band of its own
        m_blocks.push_back(std::make_unique<char[]>(bytes));
        return m_blocks.back().get();
    }
    if (bytes > m_blockLeft) {
        m_blocks.push_back(std::make_unique<char[]>(BlockSize));
        m_blockFree = m_blocks.back().get();
        m_blockLeft = BlockSize;
    }
    char *p = m_blockFree;
    m_blockFree += bytes;
    m_blockLeft -= bytes;
    return p;
}

void ReportTreeModel::release()
{
    std::vector<Report>().swap(m_reports);
    std::vector<Band>().swap(m_bands);
    std::vector<std::unique_ptr<char[]>>().swap(m_blocks);
    m_blockFree = nullptr;
    m_blockLeft = 0;
    m_controlsRead = 0;
}

ReportTreeModel::ReportTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

ReportTreeModel::~ReportTreeModel() = default;

void ReportTreeModel::clear()
{
    beginResetModel();
    release();
    endResetModel();
}

void ReportTreeModel::load(Table &reports)
{
    beginResetModel();
    release();
    try {
        Field *name = reports.fields(0);
        for (reports.first(); !reports.eof(); reports.next()) {
            Report r;
            r.name = name->asString();
            m_reports.push_back(std::move(r));
        }
    } catch (...) {
        release();
        endResetModel();
        throw;
    }
    m_reports.shrink_to_fit();
    endResetModel();
}

void ReportTreeModel::loadRows(const ReportTreeRows &rows)
{
    beginResetModel();
    release();
    m_reports.reserve(rows.reports.size());
    for (const ReportTreeRows::Report &r : rows.reports) {
        Report rep;
        rep.name = r.name;
        rep.firstBand = int(m_bands.size());
        rep.read = true; // the given rows hold all of the report's bands that are shown
        m_reports.push_back(std::move(rep));
    }
    m_bands.reserve(rows.bands.size());
    for (const ReportTreeRows::Band &b : rows.bands) {
        Band band;
        band.name = b.name;
        band.group = b.group;
        band.report = b.report;
        if (m_reports[size_t(b.report)].bandCount == 0)
            m_reports[size_t(b.report)].firstBand = int(m_bands.size());
        ++m_reports[size_t(b.report)].bandCount;
        m_bands.push_back(std::move(band));
    }
    // Each band's controls in one piece, as a read of the band leaves them.
    QStringEncoder utf8(QStringEncoder::Utf8);
    size_t next = 0;
    for (size_t b = 0; b < m_bands.size(); ++b) {
        m_names.clear();
        m_ends.clear();
        m_sortIdx.clear();
        m_states.clear();
        for (; next < rows.controls.size() && rows.controls[next].band == int(b); ++next) {
            const ReportTreeRows::Control &c = rows.controls[next];
            appendControl(utf8, c.name, c.sortIdx, c.included);
        }
        m_bands[b].controls = packControls();
    }
    endResetModel();
}

void ReportTreeModel::appendControl(QStringEncoder &utf8, const QString &name, int sortIdx, bool included)
{
    // Straight into the names, without a byte array per name.
    const qsizetype at = m_names.size();
    m_names.resize(at + utf8.requiredSpace(name.size()));
    char *end = utf8.appendToBuffer(m_names.data() + at, name);
    m_names.resize(end - m_names.constData());
    m_ends.push_back(quint32(m_names.size()));
    m_sortIdx.push_back(sortIdx);
    m_states.push_back(included ? 8 : 6);
}

ReportTreeModel::Controls *ReportTreeModel::packControls()
{
    const int count = int(m_ends.size());
    auto *c = new (allocate(Controls::bytes(count, m_names.size()))) Controls;
    c->n = count;
    std::copy(m_ends.begin(), m_ends.end(), const_cast<quint32 *>(c->ends()));
    std::copy(m_sortIdx.begin(), m_sortIdx.end(), const_cast<qint32 *>(c->sortIdx()));
    std::copy(m_states.begin(), m_states.end(), c->states());
    std::copy(m_names.cbegin(), m_names.cend(), const_cast<char *>(c->names()));
    m_controlsRead += count;
    return c;
}

QModelIndex ReportTreeModel::findNode(const QString &repName, const QString &rbdName, const QString &rctName,
                                      bool read)
{
    for (size_t r = 0; r < m_reports.size(); ++r) {
        if (m_reports[r].name != repName)
            continue;
        if (rbdName.isEmpty())
            return reportIndex(int(r));
        if (read && !m_reports[r].read)
            readReport(int(r));
        const Report &rep = m_reports[r];
        for (int b = rep.firstBand; b < rep.firstBand + rep.bandCount; ++b) {
            if (m_bands[size_t(b)].name != rbdName)
                continue;
            if (rctName.isEmpty())
                return bandIndex(b);
            if (read && !m_bands[size_t(b)].controls)
                readBand(b);
            const Controls *c = m_bands[size_t(b)].controls;
            for (int i = 0; c && i < c->count(); ++i)
                if (c->name(i) == rctName)
                    return index(i, 0, bandIndex(b));
            return QModelIndex();
        }
        return QModelIndex();
    }
    return QModelIndex();
}

ReportTreeModel::Node ReportTreeModel::node(const QModelIndex &index) const
{
    Node n;
    if (!index.isValid() || index.model() != this)
        return n;
    const quint64 packed = unmix(index.internalId());
    const int kind = int(packed >> KindShift);
    const quint64 rest = packed & ~(quint64(3) << KindShift);
    if (kind == ReportNode && rest < m_reports.size()) {
        n.kind = ReportNode;
        n.report = int(rest);
    } else if (kind == BandNode && rest < m_bands.size()) {
        n.kind = BandNode;
        n.band = int(rest);
        n.report = m_bands[rest].report;
    } else if (kind == ControlNode) {
        const quint64 band = rest >> BandShift;
        const int row = int(rest & RowMask);
        if (band < m_bands.size() && m_bands[band].controls && row < m_bands[band].controls->count()) {
            n.kind = ControlNode;
            n.band = int(band);
            n.report = m_bands[band].report;
            n.control = row;
        }
    }
    return n;
}

QModelIndex ReportTreeModel::reportIndex(int report) const
{
    return createIndex(report, 0, quintptr(mix((quint64(ReportNode) << KindShift) | quint64(report))));
}

QModelIndex ReportTreeModel::bandIndex(int band) const
{
    const int row = band - m_reports[size_t(m_bands[size_t(band)].report)].firstBand;
    return createIndex(row, 0, quintptr(mix((quint64(BandNode) << KindShift) | quint64(band))));
}

QModelIndex ReportTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column != 0)
        return QModelIndex();
    if (!parent.isValid())
        return row < int(m_reports.size()) ? reportIndex(row) : QModelIndex();
    const Node p = node(parent);
    if (p.kind == ReportNode) {
        const Report &r = m_reports[size_t(p.report)];
        return row < r.bandCount ? bandIndex(r.firstBand + row) : QModelIndex();
    }
    if (p.kind == BandNode) {
        const Controls *c = m_bands[size_t(p.band)].controls;
        if (!c || row >= c->count())
            return QModelIndex();
        return createIndex(row, 0,
                           quintptr(mix((quint64(ControlNode) << KindShift) | (quint64(p.band) << BandShift) |
                                        quint64(row))));
    }
    return QModelIndex();
}

QModelIndex ReportTreeModel::parent(const QModelIndex &child) const
{
    const Node n = node(child);
    if (n.kind == BandNode)
        return reportIndex(n.report);
    if (n.kind == ControlNode)
        return bandIndex(n.band);
    return QModelIndex();
}

int ReportTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(m_reports.size());
    if (parent.column() != 0)
        return 0;
    const Node p = node(parent);
    if (p.kind == ReportNode)
        return m_reports[size_t(p.report)].bandCount;
    if (p.kind == BandNode) {
        const Controls *c = m_bands[size_t(p.band)].controls;
        return c ? c->count() : 0;
    }
    return 0;
}

int ReportTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool ReportTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node p = node(parent);
    // An unread report or band shows its expander until a read finds it empty.
    if (p.kind == ReportNode && !m_reports[size_t(p.report)].read)
        return true;
    if (p.kind == BandNode && !m_bands[size_t(p.band)].controls)
        return true;
    return rowCount(parent) > 0;
}

bool ReportTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node p = node(parent);
    if (p.kind == ReportNode)
        return !m_reports[size_t(p.report)].read && !m_reports[size_t(p.report)].failed;
    return p.kind == BandNode && !m_bands[size_t(p.band)].controls && !m_bands[size_t(p.band)].failed;
}

void ReportTreeModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    guarded([&] {
        readBands(parent);
        readControls(parent);
    });
}

bool ReportTreeModel::isRead(const QModelIndex &index) const
{
    const Node n = node(index);
    if (n.kind == ReportNode)
        return m_reports[size_t(n.report)].read;
    return n.kind != BandNode || m_bands[size_t(n.band)].controls;
}

void ReportTreeModel::readBands(const QModelIndex &report)
{
    const Node n = node(report);
    if (n.kind == ReportNode && !m_reports[size_t(n.report)].read)
        readReport(n.report);
}

void ReportTreeModel::readReport(int report)
{
    if (!m_bandQuery)
        return;
    std::vector<Band> bands;
    try {
        // One walk of the report's bands, as a band's controls are read: one query per report.
        m_bandQuery->close();
        m_bandQuery->setParam(QStringLiteral("RepName"), m_reports[size_t(report)].name);
        m_bandQuery->open();
        Field *name = m_bandQuery->fields(0);
        Field *group = m_bandQuery->fields(1);
        for (; !m_bandQuery->eof(); m_bandQuery->next()) {
            Band b;
            b.name = name->asString();
            b.group = group->value();
            b.report = report;
            bands.push_back(std::move(b));
        }
        m_bandQuery->close();
    } catch (...) {
        try {
            m_bandQuery->close();
        } catch (...) {
        }
        m_reports[size_t(report)].failed = true;
        emit bandReadFailed(reportIndex(report));
        throw;
    }
    Report &r = m_reports[size_t(report)];
    r.failed = false;
    const int count = int(bands.size());
    const QModelIndex parent = reportIndex(report);
    if (count == 0) {
        r.read = true;
        r.firstBand = int(m_bands.size());
        emit bandFoundEmpty(parent);
        return;
    }
    beginInsertRows(parent, 0, count - 1);
    r.firstBand = int(m_bands.size());
    r.bandCount = count;
    r.read = true;
    m_bands.insert(m_bands.end(), std::make_move_iterator(bands.begin()), std::make_move_iterator(bands.end()));
    endInsertRows();
}

void ReportTreeModel::readControls(const QModelIndex &band)
{
    const Node n = node(band);
    if (n.kind == BandNode && !m_bands[size_t(n.band)].controls)
        readBand(n.band);
}

void ReportTreeModel::readAllControls()
{
    if (!m_query)
        return;
    // The query is closed between bands, so its database is found by name.
    Database *db = m_query->database() ? m_query->database() : Database::find(m_query->databaseName());
    ReadScope read(db); // one read of the store for all the reports and bands
    BulkReadScope bulk(db); // pages read once, not kept for the selections
    for (size_t r = 0; r < m_reports.size(); ++r)
        if (!m_reports[r].read)
            readReport(int(r));
    for (size_t b = 0; b < m_bands.size(); ++b)
        if (!m_bands[b].controls)
            readBand(int(b));
}

void ReportTreeModel::readBand(int band)
{
    Band &b = m_bands[size_t(band)];
    if (!m_query)
        return;
    m_names.clear();
    m_ends.clear();
    m_sortIdx.clear();
    m_states.clear();
    try {
        // One query opened and closed per band, its parameters from that band.
        m_query->close();
        m_query->setParam(QStringLiteral("RepName"), m_reports[size_t(b.report)].name);
        m_query->setParam(QStringLiteral("RctGroup"), b.group);
        m_query->open();
        Field *name = m_query->fields(2);
        Field *sortIdx = m_query->fieldByName(QStringLiteral("RctSortIdx"));
        Field *include = m_query->fieldByName(QStringLiteral("RctInclude"));
        QStringEncoder utf8(QStringEncoder::Utf8);
        for (; !m_query->eof(); m_query->next()) {
            appendControl(utf8, name->asString(), sortIdx->asInteger(), include->asBoolean());
        }
        m_query->close();
    } catch (...) {
        try {
            m_query->close();
        } catch (...) {
        }
        b.failed = true;
        emit bandReadFailed(bandIndex(band));
        throw;
    }
    b.failed = false;
    Controls *c = packControls();
    const int count = c->n;
    const QModelIndex parent = bandIndex(band);
    if (count == 0) {
        b.controls = c;
        emit bandFoundEmpty(parent);
        return;
    }
    beginInsertRows(parent, 0, count - 1);
    b.controls = c;
    endInsertRows();
}

int ReportTreeModel::level(const QModelIndex &index) const
{
    switch (node(index).kind) {
    case ReportNode: return 1;
    case BandNode: return 2;
    case ControlNode: return 3;
    default: return 0;
    }
}

TvDataType ReportTreeModel::record(const QModelIndex &index) const
{
    const Node n = node(index);
    TvDataType r;
    if (n.kind == None)
        return r;
    r.Level = level(index);
    r.RepName = m_reports[size_t(n.report)].name;
    if (n.kind != ReportNode)
        r.RbdName = m_bands[size_t(n.band)].name;
    if (n.kind == ControlNode)
        r.RctName = m_bands[size_t(n.band)].controls->name(n.control);
    return r;
}

QString ReportTreeModel::text(const QModelIndex &index) const
{
    const Node n = node(index);
    switch (n.kind) {
    case ReportNode: return m_reports[size_t(n.report)].name;
    case BandNode: return m_bands[size_t(n.band)].name;
    case ControlNode: {
        const Controls &c = *m_bands[size_t(n.band)].controls;
        return controlNodeText(c.sortIdx()[n.control], c.name(n.control), m_labels);
    }
    default: return QString();
    }
}

int ReportTreeModel::stateIndex(const QModelIndex &index) const
{
    const Node n = node(index);
    switch (n.kind) {
    case ReportNode: return m_reports[size_t(n.report)].state;
    case BandNode: return m_bands[size_t(n.band)].state;
    case ControlNode: return m_bands[size_t(n.band)].controls->states()[n.control];
    default: return 0;
    }
}

void ReportTreeModel::setStateIndex(const QModelIndex &index, int state, bool repaint)
{
    const Node n = node(index);
    quint8 *slot = nullptr;
    switch (n.kind) {
    case ReportNode: slot = &m_reports[size_t(n.report)].state; break;
    case BandNode: slot = &m_bands[size_t(n.band)].state; break;
    case ControlNode: slot = &m_bands[size_t(n.band)].controls->states()[n.control]; break;
    default: return;
    }
    if (*slot == state)
        return;
    *slot = quint8(state);
    if (repaint)
        emit dataChanged(index, index, {Qt::DecorationRole, StateIndexRole});
}

QVariant ReportTreeModel::data(const QModelIndex &index, int role) const
{
    switch (role) {
    case Qt::DisplayRole: return text(index);
    case Qt::DecorationRole: return stateImage(stateIndex(index));
    case StateIndexRole: return stateIndex(index);
    default: return QVariant();
    }
}

Qt::ItemFlags ReportTreeModel::flags(const QModelIndex &index) const
{
    const Node n = node(index);
    if (n.kind == None)
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (n.kind == ControlNode)
        f |= Qt::ItemNeverHasChildren;
    return f;
}

// ------------------------------------------------------------------ view

RepTreeView::RepTreeView(QWidget *parent) : QTreeView(parent)
{
    // A report or band whose last read failed is read again when it is expanded again.
    // (Not the node whose read has just failed inside this very expand.)
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (m_model && !m_model->isRead(index) && !m_model->canFetchMore(index) && m_justFailed != index)
            guarded([&] {
                m_model->readBands(index);
                m_model->readControls(index);
            });
    });
}

void RepTreeView::setModel(QAbstractItemModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    QTreeView::setModel(model);
    m_model = qobject_cast<ReportTreeModel *>(model);
    if (!m_model)
        return;
    // Shown without children: collapsed again, and laid out again, so it loses its expander (the
    // view keeps whether a row has children from its last layout). After the view's own expand.
    const auto settle = [this](const QModelIndex &band, bool relayout) {
        const QPersistentModelIndex keep(band);
        if (!relayout)
            m_justFailed = keep;
        QTimer::singleShot(0, this, [this, keep, relayout] {
            m_justFailed = QPersistentModelIndex();
            if (!keep.isValid())
                return;
            collapse(keep);
            if (relayout)
                scheduleDelayedItemsLayout();
        });
    };
    connect(m_model, &ReportTreeModel::bandFoundEmpty, this,
            [settle](const QModelIndex &band) { settle(band, true); });
    connect(m_model, &ReportTreeModel::bandReadFailed, this,
            [settle](const QModelIndex &band) { settle(band, false); });
}

int RepTreeView::topLevelCount() const
{
    return model() ? model()->rowCount() : 0;
}

QModelIndex RepTreeView::topLevelIndex(int row) const
{
    return model() ? model()->index(row, 0) : QModelIndex();
}

QRegion RepTreeView::visualRegionForSelection(const QItemSelection &selection) const
{
    if (selection.isEmpty())
        return QRegion();
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!uniformRowHeights() || !top.isValid())
        return QTreeView::visualRegionForSelection(selection);
    const QRect first = visualRect(top);
    const int rowHeight = first.height();
    if (rowHeight <= 0)
        return QTreeView::visualRegionForSelection(selection);
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

void RepTreeView::restoreCurrent(const QModelIndex &index)
{
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

void RepTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    emit currentNodeChanged(current, previous);
}

bool RepTreeView::viewportEvent(QEvent *event)
{
    ++m_inputDepth;
    const bool done = QTreeView::viewportEvent(event);
    --m_inputDepth;
    keepRestored();
    return done;
}

void RepTreeView::keyPressEvent(QKeyEvent *event)
{
    ++m_inputDepth;
    QTreeView::keyPressEvent(event);
    --m_inputDepth;
    keepRestored();
}

QString controlNodeText(int sortIdx, const QString &rctName, const TxtFldLstClass *labels)
{
    const QString name = reportdef::controlDisplayName(rctName);
    // "%02d. " without a format parser: this runs for every control row shown.
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

} // namespace kvt
