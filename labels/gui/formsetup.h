#pragma once
// Captioning of a window from the text caches: captions, hints, visibility and fonts of the components
// it owns, and registration of missing button and menu texts in TextBtn.DB.
#include "common/fontdesc.h"
#include "dbwidgets/dbgrid.h"
#include "labels/textcache.h"
#include <QString>
#include <vector>

class QObject;
class QWidget;

namespace kvt {

/// The four shared fonts: null until fontsSetup() creates them, never freed afterwards.
extern FontDesc *fntLabel;
extern FontDesc *fntField;
extern FontDesc *fntClmLabel;
extern FontDesc *fntClmField;

/// Text form of the font used when a font key has no row in TextMsg.DB.
inline QString defaultFontText() { return QStringLiteral("MS Sans Serif,8,,0"); }

/// Dynamic property of push and tool buttons standing for the show-hint switch. When it is not set, a
/// button with a non-empty tool tip counts as showing its hint.
inline const char *showHintProperty() { return "showHint"; }

/// Builds the three caches (and the fonts) where still missing, then captions every component the
/// window owns, in creation order. A null window only builds the caches and fonts.
void FormSetup(QWidget *window);

/// Captions one component by the rule of its exact class name. owner names the window for the category
/// number and the reports of a registration; without it the component's window is used. Returns 1
/// unless the last lookup found a row marked not included or missed a button text.
int CompSetup(QObject *component, QObject *owner = nullptr);

/// Creates the four shared fonts once, from the TextMsg.DB rows of their names.
void fontsSetup();

/// Category number (digits) of the window with this name, for TxCatNo of a registered button row.
QString formCatNoGet(const QString &windowName);

/// Grid columns from field labels, last to first: binary and memo fields and fields without an included
/// row are hidden (width 0); the others take the column label, width and the column fonts. A column
/// whose field is not in the grid's open data set is treated like one without a row.
void TColumn(const TxtFldLstClass *cache, DbGrid *grid, std::vector<DbGridColumn> &columns);

} // namespace kvt
