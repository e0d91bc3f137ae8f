// Keyboard: the font and frame editors open from the keyboard.
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbnavigator.h"
#include "editor/detailpages.h"
#include "labels/gui/tabsheet.h"
#include "support/demowindow.h"
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

class AccessTest : public test::DemoWindowTest {};

TEST_F(AccessTest, FontAndFrameEditsOpenTheirDialogsFromTheKeyboard)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd", "Detail", "Qty")); // a field control: both font edits are enabled
    const struct {
        const char *what;
        std::function<DbEdit *()> edit;
        bool font; // font dialog, else the box-frame dialog
    } edits[] = {
        {"label font", [&] { return w->ctrlPage->EdtRctLabelFnt; }, true},
        {"field font", [&] { return w->ctrlPage->EdtRctFieldFnt; }, true},
        {"control frame", [&] { return w->ctrlPage->EdtRctBox; }, false},
        {"band frame", [&] { return w->bandPage->EdtRbdBox; }, false},
    };
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        bool opens;
    } keys[] = {
        {Qt::Key_Return, Qt::NoModifier, true}, {Qt::Key_Enter, Qt::KeypadModifier, true},
        {Qt::Key_Space, Qt::NoModifier, true},  {Qt::Key_F2, Qt::NoModifier, true},
        {Qt::Key_F4, Qt::NoModifier, true},     {Qt::Key_Down, Qt::AltModifier, true},
        {Qt::Key_Down, Qt::NoModifier, false},  {Qt::Key_A, Qt::NoModifier, false},
        {Qt::Key_F2, Qt::ControlModifier, false},
    };
    for (const auto &e : edits) {
        DbEdit *edit = e.edit();
        w->PageControl1->setCurrentWidget(e.font || edit == w->ctrlPage->EdtRctBox ? w->tsh_RepCtrl : w->tsh_RepBand);
        for (const auto &k : keys) {
            SCOPED_TRACE(::testing::Message() << e.what << ", key " << QKeySequence(k.key | k.mods).toString().toStdString());
            rec.clear();
            QTest::keyClick(edit, k.key, k.mods);
            const int opened = e.font ? int(rec.fontsOffered.size()) : int(rec.dialogTitles.size());
            EXPECT_EQ(opened, k.opens ? 1 : 0);
            if (!e.font && k.opens) {
                EXPECT_EQ(rec.dialogTitles, QStringList{"Modify Box Frame"});
            }
            EXPECT_EQ(e.font ? rec.dialogTitles.size() : rec.fontsOffered.size(), 0) << "the other dialog";
            // A shortcut of the window on the same key does not take it from the edit.
            QKeyEvent override(QEvent::ShortcutOverride, k.key, k.mods);
            QApplication::sendEvent(edit, &override);
            EXPECT_EQ(override.isAccepted(), k.opens);
        }
    }
    EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Browse) << "nothing chosen, nothing written";

    // A disabled edit opens nothing, as it takes no click; a read-only edit without a dialog keeps Enter.
    select(node("QuoteStd", "Company", "Logo")); // graphics: the font edits are disabled
    ASSERT_FALSE(w->ctrlPage->EdtRctLabelFnt->isEnabled());
    rec.clear();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_F2, Qt::Key_F4})
        QTest::keyClick(w->ctrlPage->EdtRctLabelFnt, key);
    QTest::keyClick(w->ctrlPage->EdtRctFieldFnt, Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(rec.fontsOffered.isEmpty());
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_F2, Qt::NoModifier);
    QApplication::sendEvent(w->bandPage->EdtRbdName, &override);
    EXPECT_FALSE(override.isAccepted()) << "F2 on an edit without a dialog is left to the window";
    QTest::keyClick(w->bandPage->EdtRbdName, Qt::Key_Return);
    EXPECT_TRUE(rec.dialogTitles.isEmpty());
}

} // namespace
