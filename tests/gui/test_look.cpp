// Look and size of the main window: its minimum size, pages that scroll, radio items in their group's
// font, and the tree's pictures on the selected row.
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbnavigator.h"
#include "dbwidgets/dbradiogroup.h"
#include "editor/detailpages.h"
#include "editor/stateimages.h"
#include "labels/gui/tabsheet.h"
#include "support/demowindow.h"
#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

class LookTest : public test::DemoWindowTest {
protected:
    /// The window's rectangle of a widget inside it.
    QRect inWindow(const QWidget *c) const { return QRect(c->mapTo(w.get(), QPoint(0, 0)), c->size()); }
};

TEST_F(LookTest, AtItsMinimumSizeTheWindowShowsEveryComponentWholeAndThePagesScroll)
{
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd", "Detail", "Qty")); // all three pages
    QApplication::processEvents();
    const QSize least = w->minimumSize();
    EXPECT_LE(least.width(), 640);
    EXPECT_LE(least.height(), 450);
    EXPECT_EQ(w->size(), QSize(640, 450)) << "it still starts at its design size";
    w->resize(400, 300);
    EXPECT_GE(w->width(), least.width());
    EXPECT_GE(w->height(), least.height());
    w->resize(1, 1);
    QApplication::processEvents();
    ASSERT_EQ(w->size(), least) << "the minimum holds";
    const QString shots = qEnvironmentVariable("KVT_SHOT_DIR");

    // The selector and the menu button, side by side on their panel.
    EXPECT_TRUE(w->Panel3->rect().contains(w->cmbRepCat->geometry()));
    EXPECT_TRUE(w->Panel3->rect().contains(w->btnRepEdtMenu->geometry()));
    EXPECT_FALSE(w->cmbRepCat->geometry().intersects(w->btnRepEdtMenu->geometry())) << "the button covers the selector";
    EXPECT_GT(w->TreeView1->viewport()->height(), 40);
    // The navigator's buttons and every tab.
    EXPECT_TRUE(w->Panel4->rect().contains(w->DBNavigator1->geometry()));
    for (DbNavigator::Button b : w->DBNavigator1->visibleButtons())
        EXPECT_TRUE(w->DBNavigator1->rect().contains(w->DBNavigator1->button(b)->geometry())) << int(b);
    QTabBar *tabs = w->PageControl1->tabBar();
    for (int i = 0; i < tabs->count(); ++i)
        EXPECT_TRUE(tabs->rect().contains(tabs->tabRect(i))) << qPrintable(tabs->tabText(i));
    EXPECT_TRUE(inWindow(w->PageControl1).right() < w->width() && inWindow(w->PageControl1).bottom() < w->height());

    // Each page in a scroll area: the page keeps its size and the places of its components, and its
    // last component can be scrolled into view.
    const struct {
        TabSheet *sheet;
        QWidget *page;
        QWidget *last;
        QRect designPlace;
    } pages[] = {
        {w->tsh_Reports, w->reportPage, w->reportPage->EdtRepBottomY, QRect(8, 288, 64, 21)},
        {w->tsh_RepBand, w->bandPage, w->bandPage->EdtRbdBottomY, QRect(8, 208, 64, 21)},
        {w->tsh_RepCtrl, w->ctrlPage, w->ctrlPage->EdtRctSpBottom, QRect(8, 336, 64, 21)},
    };
    for (const auto &pg : pages) {
        SCOPED_TRACE(pg.sheet->objectName().toStdString());
        w->PageControl1->setCurrentWidget(pg.sheet);
        QApplication::processEvents();
        ASSERT_NE(pg.page->parentWidget(), nullptr);
        auto *area = qobject_cast<QScrollArea *>(pg.page->parentWidget()->parentWidget());
        ASSERT_NE(area, nullptr) << "the page is not in a scroll area";
        EXPECT_EQ(area->widget(), pg.page);
        EXPECT_TRUE(pg.sheet->isAncestorOf(area));
        EXPECT_EQ(pg.last->geometry(), pg.designPlace);
        for (QWidget *c : pg.page->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!c->isHidden()) {
                EXPECT_TRUE(pg.page->rect().contains(c->geometry())) << qPrintable(c->objectName()) << " cut off";
            }
        }
        if (pg.page->height() > area->viewport()->height()) {
            EXPECT_TRUE(area->verticalScrollBar()->isVisible());
            EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
        }
        area->ensureWidgetVisible(pg.last);
        QApplication::processEvents();
        const QRect shown(pg.last->mapTo(area->viewport(), QPoint(0, 0)), pg.last->size());
        EXPECT_TRUE(area->viewport()->rect().contains(shown)) << "the last component cannot be reached";
        if (!shots.isEmpty())
            w->grab().save(shots + "/minimum-" + pg.sheet->objectName() + ".png");
    }
}

