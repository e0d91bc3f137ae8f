// Data-aware widgets against real data sets in a temporary store.
#include "dbwidgets/currencyedit.h"
#include "dbwidgets/dbcheckbox.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dbgrid.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbnavigator.h"
#include "dbwidgets/dbradiogroup.h"
#include "dbwidgets/dbtext.h"
#include "engine/session.h"
#include "reportdef/schema.h"
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace kvt;

namespace {

const char *const storeRows[] = {
    "insert into RepCat values ('Cat1')",
    "insert into RepCat values ('Cat2')",
    "insert into Reports (RepName, RepTitle, RepLeftX, RepCatName, RepOrient) values ('R1', 'Title one', 1.5, 'Cat1', 'L')",
    "insert into Reports (RepName, RepTitle, RepLeftX, RepCatName, RepOrient) values ('R2', 'Title two', 2, 'Cat1', 'P')",
    "insert into Reports (RepName, RepTitle, RepLeftX, RepCatName, RepOrient) values ('R3', 'Third', 3, 'Cat2', 'X')",
    "insert into RepCtrl (RepName, RctGroup, RctName, RctType, RctInclude) values ('R1', 'G', 'C1', 2, 1)",
};

// A store with the report tables, two categories and three reports; one table per test opens on it.
class DbWidgetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dbw_setup"));
            db.setDatabaseName(dir.filePath(QLatin1String(Database::StoreFileName)));
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            for (const auto &t : reportdef::allTables())
                for (const QString &sql : t.createStatements)
                    ASSERT_TRUE(q.exec(sql)) << qPrintable(q.lastError().text());
            for (const char *sql : storeRows)
                ASSERT_TRUE(q.exec(QLatin1String(sql))) << sql << qPrintable(q.lastError().text());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("dbw_setup"));
        database.setSessionName(QStringLiteral("DbwSession"));
        database.setParam(QStringLiteral("PATH"), dir.path());
        setDbErrorHandler([this](const std::exception &e) { errors << QString::fromUtf8(e.what()); });
    }
    void TearDown() override { setDbErrorHandler({}); }

    std::unique_ptr<Table> openTable(const QString &name, DataSource &src)
    {
        auto t = std::make_unique<Table>();
        t->setDatabaseName(QStringLiteral("DbwDatabase"));
        t->setSessionName(QStringLiteral("DbwSession"));
        t->setTableName(name);
        t->open();
        src.setDataSet(t.get());
        return t;
    }

    // What the store holds, read past the engine.
    QString stored(const QString &sql)
    {
        QString value;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dbw_check"));
            db.setDatabaseName(dir.filePath(QLatin1String(Database::StoreFileName)));
            db.open();
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("dbw_check"));
        return value;
    }

    QTemporaryDir dir;
    Session session{QStringLiteral("DbwSession")};
    Database database{QStringLiteral("DbwDatabase")};
    QStringList errors;
};

void sendKey(QWidget &w, int key, const QString &text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(&w, &release);
}

// Replaces the edit's text the way a user does: select all, then type.
void typeInto(QWidget &w, const QString &text)
{
    sendKey(w, Qt::Key_A, QString(), Qt::ControlModifier);
    for (QChar c : text)
        sendKey(w, c.isLetter() ? Qt::Key(Qt::Key_A + (c.toUpper().unicode() - 'A')) : Qt::Key_unknown, QString(c));
}

void clickOn(QWidget &w)
{
    const QPointF pos(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, pos, w.mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, pos, w.mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
}

TEST_F(DbWidgetsTest, EditShowsTheFieldAndFollowsMoves)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    DbEdit title, left;
    title.setDataSource(&src);
    title.setDataField(QStringLiteral("RepTitle"));
    left.setDataField(QStringLiteral("RepLeftX"));
    left.setDataSource(&src);
    DbText text;
    text.setDataSource(&src);
    text.setDataField(QStringLiteral("RepName"));

    EXPECT_EQ(title.text(), QStringLiteral("Title one"));
    EXPECT_GE(title.maxLength(), 64) << "a text as long as the column fits";
    EXPECT_EQ(left.text(), QStringLiteral("1.5"));
    EXPECT_EQ(text.text(), QStringLiteral("R1"));
    reports->next();
    EXPECT_EQ(title.text(), QStringLiteral("Title two"));
    EXPECT_EQ(left.text(), QStringLiteral("2"));
    EXPECT_EQ(text.text(), QStringLiteral("R2"));
    reports->close();
    EXPECT_EQ(title.text(), QString());
}

