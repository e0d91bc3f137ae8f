#include "common/gui/fontconv.h"
#include <QGuiApplication>
#include <QWidget>
#include <cmath>

namespace kvt {
namespace {

struct SystemEntry {
    int index;
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Windows COLOR_* indices. For the way back from a role, the first entry with that role counts, so
// the colours a font is usually given (window text, button text, highlight...) come first.
const SystemEntry SystemColors[] = {
    {8, QPalette::Active, QPalette::WindowText},       // COLOR_WINDOWTEXT
    {5, QPalette::Active, QPalette::Window},           // COLOR_WINDOW
    {15, QPalette::Active, QPalette::Button},          // COLOR_BTNFACE
    {18, QPalette::Active, QPalette::ButtonText},      // COLOR_BTNTEXT
    {13, QPalette::Active, QPalette::Highlight},       // COLOR_HIGHLIGHT
    {14, QPalette::Active, QPalette::HighlightedText}, // COLOR_HIGHLIGHTTEXT
    {17, QPalette::Active, QPalette::PlaceholderText}, // COLOR_GRAYTEXT
    {23, QPalette::Active, QPalette::ToolTipText},     // COLOR_INFOTEXT
    {24, QPalette::Active, QPalette::ToolTipBase},     // COLOR_INFOBK
    {26, QPalette::Active, QPalette::Link},            // COLOR_HOTLIGHT
    {16, QPalette::Active, QPalette::Dark},            // COLOR_BTNSHADOW
    {20, QPalette::Active, QPalette::Light},           // COLOR_BTNHIGHLIGHT
    {21, QPalette::Active, QPalette::Shadow},          // COLOR_3DDKSHADOW
    {22, QPalette::Active, QPalette::Midlight},        // COLOR_3DLIGHT
    {0, QPalette::Active, QPalette::Midlight},         // COLOR_SCROLLBAR
    {1, QPalette::Active, QPalette::Dark},             // COLOR_BACKGROUND (desktop)
    {2, QPalette::Active, QPalette::Highlight},        // COLOR_ACTIVECAPTION
    {3, QPalette::Inactive, QPalette::Mid},            // COLOR_INACTIVECAPTION
    {4, QPalette::Active, QPalette::Window},           // COLOR_MENU
    {6, QPalette::Active, QPalette::Shadow},           // COLOR_WINDOWFRAME
    {7, QPalette::Active, QPalette::WindowText},       // COLOR_MENUTEXT
    {9, QPalette::Active, QPalette::HighlightedText},  // COLOR_CAPTIONTEXT
    {10, QPalette::Active, QPalette::Button},          // COLOR_ACTIVEBORDER
    {11, QPalette::Inactive, QPalette::Button},        // COLOR_INACTIVEBORDER
    {12, QPalette::Active, QPalette::Dark},            // COLOR_APPWORKSPACE
    {19, QPalette::Inactive, QPalette::WindowText},    // COLOR_INACTIVECAPTIONTEXT
    {27, QPalette::Active, QPalette::Highlight},       // COLOR_GRADIENTACTIVECAPTION
    {28, QPalette::Inactive, QPalette::Mid},           // COLOR_GRADIENTINACTIVECAPTION
    {29, QPalette::Active, QPalette::Highlight},       // COLOR_MENUHILIGHT
    {30, QPalette::Active, QPalette::Window},          // COLOR_MENUBAR
};

} // namespace

bool systemColorRole(int index, QPalette::ColorGroup &group, QPalette::ColorRole &role)
{
    for (const SystemEntry &e : SystemColors) {
        if (e.index == index) {
            group = e.group;
            role = e.role;
            return true;
        }
    }
    return false;
}

bool systemColorFor(QPalette::ColorRole role, qint32 &color)
{
    // Edit fields: Windows draws them in the window colours.
    if (role == QPalette::Base)
        role = QPalette::Window;
    else if (role == QPalette::Text)
        role = QPalette::WindowText;
    for (const SystemEntry &e : SystemColors) {
        if (e.role == role) {
            color = systemColor(e.index);
            return true;
        }
    }
    return false;
}

QColor toQColor(qint32 color)
{
    if (isSystemColor(color)) {
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
        if (!systemColorRole(int(quint32(color) & 0xFF), group, role))
            return QColor(0, 0, 0);
        return QGuiApplication::palette().color(group, role);
    }
    const quint32 c = quint32(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

qint32 fromQColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return qint32(quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16));
}

QFont toQFont(const FontDesc &font)
{
    QFont f;
    f.setFamily(font.name);
    if (font.size > 0)
        f.setPointSize(font.size);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strikeOut);
    return f;
}

FontDesc fromQFont(const QFont &font, qint32 color)
{
    FontDesc d;
    d.name = font.family();
    if (font.pointSizeF() > 0)
        d.size = int(std::lround(font.pointSizeF()));
    else if (font.pixelSize() > 0)
        d.size = int(std::lround(font.pixelSize() * 72.0 / 96.0));
    d.bold = font.bold();
    d.italic = font.italic();
    d.underline = font.underline();
    d.strikeOut = font.strikeOut();
    d.color = color;
    return d;
}

void applyFontDesc(QWidget *widget, const FontDesc &font)
{
    if (!widget)
        return;
    widget->setFont(toQFont(font));
    const QColor c = toQColor(font.color);
    QPalette p = widget->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Active, role, c);
        p.setColor(QPalette::Inactive, role, c);
    }
    widget->setPalette(p);
}

} // namespace kvt
