#include "app/datamodule.h"
#include "common/genericaccess.h"
#include "dbwidgets/currencyedit.h"
#include "dbwidgets/dbcheckbox.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dbgrid.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbradiogroup.h"
#include "dbwidgets/dbtext.h"
#include "labels/gui/formsetup.h"
#include "labels/gui/tabsheet.h"
#include "labels/lookups.h"
#include "support/demowindow.h"
#include "support/msgrecorder.h"
#include "support/teststore.h"
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable failure output for texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

using namespace kvt;

namespace {

/// A push button under a class name of its own: no rule applies to it.
class OwnButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
};

template <class T>
T *make(QObject *parent, const char *name)
{
    T *o = nullptr;
    if constexpr (std::is_base_of_v<QWidget, T>)
        o = new T(qobject_cast<QWidget *>(parent));
    else
        o = new T(parent);
    o->setObjectName(QLatin1String(name));
    return o;
}

void resetCaptioning()
{
    delete txtFldLst;
    delete txtBtnLst;
    delete txtMsgLst;
    txtFldLst = nullptr;
    txtBtnLst = nullptr;
    txtMsgLst = nullptr;
    for (FontDesc **f : {&fntLabel, &fntField, &fntClmLabel, &fntClmField}) {
        delete *f;
        *f = nullptr;
    }
}

// Captioning on either kind of store.
class FormSetupTest : public ::testing::TestWithParam<test::StoreKind> {
protected:
    void SetUp() override
    {
        QString why;
        if (GetParam() == test::StoreKind::Server && test::testServer(&why).isEmpty())
            GTEST_SKIP() << qPrintable(why);
    }
    void useStore(const QStringList &statements)
    {
        resetCaptioning(); // other tests may have captioned windows from stores of their own
        ASSERT_TRUE(tmp.isValid());
        dir = tmp.path() + QStringLiteral("/data");
        store = std::make_unique<test::TestStore>(GetParam(), dir);
        store->create(statements);
        dm = std::make_unique<TDM1>();
        dm->Database1.setParam(QStringLiteral("PATH"), dir);
        DM1 = dm.get();
    }
    void TearDown() override
    {
        resetCaptioning();
        DM1 = nullptr;
        dm.reset();
    }
    /// TextBtn rows as "name|desc|label|hint|category", sorted.
    QStringList buttonRows()
    {
        QStringList out;
        Table &t = openGenericTable(QStringLiteral("TextBtn.DB"));
        for (t.first(); !t.eof(); t.next()) {
            QStringList cols;
            for (const char *c : {"TxbName", "TxbDesc", "TxbLabel", "TxbHint"})
                cols << t.fieldByName(c)->asString();
            cols << QString::number(t.fieldByName("TxCatNo")->asFloat());
            out << cols.join('|');
        }
        t.close();
        out.sort();
        return out;
    }

    QTemporaryDir tmp;
    QString dir;
    std::unique_ptr<test::TestStore> store;
    std::unique_ptr<TDM1> dm;
    test::MessageRecorder rec;
};
KVT_ON_BOTH_STORES(FormSetupTest);

const QStringList textRows = {
    "insert into TextField values ('RctLabelFnt','Label font','',0,1)",
    "insert into TextField values ('RepTitle','Report title','Title',80,1)",
    "insert into TextField values ('Hidden','Hid','',0,0)",
    "insert into TextField values ('RepOrient','Orientation','',0,1)",
    "insert into TextField values ('RctInclude','Include','',0,1)",
    "insert into TextField values ('Amount','Amount','',0,0)",
    "insert into TextField values ('_BoxFrameTop','Top','',0,1)",
    "insert into TextField values ('Options','Options','',0,1)",
    "insert into TextField values ('_Reports','Reports page','',0,1)",
    "insert into TextField values ('_Off','Off page','',0,0)",
    "insert into TextBtn values ('btnOk','OK','Confirm','',73)",
    "insert into TextBtn values ('sbnFound','Found','Find it','',73)",
    "insert into TextBtn values ('PmFound','Found item','Item tip','',73)",
    "insert into TextMsg values ('fntLabel','Arial,9,B,255','')",
    "insert into TextMsg values ('fntField','Courier New,10,,0','')",
    "insert into TextMsg values ('fntClmLabel','Times,11,I,0','')",
};