// A control behind another tab need not follow every move, but shows the current record when shown.
TEST_F(DbWidgetsTest, EditOnAHiddenPageCatchesUpWhenShown)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    QTabWidget tabs;
    auto *front = new DbEdit;
    auto *behind = new DbEdit;
    tabs.addTab(front, QStringLiteral("front"));
    tabs.addTab(behind, QStringLiteral("behind"));
    for (DbEdit *e : {front, behind}) {
        e->setDataField(QStringLiteral("RepTitle"));
        e->setDataSource(&src);
    }
    tabs.show();
    reports->next();
    EXPECT_EQ(front->text(), QStringLiteral("Title two"));
    tabs.setCurrentIndex(1);
    EXPECT_EQ(behind->text(), QStringLiteral("Title two"));
    reports->next();
    EXPECT_EQ(behind->text(), QStringLiteral("Third"));
    tabs.setCurrentIndex(0);
    EXPECT_EQ(front->text(), QStringLiteral("Third"));
}

// However the record is settled, the typed text reaches the store.
TEST_F(DbWidgetsTest, TypedTextIsWrittenByEveryWayOfSettling)
{
    const struct {
        const char *how;
        std::function<void(DbEdit &, DataSet &)> settle;
    } cases[] = {
        {"post", [](DbEdit &, DataSet &ds) { ds.post(); }},
        {"move", [](DbEdit &, DataSet &ds) { ds.next(); }},
        {"focus out then post", [](DbEdit &e, DataSet &ds) {
             QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
             QApplication::sendEvent(&e, &out);
             EXPECT_FALSE(e.isModified());
             ds.post();
         }},
        {"enter then post", [](DbEdit &e, DataSet &ds) {
             sendKey(e, Qt::Key_Return);
             EXPECT_FALSE(e.isModified());
             ds.post();
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        DataSource src;
        auto reports = openTable(QStringLiteral("Reports.DB"), src);
        DbEdit edit;
        edit.setDataSource(&src);
        edit.setDataField(QStringLiteral("RepTitle"));
        int changes = 0;
        reports->setFieldChangeHandler(QStringLiteral("RepTitle"), [&](Field &) { ++changes; });

        typeInto(edit, QStringLiteral("New"));
        EXPECT_EQ(edit.text(), QStringLiteral("New"));
        EXPECT_EQ(reports->state(), DataSetState::Edit);
        c.settle(edit, *reports);
        EXPECT_EQ(reports->state(), DataSetState::Browse);
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(stored(QStringLiteral("select RepTitle from Reports where RepName = 'R1'")), QStringLiteral("New"));

        // Put the row back for the next case.
        reports->first();
        reports->edit();
        reports->fieldByName(QStringLiteral("RepTitle"))->setAsString(QStringLiteral("Title one"));
        reports->post();
    }
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DbWidgetsTest, EscapeBringsBackTheFieldValue)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    DbEdit edit;
    edit.setDataSource(&src);
    edit.setDataField(QStringLiteral("RepTitle"));
    typeInto(edit, QStringLiteral("Oops"));
    sendKey(edit, Qt::Key_Escape);
    EXPECT_EQ(edit.text(), QStringLiteral("Title one"));
    reports->post();
    EXPECT_EQ(stored(QStringLiteral("select RepTitle from Reports where RepName = 'R1'")), QStringLiteral("Title one"));
}

TEST_F(DbWidgetsTest, BadNumberStaysForCorrectionAndThePostFails)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    DbEdit edit;
    edit.setDataSource(&src);
    edit.setDataField(QStringLiteral("RepLeftX"));

    typeInto(edit, QStringLiteral("abc"));
    sendKey(edit, Qt::Key_Return);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QLatin1String("abc")) && errors[0].contains(QLatin1String("RepLeftX")));
    EXPECT_EQ(edit.text(), QStringLiteral("abc"));
    EXPECT_EQ(reports->state(), DataSetState::Edit);

    EXPECT_THROW(reports->post(), EngineError);
    EXPECT_THROW(reports->next(), EngineError);
    EXPECT_EQ(reports->state(), DataSetState::Edit);
    EXPECT_EQ(edit.text(), QStringLiteral("abc"));
    EXPECT_EQ(errors.size(), 1) << "a failed post is the caller's to report";

    // Corrected, the same row posts.
    typeInto(edit, QStringLiteral("7"));
    reports->post();
    EXPECT_EQ(stored(QStringLiteral("select RepLeftX from Reports where RepName = 'R1'")), QStringLiteral("7"));
}