TEST_F(LookTest, RadioItemsAreWrittenInTheFontTheirGroupIsCaptionedWith)
{
    start();
    const QList<DbRadioGroup *> groups = w->findChildren<DbRadioGroup *>();
    ASSERT_EQ(groups.size(), 3);
    for (DbRadioGroup *g : groups) {
        SCOPED_TRACE(g->objectName().toStdString());
        EXPECT_EQ(g->font().family(), "DejaVu Sans") << "the label font of the text tables";
        for (int b = 0; b < g->count(); ++b)
            EXPECT_EQ(g->button(b)->font(), g->font()) << qPrintable(g->button(b)->text());
    }
}

/// Whether the picture, drawn untouched (transparent pixels aside), is somewhere in the rectangle.
bool holdsPicture(const QImage &grabbed, const QRect &where, const QImage &picture)
{
    for (int y = where.top(); y + picture.height() <= where.bottom() + 1; ++y)
        for (int x = where.left(); x + picture.width() <= where.right() + 1; ++x) {
            bool same = true;
            for (int py = 0; py < picture.height() && same; ++py)
                for (int px = 0; px < picture.width() && same; ++px) {
                    const QRgb p = picture.pixel(px, py);
                    same = qAlpha(p) < 255 || (grabbed.pixel(x + px, y + py) & 0xffffff) == (p & 0xffffff);
                }
            if (same)
                return true;
        }
    return false;
}

TEST_F(LookTest, TheSelectedRowShowsItsStateImageUntinted)
{
    start();
    chooseCategory("Quotes");
    const struct {
        const char *what;
        test::TreeNode node;
        int image; // the selected look of its kind
    } cases[] = {
        {"report", node("QuoteStd"), 1},
        {"band", node("QuoteStd", "Company"), 3},
        {"excluded control", node("QuoteStd", "Company", "RepCompAddr:2"), 5},
        {"included control", node("QuoteStd", "Company", "RepCompName"), 7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        select(c.node);
        ASSERT_EQ(c.node->stateIndex(), c.image);
        ASSERT_TRUE(c.node->isSelected());
        QApplication::processEvents();
        const QImage grabbed = w->TreeView1->viewport()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QRect row = w->TreeView1->visualRect(c.node.index());
        const QImage picture =
            stateImage(c.image).pixmap(QSize(13, 13), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(picture.size(), QSize(13, 13));
        // The row is drawn selected, so a tint would show.
        const QRgb highlight = w->TreeView1->palette().color(QPalette::Highlight).rgb() & 0xffffff;
        bool highlighted = false;
        for (int x = row.left(); x <= row.right() && !highlighted; ++x)
            highlighted = (grabbed.pixel(x, row.center().y()) & 0xffffff) == highlight;
        EXPECT_TRUE(highlighted) << "the row is not drawn selected";
        EXPECT_TRUE(holdsPicture(grabbed, row, picture)) << "the picture is tinted or missing";
    }
}

} // namespace