/// A window holding one component of every rule's class, plus some that no rule covers.
QWidget *buildMainWindow()
{
    auto *w = new QWidget;
    w->setObjectName("RepMainForm");
    w->setWindowTitle("Design title");
    auto *edt = make<QLineEdit>(w, "EdtRctLabelFnt");
    make<QLabel>(w, "Label4")->setBuddy(edt);
    for (const char *n : {"Lbl_B", "lb1", "lblRepTitle", "lblNoRow", "lblHidden"})
        make<QLabel>(w, n)->setText(QStringLiteral("design ") + n);
    make<QLineEdit>(w, "edX");
    make<DbEdit>(w, "edtRepTitle")->setDataField("RepTitle");
    make<DbEdit>(w, "edtHidden")->setDataField("Hidden");
    make<DbText>(w, "txtRepTitle")->setDataField("RepTitle");
    make<DbMemo>(w, "mmoHidden")->setDataField("Hidden");
    make<DbComboBox>(w, "cmbNoRow")->setDataField("NoSuch");
    make<DbRadioGroup>(w, "rgrOrient")->setDataField("RepOrient");
    make<DbCheckBox>(w, "chkInclude")->setDataField("RctInclude");
    make<DbDateEdit>(w, "dteDate")->setDataField("NoDate");
    make<CurrencyEdit>(w, "cedAmount");
    make<QPlainTextEdit>(w, "mmoNotes");
    make<QCheckBox>(w, "chk_BoxFrameTop");
    make<QCheckBox>(w, "chk")->setText("design chk");
    make<QGroupBox>(w, "grpOptions");
    auto *pages = make<QTabWidget>(w, "pgcMain");
    for (const char *n : {"tsh_Reports", "tsh_Missing", "tsh_Off"})
        pages->addTab(make<TabSheet>(nullptr, n), QStringLiteral("design ") + n);
    make<DbLookupComboBox>(w, "cmbRepCat")->setListField("RepCatName");
    make<DbLookupComboBox>(w, "cmbHidden")->setListField("Hidden");
    make<QPushButton>(w, "btnOk")->setText("design ok");
    make<QPushButton>(w, "btnRepEdtMenu")->setText("Don't stop");
    make<QPushButton>(w, "btX")->setText("design btX");
    make<QToolButton>(w, "sbnFound")->setText("design found");
    auto *quiet = make<QToolButton>(w, "sbnExpand");
    quiet->setText("Exp");
    quiet->setToolTip("Expand");
    quiet->setProperty(showHintProperty(), false);
    auto *hinted = make<QToolButton>(w, "sbnHinted");
    hinted->setText("Hin");
    hinted->setToolTip("Hint");
    auto *menu = make<QMenu>(w, "PmRepEdt");
    make<QAction>(menu, "PmFound")->setText("design item");
    make<QAction>(menu, "PmRepEdtExpand")->setText("Expand All");
    make<QAction>(menu, "Pm1")->setText("design Pm1");
    make<QFrame>(w, "pnlTop");
    make<OwnButton>(w, "btnSubclass")->setText("design sub");
    (new QPushButton("design unnamed", w))->setObjectName(QString());
    return w;
}

QString captionOf(QObject *o)
{
    if (auto *s = qobject_cast<TabSheet *>(o))
        return s->caption();
    if (auto *b = qobject_cast<QAbstractButton *>(o))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(o))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(o))
        return g->title();
    if (auto *a = qobject_cast<QAction *>(o))
        return a->text();
    return QString();
}

bool shown(QObject *o)
{
    if (auto *s = qobject_cast<TabSheet *>(o))
        return s->tabVisible();
    if (auto *w = qobject_cast<QWidget *>(o))
        return !w->isHidden();
    return qobject_cast<QAction *>(o)->isVisible();
}