TEST_F(DbWidgetsTest, EditReportsClicksUnlessDisabled)
{
    const struct {
        bool readOnly, enabled;
        int clicks;
    } cases[] = {{false, true, 1}, {true, true, 1}, {false, false, 0}};
    for (const auto &c : cases) {
        DbEdit edit;
        edit.setReadOnly(c.readOnly);
        edit.setEnabled(c.enabled);
        int clicks = 0;
        QObject::connect(&edit, &DbEdit::clicked, [&] { ++clicks; });
        clickOn(edit);
        EXPECT_EQ(clicks, c.clicks) << "readOnly " << c.readOnly << " enabled " << c.enabled;
    }
}

TEST_F(DbWidgetsTest, CheckBoxComparesTextAndWritesAtOnce)
{
    DataSource src;
    auto ctrl = openTable(QStringLiteral("RepCtrl.DB"), src);
    DbCheckBox include;
    include.setDataSource(&src);
    include.setDataField(QStringLiteral("RctInclude"));
    EXPECT_TRUE(include.isChecked());

    QStringList written;
    ctrl->setFieldChangeHandler(QStringLiteral("RctInclude"), [&](Field &f) { written << f.asString(); });
    include.click();
    EXPECT_EQ(written, QStringList{QStringLiteral("False")}) << "the change event runs during the click";
    EXPECT_EQ(ctrl->state(), DataSetState::Edit);
    EXPECT_FALSE(include.isChecked());
    include.click();
    EXPECT_EQ(written.last(), QStringLiteral("True"));
    EXPECT_TRUE(include.isChecked());

    // On a text field with other values: a match in any case checks, anything else shows unchecked.
    DbCheckBox label;
    label.setValueChecked(QStringLiteral("Yes"));
    label.setValueUnchecked(QStringLiteral("No"));
    label.setDataSource(&src);
    label.setDataField(QStringLiteral("RctLabel"));
    const struct {
        const char *text;
        bool checked;
    } cases[] = {{"yes", true}, {"YES", true}, {"No", false}, {"maybe", false}, {"", false}};
    for (const auto &c : cases) {
        label.setChecked(!c.checked);
        ctrl->fieldByName(QStringLiteral("RctLabel"))->setAsString(QLatin1String(c.text));
        EXPECT_EQ(label.isChecked(), c.checked) << c.text;
    }
    label.setReadOnly(true);
    label.click();
    EXPECT_TRUE(ctrl->fieldByName(QStringLiteral("RctLabel"))->asString().isEmpty()) << "read-only writes nothing";
}

