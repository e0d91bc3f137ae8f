#pragma once
// Quoted comma-separated fields and the text form of a font ("MS Sans Serif,8,,0").
#include "common/fontdesc.h"
#include <QString>

namespace kvt {

/// Trims blanks and control characters (codes 0 to 32) from both ends.
QString fldTrim(const QString &text);

/// The trimmed text with one level of double quotes removed. A quote left open or a closing quote
/// that is not the last character is shown in a message box (at most one of the two).
QString fldUnquoteStr(const QString &text);

/// Field n (from 1) of a comma-separated text in which double quotes protect commas, trimmed and
/// unquoted; empty when there is no such field.
QString fldExtractField(const QString &text, int n);

/// Sets face, size, style and colour of font from a font spec string. A missing or non-numeric
/// colour gives Arial, 10, no style, colour 0. A null font is reported and left alone.
void fldStrToFont(const QString &fontSpec, FontDesc *font);

/// The font spec string of font: face,size,styles,colour.
QString fldFontToStr(const FontDesc &font);

} // namespace kvt
