#include "reportdef/codes.h"

namespace kvt::reportdef {

QString bandTypeText(int t)
{
    switch (t) {
    case 0: return QStringLiteral("Error");
    case 1: return QStringLiteral("Page Header");
    case 2: return QStringLiteral("Page Footer");
    case 3: return QStringLiteral("Detail Band");
    default: return QString();
    }
}

QString contentSuffix(int c)
{
    switch (c) {
    case 1: return QStringLiteral(" As Label");
    case 2: return QStringLiteral(" As Value");
    default: return QString();
    }
}

QStringList controlTypeItems()
{
    return {"Field", "L. Lbl Fld", "R. Lbl Fld", "Graphics", "Label", "Text File"};
}
QStringList controlTypeValues() { return {"1", "2", "3", "4", "5", "6"}; }

QString controlTypeDescription(int t)
{
    static const char *const d[] = {"Error",
                                    "Normal Field (label on top)",
                                    "Left Aligned Label Field (label on left)",
                                    "Right Aligned Label Field (label on left)",
                                    "Graphics (BMP file)",
                                    "Label only",
                                    "Text File"};
    return isKnownControlType(t) ? QString::fromLatin1(d[t]) : QString();
}

bool isKnownControlType(int t) { return t >= 0 && t <= 6; }

QStringList alignmentItems() { return {"Auto", "Left", "Center", "Right"}; }
QStringList alignmentValues() { return {"0", "1", "2", "3"}; }
QStringList orientationItems() { return {"Lanscapes", "Portrate"}; }
QStringList orientationValues() { return {"L", "P"}; }

QString controlDisplayName(const QString &rctName)
{
    const int colon = rctName.indexOf(QLatin1Char(':'));
    return colon < 0 ? rctName : rctName.left(colon);
}

bool isAlwaysIncluded(const QString &rctName)
{
    const QString head = rctName.left(11);
    return head == QLatin1String("RepCompName") || head == QLatin1String("RepCompAddr");
}

} // namespace kvt::reportdef
