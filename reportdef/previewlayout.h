#pragma once
// Where a print of a report would place its bands and controls, as plain geometry: rows in, rectangles
// out, in points on A4 pages. No data is read and no font is measured; a text line is its font's point
// size times LineSpacing high.
//
// The rule of the places:
// - The page is A4, turned when RepOrient is "L". Report margins are percent of the page's width (left,
//   right) and height (top, bottom); what lies between them is the printable area.
// - Bands are stacked from the top of the printable area: page headers (RbdType 1) first, then every
//   other band, then the page footers (RbdType 2) at the bottom of the last page, each group in the
//   order given. Band margins are percent of the printable width (left, right) and height (top,
//   bottom); the frame (RbdBox) runs round the band inside its margins. A band that does not fit
//   below the one before it starts a new page.
// - The included controls of a band flow in the order given, left to right, inside the band's frame.
//   Widths and the left and right spacing are percent of that width, top and bottom spacing percent of
//   the printable height. A control starts a new line when RctNewLine is set or when it does not fit
//   into what is left of the line. A line is as high as its highest control.
// - In a line, controls aligned right (RctAlignHorPage 3) gather at the right end, those centred (2)
//   in the middle, all others at the left.
// - Types 2 and 3 put the label part (RctLabelWidth, percent of the band's width, at most the whole
//   control) left of the field part. Type 1 puts the label line above the field line; without a
//   label text there is no label line. Label only (5) is one label line; a text file (6) three; a
//   graphic (4) GraphicHeight; any other type one label line.
// Negative numbers count as 0.
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

namespace kvt::reportdef {

struct PreviewControl {
    QString name;       // RctName
    int type = 0;       // RctType
    QString label;      // RctLabel
    double width = 0;   // RctWidth
    double labelWidth = 0;
    double labelPoints = 8; // sizes of RctLabelFnt and RctFieldFnt
    double fieldPoints = 8;
    QString labelFont;  // the font spec strings, for whoever draws the texts
    QString fieldFont;
    int align = 0;      // RctAlignHorPage
    bool include = false;
    int box = 0;        // RctBox
    double spLeft = 0, spRight = 0, spTop = 0, spBottom = 0;
    bool newLine = false;
};

struct PreviewBand {
    QString name;  // RbdName
    QString group; // RctGroup
    int type = 0;  // RbdType
    int contentType = 0;
    double left = 0, right = 0, top = 0, bottom = 0;
    int box = 0; // RbdBox
    std::vector<PreviewControl> controls; // in print order (RctSortIdx)
};

struct PreviewReport {
    QString name;
    QString title;
    QString orient; // RepOrient
    double left = 0, right = 0, top = 0, bottom = 0;
    std::vector<PreviewBand> bands; // in the order of the tree
};

constexpr double A4Width = 595.28;  // points
constexpr double A4Height = 841.89;
constexpr double LineSpacing = 1.2;
constexpr double GraphicHeight = 36;
constexpr double TextFileLines = 3;
/// Height of the content of a band without included controls, so the band stays visible.
constexpr double EmptyBandHeight = 12;

struct ControlPlace {
    int control = -1; // index into the band's controls
    QRectF cell;      // with the spacing
    QRectF frame;     // the control itself, where RctBox is drawn
    QRectF label;     // label part (empty when the control has none)
    QRectF field;     // field part (empty when the control has none)
    int line = 0;
};

struct BandPlace {
    int band = -1; // index into the report's bands
    int page = 0;
    QRectF outer;  // with the margins
    QRectF frame;  // inside the margins, where RbdBox is drawn
    std::vector<ControlPlace> controls; // the included controls, in print order
};

struct PageLayout {
    QSizeF page;
    QRectF printable;
    int pageCount = 1;
    std::vector<BandPlace> bands; // in the order stacked; coordinates within the band's own page
};

PageLayout layoutReport(const PreviewReport &report);

/// Page size of an orientation: landscape for "L" (any case), portrait otherwise.
QSizeF pageSize(const QString &orient);

struct PreviewHit {
    int band = -1;    // index into the report's bands, -1 for none
    int control = -1; // index into that band's controls, -1 for the band itself
};
/// What lies at a point of a page: a control's cell, else a band's outer rectangle, else nothing.
PreviewHit hitTest(const PageLayout &layout, int page, QPointF point);

/// Places of line heights: the height of one text line of a font of the given size.
inline double lineHeight(double points) { return (points > 0 ? points : 8) * LineSpacing; }

} // namespace kvt::reportdef
