#include "reportdef/previewlayout.h"
#include <gtest/gtest.h>

using namespace kvt::reportdef;

namespace {

constexpr double Eps = 1e-6;

PreviewControl ctrl(double width, int type = 5, bool newLine = false)
{
    PreviewControl c;
    c.name = QStringLiteral("C");
    c.type = type;
    c.label = QStringLiteral("L");
    c.width = width;
    c.include = true;
    c.newLine = newLine;
    return c;
}

/// A report without margins, one band without margins holding the controls.
PreviewReport oneBand(std::vector<PreviewControl> controls, const QString &orient = QStringLiteral("P"))
{
    PreviewReport r;
    r.orient = orient;
    PreviewBand b;
    b.controls = std::move(controls);
    r.bands.push_back(std::move(b));
    return r;
}

struct Placed {
    int control;
    int line;
    double x;     // percent of the band's width
    double width; // percent of the band's width
};

struct FlowCase {
    const char *what;
    std::vector<PreviewControl> controls;
    std::vector<Placed> expected; // every placed control, in order
};

PreviewControl with(PreviewControl c, void (*f)(PreviewControl &))
{
    f(c);
    return c;
}

} // namespace

TEST(PreviewLayout, PageFollowsTheOrientation)
{
    const struct {
        const char *orient;
        bool landscape;
    } cases[] = {{"P", false}, {"L", true}, {"l", true}, {"", false}, {"X", false}};
    for (const auto &c : cases) {
        const PageLayout l = layoutReport(oneBand({}, QString::fromLatin1(c.orient)));
        EXPECT_EQ(l.page.width() > l.page.height(), c.landscape) << c.orient;
        EXPECT_NEAR(l.page.width() * l.page.height(), A4Width * A4Height, 1e-3) << c.orient;
    }
}

TEST(PreviewLayout, ReportMarginsArePercentOfThePage)
{
    const struct {
        double left, right, top, bottom;
        QRectF printable; // in percent of the page
    } cases[] = {
        {0, 0, 0, 0, QRectF(0, 0, 100, 100)},
        {10, 20, 5, 15, QRectF(10, 5, 70, 80)},
        {-5, 0, -1, 0, QRectF(0, 0, 100, 100)}, // negative counts as 0
        {70, 50, 0, 0, QRectF(70, 0, 0, 100)}, // the margins never overlap
    };
    for (const auto &c : cases) {
        PreviewReport r = oneBand({});
        r.left = c.left;
        r.right = c.right;
        r.top = c.top;
        r.bottom = c.bottom;
        const PageLayout l = layoutReport(r);
        const double w = l.page.width() / 100, h = l.page.height() / 100;
        EXPECT_NEAR(l.printable.left(), c.printable.left() * w, Eps) << c.left;
        EXPECT_NEAR(l.printable.top(), c.printable.top() * h, Eps) << c.top;
        EXPECT_NEAR(l.printable.width(), c.printable.width() * w, Eps) << c.left << "," << c.right;
        EXPECT_NEAR(l.printable.height(), c.printable.height() * h, Eps) << c.top << "," << c.bottom;
    }
}

TEST(PreviewLayout, ControlsFlowIntoLines)
{
    const FlowCase cases[] = {
        {"three in a line", {ctrl(30), ctrl(30), ctrl(30)}, {{0, 0, 0, 30}, {1, 0, 30, 30}, {2, 0, 60, 30}}},
        {"a control that does not fit starts the next line",
         {ctrl(40), ctrl(40), ctrl(40)},
         {{0, 0, 0, 40}, {1, 0, 40, 40}, {2, 1, 0, 40}}},
        {"ten of ten percent fill one line exactly",
         {ctrl(10), ctrl(10), ctrl(10), ctrl(10), ctrl(10), ctrl(10), ctrl(10), ctrl(10), ctrl(10), ctrl(10)},
         {{0, 0, 0, 10}, {1, 0, 10, 10}, {2, 0, 20, 10}, {3, 0, 30, 10}, {4, 0, 40, 10},
          {5, 0, 50, 10}, {6, 0, 60, 10}, {7, 0, 70, 10}, {8, 0, 80, 10}, {9, 0, 90, 10}}},
        {"new line", {ctrl(20), ctrl(20, 5, true), ctrl(20)}, {{0, 0, 0, 20}, {1, 1, 0, 20}, {2, 1, 20, 20}}},
        {"new line on the first control makes no empty line", {ctrl(20, 5, true), ctrl(20)},
         {{0, 0, 0, 20}, {1, 0, 20, 20}}},
        {"excluded controls take no room",
         {ctrl(20), with(ctrl(50), [](PreviewControl &c) { c.include = false; }), ctrl(20)},
         {{0, 0, 0, 20}, {2, 0, 20, 20}}},
        {"spacing left and right widen the cell",
         {with(ctrl(20), [](PreviewControl &c) { c.spLeft = 5, c.spRight = 10; }), ctrl(20)},
         {{0, 0, 5, 20}, {1, 0, 35, 20}}},
        {"right-aligned controls gather at the right end",
         {with(ctrl(20), [](PreviewControl &c) { c.align = 3; }), ctrl(20),
          with(ctrl(10), [](PreviewControl &c) { c.align = 3; })},
         {{0, 0, 70, 20}, {1, 0, 0, 20}, {2, 0, 90, 10}}},
        {"a centred control sits in the middle", {ctrl(20), with(ctrl(20), [](PreviewControl &c) { c.align = 2; })},
         {{0, 0, 0, 20}, {1, 0, 40, 20}}},
        {"a centred control never overlaps the left ones",
         {ctrl(70), with(ctrl(20), [](PreviewControl &c) { c.align = 2; })},
         {{0, 0, 0, 70}, {1, 0, 70, 20}}},
        {"a control wider than the band keeps its width on a line of its own", {ctrl(20), ctrl(150)},
         {{0, 0, 0, 20}, {1, 1, 0, 150}}},
        {"negative widths count as 0", {ctrl(-20), ctrl(20)}, {{0, 0, 0, 0}, {1, 0, 0, 20}}},
    };
    for (const FlowCase &c : cases) {
        const PageLayout l = layoutReport(oneBand(c.controls));
        ASSERT_EQ(l.bands.size(), 1u) << c.what;
        const BandPlace &b = l.bands[0];
        const double w = b.frame.width() / 100;
        ASSERT_EQ(b.controls.size(), c.expected.size()) << c.what;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            const ControlPlace &p = b.controls[i];
            const Placed &e = c.expected[i];
            EXPECT_EQ(p.control, e.control) << c.what << " #" << i;
            EXPECT_EQ(p.line, e.line) << c.what << " #" << i;
            EXPECT_NEAR(p.frame.left() - b.frame.left(), e.x * w, 1e-6) << c.what << " #" << i;
            EXPECT_NEAR(p.frame.width(), e.width * w, 1e-6) << c.what << " #" << i;
        }
    }
}

