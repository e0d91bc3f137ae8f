#include "editor/detailpages.h"
#include "dbwidgets/dbcheckbox.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dbradiogroup.h"
#include "editor/marginfigure.h"
#include "reportdef/codes.h"
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>

namespace kvt {

namespace {
constexpr int EditHeight = 21;
// Room kept right of and below the last component of a page.
constexpr int PageMargin = 4;
// Height of the part of a page that a window at its minimum size shows.
constexpr int MinPageHeight = 120;
// Gap between the columns of a radio group, so no item's text runs into the next item.
constexpr int RadioColumnGap = 6;

/// Names the four margin or spacing edits, top, left, right, bottom, for screen readers: no label
/// names them, only the figure beside them shows what they are.
void nameSides(std::initializer_list<QWidget *> edits, const char *what)
{
    static const char *const sides[] = {"Top", "Left", "Right", "Bottom"};
    int i = 0;
    for (QWidget *e : edits)
        e->setAccessibleName(QStringLiteral("%1 %2").arg(QLatin1String(sides[i++]), QLatin1String(what)));
}

void readOnlyLook(QLineEdit *e)
{
    e->setReadOnly(true);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    e->setPalette(p);
}
} // namespace

QLabel *addPercentLabel(QWidget *page, QWidget *edit)
{
    auto *l = new QLabel(QStringLiteral("%"), page); // unnamed: captioning leaves it alone
    l->move(edit->x() + edit->width() + 4, edit->y() + 3);
    l->adjustSize();
    return l;
}

DbEdit *addEdit(QWidget *page, const char *name, DataSource *ds, const char *field, int x, int y, int w,
                const char *hint)
{
    auto *e = new DbEdit(page);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, EditHeight);
    e->setDataSource(ds);
    e->setDataField(QString::fromLatin1(field));
    if (hint)
        e->setToolTip(QString::fromLatin1(hint));
    return e;
}

