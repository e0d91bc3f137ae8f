#include "editor/marginfigure.h"
#include "dbwidgets/dbedit.h"
#include "engine/dataset.h"
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace kvt {

namespace {

enum Side { Top, Left, Right, Bottom };

// Smallest gap between page and box, so a double arrow still shows in it.
constexpr int MinGap = 10;

QRect pageFor(MarginFigure::Shape shape, bool landscape)
{
    // The page leaves a strip at the left for the leads and room at the right for its shadow.
    if (shape == MarginFigure::Shape::TallPage) {
        if (landscape) {
            const int h = 126 * 126 / 182;
            return QRect(22, 1 + (182 - h) / 2, 126, h);
        }
        return QRect(22, 1, 126, 182);
    }
    return QRect(22, 1, 126, 83);
}

/// Pixels of a margin of pct percent along a page side of extent pixels. The page figure is drawn to
/// scale; the band and control margins are a few percent only, so there each percent counts more.
int gapFor(MarginFigure::Shape shape, double pct, int extent)
{
    const double v = std::isfinite(pct) && pct > 0 ? pct : 0;
    const double px = shape == MarginFigure::Shape::TallPage ? v / 100.0 * extent : MinGap + v * 2;
    return int(std::lround(std::clamp(px, double(MinGap), extent * 0.35)));
}

// Pixel centre of a pixel row or column, so one-pixel lines stay sharp.
qreal mid(int v)
{
    return v + 0.5;
}

void drawArrowHead(QPainter &p, QPointF tip, QPointF dir)
{
    const QPointF side(-dir.y(), dir.x());
    const qreal length = 5;
    const qreal half = 3;
    const QPointF back = tip - dir * length;
    p.drawPolygon(QPolygonF({tip, back + side * half, back - side * half}));
}

void drawDoubleArrow(QPainter &p, QPointF a, QPointF b, const QColor &colour)
{
    QPointF dir = b - a;
    const qreal len = std::max<qreal>(1, std::hypot(dir.x(), dir.y()));
    dir /= len;
    p.setPen(QPen(colour, 1, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(a + dir * 3, b - dir * 3);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    drawArrowHead(p, a, -dir);
    drawArrowHead(p, b, dir);
}

} // namespace

class MarginFigure::Link : public DataLink {
public:
    explicit Link(MarginFigure *figure) : m_figure(figure) {}
    void dataSetChanged() override { m_figure->readRow(); }
    void recordChanged(Field *) override { m_figure->readRow(); }
    void stateChanged() override { m_figure->readRow(); }

private:
    MarginFigure *m_figure;
};

MarginFigure::MarginFigure(Shape shape, QWidget *parent) : QWidget(parent), m_shape(shape)
{
    setFixedSize(figureSize(shape));
}

MarginFigure::~MarginFigure() = default;

void MarginFigure::setMargins(double top, double left, double right, double bottom)
{
    const double v[4] = {top, left, right, bottom};
    if (std::equal(v, v + 4, m_margins))
        return;
    std::copy(v, v + 4, m_margins);
    update();
}

void MarginFigure::setLandscape(bool landscape)
{
    if (m_shape != Shape::TallPage || landscape == m_landscape)
        return;
    m_landscape = landscape;
    update();
}

QRect MarginFigure::pageRect() const
{
    return pageFor(m_shape, m_landscape);
}

QRect MarginFigure::boxRect() const
{
    const QList<int> g = marginPixels();
    return pageRect().adjusted(g[1], g[0], -g[2], -g[3]);
}

QList<int> MarginFigure::marginPixels() const
{
    const QRect page = pageRect();
    if (m_margins[0] < 0 && m_margins[1] < 0 && m_margins[2] < 0 && m_margins[3] < 0) {
        if (m_shape == Shape::TallPage)
            return {27, 22, 22, 27};
        return {16, 24, 24, 16};
    }
    return {gapFor(m_shape, m_margins[0], page.height()), gapFor(m_shape, m_margins[1], page.width()),
            gapFor(m_shape, m_margins[2], page.width()), gapFor(m_shape, m_margins[3], page.height())};
}

void MarginFigure::follow(DataSource *ds, const QStringList &marginFields, const QString &orientField,
                          const QList<DbEdit *> &edits)
{
    m_fields = marginFields;
    m_orientField = orientField;
    m_link = std::make_unique<Link>(this);
    m_link->setDataSource(ds);
    m_edits.clear();
    for (DbEdit *e : edits) {
        m_edits << e;
        connect(e, &QLineEdit::textChanged, this, [this] { readRow(); });
    }
    readRow();
}

void MarginFigure::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    readRow();
}

void MarginFigure::readRow()
{
    // A figure on a page behind another tab follows when it is shown again.
    if (!isVisible())
        return;
    DataSet *ds = m_link ? m_link->dataSet() : nullptr;
    if (!ds || !ds->isOpen() || ds->isEmpty()) {
        setMargins(-1, -1, -1, -1);
        setLandscape(false);
        return;
    }
    double v[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < m_fields.size(); ++i) {
        if (Field *f = ds->findField(m_fields[i]))
            v[i] = f->asFloat();
        // Typed and not yet written: the figure follows the typing.
        for (const QPointer<DbEdit> &e : m_edits) {
            double typed = 0;
            if (e && e->isModified() && e->dataField().compare(m_fields[i], Qt::CaseInsensitive) == 0 &&
                parseDecimal(e->text(), typed))
                v[i] = typed;
        }
    }
    setMargins(v[0], v[1], v[2], v[3]);
    if (!m_orientField.isEmpty())
        if (Field *f = ds->findField(m_orientField))
            setLandscape(f->asString().compare(QLatin1String("L"), Qt::CaseInsensitive) == 0);
}

QSize MarginFigure::figureSize(Shape shape)
{
    return shape == Shape::TallPage ? QSize(153, 185) : QSize(153, 86);
}

void MarginFigure::setLeadTargets(QPoint top, QPoint left, QPoint right, QPoint bottom)
{
    m_targets[Top] = top;
    m_targets[Left] = left;
    m_targets[Right] = right;
    m_targets[Bottom] = bottom;
    m_hasTargets = true;
    update();
}

QSize MarginFigure::sizeHint() const
{
    return figureSize(m_shape);
}

void MarginFigure::moveEvent(QMoveEvent *event)
{
    // The leads depend on where the figure sits relative to the edits.
    QWidget::moveEvent(event);
    update();
}

void MarginFigure::paintEvent(QPaintEvent *)
{
    const QRect page = pageRect();
    const QRect box = boxRect();
    const QPalette &pal = palette();

    QPainter p(this);
    p.setClipRect(rect());

    // Page with a shadow, then the printable box inside it.
    p.fillRect(page.translated(2, 2), pal.color(QPalette::Shadow));
    p.fillRect(page, pal.color(QPalette::Base));
    p.setPen(QPen(pal.color(QPalette::Text), 1));
    p.drawRect(page.adjusted(0, 0, -1, -1));

    QColor boxFill = pal.color(QPalette::Highlight);
    boxFill.setAlpha(40);
    p.fillRect(box, boxFill);
    p.setPen(QPen(pal.color(QPalette::Mid), 1));
    p.drawRect(box.adjusted(0, 0, -1, -1));

    // Where each lead should leave the figure: the height of its edit, kept inside the figure.
    auto targetY = [&](Side side, int fallback) {
        if (!m_hasTargets)
            return fallback;
        return std::clamp(mapFromParent(m_targets[side]).y(), 0, height() - 1);
    };

    const int arrowX = box.center().x();
    const int topY = targetY(Top, (page.top() + box.top()) / 2);
    const int bottomY = targetY(Bottom, (box.bottom() + page.bottom()) / 2);
    const int boxMidY = box.center().y();
    const int leftY =
        std::clamp(targetY(Left, boxMidY - 6), box.top() + 4, box.bottom() - 4);
    const int rightY =
        std::clamp(targetY(Right, boxMidY + 6), box.top() + 4, box.bottom() - 4);

    p.setRenderHint(QPainter::Antialiasing);
    const QColor arrowColour = pal.color(QPalette::WindowText);
    // Arrows span each margin from the page edge to the box edge.
    drawDoubleArrow(p, QPointF(mid(arrowX), page.top()), QPointF(mid(arrowX), box.top()),
                    arrowColour);
    drawDoubleArrow(p, QPointF(mid(arrowX), box.bottom() + 1),
                    QPointF(mid(arrowX), page.bottom() + 1), arrowColour);
    drawDoubleArrow(p, QPointF(page.left(), mid(leftY)), QPointF(box.left(), mid(leftY)),
                    arrowColour);
    drawDoubleArrow(p, QPointF(box.right() + 1, mid(rightY)),
                    QPointF(page.right() + 1, mid(rightY)), arrowColour);

    // Leads: from the arrow, straight if the edit is level with it, else up or down first,
    // then left to the figure's edge, where the edit takes over.
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen lead(pal.color(QPalette::Highlight), 1, Qt::CustomDashLine, Qt::FlatCap);
    lead.setDashPattern({2, 2});
    p.setPen(lead);
    p.setBrush(Qt::NoBrush);
    auto drawLead = [&](QPoint from, int toY) {
        QPainterPath path(QPointF(mid(from.x()), mid(from.y())));
        if (from.y() != toY)
            path.lineTo(mid(from.x()), mid(toY));
        path.lineTo(0, mid(toY));
        p.drawPath(path);
    };
    drawLead(QPoint(arrowX - 1, std::clamp(topY, page.top() + 1, box.top() - 1)), topY);
    drawLead(QPoint(arrowX - 1, std::clamp(bottomY, box.bottom() + 1, page.bottom() - 1)),
             bottomY);
    drawLead(QPoint(page.left() - 1, leftY), targetY(Left, leftY));
    drawLead(QPoint(box.right() - 1, rightY), targetY(Right, rightY));
}

} // namespace kvt