TEST_F(DbWidgetsTest, RadioGroupShowsNoneForUnknownValuesAndWritesAtOnce)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    DbRadioGroup orient;
    orient.setCaption(QStringLiteral("Orientation"));
    orient.setColumns(2);
    orient.setItems({QStringLiteral("Landscape"), QStringLiteral("Portrait")});
    orient.setValues({QStringLiteral("L"), QStringLiteral("P")});
    orient.setDataSource(&src);
    orient.setDataField(QStringLiteral("RepOrient"));

    const struct {
        int record;
        int index;
    } shown[] = {{0, 0}, {1, 1}, {2, -1}};
    for (const auto &s : shown) {
        reports->first();
        for (int i = 0; i < s.record; ++i)
            reports->next();
        EXPECT_EQ(orient.itemIndex(), s.index) << "record " << s.record;
        EXPECT_EQ(orient.button(0)->isChecked() + orient.button(1)->isChecked(), s.index < 0 ? 0 : 1);
    }

    int changes = 0;
    reports->setFieldChangeHandler(QStringLiteral("RepOrient"), [&](Field &) { ++changes; });
    orient.button(1)->click();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(reports->fieldByName(QStringLiteral("RepOrient"))->asString(), QStringLiteral("P"));
    EXPECT_EQ(reports->state(), DataSetState::Edit);
    orient.button(1)->click();
    EXPECT_EQ(orient.itemIndex(), 1) << "clicking the checked button keeps it checked";
    EXPECT_EQ(changes, 1);

    orient.setReadOnly(true);
    orient.button(0)->click();
    EXPECT_EQ(orient.itemIndex(), 1);
    EXPECT_EQ(changes, 1);
}

TEST_F(DbWidgetsTest, LookupMovesTheListAndClicksAlsoForTheSameItem)
{
    DataSource catSrc, repSrc;
    auto cats = openTable(QStringLiteral("RepCat.DB"), catSrc);
    Table reports;
    reports.setDatabaseName(QStringLiteral("DbwDatabase"));
    reports.setSessionName(QStringLiteral("DbwSession"));
    reports.setTableName(QStringLiteral("Reports.DB"));
    reports.setIndexFieldNames(QStringLiteral("RepCatName"));
    reports.setMasterSource(&catSrc);
    reports.setMasterFields(QStringLiteral("RepCatName"));
    reports.open();

    DbLookupComboBox combo;
    combo.setListSource(&catSrc);
    combo.setKeyField(QStringLiteral("RepCatName"));
    combo.setListField(QStringLiteral("RepCatName"));
    int clicks = 0;
    QObject::connect(&combo, &DbLookupComboBox::clicked, [&] {
        ++clicks;
        EXPECT_EQ(cats->fieldByName(QStringLiteral("RepCatName"))->asString(), combo.keyValue())
            << "the list has moved before the click";
    });
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.itemText(1), QStringLiteral("Cat2"));
    EXPECT_EQ(combo.currentIndex(), -1);

    emit combo.activated(1);
    EXPECT_EQ(combo.keyValue(), QStringLiteral("Cat2"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("Cat2"));
    EXPECT_EQ(reports.recordCount(), 1);
    EXPECT_EQ(reports.fieldByName(QStringLiteral("RepName"))->asString(), QStringLiteral("R3"));
    emit combo.activated(1);
    EXPECT_EQ(clicks, 2);

    combo.setKeyValue(QStringLiteral("Cat1"));
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(reports.recordCount(), 2);
    EXPECT_EQ(clicks, 2) << "setting the key is no click";

    // A new category appears once the list data set is read again; the position is kept.
    Query q;
    q.setDatabaseName(QStringLiteral("DbwDatabase"));
    q.setSessionName(QStringLiteral("DbwSession"));
    q.addSql(QStringLiteral("insert into RepCat values ('Cat3')"));
    q.execSql();
    cats->refresh();
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(cats->fieldByName(QStringLiteral("RepCatName"))->asString(), QStringLiteral("Cat1"));
    EXPECT_EQ(combo.listField(), QStringLiteral("RepCatName"));
    cats->close();
    EXPECT_EQ(combo.count(), 0);
    cats->open();
    EXPECT_EQ(combo.count(), 3);
}

