#include "editor/pagepreview.h"
#include "common/fldfuncs.h"
#include "common/gui/fontconv.h"
#include "common/messageservice.h"
#include "dbwidgets/dbedit.h"
#include "engine/dataset.h"
#include "engine/session.h"
#include "reportdef/codes.h"
#include "reportdef/schema.h"
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace kvt {

using namespace reportdef;

namespace {

constexpr int Gap = 8;      // pixels between the pages and round them
constexpr double MinTextPixels = 3; // below this a text is shown as a grey bar

/// Swallows the messages of fldStrToFont while the preview reads a font.
class QuietMessages : public MessageService {
public:
    MsgResult message(const QString &, const QString &, MsgIcon, MsgButtons buttons) override
    {
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    void beep() override {}
};

using Getter = std::function<QVariant(const char *)>;

QString text(const Getter &g, const char *n) { return g(n).toString(); }
double number(const Getter &g, const char *n) { return g(n).toDouble(); }
int integer(const Getter &g, const char *n) { return g(n).toInt(); }
bool flag(const Getter &g, const char *n)
{
    const QVariant v = g(n);
    if (v.typeId() == QMetaType::QString)
        return v.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    return v.toBool();
}

void fillReport(PreviewReport &r, const Getter &g)
{
    r.name = text(g, "RepName");
    r.title = text(g, "RepTitle");
    r.orient = text(g, "RepOrient");
    r.left = number(g, "RepLeftX");
    r.right = number(g, "RepRightX");
    r.top = number(g, "RepTopY");
    r.bottom = number(g, "RepBottomY");
}

void fillBand(PreviewBand &b, const Getter &g)
{
    b.name = text(g, "RbdName");
    b.group = text(g, "RctGroup");
    b.type = integer(g, "RbdType");
    b.contentType = integer(g, "RbdContType");
    b.left = number(g, "RbdLeftX");
    b.right = number(g, "RbdRightX");
    b.top = number(g, "RbdTopY");
    b.bottom = number(g, "RbdBottomY");
    b.box = integer(g, "RbdBox");
}

void fillControl(PreviewControl &c, const Getter &g, PreviewFonts &fonts)
{
    c.name = text(g, "RctName");
    c.type = integer(g, "RctType");
    c.label = text(g, "RctLabel");
    c.width = number(g, "RctWidth");
    c.labelWidth = number(g, "RctLabelWidth");
    c.labelFont = text(g, "RctLabelFnt");
    c.fieldFont = text(g, "RctFieldFnt");
    c.labelPoints = fonts.desc(c.labelFont).size;
    c.fieldPoints = fonts.desc(c.fieldFont).size;
    c.align = integer(g, "RctAlignHorPage");
    c.include = flag(g, "RctInclude");
    c.box = integer(g, "RctBox");
    c.spLeft = number(g, "RctSpLeft");
    c.spRight = number(g, "RctSpRight");
    c.spTop = number(g, "RctSpTop");
    c.spBottom = number(g, "RctSpBottom");
    c.newLine = flag(g, "RctNewLine");
}

Getter fieldsOf(DataSet &ds)
{
    return [&ds](const char *n) {
        Field *f = ds.findField(QString::fromLatin1(n));
        return f ? f->value() : QVariant();
    };
}

void drawSides(QPainter &p, const QRectF &r, int mask)
{
    if (mask & FrameTop)
        p.drawLine(r.topLeft(), r.topRight());
    if (mask & FrameRight)
        p.drawLine(r.topRight(), r.bottomRight());
    if (mask & FrameBottom)
        p.drawLine(r.bottomLeft(), r.bottomRight());
    if (mask & FrameLeft)
        p.drawLine(r.topLeft(), r.bottomLeft());
}

} // namespace

// ------------------------------------------------------------------ fonts

FontDesc PreviewFonts::desc(const QString &fontSpec)
{
    auto it = m_descs.constFind(fontSpec);
    if (it != m_descs.constEnd())
        return *it;
    FontDesc d;
    MessageService *before = &messages();
    QuietMessages quiet;
    setMessageService(&quiet);
    fldStrToFont(fontSpec, &d);
    setMessageService(before);
    return *m_descs.insert(fontSpec, d);
}

QFont PreviewFonts::font(const QString &fontSpec, double scale)
{
    if (scale != m_scale) {
        m_fonts.clear();
        m_scale = scale;
    }
    auto it = m_fonts.constFind(fontSpec);
    if (it != m_fonts.constEnd())
        return *it;
    const FontDesc d = desc(fontSpec);
    QFont f = toQFont(d);
    f.setPixelSize(std::max(1, int(std::lround((d.size > 0 ? d.size : 8) * scale))));
    f.setKerning(false);
    return *m_fonts.insert(fontSpec, f);
}

// ------------------------------------------------------------------ following the tables

class PagePreview::Link : public DataLink {
public:
    explicit Link(PagePreview *preview) : m_preview(preview) {}
    // A move to another row changes the three tables and many edits at once: one look after all.
    void dataSetChanged() override { m_preview->queueRefresh(); }
    void recordChanged(Field *) override { m_preview->refreshNow(); }
    void stateChanged() override
    {
        DataSet *ds = dataSet();
        const DataSetState now = ds ? ds->state() : DataSetState::Inactive;
        const bool wasEditing = m_state == DataSetState::Edit || m_state == DataSetState::Insert;
        const bool editing = now == DataSetState::Edit || now == DataSetState::Insert;
        m_state = now;
        // Leaving edit means a post or a cancel: the stored rows may be new.
        if (wasEditing && !editing)
            m_preview->reload();
        else
            m_preview->queueRefresh();
    }

private:
    PagePreview *m_preview;
    DataSetState m_state = DataSetState::Inactive;
};

PagePreview::PagePreview(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PagePreview"));
    setAccessibleName(QStringLiteral("Page preview"));
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(QStringLiteral("Click a control to select it; arrow keys move to the next or previous control"));
    m_readTimer = new QTimer(this);
    m_readTimer->setSingleShot(true);
    m_readTimer->setInterval(0);
    connect(m_readTimer, &QTimer::timeout, this, [this] {
        readRows();
        relayout();
        if (m_scrollPending)
            scrollToSelection();
    });
}

PagePreview::~PagePreview() = default;

void PagePreview::setTables(Table *reports, Table *bands, Table *controls)
{
    m_tables[0] = reports;
    m_tables[1] = bands;
    m_tables[2] = controls;
    m_links.clear();
    for (Table *t : m_tables) {
        auto *source = new DataSource(this);
        source->setDataSet(t);
        auto link = std::make_unique<Link>(this);
        link->setDataSource(source);
        m_links.push_back(std::move(link));
    }
    const auto query = [&](const QString &sql) {
        auto q = std::make_unique<Query>(nullptr, QStringLiteral("QryPreview"));
        q->setDatabaseName(reports->databaseName());
        q->setSessionName(reports->sessionName());
        q->setSql({sql});
        q->setUniDirectional(true);
        return q;
    };
    m_repQuery = query(QStringLiteral("select * from Reports where RepName=:RepName"));
    // The order in which the tree lists the bands of a report: by name, which the band table's key
    // makes unique within a report.
    m_bandQuery = query(QStringLiteral("select * from RepBand where RepName=:RepName order by RbdName"));
    m_ctrlQuery = query(controlQuerySql());
    reload();
}

void PagePreview::watchEdits(QWidget *page)
{
    for (DbEdit *e : page->findChildren<DbEdit *>()) {
        m_edits << e;
        connect(e, &QLineEdit::textEdited, this, [this] { refreshNow(); });
        // Escape brings the field's value back without an edit signal, and marks the edit unmodified
        // only after the text is set: looked at once the key is done.
        connect(e, &QLineEdit::textChanged, this, [this] { queueRefresh(); });
    }
}

void PagePreview::setSelectNode(std::function<void(const QString &, const QString &, const QString &)> select)
{
    m_select = std::move(select);
}

void PagePreview::showSelection(const QString &report, const QString &band, const QString &control)
{
    const bool moved = report != m_repName || band != m_bandName || control != m_ctrlName;
    m_repName = report;
    m_bandName = band;
    m_ctrlName = control;
    if (moved)
        m_scrollPending = true;
    refreshNow();
    if (m_scrollPending && !readPending())
        scrollToSelection();
}

void PagePreview::reload()
{
    m_stale = true;
    scheduleRead();
}

bool PagePreview::readPending() const
{
    return m_readTimer->isActive();
}

void PagePreview::scheduleRead()
{
    // Not inside the notification that asked for it: the table may be in the middle of a post.
    if (isVisible())
        m_readTimer->start();
}

// ------------------------------------------------------------------ rows

void PagePreview::readRows()
{
    m_stale = false;
    m_readName = m_repName;
    m_stored = PreviewReport();
    if (m_repName.isEmpty() || !m_repQuery || !m_tables[0] || !m_tables[0]->isOpen())
        return;
    ++m_reads;
    try {
        ReadScope read(m_tables[0]->database());
        for (Query *q : {m_repQuery.get(), m_bandQuery.get()}) {
            q->close();
            q->setParam(QStringLiteral("RepName"), m_repName);
        }
        m_repQuery->open();
        if (m_repQuery->eof()) {
            m_repQuery->close();
            return;
        }
        fillReport(m_stored, fieldsOf(*m_repQuery));
        m_repQuery->close();
        m_bandQuery->open();
        for (; !m_bandQuery->eof(); m_bandQuery->next()) {
            PreviewBand b;
            fillBand(b, fieldsOf(*m_bandQuery));
            m_stored.bands.push_back(std::move(b));
        }
        m_bandQuery->close();
        // Bands of one group print the same controls: one read per group.
        QHash<QString, std::vector<PreviewControl>> groups;
        for (PreviewBand &b : m_stored.bands) {
            auto it = groups.find(b.group);
            if (it == groups.end()) {
                std::vector<PreviewControl> controls;
                m_ctrlQuery->close();
                m_ctrlQuery->setParam(QStringLiteral("RepName"), m_repName);
                m_ctrlQuery->setParam(QStringLiteral("RctGroup"), b.group);
                m_ctrlQuery->open();
                const Getter g = fieldsOf(*m_ctrlQuery);
                for (; !m_ctrlQuery->eof(); m_ctrlQuery->next()) {
                    PreviewControl c;
                    fillControl(c, g, m_fonts);
                    controls.push_back(std::move(c));
                }
                m_ctrlQuery->close();
                it = groups.insert(b.group, std::move(controls));
            }
            b.controls = *it;
        }
        m_error.clear();
    } catch (const std::exception &e) {
        for (Query *q : {m_repQuery.get(), m_bandQuery.get(), m_ctrlQuery.get()})
            q->close();
        m_stored = PreviewReport();
        m_error = QStringLiteral("The report '%1' cannot be shown: %2").arg(m_repName, QString::fromUtf8(e.what()));
    }
}

void PagePreview::applyEdits(PreviewReport &r)
{
    if (r.name.isEmpty())
        return;
    for (int t = 0; t < 3; ++t) {
        Table *table = m_tables[t];
        if (!table || !table->isOpen())
            continue;
        QHash<QString, QVariant> typed;
        for (const QPointer<DbEdit> &e : m_edits) {
            if (!e || !e->isModified() || e->dataSet() != table)
                continue;
            if (Field *f = e->field()) {
                try {
                    typed.insert(f->fieldName(), f->convertText(e->text()));
                } catch (const std::exception &) {
                    // Text the field will refuse shows the value in edit until it is corrected.
                }
            }
        }
        const bool editing = table->state() == DataSetState::Edit || table->state() == DataSetState::Insert;
        if (!editing && typed.isEmpty())
            continue;
        const Getter fields = fieldsOf(*table);
        const Getter g = [&](const char *n) {
            auto it = typed.constFind(QString::fromLatin1(n));
            return it != typed.constEnd() ? *it : fields(n);
        };
        if (text(g, "RepName") != r.name)
            continue;
        if (t == 0) {
            fillReport(r, g);
        } else if (t == 1) {
            const QString name = text(g, "RbdName");
            for (PreviewBand &b : r.bands)
                if (b.name == name) {
                    std::vector<PreviewControl> keep = std::move(b.controls);
                    fillBand(b, g);
                    b.controls = std::move(keep);
                }
        } else {
            const QString group = text(g, "RctGroup"), name = text(g, "RctName");
            for (PreviewBand &b : r.bands) {
                if (b.group != group)
                    continue;
                for (PreviewControl &c : b.controls)
                    if (c.name == name)
                        fillControl(c, g, m_fonts);
            }
        }
    }
}

void PagePreview::refreshNow()
{
    if (!isVisible())
        return; // done when shown
    if (m_stale || m_readName != m_repName)
        scheduleRead();
    relayout();
}

void PagePreview::queueRefresh()
{
    // One look for everything that changes before the events are next handled; a hidden preview
    // catches up when it is shown.
    if (m_refreshQueued || !isVisible())
        return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshQueued = false;
            refreshNow();
        },
        Qt::QueuedConnection);
}

