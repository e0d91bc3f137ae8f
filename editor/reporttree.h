#pragma once
// The report tree: node records, the model of reports, bands and controls, and its view.
// The reports are read when a category is chosen; a report's bands and a band's controls are read
// the first time they are needed, so choosing a category costs little whatever its size.
#include <QAbstractItemModel>
#include <QByteArray>
#include <QPersistentModelIndex>
#include <QString>
#include <QTreeView>
#include <QVariant>
#include <memory>
#include <vector>

class QStringEncoder;

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

/// A tree given row by row with everything read, as the tree filter builds it: bands follow their
/// report, controls their band, each in tree order.
struct ReportTreeRows {
    struct Report {
        QString name;
    };
    struct Band {
        QString name;
        QVariant group; // RctGroup
        int report = 0; // index into reports
    };
    struct Control {
        int band = 0; // index into bands
        QString name; // RctName
        int sortIdx = 0;
        bool included = false;
    };
    std::vector<Report> reports;
    std::vector<Band> bands;
    std::vector<Control> controls;
};

/// Reports of a category and, once read, their bands and each band's controls. Nodes are no objects:
/// a band keeps its controls in a few arrays, and a node's record and text are made when asked for.
class ReportTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    /// The state image index (0..8) of a node.
    static constexpr int StateIndexRole = Qt::UserRole + 1;

    explicit ReportTreeModel(QObject *parent = nullptr);
    ~ReportTreeModel() override;

    /// The query that reads one band's controls (its parameters RepName and RctGroup are set from
    /// the band) and the field labels of the node texts.
    void setControlQuery(Query *controls) { m_query = controls; }
    /// The query that reads one report's bands (its parameter RepName is set from the report).
    void setBandQuery(Query *bands) { m_bandQuery = bands; }
    void setLabels(const TxtFldLstClass *labels) { m_labels = labels; }

    /// Replaces the tree by the reports of the current category, walking the table from its first
    /// row; no band or control is read. On an error the tree is left empty.
    void load(Table &reports);
    /// Replaces the tree by the given rows; every band counts as read (a band without controls
    /// there has no children).
    void loadRows(const ReportTreeRows &rows);
    /// The node with these names (empty band: the report; empty control: the band), or none. With
    /// read set, a band's controls are read when they are not read yet.
    QModelIndex findNode(const QString &repName, const QString &rbdName, const QString &rctName, bool read);
    /// Empties the tree; the time does not depend on the number of controls read.
    void clear();

    int level(const QModelIndex &index) const;
    /// The node's record; Level 0 for no node.
    TvDataType record(const QModelIndex &index) const;
    QString text(const QModelIndex &index) const;
    int stateIndex(const QModelIndex &index) const;
    /// Sets the state image; without a repaint when the caller knows the row repaints anyway.
    void setStateIndex(const QModelIndex &index, int state, bool repaint = true);

    /// True once a report's bands or a band's controls are read (controls: always).
    bool isRead(const QModelIndex &index) const;
    /// Reads a report's bands if they are not read yet; as readControls for a band.
    void readBands(const QModelIndex &report);
    /// Reads a band's controls if they are not read yet. An error is raised to the caller; the band
    /// then stays unread and is read again the next time it is needed.
    void readControls(const QModelIndex &band);
    /// Reads the bands of every report and the controls of every band not read yet, first error
    /// raised.
    void readAllControls();
    /// Control rows read so far.
    qint64 controlsRead() const { return m_controlsRead; }

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    /// The view asks for a report's bands or a band's controls (it was expanded): read them, and on
    /// an error say so as the window says it and keep the node unread.
    void fetchMore(const QModelIndex &parent) override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    /// A read of a report's bands or a band's controls failed (the node stays unread) or found
    /// nothing (the node has no children).
    void bandReadFailed(const QModelIndex &band);
    void bandFoundEmpty(const QModelIndex &band);

private:
    struct Controls;
    struct Report {
        QString name;
        int firstBand = 0; // in m_bands, once read: a report's bands are read together
        int bandCount = 0;
        quint8 state = 2;
        bool read = false;
        bool failed = false; // as Band::failed
    };
    struct Band {
        QString name;
        QVariant group; // RctGroup, the second parameter of the control query
        int report = 0;
        quint8 state = 4;
        bool failed = false;       // the last read failed: the view does not read it by itself again
        Controls *controls = nullptr; // in m_blocks; null until read
    };
    enum Kind { None, ReportNode, BandNode, ControlNode };
    struct Node {
        Kind kind = None;
        int report = -1, band = -1, control = -1;
    };
    Node node(const QModelIndex &index) const;
    QModelIndex reportIndex(int report) const;
    QModelIndex bandIndex(int band) const;
    void readBand(int band);
    void readReport(int report);
    char *allocate(size_t bytes);
    /// Adds one control to the band being read (m_names, m_ends, m_sortIdx, m_states).
    void appendControl(QStringEncoder &utf8, const QString &name, int sortIdx, bool included);
    /// The band being read, in one piece in the blocks; the band's arrays are left for the next.
    Controls *packControls();
    void release();

    std::vector<Report> m_reports;
    std::vector<Band> m_bands;
    // The controls of all bands read, in a few large blocks: releasing a category costs a few
    // frees per block, not per band or control.
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_blockFree = nullptr;
    size_t m_blockLeft = 0;
    // One band's rows while they are read, kept for the next band.
    QByteArray m_names;
    std::vector<quint32> m_ends;
    std::vector<qint32> m_sortIdx;
    std::vector<quint8> m_states;
    Query *m_query = nullptr;
    Query *m_bandQuery = nullptr;
    const TxtFldLstClass *m_labels = nullptr;
    qint64 m_controlsRead = 0;
};

/// The tree view of the reports. A selection change repaints the selected rows among those on
/// screen: Qt's own view finds each selected row by a walk over every shown row before it, which in
/// a big expanded tree costs more than all the rest of a click.
class RepTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit RepTreeView(QWidget *parent = nullptr);
    void setModel(QAbstractItemModel *model) override;
    ReportTreeModel *reportModel() const { return m_model; }

    /// Number of reports (top-level nodes).
    int topLevelCount() const;
    QModelIndex topLevelIndex(int row) const;

    /// Makes index current and selected again without telling the window (its selection handler
    /// does not run), after a selection that could not be completed. Inside a click or a key
    /// press the view would go on to select the row the event points at; index is made current
    /// and selected once more when the event is done.
    void restoreCurrent(const QModelIndex &index);

signals:
    /// The current node changed (not sent for restoreCurrent).
    void currentNodeChanged(const QModelIndex &current, const QModelIndex &previous);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    bool viewportEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void keepRestored();
    ReportTreeModel *m_model = nullptr;
    QPersistentModelIndex m_restored;
    QPersistentModelIndex m_justFailed; // a band whose read failed since events were last handled
    int m_inputDepth = 0;
};

/// Text of a control node: RctSortIdx as "%02d. " and the field label of the name before its first
/// colon, or that name when the texts have no label for it.
QString controlNodeText(int sortIdx, const QString &rctName, const TxtFldLstClass *labels);

} // namespace kvt