TEST_F(DbWidgetsTest, MemoAndComboBoxWriteThroughTheField)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    DbMemo memo;
    memo.setDataSource(&src);
    memo.setDataField(QStringLiteral("RepTitle"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("Title one"));
    sendKey(memo, Qt::Key_End, QString(), Qt::ControlModifier);
    sendKey(memo, Qt::Key_X, QStringLiteral("x"));
    EXPECT_EQ(reports->state(), DataSetState::Edit);
    reports->post();
    EXPECT_EQ(stored(QStringLiteral("select RepTitle from Reports where RepName = 'R1'")), QStringLiteral("Title onex"));

    DbComboBox combo;
    combo.addItems({QStringLiteral("L"), QStringLiteral("P")});
    combo.setDataSource(&src);
    combo.setDataField(QStringLiteral("RepOrient"));
    EXPECT_EQ(combo.currentText(), QStringLiteral("L"));
    emit combo.activated(1);
    EXPECT_EQ(reports->fieldByName(QStringLiteral("RepOrient"))->asString(), QStringLiteral("P"))
        << "a chosen item is written at once";
}

using NB = DbNavigator::Button;

QList<NB> enabledButtons(const DbNavigator &nav)
{
    QList<NB> on;
    for (int i = 0; i < DbNavigator::ButtonCount; ++i)
        if (nav.button(NB(i))->isEnabled())
            on << NB(i);
    return on;
}

TEST_F(DbWidgetsTest, NavigatorEnablesButtonsByState)
{
    DataSource repSrc, catSrc;
    auto reports = openTable(QStringLiteral("Reports.DB"), repSrc);
    auto cats = openTable(QStringLiteral("RepCat.DB"), catSrc);
    DbNavigator nav;
    EXPECT_TRUE(enabledButtons(nav).isEmpty());
    nav.setDataSource(&repSrc);

    const struct {
        const char *situation;
        std::function<void()> act;
        QList<NB> enabled;
    } cases[] = {
        {"first record", [] {}, {NB::Next, NB::Last, NB::Insert, NB::Edit, NB::Refresh}},
        {"middle record", [&] { nav.clickButton(NB::Next); },
         {NB::First, NB::Prior, NB::Next, NB::Last, NB::Insert, NB::Edit, NB::Refresh}},
        {"last record", [&] { nav.clickButton(NB::Last); }, {NB::First, NB::Prior, NB::Insert, NB::Edit, NB::Refresh}},
        {"editing", [&] { nav.clickButton(NB::Edit); }, {NB::Post, NB::Cancel}},
        {"cancelled", [&] { nav.clickButton(NB::Cancel); }, {NB::First, NB::Prior, NB::Insert, NB::Edit, NB::Refresh}},
        {"empty", [&] {
             reports->setFilter(QStringLiteral("RepName = 'none'"));
             reports->setFiltered(true);
         },
         {NB::Insert, NB::Refresh}},
        {"closed", [&] { reports->close(); }, {}},
        {"other source", [&] { nav.setDataSource(&catSrc); }, {NB::Next, NB::Last, NB::Insert, NB::Edit, NB::Refresh}},
        {"other source editing", [&] { cats->edit(); }, {NB::Post, NB::Cancel}},
    };
    for (const auto &c : cases) {
        c.act();
        EXPECT_EQ(enabledButtons(nav), c.enabled) << c.situation;
    }
}

TEST_F(DbWidgetsTest, NavigatorReportsAFailedPostAndStaysInEdit)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    reports->beforePost = [](DataSet &) { throw EngineError(QStringLiteral("refused")); };
    DbNavigator nav;
    nav.setDataSource(&src);
    QList<NB> clicked;
    QObject::connect(&nav, &DbNavigator::clicked, [&](NB b) { clicked << b; });

    nav.clickButton(NB::Edit);
    reports->fieldByName(QStringLiteral("RepTitle"))->setAsString(QStringLiteral("Changed"));
    nav.button(NB::Post)->click();
    EXPECT_EQ(errors, QStringList{QStringLiteral("refused")});
    EXPECT_EQ(reports->state(), DataSetState::Edit);
    EXPECT_EQ(enabledButtons(nav), (QList<NB>{NB::Post, NB::Cancel}));
    EXPECT_EQ(clicked, (QList<NB>{NB::Edit, NB::Post}));
}