/// 'L' label font, 'F' field font, '-' no font set, '?' not checked.
char fontOf(QObject *o)
{
    auto *w = qobject_cast<QWidget *>(o);
    if (!w || !w->testAttribute(Qt::WA_SetFont))
        return '-';
    if (w->font().family() == "Arial")
        return 'L';
    return w->font().family() == "Courier New" ? 'F' : '?';
}

struct Expect {
    const char *name;
    const char *caption; // null: not checked
    bool shown;
    char font;
};

TEST_P(FormSetupTest, CaptionsEveryRuleClass)
{
    useStore(textRows);
    std::unique_ptr<QWidget> w(buildMainWindow());
    FormSetup(w.get());

    const Expect cases[] = {
        {"Label4", "Label font", true, 'L'},
        {"Lbl_B", "design Lbl_B", true, 'L'},
        {"lb1", "design lb1", true, 'L'},
        {"lblRepTitle", "Report title", true, 'L'},
        {"lblNoRow", "#E:lblNoRow", true, 'L'},
        {"lblHidden", "design lblHidden", false, 'L'},
        {"EdtRctLabelFnt", nullptr, true, 'F'},
        {"edX", nullptr, true, 'F'},
        {"edtRepTitle", nullptr, true, 'F'},
        {"edtHidden", nullptr, false, '-'},
        {"txtRepTitle", nullptr, true, 'L'},
        {"mmoHidden", nullptr, false, '-'},
        {"cmbNoRow", nullptr, true, 'F'},
        {"rgrOrient", "Orientation", true, 'L'},
        {"chkInclude", "Include", true, 'L'},
        {"dteDate", nullptr, true, 'F'},
        {"cedAmount", nullptr, false, '-'},
        {"mmoNotes", nullptr, true, 'F'},
        {"chk_BoxFrameTop", "Top", true, 'L'},
        {"chk", "design chk", true, '-'},
        {"grpOptions", "Options", true, 'L'},
        {"pgcMain", nullptr, true, 'L'},
        {"tsh_Reports", "Reports page", true, '?'},
        {"tsh_Missing", "#E:tsh_Missing", true, '?'},
        {"tsh_Off", "design tsh_Off", false, '?'},
        {"cmbRepCat", nullptr, true, 'F'},
        {"cmbHidden", nullptr, false, '-'},
        {"btnOk", "OK", true, 'L'},
        {"btnRepEdtMenu", "Don't stop", true, 'L'},
        {"btX", "design btX", true, 'L'},
        {"sbnFound", "design found", true, '-'},
        {"PmFound", "Found item", true, '-'},
        {"PmRepEdtExpand", "Expand All", true, '-'},
        {"Pm1", "design Pm1", true, '-'},
        {"pnlTop", nullptr, true, '-'},
        {"btnSubclass", "design sub", true, '-'},
    };
    for (const Expect &c : cases) {
        QObject *o = w->findChild<QObject *>(c.name);
        ASSERT_NE(o, nullptr) << c.name;
        if (c.caption) {
            EXPECT_EQ(captionOf(o), c.caption) << c.name;
        }
        EXPECT_EQ(shown(o), c.shown) << c.name;
        if (c.font != '?') {
            EXPECT_EQ(fontOf(o), c.font) << c.name;
        }
    }

    auto *ok = w->findChild<QPushButton *>("btnOk");
    EXPECT_EQ(ok->toolTip(), "Confirm");
    EXPECT_TRUE(ok->font().bold());
    EXPECT_EQ(ok->font().pointSize(), 9);
    EXPECT_EQ(ok->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(w->findChild<QToolButton *>("sbnFound")->toolTip(), "Find it");
    EXPECT_EQ(w->findChild<QAction *>("PmFound")->statusTip(), "Item tip");
    EXPECT_EQ(w->findChild<QPushButton *>("btnSubclass")->metaObject()->className(), QByteArray("OwnButton"));
    for (QPushButton *b : w->findChildren<QPushButton *>())
        if (b->objectName().isEmpty()) {
            EXPECT_EQ(b->text(), "design unnamed");
            EXPECT_FALSE(b->testAttribute(Qt::WA_SetFont));
        }
    EXPECT_EQ(w->windowTitle(), "Design title");
    EXPECT_TRUE(rec.boxes.isEmpty()) << rec.texts().join('\n').toStdString();
}

TEST_P(FormSetupTest, RegistersMissingButtonsAndMenuItems)
{
    useStore(textRows);
    std::unique_ptr<QWidget> main(buildMainWindow());
    FormSetup(main.get());
    const QStringList mainRows = {
        "PmFound||Found item|Item tip|73",
        "PmRepEdtExpand|Menu expand all|Expand All||73",
        "btnOk||OK|Confirm|73",
        "btnRepEdtMenu|Text button don't stop|Don't stop||73",
        "sbnExpand|Picture button exp|Exp||73",
        "sbnFound||Found|Find it|73",
        "sbnHinted|Picture button hin|Hin|Hint|73",
    };
    EXPECT_EQ(buttonRows(), mainRows);
    EXPECT_TRUE(rec.boxes.isEmpty());

    // A second window: the cache does not know the rows just written, so the shared name is registered
    // again and refused by the table; other windows fall to category 40.
    QWidget box;
    box.setObjectName("BoxFrameDialog");
    make<QPushButton>(&box, "btnRepEdtMenu")->setText("Again");
    make<QAction>(&box, "PmBoxOnly")->setText("Box Only");
    FormSetup(&box);
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_TRUE(rec.texts()[0].startsWith("LabelsUnt(596): BoxFrameDialog.btnRepEdtMenu: EngineError: "))
        << rec.texts()[0].toStdString();
    QStringList all = mainRows;
    all << "PmBoxOnly|Menu box only|Box Only||40";
    all.sort();
    EXPECT_EQ(buttonRows(), all);

    // Called on its own, a menu item's owner is the window above its menu.
    rec.clear();
    auto *lone = make<QAction>(main->findChild<QMenu *>("PmRepEdt"), "PmLonely");
    lone->setText("Lonely");
    lone->setStatusTip("tip");
    EXPECT_EQ(CompSetup(lone), 0);
    EXPECT_TRUE(buttonRows().contains("PmLonely|Menu lonely|Lonely|tip|73"));
}

TEST_P(FormSetupTest, RefusedRowsAreReportedPerRule)
{
    useStore({});
    QWidget w;
    w.setObjectName("CustFrm");
    make<QPushButton>(&w, "btnTaken");
    make<QToolButton>(&w, "sbnTaken");
    make<QAction>(&w, "PmTaken");
    FormSetup(nullptr); // the caches are read before the rows appear
    store->exec({"insert into TextBtn (TxbName) values ('btnTaken')",
                 "insert into TextBtn (TxbName) values ('sbnTaken')",
                 "insert into TextBtn (TxbName) values ('PmTaken')"});
    FormSetup(&w);
    const QStringList texts = rec.texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_TRUE(texts[0].startsWith("LabelsUnt(596): CustFrm.btnTaken: EngineError: "));
    EXPECT_TRUE(texts[1].startsWith("LabelsUnt(616): CustFrm.sbnTaken: EngineError: "));
    EXPECT_TRUE(texts[2].startsWith("LabelsUnt(640): CustFrm.PmTaken: EngineError: "));
}

TEST_P(FormSetupTest, FontsFromTextMsgWithFallback)
{
    useStore({"insert into TextMsg values ('fntLabel','Arial,9,BI,-2147483640','')",
              "insert into TextMsg values ('FNTCLMFIELD','Courier New,12,U,255','')"});
    FormSetup(nullptr);
    ASSERT_NE(txtFldLst, nullptr);
    ASSERT_NE(txtBtnLst, nullptr);
    ASSERT_NE(txtMsgLst, nullptr);
    const std::pair<FontDesc *, FontDesc> cases[] = {
        {fntLabel, {"Arial", 9, true, true, false, false, clWindowText}},
        {fntField, {"MS Sans Serif", 8, false, false, false, false, 0}},
        {fntClmLabel, {"MS Sans Serif", 8, false, false, false, false, 0}},
        {fntClmField, {"Courier New", 12, false, false, true, false, 255}},
    };
    for (const auto &[font, expected] : cases) {
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(*font, expected) << expected.name.toStdString();
    }
    // Set once: a later call keeps the fonts it made.
    FontDesc *before = fntLabel;
    fntLabel->size = 30;
    fontsSetup();
    EXPECT_EQ(fntLabel, before);
    EXPECT_EQ(fntLabel->size, 30);
}

TEST(FormCatNo, ByWindowNameIgnoringCase)
{
    const std::pair<const char *, const char *> cases[] = {
        {"CustFrm", "47"},     {"filterfrm", "63"}, {"ITEMFRM", "45"},   {"LabelsFrm", "66"},
        {"OrderFrm", "37"},    {"PartsFrm", "43"},  {"QtEditFrm", "69"}, {"VndFrm", "49"},
        {"PurchaseFrm", "58"}, {"repMainForm", "73"}, {"BoxFrameDialog", "40"}, {"", "40"},
    };
    for (const auto &[name, number] : cases)
        EXPECT_EQ(formCatNoGet(name), number) << name;
}

TEST_P(FormSetupTest, GridColumnsFromFieldLabels)
{
    // The table is made as the data-directory tool makes an imported one on either store.
    QStringList table = {"create table GridT (Name VARCHAR(20) PRIMARY KEY, Notes MEMO, Pic GRAPHIC, Qty AUTOINC, "
                        "Price CURRENCY)"};
    if (GetParam() == test::StoreKind::Server)
        table = serverstore::createStatements(table);
    useStore(table + QStringList{
              "insert into GridT values ('a','n',NULL,1,2.5)",
              "insert into TextField values ('Name','Name','Nm',50,1)",
              "insert into TextField values ('Notes','Notes','No',40,1)",
              "insert into TextField values ('Qty','Quantity','Qty',30,1)",
              "insert into TextField values ('Price','Price','Pr',20,0)",
              "insert into TextField values ('Ghost','Ghost','Gh',20,1)",
              "insert into TextMsg values ('fntClmLabel','Times,11,I,0','')"});
    QWidget w;
    w.setObjectName("RepMainForm");
    auto *tbl = make<Table>(&w, "TblGrid");
    tbl->setDatabaseName("MyDatabase");
    tbl->setSessionName("MySession");
    tbl->setTableName("GridT.DB");
    auto *src = make<DataSource>(&w, "DsGrid");
    src->setDataSet(tbl);
    auto *grid = make<DbGrid>(&w, "grdCtrls");
    grid->setDataSource(src);
    std::vector<DbGridColumn> cols;
    for (const char *f : {"Name", "Notes", "Pic", "Qty", "Price", "Ghost"}) {
        DbGridColumn c;
        c.fieldName = f;
        c.title.caption = QStringLiteral("design ") + f;
        cols.push_back(c);
    }
    grid->setColumns(cols);
    tbl->open();

    FormSetup(&w);
    const std::tuple<const char *, const char *, int> expected[] = {
        {"Name", "Nm", 50}, {"Notes", "design Notes", 0}, {"Pic", "design Pic", 0},
        {"Qty", "Qty", 30}, {"Price", "design Price", 0}, {"Ghost", "design Ghost", 0},
    };
    ASSERT_EQ(grid->columns().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const auto &[field, caption, width] = expected[i];
        const DbGridColumn &c = grid->columns()[i];
        EXPECT_EQ(c.title.caption, caption) << field;
        EXPECT_EQ(c.width, width) << field;
        EXPECT_EQ(grid->isColumnHidden(int(i)), width == 0) << field;
    }
    EXPECT_EQ(grid->columns()[0].title.font.family(), "Times");
    EXPECT_TRUE(grid->columns()[0].title.font.italic());
    EXPECT_EQ(grid->columns()[0].font.family(), "MS Sans Serif");
    EXPECT_TRUE(rec.boxes.isEmpty());
}

} // namespace

#include "test_formsetup.moc"