void PagePreview::relayout()
{
    // Another report's rows are on their way: the old drawing stays until they are read.
    if (m_readName != m_repName)
        return;
    ++m_layouts;
    m_report = m_stored;
    applyEdits(m_report);
    m_layout = layoutReport(m_report);
    findSelection();
    updateSize();
    QString what;
    if (m_report.name.isEmpty())
        what = QStringLiteral("No report");
    else
        what = QStringLiteral("Report %1, %2 page(s), %3 print band(s)")
                   .arg(m_report.name)
                   .arg(m_layout.pageCount)
                   .arg(m_report.bands.size());
    if (const ControlPlace *c = selectedControl())
        what += QStringLiteral("; selected control %1")
                    .arg(m_report.bands[size_t(m_layout.bands[size_t(m_selBand)].band)].controls[size_t(c->control)].name);
    else if (const BandPlace *b = selectedBand()) {
        what += QStringLiteral("; selected print band %1").arg(m_report.bands[size_t(b->band)].name);
        if (!m_ctrlName.isEmpty())
            what += QStringLiteral("; control %1 is not included").arg(m_ctrlName);
    }
    if (accessibleDescription() != what)
        setAccessibleDescription(what);
    update();
}

void PagePreview::findSelection()
{
    m_selBand = m_selCtrl = -1;
    if (m_bandName.isEmpty())
        return;
    for (size_t i = 0; i < m_layout.bands.size(); ++i) {
        const BandPlace &bp = m_layout.bands[i];
        if (m_report.bands[size_t(bp.band)].name != m_bandName)
            continue;
        m_selBand = int(i);
        if (m_ctrlName.isEmpty())
            return;
        for (size_t k = 0; k < bp.controls.size(); ++k)
            if (m_report.bands[size_t(bp.band)].controls[size_t(bp.controls[k].control)].name == m_ctrlName)
                m_selCtrl = int(k);
        return;
    }
}