TEST(PreviewLayout, LinesStackByTheirHighestControl)
{
    PreviewControl tall = ctrl(20, 6); // three label lines
    PreviewControl small = ctrl(20, 5);
    PreviewControl next = ctrl(20, 5, true);
    const PageLayout l = layoutReport(oneBand({small, tall, next}));
    const BandPlace &b = l.bands[0];
    ASSERT_EQ(b.controls.size(), 3u);
    EXPECT_NEAR(b.controls[2].frame.top() - b.frame.top(), 3 * lineHeight(8), Eps);
    EXPECT_NEAR(b.frame.height(), 4 * lineHeight(8), Eps);
    // A control's frame starts below its top spacing, in percent of the printable height.
    PreviewControl spaced = ctrl(20);
    spaced.spTop = 1;
    spaced.spBottom = 2;
    const PageLayout s = layoutReport(oneBand({spaced}));
    const double h = s.printable.height() / 100;
    EXPECT_NEAR(s.bands[0].controls[0].frame.top() - s.bands[0].frame.top(), 1 * h, Eps);
    EXPECT_NEAR(s.bands[0].frame.height(), 3 * h + lineHeight(8), Eps);
}

TEST(PreviewLayout, LabelAndFieldPartsByType)
{
    const struct {
        int type;
        const char *label;
        double width, labelWidth;
        double labelW, fieldW; // percent of the band's width; -1 for no part
        bool labelOnTop;
    } cases[] = {
        {2, "No.", 30, 10, 10, 20, false},
        {3, "No.", 30, 10, 10, 20, false},
        {2, "No.", 30, 50, 30, 0, false}, // never more than the control
        {2, "No.", 30, 0, 0, 30, false},
        {1, "Customer", 40, 0, 40, 40, true},
        {1, "", 40, 0, -1, 40, false},
        {5, "Thanks", 40, 0, 40, -1, false},
        {6, "terms.txt", 40, 0, 40, -1, false},
        {4, "", 40, 0, -1, -1, false},
    };
    for (const auto &c : cases) {
        PreviewControl pc = ctrl(c.width, c.type);
        pc.label = QString::fromLatin1(c.label);
        pc.labelWidth = c.labelWidth;
        pc.labelPoints = 10;
        pc.fieldPoints = 8;
        const PageLayout l = layoutReport(oneBand({pc}));
        const ControlPlace &p = l.bands[0].controls.at(0);
        const double w = l.bands[0].frame.width() / 100;
        const QString what = QStringLiteral("type %1 label '%2'").arg(c.type).arg(QLatin1String(c.label));
        if (c.labelW < 0)
            EXPECT_TRUE(p.label.isEmpty()) << qPrintable(what);
        else
            EXPECT_NEAR(p.label.width(), c.labelW * w, Eps) << qPrintable(what);
        if (c.fieldW < 0)
            EXPECT_TRUE(p.field.isEmpty() && p.field.width() == 0) << qPrintable(what);
        else
            EXPECT_NEAR(p.field.width(), c.fieldW * w, Eps) << qPrintable(what);
        if (c.labelOnTop) {
            EXPECT_NEAR(p.label.height(), lineHeight(10), Eps);
            EXPECT_NEAR(p.field.top(), p.label.bottom(), Eps);
            EXPECT_NEAR(p.frame.height(), lineHeight(10) + lineHeight(8), Eps);
        } else if (c.type == 2 || c.type == 3) {
            EXPECT_NEAR(p.label.right(), p.field.left(), Eps);
            EXPECT_NEAR(p.frame.height(), lineHeight(10), Eps); // the larger of the two fonts
        }
        EXPECT_TRUE(p.frame.contains(p.label) || p.label.isEmpty()) << qPrintable(what);
        EXPECT_TRUE(p.frame.contains(p.field) || p.field.isEmpty()) << qPrintable(what);
    }
}

