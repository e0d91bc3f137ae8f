#pragma once
// The page preview: the selected report's pages drawn without data, its bands and their controls where
// a print would place them (reportdef/previewlayout.h), in their stored fonts and frames. The rows come
// from reads of its own, so the editor's tables keep their filters, record and pending edit; what is
// in edit, also text typed and not yet written to its field, is shown from the tables and their edits.
#include "common/fontdesc.h"
#include "reportdef/previewlayout.h"
#include <QFont>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>
#include <functional>
#include <memory>

class QTimer;

namespace kvt {

class DataSource;
class DbEdit;
class Query;
class Table;

/// Fonts of stored font strings (face,size,styles,colour), read once each. A malformed string gives
/// the font that fldStrToFont falls back to, without the messages the font editor shows for it.
class PreviewFonts {
public:
    FontDesc desc(const QString &fontSpec);
    /// The font at a pixel size for points at scale (pixels per point).
    QFont font(const QString &fontSpec, double scale);

private:
    QHash<QString, FontDesc> m_descs;
    QHash<QString, QFont> m_fonts;
    double m_scale = 0;
};

/// The drawing of the pages, one below the other, as wide as its scroll area.
class PagePreview : public QWidget {
    Q_OBJECT
public:
    explicit PagePreview(QWidget *parent = nullptr);
    ~PagePreview() override;

    /// The editor's tables and their sources: rows in edit are shown with their values in edit.
    void setTables(Table *reports, Table *bands, Table *controls);
    /// Text typed into the data-aware edits of page is shown at once, before it reaches its field.
    void watchEdits(QWidget *page);
    /// Called with report, band and control name (empty below the level clicked) on a click on the
    /// preview, or on a move by the arrow keys.
    void setSelectNode(std::function<void(const QString &, const QString &, const QString &)> select);

    /// The selected node: report, band (empty for a report) and control (empty for a report or band).
    void showSelection(const QString &report, const QString &band, const QString &control);
    /// Reads the rows again (at the next turn of the event loop).
    void reload();

    const reportdef::PreviewReport &report() const { return m_report; }
    const reportdef::PageLayout &pageLayout() const { return m_layout; }
    /// Pixels per point, and where page n lies in the widget.
    double scale() const { return m_scale; }
    QRectF pageRect(int page) const;
    /// A place of the layout (points on its page) in the widget.
    QRectF toWidget(int page, const QRectF &r) const;
    /// The place of the selected band and control in the layout, or null.
    const reportdef::BandPlace *selectedBand() const;
    const reportdef::ControlPlace *selectedControl() const;
    /// Rows read and layouts made since the preview was created (for tests and the benchmark).
    int readCount() const { return m_reads; }
    int paintCount() const { return m_paints; }
    int layoutCount() const { return m_layouts; }

    /// True while a read of the rows waits for the event loop.
    bool readPending() const;
    /// Recomputes the shown values and the layout now (what a keystroke does).
    void refreshNow();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Link;
    void scheduleRead();
    void queueRefresh();
    void readRows();
    void applyEdits(reportdef::PreviewReport &r);
    void relayout();
    void updateSize();
    void findSelection();
    void selectAt(int band, int control);
    void moveSelection(int step, bool toEnd);
    void scrollToSelection();

    Table *m_tables[3] = {nullptr, nullptr, nullptr};
    std::vector<std::unique_ptr<Link>> m_links;
    QList<QPointer<DbEdit>> m_edits;
    std::function<void(const QString &, const QString &, const QString &)> m_select;
    std::unique_ptr<Query> m_repQuery, m_bandQuery, m_ctrlQuery;
    QTimer *m_readTimer = nullptr;

    QString m_repName, m_bandName, m_ctrlName;
    QString m_readName; // the report whose rows m_stored holds
    bool m_stale = true;
    QString m_error; // why the rows could not be read, shown in place of the pages
    reportdef::PreviewReport m_stored; // as read from the store
    reportdef::PreviewReport m_report; // with the values in edit
    reportdef::PageLayout m_layout;
    int m_selBand = -1, m_selCtrl = -1; // indexes into m_layout.bands and its controls
    bool m_scrollPending = false;       // the selection moved and is to be scrolled into view
    bool m_refreshQueued = false;       // one refresh waits for the event loop
    PreviewFonts m_fonts;
    double m_scale = 0.5;
    int m_reads = 0;
    int m_paints = 0;
    int m_layouts = 0;
};

/// The preview in a scroll area of its own, to be shown beside the detail pages.
class PreviewPanel : public QScrollArea {
    Q_OBJECT
public:
    explicit PreviewPanel(QWidget *parent = nullptr);
    PagePreview *preview() const { return m_preview; }

protected:
    bool viewportEvent(QEvent *event) override;

private:
    PagePreview *m_preview;
};

} // namespace kvt