const BandPlace *PagePreview::selectedBand() const
{
    return m_selBand >= 0 ? &m_layout.bands[size_t(m_selBand)] : nullptr;
}

const ControlPlace *PagePreview::selectedControl() const
{
    const BandPlace *b = selectedBand();
    return b && m_selCtrl >= 0 ? &b->controls[size_t(m_selCtrl)] : nullptr;
}

// ------------------------------------------------------------------ geometry

void PagePreview::updateSize()
{
    const int w = parentWidget() ? parentWidget()->width() : width();
    const QSizeF page = m_layout.page;
    m_scale = std::max(0.05, double(w - 2 * Gap) / page.width());
    const int pages = m_report.name.isEmpty() ? 0 : m_layout.pageCount;
    const int h = std::max(Gap * 2, int(std::ceil(pages * (page.height() * m_scale + Gap) + Gap)));
    if (size() == QSize(w, h))
        return;
    const bool rescaled = w != width();
    resize(w, h);
    // Drawn at another scale, the selection would be somewhere else on the screen.
    if (rescaled && selectedBand())
        scrollToSelection();
}

QSize PagePreview::sizeHint() const
{
    return QSize(300, 420);
}

QRectF PagePreview::pageRect(int page) const
{
    const QSizeF s = m_layout.page * m_scale;
    return QRectF((width() - s.width()) / 2, Gap + page * (s.height() + Gap), s.width(), s.height());
}

