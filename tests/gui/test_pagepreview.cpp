// The page preview in the main window: it follows the selection and the typing, selects what is
// clicked, leaves the editor's rows alone, and draws something sensible offscreen.
#include "common/fldfuncs.h"
#include "dbwidgets/dbcheckbox.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dbradiogroup.h"
#include "editor/detailpages.h"
#include "editor/marginfigure.h"
#include "editor/pagepreview.h"
#include "engine/dataset.h"
#include "labels/gui/tabsheet.h"
#include "support/demowindow.h"
#include "support/teststore.h"
#include "support/treenode.h"
#include <QApplication>
#include <QImage>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>

using namespace kvt;
using namespace kvt::reportdef;

namespace {

class PagePreviewTest : public test::DemoWindowTest {
protected:
    void SetUp() override
    {
        DemoWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        start();
        chooseCategory(QStringLiteral("Quotes"));
        w->setPreviewShown(true);
        pv = w->Preview->preview();
        settle();
    }
    void settle()
    {
        QApplication::processEvents();
        for (int i = 0; i < 10 && pv->readPending(); ++i)
            QApplication::processEvents();
    }
    void selectControl(const QString &rep, const QString &band, const QString &ctrl)
    {
        select(node(rep, band, ctrl));
        settle();
        ASSERT_NE(pv->selectedControl(), nullptr) << qPrintable(ctrl);
    }
    const PreviewControl &selectedRow() const
    {
        const BandPlace *b = pv->selectedBand();
        return pv->report().bands[size_t(b->band)].controls[size_t(pv->selectedControl()->control)];
    }
    /// Width of the selected control in percent of its band's frame.
    double selectedWidth() const
    {
        return pv->selectedControl()->frame.width() / pv->selectedBand()->frame.width() * 100;
    }
    void typeInto(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    /// RctWidth of a control as the store holds it, read on a connection of its own.
    double storedWidth(const QString &ctrl)
    {
        const QVariant v = storedValue(QStringLiteral("select RctWidth from RepCtrl where RepName='QuoteStd' and RctName=?"), {ctrl});
        return v.isValid() ? v.toDouble() : -1;
    }

    PagePreview *pv = nullptr;
};
using PagePreviewOnStores = test::OnBothStores<PagePreviewTest>;
KVT_ON_BOTH_STORES(PagePreviewOnStores);

} // namespace

TEST_P(PagePreviewOnStores, ShownAndHiddenFromTheKeyboardWithAccessibleNames)
{
    EXPECT_TRUE(w->Preview->isVisible());
    EXPECT_TRUE(w->btnPreview->isChecked());
    EXPECT_EQ(pv->accessibleName(), QStringLiteral("Page preview"));
    EXPECT_FALSE(w->btnPreview->accessibleName().isEmpty());
    EXPECT_EQ(pv->focusPolicy(), Qt::StrongFocus);
    const int wide = w->width();
    w->activateWindow();
    QTest::keyClick(w.get(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(w->Preview->isVisible());
    EXPECT_LT(w->width(), wide);
    w->btnPreview->click();
    EXPECT_TRUE(w->Preview->isVisible());
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
}

TEST_P(PagePreviewOnStores, FollowsTheSelectedReportBandAndControl)
{
    select(node("QuoteStd"));
    settle();
    EXPECT_EQ(pv->report().name, QStringLiteral("QuoteStd"));
    EXPECT_EQ(pv->report().bands.size(), 6u); // "Unused" too: it is a band of the report
    EXPECT_EQ(pv->selectedBand(), nullptr);
    EXPECT_TRUE(pv->accessibleDescription().contains(QStringLiteral("QuoteStd")));

    select(node("QuoteStd", "Detail"));
    settle();
    ASSERT_NE(pv->selectedBand(), nullptr);
    EXPECT_EQ(pv->report().bands[size_t(pv->selectedBand()->band)].name, QStringLiteral("Detail"));
    EXPECT_EQ(pv->selectedControl(), nullptr);

    selectControl("QuoteStd", "Detail", "Qty");
    EXPECT_EQ(selectedRow().name, QStringLiteral("Qty"));
    EXPECT_EQ(selectedRow().type, 3);
    EXPECT_NEAR(selectedWidth(), 10, 1e-6);
    // Excluded controls are not placed: "Discount" is not included.
    for (const ControlPlace &c : pv->selectedBand()->controls)
        EXPECT_NE(pv->report().bands[size_t(pv->selectedBand()->band)].controls[size_t(c.control)].name,
                  QStringLiteral("Discount"));
    // A control that is not included has no place; the preview says so.
    select(node("QuoteStd", "Detail", "Discount"));
    settle();
    ASSERT_NE(pv->selectedBand(), nullptr);
    EXPECT_EQ(pv->selectedControl(), nullptr);
    EXPECT_TRUE(pv->accessibleDescription().contains(QStringLiteral("Discount is not included")));
    // Another report: its own rows, read again.
    const int reads = pv->readCount();
    select(node("QuoteShort"));
    settle();
    EXPECT_EQ(pv->report().name, QStringLiteral("QuoteShort"));
    EXPECT_GT(pv->readCount(), reads);
    EXPECT_GT(pv->pageLayout().page.width(), pv->pageLayout().page.height()); // "L"
}

TEST_P(PagePreviewOnStores, AMoveToAnotherRowLaysThePagesOutOnceAndAHiddenPreviewNotAtAll)
{
    selectControl("QuoteStd", "Detail", "Qty");
    int before = pv->layoutCount();
    // Most edits of the control page change with the row; the preview looks at them once.
    selectControl("QuoteStd", "Detail", "ItemDesc");
    EXPECT_EQ(selectedRow().name, QStringLiteral("ItemDesc"));
    EXPECT_LE(pv->layoutCount() - before, 2);

    w->setPreviewShown(false);
    settle();
    before = pv->layoutCount();
    select(node("QuoteStd", "Detail", "Qty"));
    settle();
    EXPECT_EQ(pv->layoutCount(), before);
    // Shown again, it shows the row selected meanwhile.
    w->setPreviewShown(true);
    settle();
    ASSERT_NE(pv->selectedControl(), nullptr);
    EXPECT_EQ(selectedRow().name, QStringLiteral("Qty"));
    EXPECT_NEAR(selectedWidth(), 10, 1e-6);
}

TEST_P(PagePreviewOnStores, TypingRedrawsBeforeThePostAndLeavesTheRowsAlone)
{
    selectControl("QuoteStd", "Detail", "ItemDesc");
    EXPECT_NEAR(selectedWidth(), 40, 1e-6);
    const QString filter = w->TblRepCtrl->filter();
    typeInto(w->ctrlPage->EdtRctWidth, "25");
    // Shown at once, not yet in the field, not posted.
    EXPECT_TRUE(w->ctrlPage->EdtRctWidth->isModified());
    EXPECT_NEAR(selectedWidth(), 25, 1e-6);
    EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Edit);
    EXPECT_DOUBLE_EQ(w->TblRepCtrl->fieldByName("RctWidth")->asFloat(), 40);
    EXPECT_DOUBLE_EQ(storedWidth("ItemDesc"), 40);

    // A read of its own meanwhile changes nothing of the editor's table.
    const int reads = pv->readCount();
    pv->reload();
    settle();
    EXPECT_GT(pv->readCount(), reads);
    EXPECT_EQ(w->TblRepCtrl->state(), DataSetState::Edit);
    EXPECT_EQ(w->TblRepCtrl->filter(), filter);
    EXPECT_TRUE(w->TblRepCtrl->filtered());
    EXPECT_EQ(w->TblRepCtrl->fieldByName("RctName")->asString(), QStringLiteral("ItemDesc"));
    EXPECT_EQ(w->ctrlPage->EdtRctWidth->text(), QStringLiteral("25"));
    EXPECT_TRUE(w->ctrlPage->EdtRctWidth->isModified());
    EXPECT_NEAR(selectedWidth(), 25, 1e-6);

    // A value the field refuses shows the value in edit; Escape brings the stored one back.
    typeInto(w->ctrlPage->EdtRctWidth, "x");
    EXPECT_NEAR(selectedWidth(), 40, 1e-6);
    typeInto(w->ctrlPage->EdtRctWidth, "12.5");
    EXPECT_NEAR(selectedWidth(), 12.5, 1e-6);
    QTest::keyClick(w->ctrlPage->EdtRctWidth, Qt::Key_Escape);
    settle();
    EXPECT_NEAR(selectedWidth(), 40, 1e-6);

    // Written to the field by a check box: shown before the post too.
    typeInto(w->ctrlPage->EdtRctWidth, "30");
    w->ctrlPage->chkRctNewLine->click();
    EXPECT_TRUE(selectedRow().newLine);
    EXPECT_EQ(pv->selectedControl()->line, 1);
    // After the post the stored row is read and shown.
    w->ctrlPage->EdtRctWidth->commit();
    w->TblRepCtrl->post();
    settle();
    EXPECT_DOUBLE_EQ(storedWidth("ItemDesc"), 30);
    EXPECT_NEAR(selectedWidth(), 30, 1e-6);
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
}

TEST_P(PagePreviewOnStores, ReportAndBandValuesInEditAreShown)
{
    select(node("QuoteStd"));
    settle();
    const double before = pv->pageLayout().printable.left();
    typeInto(w->reportPage->EdtRepLeftX, "20");
    EXPECT_NEAR(pv->pageLayout().printable.left(), 0.2 * pv->pageLayout().page.width(), 1e-6);
    EXPECT_GT(pv->pageLayout().printable.left(), before);
    // The orientation, written by the selector, turns the page at once.
    w->reportPage->RgrRepOrient->button(0)->click(); // "Lanscapes"
    EXPECT_GT(pv->pageLayout().page.width(), pv->pageLayout().page.height());
    EXPECT_TRUE(w->reportPage->Image1->landscape());
    w->TblReports->cancel();
    settle();
    EXPECT_LT(pv->pageLayout().page.width(), pv->pageLayout().page.height());

    select(node("QuoteStd", "Detail"));
    settle();
    const double frameLeft = pv->selectedBand()->frame.left();
    typeInto(w->bandPage->EdtRbdLeftX, "10");
    EXPECT_GT(pv->selectedBand()->frame.left(), frameLeft);
    EXPECT_NEAR(pv->selectedBand()->frame.left() - pv->pageLayout().printable.left(),
                0.1 * pv->pageLayout().printable.width(), 1e-6);
}

TEST_P(PagePreviewOnStores, AClickOrAnArrowKeySelectsTheNodeInTheTree)
{
    selectControl("QuoteStd", "Detail", "ItemNo");
    // The control right of it in the same band: "ItemDesc".
    const BandPlace *band = pv->selectedBand();
    const ControlPlace *target = nullptr;
    for (const ControlPlace &c : band->controls)
        if (pv->report().bands[size_t(band->band)].controls[size_t(c.control)].name == QLatin1String("ItemDesc"))
            target = &c;
    ASSERT_NE(target, nullptr);
    const QPoint at = pv->toWidget(band->page, target->frame).center().toPoint();
    QTest::mouseClick(pv, Qt::LeftButton, {}, at);
    settle();
    ASSERT_TRUE(test::currentNode(w->TreeView1).record().has_value());
    EXPECT_EQ(test::currentNode(w->TreeView1).record()->RctName, QStringLiteral("ItemDesc"));
    EXPECT_EQ(w->PageControl1->currentWidget(), w->tsh_RepCtrl);
    EXPECT_EQ(selectedRow().name, QStringLiteral("ItemDesc"));
    EXPECT_TRUE(pv->hasFocus());

    // The keys move on in print order: ItemNo, ItemDesc, Qty.
    QTest::keyClick(pv, Qt::Key_Right);
    settle();
    EXPECT_EQ(test::currentNode(w->TreeView1).record()->RctName, QStringLiteral("Qty"));
    QTest::keyClick(pv, Qt::Key_Left);
    QTest::keyClick(pv, Qt::Key_Left);
    settle();
    EXPECT_EQ(test::currentNode(w->TreeView1).record()->RctName, QStringLiteral("ItemNo"));

    // A click on a band outside its controls selects the band.
    const QRectF frame = pv->toWidget(band->page, band->outer);
    QTest::mouseClick(pv, Qt::LeftButton, {}, QPoint(int(frame.right()) - 2, int(frame.bottom()) - 1));
    settle();
    EXPECT_EQ(test::currentNode(w->TreeView1).record()->Level, 2);
    EXPECT_TRUE(w->selectNodeByName("QuoteStd", "", ""));
    EXPECT_FALSE(w->selectNodeByName("QuoteStd", "NoSuchBand", ""));
    EXPECT_FALSE(w->selectNodeByName("QuoteStd", "Detail", "NoSuchControl"));
    EXPECT_FALSE(w->selectNodeByName("NoSuchReport", "", ""));
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
}

TEST_P(PagePreviewOnStores, DrawsPagesBandsAndTheHighlightOffscreen)
{
    selectControl("QuoteStd", "Detail", "ItemDesc");
    const QImage img = pv->grab().toImage();
    ASSERT_FALSE(img.isNull());
    const QRect page = pv->pageRect(0).toRect().adjusted(2, 2, -2, -2);
    int white = 0, ink = 0, all = 0;
    for (int y = page.top(); y <= page.bottom(); y += 2)
        for (int x = page.left(); x <= page.right(); x += 2) {
            const QColor c = img.pixelColor(x, y);
            ++all;
            if (c == Qt::white)
                ++white;
            else if (c.lightness() < 128)
                ++ink;
        }
    // Mostly paper, with frames and texts on it.
    EXPECT_GT(white, all / 2);
    EXPECT_GT(ink, 50);
    // The selected control carries the highlight: its colour is the main tint inside it.
    const QRect sel = pv->toWidget(0, pv->selectedControl()->frame).toRect().adjusted(3, 3, -3, -3);
    const QColor hl = pv->palette().color(QPalette::Highlight);
    int tinted = 0, n = 0;
    for (int y = sel.top(); y <= sel.bottom(); ++y)
        for (int x = sel.left(); x <= sel.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            ++n;
            if (c != Qt::white && std::abs(c.hue() - hl.hue()) < 30 && c.blue() >= c.red())
                ++tinted;
        }
    EXPECT_GT(tinted, n / 3);
    // Outside the pages the background shows.
    EXPECT_NE(img.pixelColor(1, 1), QColor(Qt::white));
}

TEST_P(PagePreviewOnStores, MarginFiguresFollowTheirRowAndTheOrientation)
{
    select(node("QuoteStd")); // portrait, margins 5, 5, 8, 6
    settle();
    MarginFigure *page = w->reportPage->Image1;
    EXPECT_FALSE(page->landscape());
    EXPECT_GT(page->pageRect().height(), page->pageRect().width());
    const QList<int> before = page->marginPixels();
    typeInto(w->reportPage->EdtRepTopY, "30");
    EXPECT_GT(page->marginPixels()[0], before[0]);
    EXPECT_EQ(page->marginPixels()[3], before[3]);
    w->TblReports->cancel();
    EXPECT_EQ(page->marginPixels(), before);

    select(node("QuoteShort")); // landscape
    EXPECT_TRUE(page->landscape());
    EXPECT_GT(page->pageRect().width(), page->pageRect().height());
    EXPECT_TRUE(page->rect().contains(page->boxRect()));

    select(node("QuoteStd", "Detail"));
    MarginFigure *band = w->bandPage->Image3;
    const QList<int> b = band->marginPixels();
    typeInto(w->bandPage->EdtRbdLeftX, "8");
    EXPECT_GT(band->marginPixels()[1], b[1]);
    // Larger values never push the box out of the page.
    typeInto(w->bandPage->EdtRbdLeftX, "1000");
    EXPECT_GT(band->boxRect().width(), 0);
    EXPECT_TRUE(band->pageRect().contains(band->boxRect()));
}

namespace {

// A stored font spec string that the font editor would complain about.
class PagePreviewBadFontTest : public test::DemoWindowTest {};

} // namespace

TEST_F(PagePreviewBadFontTest, AMalformedStoredFontIsDrawnWithTheFallbackAndNoMessage)
{
    execOnData({"update RepCtrl set RctLabelFnt = '\"Courier New,12,B,0', RctFieldFnt = 'x,y' "
                       "where RepName = 'QuoteStd' and RctName = 'ItemNo'"});
    start();
    chooseCategory(QStringLiteral("Quotes"));
    w->setPreviewShown(true);
    PagePreview *pv = w->Preview->preview();
    select(node("QuoteStd", "Detail", "ItemNo"));
    QApplication::processEvents();
    for (int i = 0; i < 10 && pv->readPending(); ++i)
        QApplication::processEvents();
    ASSERT_NE(pv->selectedControl(), nullptr);
    pv->grab();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    // The fallback of the font spec reader, Arial 10, for both.
    PreviewFonts fonts;
    EXPECT_EQ(fonts.desc(QStringLiteral("x,y")).name, QStringLiteral("Arial"));
    EXPECT_EQ(fonts.desc(QStringLiteral("x,y")).size, 10);
    EXPECT_NEAR(pv->selectedControl()->label.height(), lineHeight(10), 1e-6);
    EXPECT_NEAR(pv->selectedControl()->field.height(), lineHeight(10), 1e-6);
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    // The font editor's reading of the same string does complain.
    FontDesc d;
    fldStrToFont(QStringLiteral("\"Courier New,12,B,0"), &d);
    EXPECT_FALSE(rec.boxes.isEmpty());
}

namespace {

// A report of many pages: 10 bands of 100 controls.
class PagePreviewLongTest : public test::DemoWindowTest {
protected:
    void SetUp() override
    {
        programDir = tmp.path() + "/";
        setProgramDirForTesting(programDir);
        datadir::Options o;
        o.benchReports = 1;
        o.benchBands = 10;
        o.benchControls = 100;
        ASSERT_EQ(datadir::create(programDir + "DATA", o), QString());
        txtFldLst = nullptr;
        txtBtnLst = nullptr;
        txtMsgLst = nullptr;
        fntLabel = fntField = fntClmLabel = fntClmField = nullptr;
        BoxFrameFirstShow = true;
    }
};

} // namespace

TEST_F(PagePreviewLongTest, TheSelectedControlIsScrolledIntoView)
{
    start();
    // Selected while the preview is hidden: shown, it scrolls to the control once its rows are read.
    ASSERT_TRUE(w->selectNodeByName("Bench0001", "Band010", "Fld49:99"));
    w->setPreviewShown(true);
    PagePreview *pv = w->Preview->preview();
    QApplication::processEvents();
    for (int i = 0; i < 10 && pv->readPending(); ++i)
        QApplication::processEvents();
    ASSERT_NE(pv->selectedControl(), nullptr);
    EXPECT_GT(pv->pageLayout().pageCount, 2);
    const QRect shown(-pv->pos(), w->Preview->viewport()->size()); // the visible part, in pv's coordinates
    const QRectF ctrl = pv->toWidget(pv->selectedBand()->page, pv->selectedControl()->frame);
    EXPECT_TRUE(QRectF(shown).contains(ctrl.center())) << ctrl.y() << " not in " << shown.y() << "+" << shown.height();
    // Back to the report: its first page.
    ASSERT_TRUE(w->selectNodeByName("Bench0001", "", ""));
    QApplication::processEvents();
    EXPECT_EQ(pv->pos().y(), 0);
}