TEST(PreviewLayout, BandsStackWithTheirMarginsAndBreakOntoNewPages)
{
    PreviewReport r;
    r.orient = QStringLiteral("P");
    r.left = r.right = r.top = r.bottom = 10;
    for (int i = 0; i < 3; ++i) {
        PreviewBand b;
        b.left = 5;
        b.right = 10;
        b.top = 1;
        b.bottom = 2;
        b.controls.push_back(ctrl(50, 4)); // a graphic, GraphicHeight high
        r.bands.push_back(b);
    }
    PageLayout l = layoutReport(r);
    ASSERT_EQ(l.bands.size(), 3u);
    const QRectF pr = l.printable;
    const BandPlace &first = l.bands[0];
    EXPECT_NEAR(first.outer.top(), pr.top(), Eps);
    EXPECT_NEAR(first.outer.width(), pr.width(), Eps);
    EXPECT_NEAR(first.frame.left(), pr.left() + 0.05 * pr.width(), Eps);
    EXPECT_NEAR(first.frame.width(), 0.85 * pr.width(), Eps);
    EXPECT_NEAR(first.frame.top(), pr.top() + 0.01 * pr.height(), Eps);
    EXPECT_NEAR(first.outer.height(), 0.03 * pr.height() + GraphicHeight, Eps);
    EXPECT_NEAR(l.bands[1].outer.top(), first.outer.bottom(), Eps);
    EXPECT_EQ(l.pageCount, 1);

    // Bands too high for one page: each goes on where the one before it left room.
    for (PreviewBand &b : r.bands)
        b.top = 60;
    l = layoutReport(r);
    EXPECT_EQ(l.pageCount, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(l.bands[size_t(i)].page, i);
        EXPECT_NEAR(l.bands[size_t(i)].outer.top(), l.printable.top(), Eps);
    }
    // A band without included controls keeps a visible height.
    PreviewReport empty = oneBand({with(ctrl(10), [](PreviewControl &c) { c.include = false; })});
    const PageLayout e = layoutReport(empty);
    EXPECT_TRUE(e.bands[0].controls.empty());
    EXPECT_NEAR(e.bands[0].frame.height(), EmptyBandHeight, Eps);
}

TEST(PreviewLayout, HitTestFindsControlThenBand)
{
    PreviewReport r = oneBand({ctrl(30), ctrl(30)});
    r.bands.push_back(r.bands[0]);
    r.bands[1].top = 50; // second band far below
    r.bands[1].controls.clear();
    const PageLayout l = layoutReport(r);
    const ControlPlace &second = l.bands[0].controls[1];
    const struct {
        QPointF at;
        int page, band, control;
    } cases[] = {
        {second.frame.center(), 0, 0, 1},
        {l.bands[0].controls[0].frame.center(), 0, 0, 0},
        {QPointF(l.bands[0].frame.right() - 1, l.bands[0].frame.center().y()), 0, 0, -1},
        {l.bands[1].frame.center(), l.bands[1].page, 1, -1},
        {QPointF(-5, -5), 0, -1, -1},
        {second.frame.center(), 7, -1, -1},
    };
    for (const auto &c : cases) {
        const PreviewHit h = hitTest(l, c.page, c.at);
        EXPECT_EQ(h.band, c.band) << c.at.x() << "," << c.at.y();
        EXPECT_EQ(h.control, c.control) << c.at.x() << "," << c.at.y();
    }
}

TEST(PreviewLayout, PageHeadersComeFirstAndFootersSitAtTheBottom)
{
    // Stored in name order, as the tree lists them: footer before header.
    const struct {
        const char *name;
        int type;
    } stored[] = {{"Company", 1}, {"Detail", 3}, {"PageFooter", 2}, {"PageHeader", 1}, {"Unused", 0}};
    PreviewReport r;
    r.orient = QStringLiteral("P");
    for (const auto &s : stored) {
        PreviewBand b;
        b.name = QString::fromLatin1(s.name);
        b.type = s.type;
        b.controls.push_back(ctrl(50));
        r.bands.push_back(b);
    }
    const PageLayout l = layoutReport(r);
    std::vector<int> order;
    for (const BandPlace &b : l.bands)
        order.push_back(b.band);
    EXPECT_EQ(order, (std::vector<int>{0, 3, 1, 4, 2}));
    EXPECT_NEAR(l.bands.back().outer.bottom(), l.printable.bottom(), Eps);
    EXPECT_NEAR(l.bands[1].outer.top(), l.bands[0].outer.bottom(), Eps);
    EXPECT_EQ(l.pageCount, 1);
}