QRectF PagePreview::toWidget(int page, const QRectF &r) const
{
    const QPointF o = pageRect(page).topLeft();
    return QRectF(o.x() + r.x() * m_scale, o.y() + r.y() * m_scale, r.width() * m_scale, r.height() * m_scale);
}

void PagePreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    update();
}

void PagePreview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshNow();
}

void PagePreview::scrollToSelection()
{
    auto *area = parentWidget() ? qobject_cast<QScrollArea *>(parentWidget()->parentWidget()) : nullptr;
    const BandPlace *b = selectedBand();
    if (!area)
        return;
    m_scrollPending = false;
    if (!b) { // a report: its first page
        area->verticalScrollBar()->setValue(0);
        return;
    }
    const ControlPlace *c = selectedControl();
    const QRectF r = toWidget(b->page, c ? c->frame : b->frame);
    area->ensureVisible(int(r.center().x()), int(r.center().y()), int(r.width() / 2) + Gap,
                        int(r.height() / 2) + Gap);
}

// ------------------------------------------------------------------ drawing

void PagePreview::paintEvent(QPaintEvent *event)
{
    ++m_paints;
    QPainter p(this);
    const QPalette &pal = palette();
    const QRect exposed = event->rect();
    p.fillRect(exposed, pal.color(QPalette::Dark));
    if (!m_error.isEmpty() || m_report.name.isEmpty()) {
        p.setPen(pal.color(QPalette::BrightText));
        p.drawText(rect().adjusted(Gap, Gap, -Gap, -Gap), Qt::AlignTop | Qt::AlignHCenter | Qt::TextWordWrap,
                   m_error.isEmpty() ? QStringLiteral("No report selected") : m_error);
        return;
    }
    const QColor ink(Qt::black);
    const QColor guide(150, 170, 200);
    QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
    QColor highlightFill = highlight;
    highlightFill.setAlpha(50);
    const QColor fieldFill(232, 236, 242);
    const QColor placeholder(110, 110, 110);

    for (int page = 0; page < m_layout.pageCount; ++page) {
        const QRectF pr = pageRect(page);
        if (!pr.adjusted(0, 0, 3, 3).intersects(exposed))
            continue;
        p.fillRect(pr.translated(3, 3), pal.color(QPalette::Shadow));
        p.fillRect(pr, Qt::white);
        QPen dashed(guide, 0, Qt::DashLine);
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(toWidget(page, m_layout.printable));
    }

    const QRectF clip = QRectF(exposed);
    for (size_t bi = 0; bi < m_layout.bands.size(); ++bi) {
        const BandPlace &bp = m_layout.bands[bi];
        const QRectF outer = toWidget(bp.page, bp.outer);
        if (!outer.intersects(clip))
            continue;
        const PreviewBand &band = m_report.bands[size_t(bp.band)];
        const QRectF frame = toWidget(bp.page, bp.frame);
        const bool selected = int(bi) == m_selBand;
        p.save();
        p.setClipRect(pageRect(bp.page));
        if (selected) {
            p.fillRect(outer, highlightFill);
            p.setPen(QPen(highlight, 0, Qt::SolidLine));
            p.drawRect(outer);
        } else {
            p.setPen(QPen(guide, 0, Qt::DotLine));
            p.drawRect(outer);
        }
        p.setPen(QPen(ink, 0));
        drawSides(p, frame, band.box);

        for (size_t ci = 0; ci < bp.controls.size(); ++ci) {
            const ControlPlace &cp = bp.controls[ci];
            const QRectF f = toWidget(bp.page, cp.frame);
            if (!f.intersects(clip))
                continue;
            const PreviewControl &c = band.controls[size_t(cp.control)];
            const bool known = c.type >= 1 && c.type <= 6;
            // The place of every control, also of one without a frame.
            p.setPen(QPen(known ? guide : QColor(200, 0, 0), 0, known ? Qt::DotLine : Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(f);
            const QRectF fieldR = toWidget(bp.page, cp.field);
            if (!cp.field.isEmpty())
                p.fillRect(fieldR, fieldFill);
            if (c.type == 4) {
                p.setPen(QPen(placeholder, 0));
                p.drawLine(f.topLeft(), f.bottomRight());
                p.drawLine(f.topRight(), f.bottomLeft());
            }
            const auto drawText = [&](const QRectF &r, const QString &fontSpec, const QString &s, int flags,
                                      const QColor *colour) {
                if (r.isEmpty() || s.isEmpty())
                    return;
                const FontDesc d = m_fonts.desc(fontSpec);
                const double px = (d.size > 0 ? d.size : 8) * m_scale;
                if (px < MinTextPixels) {
                    const double w = std::min(r.width(), s.size() * px * 0.55);
                    const double x = (flags & Qt::AlignRight) ? r.right() - w : r.left();
                    p.fillRect(QRectF(x, r.center().y() - px / 4, w, std::max(0.5, px / 2)), placeholder);
                    return;
                }
                p.setFont(m_fonts.font(fontSpec, m_scale));
                p.setPen(colour ? *colour : toQColor(d.color));
                p.drawText(r, flags | Qt::TextSingleLine, s);
            };
            const int labelAlign = (c.type == 3 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop;
            if (c.type == 6) {
                // A text file: its name, then lines standing for its text.
                const double line = lineHeight(c.labelPoints) * m_scale;
                drawText(QRectF(f.left(), f.top(), f.width(), line), c.labelFont, c.label, labelAlign, nullptr);
                p.setPen(QPen(placeholder, 0, Qt::DotLine));
                for (double y = f.top() + line * 1.5; y < f.bottom(); y += line)
                    p.drawLine(QPointF(f.left() + 1, y), QPointF(f.right() - 1, y));
            } else {
                drawText(toWidget(bp.page, cp.label), c.labelFont, c.label, labelAlign, nullptr);
            }
            if (!cp.field.isEmpty())
                drawText(fieldR.adjusted(1, 0, -1, 0), c.fieldFont, controlDisplayName(c.name),
                         Qt::AlignLeft | Qt::AlignTop, &placeholder);
            p.setPen(QPen(ink, 0));
            drawSides(p, f, c.box);
            if (selected && int(ci) == m_selCtrl) {
                p.fillRect(f, highlightFill);
                p.setPen(QPen(highlight, 2));
                p.setBrush(Qt::NoBrush);
                p.drawRect(f.adjusted(-1, -1, 1, 1));
            }
        }
        p.restore();
    }
    if (const BandPlace *b = selectedBand(); b && !m_ctrlName.isEmpty() && m_selCtrl < 0) {
        // The selected control has no place: say why where it would be.
        const QString note = QStringLiteral("The selected control is not included: it is not printed");
        const QRectF band = toWidget(b->page, b->outer);
        QRectF box = QRectF(p.fontMetrics().boundingRect(note)).adjusted(-3, -1, 3, 1);
        box.moveTopLeft(QPointF(band.left() + 2, band.top() + 2));
        p.fillRect(box, pal.color(QPalette::ToolTipBase));
        p.setPen(pal.color(QPalette::ToolTipText));
        p.drawRect(box);
        p.drawText(box, Qt::AlignCenter, note);
    }
    if (hasFocus()) {
        p.setPen(QPen(highlight, 1, Qt::DotLine));
        p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

// ------------------------------------------------------------------ choosing a node

void PagePreview::selectAt(int band, int control)
{
    if (!m_select || band < 0 || band >= int(m_layout.bands.size()))
        return;
    const BandPlace &bp = m_layout.bands[size_t(band)];
    const PreviewBand &b = m_report.bands[size_t(bp.band)];
    QString ctrl;
    if (control >= 0 && control < int(bp.controls.size()))
        ctrl = b.controls[size_t(bp.controls[size_t(control)].control)].name;
    m_select(m_report.name, b.name, ctrl);
}

void PagePreview::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton || m_report.name.isEmpty())
        return;
    const QPointF at = event->position();
    for (int page = 0; page < m_layout.pageCount; ++page) {
        const QRectF pr = pageRect(page);
        if (!pr.contains(at))
            continue;
        const QPointF local((at.x() - pr.left()) / m_scale, (at.y() - pr.top()) / m_scale);
        const PreviewHit hit = hitTest(m_layout, page, local);
        if (hit.band < 0) {
            m_select(m_report.name, QString(), QString());
            return;
        }
        for (size_t i = 0; i < m_layout.bands.size(); ++i) {
            const BandPlace &bp = m_layout.bands[i];
            if (bp.band != hit.band)
                continue;
            int control = -1;
            for (size_t k = 0; k < bp.controls.size(); ++k)
                if (bp.controls[k].control == hit.control)
                    control = int(k);
            selectAt(int(i), control);
            return;
        }
    }
}

void PagePreview::moveSelection(int step, bool toEnd)
{
    // Every placed control in print order, band by band.
    std::vector<std::pair<int, int>> all;
    int current = -1;
    for (size_t b = 0; b < m_layout.bands.size(); ++b)
        for (size_t c = 0; c < m_layout.bands[b].controls.size(); ++c) {
            if (int(b) == m_selBand && int(c) == m_selCtrl)
                current = int(all.size());
            all.emplace_back(int(b), int(c));
        }
    if (all.empty())
        return;
    int next;
    if (toEnd)
        next = step < 0 ? 0 : int(all.size()) - 1;
    else if (current < 0)
        next = step < 0 ? int(all.size()) - 1 : 0;
    else
        next = std::clamp(current + step, 0, int(all.size()) - 1);
    if (next != current)
        selectAt(all[size_t(next)].first, all[size_t(next)].second);
}

void PagePreview::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        moveSelection(-1, false);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        moveSelection(1, false);
        break;
    case Qt::Key_Home:
        moveSelection(-1, true);
        break;
    case Qt::Key_End:
        moveSelection(1, true);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ------------------------------------------------------------------ panel

PreviewPanel::PreviewPanel(QWidget *parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("PreviewPanel"));
    setAccessibleName(QStringLiteral("Page preview"));
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always there, so the pages keep their width when they grow longer than the panel.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Dark);
    m_preview = new PagePreview;
    setWidget(m_preview);
}

bool PreviewPanel::viewportEvent(QEvent *event)
{
    // The pages are as wide as the viewport, which is placed after the panel's own resize.
    if (event->type() == QEvent::Resize)
        m_preview->refreshNow();
    return QScrollArea::viewportEvent(event);
}

} // namespace kvt
