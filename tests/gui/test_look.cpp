// Look of the main window: radio items in their group's font, and the tree's pictures on the selected row.
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
        RepTreeItem *node;
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
        const QRect row = w->TreeView1->visualItemRect(c.node);
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
