#pragma once
// FontDesc to and from Qt's font and colour. Colours are 0x00BBGGRR when direct; a value with the top
// bit set names a system colour by its index in the low byte and maps to a palette role.
#include "common/fontdesc.h"
#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace kvt {

/// True for a system colour (top bit set).
inline bool isSystemColor(qint32 color) { return color < 0; }
/// The system colour of index (COLOR_WINDOWTEXT is 8): 0x80000000 | index.
inline qint32 systemColor(int index) { return qint32(0x80000000u | quint32(index & 0xFF)); }

/// Palette role of a system colour index; false for an index that names none.
bool systemColorRole(int index, QPalette::ColorGroup &group, QPalette::ColorRole &role);
/// System colour value for a palette role (the first index that maps to it); false when none does.
bool systemColorFor(QPalette::ColorRole role, qint32 &color);

/// The colour a value stands for; system colours are read from the application palette, an unknown
/// index gives black.
QColor toQColor(qint32 color);
/// Direct colour value of a QColor.
qint32 fromQColor(const QColor &color);

QFont toQFont(const FontDesc &font);
FontDesc fromQFont(const QFont &font, qint32 color);

/// Sets the widget's font and its text colours.
void applyFontDesc(QWidget *widget, const FontDesc &font);

} // namespace kvt