TEST_F(DbWidgetsTest, NavigatorButtonsHintsAndGlyphs)
{
    DbNavigator nav;
    nav.setVisibleButtons({NB::Edit, NB::Post, NB::Cancel, NB::Refresh});
    EXPECT_EQ(nav.visibleButtons(), (QList<NB>{NB::Edit, NB::Post, NB::Cancel, NB::Refresh}));
    EXPECT_EQ(nav.button(NB::Post)->objectName(), QStringLiteral("nbPost"));

    EXPECT_TRUE(nav.button(NB::Edit)->toolTip().isEmpty()) << "hints are off by default";
    nav.setHints({QStringLiteral("First"), QStringLiteral("Previous"), QStringLiteral("Next"), QStringLiteral("Last"),
                  QStringLiteral("Insert"), QStringLiteral("Delete"), QStringLiteral("Edit"),
                  QStringLiteral("Post Changes"), QStringLiteral("Cancel"), QStringLiteral("Refresh Data")});
    nav.setShowHints(true);
    EXPECT_EQ(nav.button(NB::Post)->toolTip(), QStringLiteral("Post Changes (Ctrl+S)")) << "with its key";
    EXPECT_EQ(nav.button(NB::First)->toolTip(), QStringLiteral("First")) << "a button without a key";
    nav.setHints({QStringLiteral("Only the first")});
    EXPECT_EQ(nav.button(NB::Refresh)->toolTip(), QStringLiteral("Refresh data (F5)")) << "missing hints stay standard";

    // Every glyph is drawn for high-density screens and no two look alike.
    QList<QImage> images;
    for (int i = 0; i < DbNavigator::ButtonCount; ++i) {
        const QPixmap pm = nav.button(NB(i))->icon().pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(pm.size(), QSize(32, 32)) << i;
        const QImage img = pm.toImage();
        EXPECT_FALSE(images.contains(img)) << i;
        images << img;
    }
}

TEST_F(DbWidgetsTest, GridShowsRecordsAndHidesZeroWidthColumns)
{
    DataSource src;
    auto reports = openTable(QStringLiteral("Reports.DB"), src);
    DbGrid grid;
    grid.setDataSource(&src);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.columnCount(), reports->fieldCount()) << "without columns every field is shown";

    DbGridColumn name, title;
    name.fieldName = QStringLiteral("RepName");
    title.fieldName = QStringLiteral("RepTitle");
    grid.setColumns({name, title});
    grid.columns()[0].width = 0;
    grid.columns()[1].width = 80;
    grid.columns()[1].title.caption = QStringLiteral("Title");
    grid.applyColumns();
    EXPECT_TRUE(grid.isColumnHidden(0));
    EXPECT_FALSE(grid.isColumnHidden(1));
    EXPECT_EQ(grid.columnWidth(1), 80);
    EXPECT_EQ(grid.horizontalHeaderItem(1)->text(), QStringLiteral("Title"));
    EXPECT_EQ(grid.columnField(1)->fieldName(), QStringLiteral("RepTitle"));

    reports->next();
    EXPECT_EQ(grid.item(1, 1)->text(), QStringLiteral("Title two"));
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(reports->recNo(), 1) << "filling the grid keeps the record";
}

TEST(CurrencyEditTest, KeepsANumberWithFixedDecimals)
{
    CurrencyEdit edit;
    edit.setValue(12.5);
    EXPECT_EQ(edit.text(), QStringLiteral("12.50"));
    edit.setDecimals(0);
    EXPECT_EQ(edit.text(), QStringLiteral("13"));
    EXPECT_DOUBLE_EQ(edit.value(), 13.0);
}

} // namespace