QLabel *addLabel(QWidget *page, const char *name, const QString &caption, int x, int y, QWidget *buddy)
{
    auto *l = new QLabel(caption, page);
    l->setObjectName(QString::fromLatin1(name));
    l->move(x, y);
    l->adjustSize();
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

QScrollArea *addScrollArea(QWidget *page, const char *name)
{
    auto *area = new QScrollArea(page->parentWidget());
    area->setObjectName(QString::fromLatin1(name));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    // Not a stop of its own: moving the focus to a component scrolls it into view.
    area->setFocusPolicy(Qt::NoFocus);
    // The first rows of a page stay in view however small the window is made.
    area->setMinimumHeight(MinPageHeight);
    fitPageToContents(page);
    area->setWidget(page);
    return area;
}

void fitPageToContents(QWidget *page)
{
    const QRect used = page->childrenRect();
    page->setMinimumSize(used.right() + 1 + PageMargin, used.bottom() + 1 + PageMargin);
}

static DbRadioGroup *addRadioGroup(QWidget *page, const char *name, DataSource *ds, const char *field,
                                   const QStringList &items, const QStringList &values, int columns,
                                   const QRect &r)
{
    auto *g = new DbRadioGroup(page);
    g->setObjectName(QString::fromLatin1(name));
    g->setCaption(QString::fromLatin1(name));
    g->setItems(items);
    g->setValues(values);
    g->setColumns(columns);
    g->setGeometry(r);
    // The design sizes are tight for a titled group: rows close together, and a gap between the
    // columns, so that a long text does not run into the next item.
    if (auto *l = qobject_cast<QGridLayout *>(g->layout())) {
        l->setContentsMargins(2, 0, 0, 0);
        l->setVerticalSpacing(0);
        l->setHorizontalSpacing(RadioColumnGap);
    }
    // Small indicators close to their texts, as the design sizes were made for.
    g->setStyleSheet(QStringLiteral("QRadioButton { spacing: 3px; }"
                                    " QRadioButton::indicator { width: 13px; height: 13px; }"));
    for (int i = 0; i < g->count(); ++i)
        g->button(i)->setFixedHeight(17);
    g->setDataSource(ds);
    g->setDataField(QString::fromLatin1(field));
    return g;
}

static DbCheckBox *addCheckBox(QWidget *page, const char *name, DataSource *ds, const char *field, int x, int y,
                               int w)
{
    auto *c = new DbCheckBox(page);
    c->setObjectName(QString::fromLatin1(name));
    c->setText(QString::fromLatin1(name));
    c->setGeometry(x, y, w, 17 + 4);
    c->setValueChecked(QStringLiteral("True"));
    c->setValueUnchecked(QStringLiteral("False"));
    c->setDataSource(ds);
    c->setDataField(QString::fromLatin1(field));
    return c;
}

// ------------------------------------------------------------------ report layout

ReportPage::ReportPage(DataSource *ds, QWidget *parent) : QWidget(parent)
{
    lblRepTitle = addLabel(this, "lblRepTitle", QStringLiteral("RepTitle"), 8, 16, nullptr);
    EdtRepTitle = addEdit(this, "EdtRepTitle", ds, "RepTitle", 8, 32, 297);
    lblRepTitle->setBuddy(EdtRepTitle);
    RgrRepOrient = addRadioGroup(this, "RgrRepOrient", ds, "RepOrient", reportdef::orientationItems(),
                                 reportdef::orientationValues(), 2, QRect(8, 64, 241, 49));
    EdtRepTopY = addEdit(this, "EdtRepTopY", ds, "RepTopY", 8, 128, 64, "Top Margin");
    EdtRepLeftX = addEdit(this, "EdtRepLeftX", ds, "RepLeftX", 8, 176, 64, "Left Margin");
    EdtRepRightX = addEdit(this, "EdtRepRightX", ds, "RepRightX", 8, 232, 64, "Right Margin");
    EdtRepBottomY = addEdit(this, "EdtRepBottomY", ds, "RepBottomY", 8, 288, 64, "Bottom Margin");
    for (QWidget *e : {EdtRepTopY, EdtRepLeftX, EdtRepRightX, EdtRepBottomY})
        addPercentLabel(this, e)->move(e->x() + e->width() + 2, e->y() + 3);
    nameSides({EdtRepTopY, EdtRepLeftX, EdtRepRightX, EdtRepBottomY}, "Margin");
    Image1 = new MarginFigure(MarginFigure::Shape::TallPage, this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(88, 128, 153, 185);
    Image1->setLeadTargets(EdtRepTopY->geometry().center(), EdtRepLeftX->geometry().center(),
                           EdtRepRightX->geometry().center(), EdtRepBottomY->geometry().center());
    Image1->follow(ds, {"RepTopY", "RepLeftX", "RepRightX", "RepBottomY"}, QStringLiteral("RepOrient"),
                   {EdtRepTopY, EdtRepLeftX, EdtRepRightX, EdtRepBottomY});
    setTabOrder(EdtRepTitle, RgrRepOrient);
    setTabOrder(RgrRepOrient, EdtRepTopY);
    setTabOrder(EdtRepTopY, EdtRepLeftX);
    setTabOrder(EdtRepLeftX, EdtRepRightX);
    setTabOrder(EdtRepRightX, EdtRepBottomY);
}

// ------------------------------------------------------------------ print band

BandPage::BandPage(DataSource *ds, QWidget *parent) : QWidget(parent)
{
    Lbl_B = new QLabel(this);
    Lbl_B->setObjectName(QStringLiteral("Lbl_B"));
    Lbl_B->setGeometry(8, 8, 305, 17);
    Lbl_B->setAlignment(Qt::AlignCenter);
    QFont bold = Lbl_B->font();
    bold.setBold(true);
    Lbl_B->setFont(bold);

    EdtRbdName = addEdit(this, "EdtRbdName", ds, "RbdName", 8, 48, 289);
    readOnlyLook(EdtRbdName);
    LblRbdName = addLabel(this, "LblRbdName", QStringLiteral("RbdName"), 8, 32, EdtRbdName);
    EdtRbdBox = addEdit(this, "EdtRbdBox", ds, "RbdBox", 8, 96, 64);
    EdtRbdBox->setReadOnly(true);
    EdtRbdBox->setCursor(Qt::PointingHandCursor);
    LblRbdBox = addLabel(this, "LblRbdBox", QStringLiteral("RbdBox"), 8, 80, EdtRbdBox);
    EdtRbdTopY = addEdit(this, "EdtRbdTopY", ds, "RbdTopY", 8, 136, 64, "Top Margin");
    EdtRbdLeftX = addEdit(this, "EdtRbdLeftX", ds, "RbdLeftX", 8, 160, 64, "Left Margin");
    EdtRbdRightX = addEdit(this, "EdtRbdRightX", ds, "RbdRightX", 8, 184, 64, "Right Margin");
    EdtRbdBottomY = addEdit(this, "EdtRbdBottomY", ds, "RbdBottomY", 8, 208, 64, "Bottom Margin");
    for (QWidget *e : {EdtRbdTopY, EdtRbdLeftX, EdtRbdRightX, EdtRbdBottomY})
        addPercentLabel(this, e)->move(e->x() + e->width() + 2, e->y() + 3);
    nameSides({EdtRbdTopY, EdtRbdLeftX, EdtRbdRightX, EdtRbdBottomY}, "Margin");
    Image3 = new MarginFigure(MarginFigure::Shape::WideBox, this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(96, 136, 153, 86);
    Image3->setLeadTargets(EdtRbdTopY->geometry().center(), EdtRbdLeftX->geometry().center(),
                           EdtRbdRightX->geometry().center(), EdtRbdBottomY->geometry().center());
    Image3->follow(ds, {"RbdTopY", "RbdLeftX", "RbdRightX", "RbdBottomY"}, QString(),
                   {EdtRbdTopY, EdtRbdLeftX, EdtRbdRightX, EdtRbdBottomY});
    setTabOrder(EdtRbdName, EdtRbdBox);
    setTabOrder(EdtRbdBox, EdtRbdTopY);
    setTabOrder(EdtRbdTopY, EdtRbdLeftX);
    setTabOrder(EdtRbdLeftX, EdtRbdRightX);
    setTabOrder(EdtRbdRightX, EdtRbdBottomY);
}

// ------------------------------------------------------------------ field / label / image

ControlPage::ControlPage(DataSource *ds, QWidget *parent) : QWidget(parent)
{
    Ed1 = new QLineEdit(this);
    Ed1->setObjectName(QStringLiteral("Ed1"));
    Ed1->setGeometry(8, 24, 193, EditHeight);
    readOnlyLook(Ed1);
    LblRctName = addLabel(this, "LblRctName", QStringLiteral("RctName"), 8, 8, nullptr);
    DBCheckBox1 = addCheckBox(this, "DBCheckBox1", ds, "RctInclude", 208, 24, 97);

    EdtRctWidth = addEdit(this, "EdtRctWidth", ds, "RctWidth", 8, 72, 57);
    LblRctWidth = addLabel(this, "LblRctWidth", QStringLiteral("RctWidth"), 8, 56, EdtRctWidth);
    addPercentLabel(this, EdtRctWidth);

    RdgRctType = addRadioGroup(this, "RdgRctType", ds, "RctType", reportdef::controlTypeItems(),
                               reportdef::controlTypeValues(), 3, QRect(88, 48, 229, 60));
    RdgRctType->setToolTip(QStringLiteral("Normal Field"));

    EdtRctLabel = addEdit(this, "EdtRctLabel", ds, "RctLabel", 8, 128, 225);
    LblRctLabel = addLabel(this, "LblRctLabel", QStringLiteral("RctLabel"), 8, 112, EdtRctLabel);
    EdtRctLabelWidth = addEdit(this, "EdtRctLabelWidth", ds, "RctLabelWidth", 240, 128, 57);
    LblRctLabelWidth = addLabel(this, "LblRctLabelWidth", QStringLiteral("RctLabelWidth"), 240, 112, EdtRctLabelWidth);
    addPercentLabel(this, EdtRctLabelWidth);

    EdtRctLabelFnt = addEdit(this, "EdtRctLabelFnt", ds, "RctLabelFnt", 8, 168, 137);
    EdtRctLabelFnt->setReadOnly(true);
    EdtRctLabelFnt->setCursor(Qt::PointingHandCursor);
    Label4 = addLabel(this, "Label4", QStringLiteral("RctLabelFnt"), 8, 152, EdtRctLabelFnt);
    EdtRctFieldFnt = addEdit(this, "EdtRctFieldFnt", ds, "RctFieldFnt", 168, 168, 137);
    EdtRctFieldFnt->setReadOnly(true);
    EdtRctFieldFnt->setCursor(Qt::PointingHandCursor);
    LblRctFieldFnt = addLabel(this, "LblRctFieldFnt", QStringLiteral("RctFieldFnt"), 168, 152, EdtRctFieldFnt);

    EdtRctBox = addEdit(this, "EdtRctBox", ds, "RctBox", 8, 208, 64);
    EdtRctBox->setReadOnly(true);
    EdtRctBox->setCursor(Qt::PointingHandCursor);
    Label8 = addLabel(this, "Label8", QStringLiteral("RctBox"), 8, 192, EdtRctBox);

    RdgRctAlignHorPage = addRadioGroup(this, "RdgRctAlignHorPage", ds, "RctAlignHorPage",
                                       reportdef::alignmentItems(), reportdef::alignmentValues(), 2,
                                       QRect(144, 200, 169, 57));
    chkRctNewLine = addCheckBox(this, "chkRctNewLine", ds, "RctNewLine", 8, 240, 105);
    chkRctNewLine->setToolTip(QStringLiteral("Force to use the next new line"));

    EdtRctSpTop = addEdit(this, "EdtRctSpTop", ds, "RctSpTop", 8, 264, 64, "Top Margin");
    EdtRctSpLeft = addEdit(this, "EdtRctSpLeft", ds, "RctSpLeft", 8, 288, 64, "Left Margin");
    EdtRctSpRight = addEdit(this, "EdtRctSpRight", ds, "RctSpRight", 8, 312, 64, "Right Margin");
    EdtRctSpBottom = addEdit(this, "EdtRctSpBottom", ds, "RctSpBottom", 8, 336, 64, "Bottom Margin");
    for (QWidget *e : {EdtRctSpTop, EdtRctSpLeft, EdtRctSpRight, EdtRctSpBottom})
        addPercentLabel(this, e)->move(e->x() + e->width() + 2, e->y() + 3);
    nameSides({EdtRctSpTop, EdtRctSpLeft, EdtRctSpRight, EdtRctSpBottom}, "Spacing");
    Image2 = new MarginFigure(MarginFigure::Shape::WideBox, this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(96, 264, 153, 86);
    Image2->setLeadTargets(EdtRctSpTop->geometry().center(), EdtRctSpLeft->geometry().center(),
                           EdtRctSpRight->geometry().center(), EdtRctSpBottom->geometry().center());
    Image2->follow(ds, {"RctSpTop", "RctSpLeft", "RctSpRight", "RctSpBottom"}, QString(),
                   {EdtRctSpTop, EdtRctSpLeft, EdtRctSpRight, EdtRctSpBottom});

    QWidget *order[] = {Ed1, DBCheckBox1, EdtRctWidth, RdgRctType, EdtRctLabel, EdtRctLabelWidth, EdtRctLabelFnt,
                        EdtRctFieldFnt, EdtRctBox, RdgRctAlignHorPage, chkRctNewLine, EdtRctSpTop, EdtRctSpLeft,
                        EdtRctSpRight, EdtRctSpBottom};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

} // namespace kvt
