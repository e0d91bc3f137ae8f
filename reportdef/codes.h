#pragma once
// Codes stored in the report tables and the naming rules of control rows.
#include <QString>
#include <QStringList>

namespace kvt::reportdef {

/// RbdType: "Error", "Page Header", "Page Footer", "Detail Band"; any other value no text.
QString bandTypeText(int rbdType);
/// RbdContType: " As Label", " As Value"; any other value no suffix.
QString contentSuffix(int rbdContType);
/// Band caption: type text followed by the content suffix.
inline QString bandCaption(int rbdType, int rbdContType) { return bandTypeText(rbdType) + contentSuffix(rbdContType); }

/// Selector items of RctType 1 to 6, in order.
QStringList controlTypeItems();
QStringList controlTypeValues();
/// Long description of an RctType 0 to 6; empty for any other value.
QString controlTypeDescription(int rctType);
bool isKnownControlType(int rctType);

/// RctAlignHorPage items for 0 to 3.
QStringList alignmentItems();
QStringList alignmentValues();
/// RepOrient items and values ("L", "P").
QStringList orientationItems();
QStringList orientationValues();

/// Name under which a control's label is looked up: the part before the first ':'.
QString controlDisplayName(const QString &rctName);
/// Controls whose name starts with "RepCompName" or "RepCompAddr" (case included) are always included.
bool isAlwaysIncluded(const QString &rctName);

/// Frame mask bits.
enum FrameBits { FrameTop = 1, FrameRight = 2, FrameBottom = 4, FrameLeft = 8 };

} // namespace kvt::reportdef
