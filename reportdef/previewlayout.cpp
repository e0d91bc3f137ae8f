#include "reportdef/previewlayout.h"
#include <algorithm>
#include <cmath>

namespace kvt::reportdef {

namespace {

// A number as a length: negative and not-a-number values count as 0.
double pos(double v)
{
    return std::isfinite(v) && v > 0 ? v : 0;
}

double pct(double v, double of)
{
    return pos(v) / 100.0 * of;
}

// Rounding of sums of percentages must not push the last control of a full line onto the next.
constexpr double Slack = 1e-6;

struct Content {
    double height = 0;
    bool labelLeft = false; // types 2 and 3
    bool labelOnTop = false;
    bool labelOnly = false;
};

Content contentOf(const PreviewControl &c)
{
    const double label = lineHeight(c.labelPoints);
    const double field = lineHeight(c.fieldPoints);
    switch (c.type) {
    case 1:
        return c.label.isEmpty() ? Content{field, false, false, false} : Content{label + field, false, true, false};
    case 2:
    case 3:
        return {std::max(label, field), true, false, false};
    case 4:
        return {GraphicHeight, false, false, false};
    case 6:
        return {label * TextFileLines, false, false, true};
    default: // 5, and 0 or unknown types drawn as one label line
        return {label, false, false, true};
    }
}

void placeControl(const PreviewControl &c, const Content &k, double bandWidth, ControlPlace &p)
{
    const QRectF f = p.frame;
    if (k.labelLeft) {
        const double lw = std::min(pct(c.labelWidth, bandWidth), f.width());
        p.label = QRectF(f.left(), f.top(), lw, f.height());
        p.field = QRectF(f.left() + lw, f.top(), f.width() - lw, f.height());
    } else if (k.labelOnTop) {
        const double lh = lineHeight(c.labelPoints);
        p.label = QRectF(f.left(), f.top(), f.width(), lh);
        p.field = QRectF(f.left(), f.top() + lh, f.width(), f.height() - lh);
    } else if (k.labelOnly) {
        p.label = f;
    } else if (c.type == 1) {
        p.field = f;
    }
}

/// Puts the cells of one line at their places across the band's width.
void alignLine(std::vector<ControlPlace> &line, const std::vector<int> &aligns, double width)
{
    double sums[3] = {0, 0, 0}; // left, centre, right
    auto group = [](int align) { return align == 3 ? 2 : align == 2 ? 1 : 0; };
    for (size_t i = 0; i < line.size(); ++i)
        sums[group(aligns[i])] += line[i].cell.width();
    const double rightStart = std::max(sums[0], width - sums[2]);
    const double centreStart = std::clamp((width - sums[1]) / 2, sums[0], std::max(sums[0], rightStart - sums[1]));
    double x[3] = {0, centreStart, rightStart};
    for (size_t i = 0; i < line.size(); ++i) {
        double &at = x[group(aligns[i])];
        const double dx = at - line[i].cell.left();
        line[i].cell.translate(dx, 0);
        line[i].frame.translate(dx, 0);
        at += line[i].cell.width();
    }
}

/// Lays out the included controls of a band in a frame of the given width, from y 0.
/// Returns the content height.
double layoutControls(const PreviewBand &band, double width, double printableHeight, std::vector<ControlPlace> &out)
{
    std::vector<ControlPlace> line;
    std::vector<int> aligns;
    std::vector<Content> contents;
    double y = 0, x = 0, lineH = 0;
    int lineNo = 0;
    auto flush = [&] {
        if (line.empty())
            return;
        alignLine(line, aligns, width);
        for (size_t i = 0; i < line.size(); ++i) {
            ControlPlace &p = line[i];
            p.cell.moveTop(y);
            p.frame.moveTop(y + pct(band.controls[size_t(p.control)].spTop, printableHeight));
            p.line = lineNo;
            placeControl(band.controls[size_t(p.control)], contents[i], width, p);
            out.push_back(p);
        }
        y += lineH;
        ++lineNo;
        line.clear();
        aligns.clear();
        contents.clear();
        x = 0;
        lineH = 0;
    };
    for (size_t i = 0; i < band.controls.size(); ++i) {
        const PreviewControl &c = band.controls[i];
        if (!c.include)
            continue;
        const double sl = pct(c.spLeft, width), sr = pct(c.spRight, width);
        const double w = pct(c.width, width);
        const double cellW = sl + w + sr;
        if (!line.empty() && (c.newLine || x + cellW > width + Slack))
            flush();
        const Content k = contentOf(c);
        const double cellH = pct(c.spTop, printableHeight) + k.height + pct(c.spBottom, printableHeight);
        ControlPlace p;
        p.control = int(i);
        p.cell = QRectF(x, 0, cellW, cellH);
        p.frame = QRectF(x + sl, 0, w, k.height);
        line.push_back(p);
        aligns.push_back(c.align);
        contents.push_back(k);
        x += cellW;
        lineH = std::max(lineH, cellH);
    }
    flush();
    return y;
}

/// 0 page header, 2 page footer, 1 any other band.
int bandRank(int type)
{
    return type == 1 ? 0 : type == 2 ? 2 : 1;
}

void moveDown(BandPlace &bp, double dy)
{
    bp.outer.translate(0, dy);
    bp.frame.translate(0, dy);
    for (ControlPlace &c : bp.controls) {
        c.cell.translate(0, dy);
        c.frame.translate(0, dy);
        c.label.translate(0, dy);
        c.field.translate(0, dy);
    }
}

} // namespace

QSizeF pageSize(const QString &orient)
{
    if (orient.compare(QLatin1String("L"), Qt::CaseInsensitive) == 0)
        return QSizeF(A4Height, A4Width);
    return QSizeF(A4Width, A4Height);
}

PageLayout layoutReport(const PreviewReport &report)
{
    PageLayout l;
    l.page = pageSize(report.orient);
    const double pw = l.page.width(), ph = l.page.height();
    const double left = std::min(pct(report.left, pw), pw);
    const double right = std::min(pct(report.right, pw), pw - left);
    const double top = std::min(pct(report.top, ph), ph);
    const double bottom = std::min(pct(report.bottom, ph), ph - top);
    l.printable = QRectF(left, top, pw - left - right, ph - top - bottom);
    const QRectF pr = l.printable;

    // Page headers first and page footers last, each in the order given; the rest between them.
    std::vector<int> order;
    for (int rank : {0, 1, 2})
        for (size_t b = 0; b < report.bands.size(); ++b)
            if (bandRank(report.bands[b].type) == rank)
                order.push_back(int(b));

    std::vector<BandPlace> places;
    for (int b : order) {
        const PreviewBand &band = report.bands[size_t(b)];
        BandPlace bp;
        bp.band = b;
        const double bl = std::min(pct(band.left, pr.width()), pr.width());
        const double br = std::min(pct(band.right, pr.width()), pr.width() - bl);
        const double bt = pct(band.top, pr.height()), bb = pct(band.bottom, pr.height());
        const double innerW = pr.width() - bl - br;
        double contentH = layoutControls(band, innerW, pr.height(), bp.controls);
        if (bp.controls.empty())
            contentH = EmptyBandHeight;
        bp.outer = QRectF(pr.left(), 0, pr.width(), bt + contentH + bb);
        bp.frame = QRectF(pr.left() + bl, bt, innerW, contentH);
        for (ControlPlace &c : bp.controls) {
            const QPointF d = bp.frame.topLeft();
            c.cell.translate(d);
            c.frame.translate(d);
            c.label.translate(d);
            c.field.translate(d);
        }
        places.push_back(std::move(bp));
    }

    double footers = 0;
    for (const BandPlace &bp : places)
        if (bandRank(report.bands[size_t(bp.band)].type) == 2)
            footers += bp.outer.height();
    int page = 0;
    double y = pr.top();
    bool inFooters = false;
    for (BandPlace &bp : places) {
        const double h = bp.outer.height();
        // The page footers sit together at the bottom of the last page.
        if (!inFooters && bandRank(report.bands[size_t(bp.band)].type) == 2) {
            inFooters = true;
            if (y > pr.top() && y + footers > pr.bottom() + Slack) {
                ++page;
                y = pr.top();
            }
            y = std::max(y, pr.bottom() - footers);
        }
        // A band that does not fit goes to the next page, unless it is the first on its page.
        if (y > pr.top() + Slack && y + h > pr.bottom() + Slack) {
            ++page;
            y = pr.top();
        }
        bp.page = page;
        moveDown(bp, y);
        y += h;
        l.bands.push_back(std::move(bp));
    }
    l.pageCount = page + 1;
    return l;
}

PreviewHit hitTest(const PageLayout &layout, int page, QPointF point)
{
    for (const BandPlace &b : layout.bands) {
        if (b.page != page || !b.outer.contains(point))
            continue;
        for (const ControlPlace &c : b.controls)
            if (c.cell.contains(point))
                return {b.band, c.control};
        return {b.band, -1};
    }
    return {};
}

} // namespace kvt::reportdef
