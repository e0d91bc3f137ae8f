// The font and frame editors of the main window: a click on a read-only font or frame edit opens its
// dialog and writes the result into the row, which stays in edit until it is posted.
#include "app/gui/startup.h"
#include "common/fldfuncs.h"
#include "common/gui/dialogservice.h"
#include "common/reporterror.h"
#include "dbwidgets/dbedit.h"
#include "editor/boxframedlg.h"
#include "editor/repmainfrm.h"
#include "engine/dataset.h"

namespace kvt {

namespace {

QString unitName() { return QStringLiteral("RepMainFrm"); }
QString updateFailed() { return QStringLiteral("Failed to update changes."); }

void ensureEditing(DataSet &table)
{
    if (table.state() != DataSetState::Edit && table.state() != DataSetState::Insert)
        table.edit();
}

} // namespace

void TRepMainForm::EdtRctFontClick(DbEdit *clicked)
{
    if (!clicked)
        return;
    Field *field = TblRepCtrl->fieldByName(clicked->dataField());
    fldStrToFont(field->asString(), &FontDialog1);
    if (!dialogs().chooseFont(FontDialog1, this))
        return;
    const QString fontSpec = fldFontToStr(FontDialog1);
    try {
        // Written even when equal to the stored text: OK always counts as a change.
        ensureEditing(*TblRepCtrl);
        field->setAsString(fontSpec);
    } catch (const FrameworkError &e) {
        ReportError(unitName(), 305, &e, updateFailed());
        TblRepCtrl->cancel();
    }
}

void TRepMainForm::EdtFrameBoxClick(DbEdit *clicked)
{
    if (!clicked)
        return;
    // RbdBox of the band table or RctBox of the control table: the edit's own binding says which.
    DataSet *table = clicked->dataSet();
    if (!table)
        return;
    Field *field = table->fieldByName(clicked->dataField());
    BoxFrameDialog->FrameMask = field->asInteger();
    dialogs().execDialog(*BoxFrameDialog); // only FrameMask counts, not the result
    if (field->asInteger() == BoxFrameDialog->FrameMask)
        return;
    try {
        ensureEditing(*table);
        field->setAsInteger(BoxFrameDialog->FrameMask);
    } catch (const FrameworkError &e) {
        ReportError(unitName(), 325, &e, updateFailed());
        table->cancel();
    }
}

} // namespace kvt
