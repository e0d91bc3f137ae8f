#include "editor/marginfigure.h"
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace kvt {

namespace {

enum Side { Top, Left, Right, Bottom };

struct Layout {
    QRect page;
    QRect box;
};

Layout layoutFor(MarginFigure::Shape shape)
{
    // The page leaves a strip at the left for the leads and room at the right for its shadow.
    if (shape == MarginFigure::Shape::TallPage) {
        const QRect page(22, 1, 126, 182);
        return {page, page.adjusted(22, 27, -22, -27)};
    }
    const QRect page(22, 1, 126, 83);
    return {page, page.adjusted(24, 16, -24, -16)};
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

MarginFigure::MarginFigure(Shape shape, QWidget *parent) : QWidget(parent), m_shape(shape)
{
    setFixedSize(figureSize(shape));
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
    const Layout l = layoutFor(m_shape);
    const QRect page = l.page;
    const QRect box = l.box;
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
