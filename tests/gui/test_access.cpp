// Keyboard and screen reader: the font and frame editors open from the keyboard, and every control of
// the main window and the box-frame dialog has a name a screen reader can announce.
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

QString accessibleName(QObject *o)
{
    QAccessibleInterface *i = QAccessible::queryAccessibleInterface(o);
    return i ? i->text(QAccessible::Name) : QString();
}

/// What a control is called in a failure message: its name, else its class.
std::string describe(const QWidget *c)
{
    return (c->objectName().isEmpty() ? QString::fromLatin1(c->metaObject()->className()) : c->objectName())
        .toStdString();
}

/// The shown widgets of a window that a user can reach or work: focus stops and buttons.
QList<QWidget *> interactiveWidgets(QWidget *window)
{
    QList<QWidget *> out;
    for (QWidget *c : window->findChildren<QWidget *>()) {
        if (!c->isVisible() || c->isWindow())
            continue;
        if (c->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton *>(c))
            out << c;
    }
    return out;
}

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

TEST_F(AccessTest, EveryControlHasAnAccessibleName)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd", "Detail", "Qty")); // all three pages can be shown
    QSet<QWidget *> checked;
    for (TabSheet *sheet : {w->tsh_Reports, w->tsh_RepBand, w->tsh_RepCtrl}) {
        w->PageControl1->setCurrentWidget(sheet);
        QApplication::processEvents();
        SCOPED_TRACE(sheet->objectName().toStdString());
        for (QWidget *c : interactiveWidgets(w.get())) {
            checked << c;
            EXPECT_FALSE(accessibleName(c).trimmed().isEmpty()) << describe(c);
        }
    }
    EXPECT_GE(checked.size(), 40) << "the walk reached the controls";

    // The names are the words the user sees: captions and labels from the text tables, and for the
    // controls without one, names of what they stand for.
    const struct {
        QObject *control;
        const char *name;
    } names[] = {
        {w->cmbRepCat, "Category"},
        {w->btnRepEdtMenu, "Pop-up menu"},
        {w->TreeView1, "Report Tree"},
        {w->ctrlPage->Ed1, "Control Name"},
        {w->ctrlPage->EdtRctLabelWidth, "Label Width"},
        {w->bandPage->EdtRbdBox, "Band Frame"},
        {w->reportPage->EdtRepTopY, "Top Margin"},
        {w->reportPage->EdtRepBottomY, "Bottom Margin"},
        {w->bandPage->EdtRbdLeftX, "Left Margin"},
        {w->bandPage->EdtRbdRightX, "Right Margin"},
        {w->ctrlPage->EdtRctSpTop, "Top Spacing"},
        {w->ctrlPage->EdtRctSpLeft, "Left Spacing"},
        {w->ctrlPage->EdtRctSpRight, "Right Spacing"},
        {w->ctrlPage->EdtRctSpBottom, "Bottom Spacing"},
        {w->DBNavigator1->button(DbNavigator::First), "First"},
        {w->DBNavigator1->button(DbNavigator::Edit), "Edit"},
        {w->DBNavigator1->button(DbNavigator::Post), "Post Changes"},
        {w->DBNavigator1->button(DbNavigator::Cancel), "Cancel"},
        {w->DBNavigator1->button(DbNavigator::Refresh), "Refresh Data"},
    };
    for (const auto &n : names)
        EXPECT_EQ(accessibleName(n.control), n.name) << n.control->objectName().toStdString();
    for (int b = 0; b < DbNavigator::ButtonCount; ++b)
        EXPECT_FALSE(accessibleName(w->DBNavigator1->button(DbNavigator::Button(b))).isEmpty()) << b;
    EXPECT_NE(accessibleName(w->cmbRepCat), w->cmbRepCat->currentText()) << "named, not announced by its value";

    // The main window is announced as a window, by its title.
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(w.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), w->windowTitle());
}

TEST_F(AccessTest, EveryControlOfTheBoxFrameDialogHasAnAccessibleName)
{
    start();
    BoxFrameDialog->show(); // captioned on its first show
    QApplication::processEvents();
    const QList<QWidget *> controls = interactiveWidgets(BoxFrameDialog);
    EXPECT_EQ(controls.size(), 6);
    for (QWidget *c : controls)
        EXPECT_FALSE(accessibleName(c).trimmed().isEmpty()) << describe(c);
    EXPECT_EQ(accessibleName(BoxFrameDialog->chk_BoxFrameTop), "Top");
    EXPECT_EQ(accessibleName(BoxFrameDialog), "Modify Box Frame");
    BoxFrameDialog->hide();
}

} // namespace
