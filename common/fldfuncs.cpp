#include "common/fldfuncs.h"
#include "common/messageservice.h"
#include <cstdint>

namespace kvt {
namespace {

const QChar Quote = QLatin1Char('"');
const QChar Comma = QLatin1Char(',');

void showPlain(const QString &text) { messages().message(applicationTitle(), text, MsgIcon::None, MsgButtons::Ok); }

bool isBlankOrControl(QChar c) { return c.unicode() <= 32; }

bool parseDecimal(const QString &text, qint64 min, qint64 max, qint64 &out)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok, 10);
    if (!ok || v < min || v > max)
        return false;
    out = v;
    return true;
}

// Signed decimal, or hexadecimal after "$" or "0x"; hexadecimal covers the full 32 bits, so
// "$80000008" is the window text colour.
bool parseColor(const QString &text, qint32 &out)
{
    QString t = text;
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t.remove(0, 1);
    }
    QString hex;
    if (t.startsWith(QLatin1Char('$')))
        hex = t.mid(1);
    else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        hex = t.mid(2);
    else {
        qint64 v = 0;
        if (!parseDecimal(text, INT32_MIN, INT32_MAX, v))
            return false;
        out = qint32(v);
        return true;
    }
    if (hex.isEmpty() || hex.startsWith(QLatin1Char('-')) || hex.startsWith(QLatin1Char('+')))
        return false;
    bool ok = false;
    const qulonglong v = hex.toULongLong(&ok, 16);
    if (!ok || v > 0xFFFFFFFFull)
        return false;
    const quint32 bits = negative ? quint32(0u - quint32(v)) : quint32(v);
    out = qint32(bits);
    return true;
}

} // namespace

QString fldTrim(const QString &text)
{
    int from = 0;
    int to = text.size();
    while (from < to && isBlankOrControl(text.at(from)))
        ++from;
    while (to > from && isBlankOrControl(text.at(to - 1)))
        --to;
    return text.mid(from, to - from);
}

QString fldUnquoteStr(const QString &text)
{
    const QString t = fldTrim(text);
    QString result;
    bool inQuote = false;
    bool closed = false;
    int closePos = -1;
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c != Quote) {
            result += c;
            continue;
        }
        if (inQuote) {
            if (i + 1 < t.size() && t.at(i + 1) == Quote) {
                result += Quote;
                ++i;
                continue;
            }
            closed = true;
            inQuote = false;
            closePos = i;
            break;
        }
        inQuote = true;
    }
    if (inQuote)
        showPlain(QStringLiteral("Missing double quote at end of string: \"%1\".").arg(t));
    if (closed && closePos != t.size() - 1)
        showPlain(QStringLiteral("Double quoted string do not cover the whole string: \"%1\".").arg(t));
    return result;
}

QString fldExtractField(const QString &text, int n)
{
    const QString t = fldTrim(text);
    const int len = t.size();
    // Positions count from 1.
    int start = 1;
    int end = 0;
    bool found = false;
    int separators = 0;
    bool inQuote = false;
    int pos = 1;
    while (pos <= len) {
        const QChar c = t.at(pos - 1);
        if (c == Quote) {
            int run = 0;
            while (pos + run <= len && t.at(pos + run - 1) == Quote)
                ++run;
            if (run % 2 == 1)
                inQuote = !inQuote;
            pos += run;
            continue;
        }
        if (c == Comma && !inQuote) {
            ++separators;
            if (separators == n) {
                end = pos - 1;
                found = true;
                break;
            }
            start = pos + 1;
        }
        ++pos;
    }
    // A separate found flag: a text that starts with a comma has an empty first field, instead of
    // "end 0" being taken for "not found" and the whole text returned.
    if (!found && !inQuote && separators + 1 == n) {
        end = len;
        found = true;
    }
    if (!found && n == 1)
        end = len;
    if (end < start)
        return fldUnquoteStr(QString());
    return fldUnquoteStr(t.mid(start - 1, end - start + 1));
}

void fldStrToFont(const QString &fontSpec, FontDesc *font)
{
    if (!font) {
        showPlain(QStringLiteral("Error:fldStrToFont: font object is Nil"));
        return;
    }
    font->name = fldExtractField(fontSpec, 1);

    qint64 size = 0;
    font->size = parseDecimal(fldExtractField(fontSpec, 2), INT32_MIN, INT32_MAX, size) ? int(size) : 10;

    const QString styles = fldExtractField(fontSpec, 3);
    font->bold = font->italic = font->underline = font->strikeOut = false;

    qint32 color = 0;
    if (!parseColor(fldExtractField(fontSpec, 4), color)) {
        *font = FontDesc();
        font->name = QStringLiteral("Arial");
        font->size = 10;
        font->color = 0;
        return;
    }
    font->color = color;

    font->bold = styles.contains(QLatin1Char('B'));
    font->italic = styles.contains(QLatin1Char('I'));
    font->underline = styles.contains(QLatin1Char('U'));
    font->strikeOut = styles.contains(QLatin1Char('S'));
}

QString fldFontToStr(const FontDesc &font)
{
    QString styles;
    if (font.bold)
        styles += QLatin1Char('B');
    if (font.italic)
        styles += QLatin1Char('I');
    if (font.underline)
        styles += QLatin1Char('U');
    if (font.strikeOut)
        styles += QLatin1Char('S');
    return QStringLiteral("%1,%2,%3,%4").arg(font.name).arg(font.size).arg(styles).arg(font.color);
}

} // namespace kvt
