#include "editor/stateimages.h"
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <functional>

namespace kvt {

namespace {

using Painting = std::function<void(QPainter &)>;

// Device pixel ratios an icon carries, so it stays crisp on high-DPI screens.
constexpr int Ratios[] = {1, 2, 3};

QPixmap paintPixmap(int logicalSize, int dpr, const Painting &paint)
{
    QPixmap pm(logicalSize * dpr, logicalSize * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    // At 1x the pictures are pixel art; smoothing would only blur them.
    p.setRenderHint(QPainter::Antialiasing, dpr > 1);
    paint(p);
    return pm;
}

QIcon paintIcon(int logicalSize, const Painting &paint)
{
    QIcon icon;
    for (int dpr : Ratios) {
        const QPixmap pm = paintPixmap(logicalSize, dpr, paint);
        icon.addPixmap(pm, QIcon::Normal);
        // Without its own selected image the style tints the picture with the highlight colour
        // (the yellow folder turns olive); the colours tell the kinds apart, so they stay as drawn.
        icon.addPixmap(pm, QIcon::Selected);
    }
    return icon;
}

struct FolderColours {
    QColor outline;
    QColor front;      // front flap, or the whole body when closed
    QColor frontAlt;   // second chequer colour of the front; invalid for a plain fill
    QColor back;       // inside of the back when open
    QColor backAlt;
    QColor light;      // highlight along the top inside edge
};

// Fills the clip shape with a 2 x 2 chequer, or plainly when no second colour is given.
void fillChequered(QPainter &p, const QPainterPath &shape, const QColor &a, const QColor &b)
{
    p.save();
    p.setClipPath(shape);
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(0, 0, 13, 13), a);
    if (b.isValid()) {
        for (int y = 0; y < 13; y += 2)
            for (int x = (y / 2) % 2 * 2; x < 13; x += 4)
                p.fillRect(QRect(x, y, 2, 2), b);
    }
    p.restore();
}

QPainterPath rectPath(const QRect &r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

// Tab and back of a folder: the outline as filled rectangles keeps every edge on the pixel grid.
void paintFolderBack(QPainter &p, const FolderColours &c, const QColor &fill, const QColor &fillAlt)
{
    p.fillRect(QRect(1, 1, 5, 3), c.outline);
    p.fillRect(QRect(2, 2, 3, 2), c.light);
    p.fillRect(QRect(0, 3, 13, 9), c.outline);
    fillChequered(p, rectPath(QRect(1, 4, 11, 7)), fill, fillAlt);
}

void paintClosedFolder(QPainter &p, const FolderColours &c)
{
    paintFolderBack(p, c, c.front, c.frontAlt);
    if (!c.frontAlt.isValid())
        p.fillRect(QRect(1, 4, 11, 1), c.light);
}

void paintOpenFolder(QPainter &p, const FolderColours &c)
{
    paintFolderBack(p, c, c.back, c.backAlt);
    // The flap leans forward: its top edge is shifted right of its bottom edge. Its outline is
    // the gap between two filled polygons whose sides lie exactly one pixel apart across, so at
    // 1x every row gets exactly one outline pixel and no pixel centre falls on an edge.
    const QPolygonF outer({QPointF(3, 6), QPointF(13, 6), QPointF(10, 12), QPointF(0, 12)});
    const QPolygonF inner({QPointF(3.5, 7), QPointF(11.5, 7), QPointF(9.5, 11), QPointF(1.5, 11)});
    p.setPen(Qt::NoPen);
    p.setBrush(c.outline);
    p.drawPolygon(outer);
    QPainterPath face;
    face.addPolygon(inner);
    face.closeSubpath();
    fillChequered(p, face, c.front, c.frontAlt);
    if (!c.frontAlt.isValid()) {
        QPainterPath light;
        light.addPolygon(QPolygonF({QPointF(3.5, 7), QPointF(11.5, 7), QPointF(11, 8), QPointF(3, 8)}));
        p.fillPath(light, c.light);
    }
}

void paintTick(QPainter &p)
{
    const QColor blue(0, 0, 224);
    if (p.device()->devicePixelRatio() < 2) {
        // Thirteen pixels leave no room for a smooth stroke: the tick is placed pixel by pixel,
        // with a white rim that keeps it apart from the red folder.
        static const char *const art[] = {
            "..........ww.", ".........wbbw", "........wbbw.", "..ww...wbbw..",
            ".wbbw.wbbw...", "..wbbwbbw....", "...wbbbw.....", "....wbw......",
            ".....w.......",
        };
        for (int row = 0; row < 9; ++row)
            for (int x = 0; x < 13; ++x) {
                const char ch = art[row][x];
                if (ch != '.')
                    p.fillRect(QRect(x, row + 3, 1, 1), ch == 'b' ? blue : QColor(Qt::white));
            }
        return;
    }
    const QPolygonF tick({QPointF(3, 7.5), QPointF(5.5, 10), QPointF(10.5, 4.5)});
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(tick);
    p.setPen(QPen(blue, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(tick);
}

void paintPage(QPainter &p)
{
    const QColor outline(72, 72, 72);
    // Page x 2..10, y 0..12, with its top right corner folded over.
    p.fillRect(QRect(2, 0, 7, 1), outline);
    p.fillRect(QRect(2, 0, 1, 13), outline);
    p.fillRect(QRect(2, 12, 9, 1), outline);
    p.fillRect(QRect(10, 3, 1, 10), outline);
    p.fillRect(QRect(3, 1, 5, 11), Qt::white);
    p.fillRect(QRect(8, 3, 2, 9), Qt::white);
    // The fold.
    p.fillRect(QRect(8, 1, 1, 3), outline);
    p.fillRect(QRect(8, 3, 2, 1), outline);
    p.fillRect(QRect(9, 1, 1, 1), outline);
    p.fillRect(QRect(10, 2, 1, 1), outline);
    p.fillRect(QRect(9, 2, 1, 1), QColor(200, 200, 200));
    const QColor blue(0, 64, 255);
    for (int y = 4; y <= 10; y += 2)
        p.fillRect(QRect(4, y, 5, 1), blue);
}

FolderColours yellowFolder()
{
    return {QColor(120, 88, 0), QColor(255, 216, 72), QColor(), QColor(208, 160, 24), QColor(),
            QColor(255, 244, 176)};
}

FolderColours chequeredFolder(const QColor &outline, const QColor &dark, const QColor &pale,
                              const QColor &backDark, const QColor &backPale)
{
    return {outline, dark, pale, backDark, backPale, pale};
}

FolderColours greenChequered()
{
    return chequeredFolder(QColor(0, 88, 0), QColor(0, 168, 0), QColor(200, 255, 200),
                           QColor(0, 112, 0), QColor(128, 200, 128));
}

FolderColours redChequered()
{
    return chequeredFolder(QColor(120, 0, 0), QColor(224, 0, 0), QColor(255, 208, 208),
                           QColor(150, 0, 0), QColor(210, 130, 130));
}

FolderColours redFolder()
{
    return {QColor(120, 0, 0), QColor(232, 40, 40), QColor(), QColor(168, 16, 16), QColor(),
            QColor(255, 150, 150)};
}

void paintStateImage(QPainter &p, int index)
{
    const bool open = index % 2 == 1;
    auto folder = [&](const FolderColours &c) {
        if (open)
            paintOpenFolder(p, c);
        else
            paintClosedFolder(p, c);
    };
    switch (index) {
    case 0:
        paintPage(p);
        break;
    case 1:
    case 2:
        folder(yellowFolder());
        break;
    case 3:
    case 4:
        folder(greenChequered());
        break;
    case 5:
    case 6:
        folder(redChequered());
        break;
    case 7:
    case 8:
        folder(redFolder());
        paintTick(p);
        break;
    default:
        break;
    }
}

// Pixel art of the hand, pointing right with its index finger: 'k' outline, 'w' skin.
constexpr const char *HandArt[] = {
    "................",
    "................",
    "................",
    "................",
    "..kkkkkk........",
    ".kwwwwwwk.......",
    "kwwwkkkk........",
    "kwwwwwwk........",
    "kwwwkkk.........",
    "kwwwwwwk........",
    "kwwwkkk.........",
    "kwwwwwk.........",
    "kwwwkk..........",
    ".kwwwk..........",
    "..kkk...........",
    "................",
};

void paintMenuGlyph(QPainter &p)
{
    // The menu: a white panel with three entries, the middle one highlighted.
    p.fillRect(QRect(9, 11, 7, 1), QColor(128, 128, 128, 120));
    p.fillRect(QRect(8, 0, 8, 11), QColor(96, 96, 96));
    p.fillRect(QRect(9, 1, 6, 9), Qt::white);
    p.fillRect(QRect(10, 2, 4, 1), Qt::black);
    p.fillRect(QRect(9, 4, 6, 3), QColor(0, 0, 160));
    p.fillRect(QRect(10, 5, 4, 1), Qt::white);
    p.fillRect(QRect(10, 8, 4, 1), Qt::black);

    const QColor skin(255, 224, 176);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const char c = HandArt[y][x];
            if (c == 'k')
                p.fillRect(QRect(x, y, 1, 1), Qt::black);
            else if (c == 'w')
                p.fillRect(QRect(x, y, 1, 1), skin);
        }
    }
}

// A washed-out grey copy, the usual look of a disabled button's glyph.
QPixmap greyed(const QPixmap &pm)
{
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb px = line[x];
            const int v = 112 + qGray(px) * 112 / 255;
            line[x] = qRgba(v, v, v, qAlpha(px) * 3 / 4);
        }
    }
    QPixmap out = QPixmap::fromImage(img);
    out.setDevicePixelRatio(pm.devicePixelRatio());
    return out;
}

} // namespace

QIcon stateImage(int index)
{
    if (index < 0 || index >= StateImageCount)
        return QIcon();
    // Painted once; every tree node shares the same nine icons.
    static QIcon cache[StateImageCount];
    if (cache[index].isNull())
        cache[index] = paintIcon(13, [index](QPainter &p) { paintStateImage(p, index); });
    return cache[index];
}

QIcon menuButtonGlyph()
{
    QIcon icon;
    for (int dpr : Ratios) {
        const QPixmap pm = paintPixmap(16, dpr, paintMenuGlyph);
        icon.addPixmap(pm, QIcon::Normal);
        icon.addPixmap(greyed(pm), QIcon::Disabled);
    }
    return icon;
}

} // namespace kvt
