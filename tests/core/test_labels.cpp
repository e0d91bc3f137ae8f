#include "app/datamodule.h"
#include "common/genericaccess.h"
#include "labels/lookups.h"
#include "labels/textcache.h"
#include "support/msgrecorder.h"
#include "support/teststore.h"
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <cstring>

using namespace kvt;

namespace {

/// A data module on a fresh store, set as DM1, with every message box recorded.
class LabelsTest : public ::testing::Test {
protected:
    void useStore(const QStringList &statements, const QString &sub = QStringLiteral("data"))
    {
        ASSERT_TRUE(tmp.isValid());
        TearDown();
        dir = tmp.path() + QLatin1Char('/') + sub;
        test::createStore(dir, statements);
        dm = std::make_unique<TDM1>();
        dm->Database1.setParam(QStringLiteral("PATH"), dir);
        DM1 = dm.get();
    }
    void TearDown() override
    {
        DM1 = nullptr;
        dm.reset();
    }
    template <class Cache>
    QStringList names(const Cache &c)
    {
        QStringList out;
        for (int i = 0; i < c.count(); ++i)
            out << c.name(i);
        return out;
    }
    /// Column of every TextMsg row as "name=value", read through the shared table.
    QStringList msgColumn(const char *column)
    {
        QStringList out;
        Table &t = openGenericTable(QStringLiteral("TextMsg.DB"));
        for (t.first(); !t.eof(); t.next())
            out << t.fieldByName("TxmName")->asString() + "=" + t.fieldByName(column)->asString();
        t.close();
        out.sort();
        return out;
    }

    QTemporaryDir tmp;
    QString dir;
    std::unique_ptr<TDM1> dm;
    test::MessageRecorder rec;
};

TEST_F(LabelsTest, LoadsSortedRowsWithBlankValues)
{
    useStore({"insert into TextField values ('b','B label','B',5,1)",
              "insert into TextField values ('RepTitle','Title','Ttl',40,1)",
              "insert into TextField values ('A','A label','',NULL,NULL)",
              "insert into TextField values ('reptitle','other','o',1,0)",
              "insert into TextBtn values ('btnOk','OK','Press','desc',73)",
              "insert into TextMsg values ('fntLabel','Arial,9,,0','d')"});
    TxtFldLstClass fld;
    TxtBtnLstClass btn;
    TxtMsgLstClass msg;
    EXPECT_TRUE(rec.boxes.isEmpty());
    EXPECT_FALSE(DM1->TblGeneric->isOpen());

    ASSERT_EQ(fld.count(), 4);
    EXPECT_EQ(names(fld).mid(0, 2), QStringList({"A", "b"}));
    EXPECT_EQ(names(fld).mid(2).size(), 2); // RepTitle and reptitle, either order
    const TextFieldClass *a = fld.search("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->TxfClmWidth, 0);
    EXPECT_FALSE(a->TxfIncYes);
    const TextFieldClass *t = fld.search("REPTITLE");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->TxfName.toLower(), "reptitle");

    ASSERT_EQ(btn.count(), 1);
    EXPECT_EQ(btn.row(0)->TxbHint, "Press");
    ASSERT_EQ(msg.count(), 1);
    EXPECT_EQ(msg.row(0)->TxmText, "Arial,9,,0");
}

TEST_F(LabelsTest, EmptyTablesGiveEmptyCachesWithoutReport)
{
    useStore({});
    TxtFldLstClass fld;
    TxtBtnLstClass btn;
    TxtMsgLstClass msg;
    EXPECT_EQ(fld.count() + btn.count() + msg.count(), 0);
    EXPECT_TRUE(rec.boxes.isEmpty());
}

TEST_F(LabelsTest, BusySharedTableLeavesEveryCacheEmpty)
{
    useStore({"insert into TextField values ('RepTitle','Title','Ttl',40,1)"});
    openGenericTable(QStringLiteral("RepCat.DB"));
    TxtFldLstClass fld;
    TxtBtnLstClass btn;
    TxtMsgLstClass msg;
    EXPECT_EQ(rec.texts(), QStringList({"LabelsUnt(42): Table TblGeneric is used with 'RepCat.DB'.",
                                        "LabelsUnt(260): Table TblGeneric is used with 'RepCat.DB'.",
                                        "LabelsUnt(373): Table TblGeneric is used with 'RepCat.DB'."}));
    EXPECT_EQ(rec.boxes.value(0).caption, "Error Message");
    EXPECT_TRUE(DM1->TblGeneric->isOpen());
    EXPECT_EQ(DM1->TblGeneric->tableName(), "RepCat.DB");
    EXPECT_EQ(fld.count() + btn.count() + msg.count(), 0);
    QString label;
    EXPECT_EQ(labelGet(&fld, "lblRepTitle", "RepTitle", label), 1);
    EXPECT_EQ(label, "#E:lblRepTitle");
}

struct LoadFailure {
    QStringList setup; // statements run after the store is built
    int which;         // 0 field, 1 button, 2 message cache
    const char *prefix;
    const char *suffix;
};

TEST_F(LabelsTest, LoadFailuresAreReportedAndSwallowed)
{
    // A dropped table fails to open; a table lacking a column the loader reads fails while reading.
    const LoadFailure cases[] = {
        {{"drop table TextField"}, 0, "LabelsUnt(53): ", ": Failed to open table 'TextField.DB'."},
        {{"drop table TextBtn"}, 1, "LabelsUnt(271): ", ": Failed to open table 'TextBtn.DB'."},
        {{"drop table TextMsg"}, 2, "LabelsUnt(384): ", ": Failed to open table 'TextMsg.DB'."},
        {{"drop table TextField", "create table TextField (TxfName VARCHAR(64) PRIMARY KEY)",
          "insert into TextField values ('x')"},
         0, "LabelsUnt(72): ", ": Failed to access table 'TextField.DB'."},
        {{"drop table TextBtn", "create table TextBtn (TxbName VARCHAR(64) PRIMARY KEY)",
          "insert into TextBtn values ('x')"},
         1, "LabelsUnt(288): ", ": Failed to access table 'TextBtn.DB'."},
        {{"drop table TextMsg", "create table TextMsg (TxmName VARCHAR(64) PRIMARY KEY)",
          "insert into TextMsg values ('x')"},
         2, "LabelsUnt(400): ", ": Failed to access table 'TextMsg.DB'."},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.prefix);
        useStore(c.setup, QStringLiteral("case%1").arg(n++));
        rec.clear();
        int count = -1;
        if (c.which == 0)
            count = TxtFldLstClass().count();
        else if (c.which == 1)
            count = TxtBtnLstClass().count();
        else
            count = TxtMsgLstClass().count();
        EXPECT_EQ(count, 0);
        ASSERT_EQ(rec.boxes.size(), 1);
        const QString text = rec.boxes[0].text;
        EXPECT_TRUE(text.startsWith(c.prefix)) << text.toStdString();
        EXPECT_TRUE(text.endsWith(c.suffix)) << text.toStdString();
        EXPECT_GT(text.size(), qsizetype(strlen(c.prefix) + strlen(c.suffix))); // the engine's message
        EXPECT_FALSE(DM1->TblGeneric->isOpen());
    }
}

TEST_F(LabelsTest, QuicksortOrdersManyNamesAndSearchFindsEach)
{
    QStringList statements;
    QStringList keys;
    for (int i = 0; i < 300; ++i) {
        const QString k = (i % 3 ? QStringLiteral("Key%1") : QStringLiteral("kEY%1")).arg((i * 7919) % 1000);
        keys << k;
        statements << QStringLiteral("insert into TextMsg values ('%1','v%2','')").arg(k).arg(i);
    }
    useStore(statements);
    TxtMsgLstClass msg;
    ASSERT_EQ(msg.count(), 300);
    for (int i = 1; i < msg.count(); ++i)
        ASSERT_LE(textCompare(msg.name(i - 1), msg.name(i)), 0) << i;
    for (const QString &k : keys) {
        const TextMsgClass *r = msg.search(k.toUpper());
        ASSERT_NE(r, nullptr) << k.toStdString();
        EXPECT_EQ(r->TxmName, k);
    }
    EXPECT_EQ(msg.search("Key"), nullptr);
    EXPECT_EQ(msg.find("zzz"), -1);
}

struct LookupCase {
    const char *what;
    std::function<int(QString &, QString &)> call;
    int result;
    const char *out1;
    const char *out2; // second output (starts as "keep")
};

TEST_F(LabelsTest, LookupsFoundAndMissing)
{
    useStore({"insert into TextField values ('RepTitle','Title','Ttl',40,1)",
              "insert into TextField values ('Hidden','Hid','H',10,0)",
              "insert into TextBtn values ('btnOk','OK','Press it','',40)",
              "insert into TextMsg values ('fntLabel','Arial,9,,0','')"});
    txtFldLst = new TxtFldLstClass;
    txtBtnLst = new TxtBtnLstClass;
    txtMsgLst = new TxtMsgLstClass;
    const TxtFldLstClass *f = txtFldLst;
    const TxtBtnLstClass *b = txtBtnLst;
    const TxtMsgLstClass *m = txtMsgLst;
    const LookupCase cases[] = {
        {"labelGet found", [&](QString &o, QString &) { return labelGet(f, "lblRepTitle", "reptitle", o); }, 1,
         "Title", "keep"},
        {"labelGet excluded", [&](QString &o, QString &) { return labelGet(f, "lblHidden", "Hidden", o); }, 0,
         "Hid", "keep"},
        {"labelGet missing", [&](QString &o, QString &) { return labelGet(f, "lblRepTitle", "RepX", o); }, 1,
         "#E:lblRepTitle", "keep"},
        {"labelsIncGet found", [&](QString &o, QString &p) { return labelsIncGet(f, "RepTitle", o, p); }, 1,
         "Title", "Ttl"},
        {"labelsIncGet excluded", [&](QString &o, QString &p) { return labelsIncGet(f, "Hidden", o, p); }, 0, "Hid",
         "H"},
        {"labelsIncGet missing", [&](QString &o, QString &p) { return labelsIncGet(f, "RepX", o, p); }, 1,
         "#E:RepX", "#E:RepX"},
        {"labelTextGet excluded", [&](QString &o, QString &) { return labelTextGet(f, "Hidden", o); }, 1, "Hid",
         "keep"},
        {"labelTextGet missing", [&](QString &o, QString &) { return labelTextGet(f, "RepX", o); }, 0, "#E:RepX",
         "keep"},
        {"shortLabelGet found", [&](QString &o, QString &) { return shortLabelGet(f, "EdtRepTitle", "RepTitle", o); },
         1, "Ttl", "keep"},
        {"shortLabelGet excluded", [&](QString &o, QString &) { return shortLabelGet(f, "c", "Hidden", o); }, 0, "H",
         "keep"},
        {"shortLabelGet missing", [&](QString &o, QString &) { return shortLabelGet(f, "EdtX", "X", o); }, 1,
         "#E:EdtX", "keep"},
        {"ctrlInfoGet found", [&](QString &o, QString &p) { return ctrlInfoGet(b, "btnOk", "BTNOK", o, p); }, 1, "OK",
         "Press it"},
        {"ctrlInfoGet missing keeps hint",
         [&](QString &o, QString &p) { return ctrlInfoGet(b, "btnNo", "btnNo", o, p); }, 0, "#E:btnNo", "keep"},
        {"btnLabelGet found", [&](QString &o, QString &) { return btnLabelGet(b, "btnOk", o); }, 1, "OK", "keep"},
        {"btnLabelGet missing", [&](QString &o, QString &) { return btnLabelGet(b, "btnNo", o); }, 0, "btnNo",
         "keep"},
        {"btnHintGet found", [&](QString &o, QString &) { return btnHintGet(b, "btnOk", o); }, 1, "Press it", "keep"},
        {"btnHintGet missing", [&](QString &o, QString &) { return btnHintGet(b, "btnNo", o); }, 0, "btnNo", "keep"},
        {"textGet found", [&](QString &o, QString &) { return textGet(m, "FNTLABEL", o); }, 1, "Arial,9,,0", "keep"},
        {"textGet missing", [&](QString &o, QString &) { return textGet(m, "fntNone", o); }, 0, "#E:fntNone", "keep"},
        {"null cache misses", [&](QString &o, QString &) { return textGet(nullptr, "fntLabel", o); }, 0,
         "#E:fntLabel", "keep"},
    };
    for (const auto &c : cases) {
        QString out1 = "old";
        QString out2 = "keep";
        EXPECT_EQ(c.call(out1, out2), c.result) << c.what;
        EXPECT_EQ(out1, c.out1) << c.what;
        EXPECT_EQ(out2, c.out2) << c.what;
    }
    EXPECT_TRUE(rec.boxes.isEmpty());
    EXPECT_FALSE(DM1->TblGeneric->isOpen());
    delete txtFldLst;
    delete txtBtnLst;
    delete txtMsgLst;
    txtFldLst = nullptr;
    txtBtnLst = nullptr;
    txtMsgLst = nullptr;
}

TEST_F(LabelsTest, LabelAddKeepsBothRowsAndIncSetChangesTheCacheOnly)
{
    useStore({"insert into TextField values ('RepTitle','Title','Ttl',40,1)",
              "insert into TextField values ('Zeta','Z','Z',1,1)"});
    TxtFldLstClass fld;
    labelAdd(&fld, "reptitle", "Second", "S", 7, false);
    labelAdd(&fld, "Alpha", "A", "A", 3, true);
    EXPECT_EQ(names(fld).filter("reptitle", Qt::CaseInsensitive).size(), 2);
    EXPECT_EQ(names(fld).first(), "Alpha");
    EXPECT_EQ(names(fld).last(), "Zeta");
    QString label;
    EXPECT_EQ(labelGet(&fld, "x", "Alpha", label), 1);
    EXPECT_EQ(label, "A");

    labelsIncSet(&fld, "ZETA", false);
    EXPECT_EQ(labelGet(&fld, "x", "Zeta", label), 0);
    labelsIncSet(&fld, "Nothing", false); // a miss changes nothing
    EXPECT_EQ(fld.count(), 4);
    EXPECT_EQ(TxtFldLstClass().search("Zeta")->TxfIncYes, true); // table untouched
}

TEST_F(LabelsTest, TextSetUpdatesOrCreatesInCacheAndTable)
{
    useStore({"insert into TextMsg values ('fntLabel','Arial,9,,0','d')"});
    TxtMsgLstClass msg;
    QString text;

    // A key that differs from the stored name only in case updates the stored row.
    EXPECT_EQ(textSet(&msg, "FntLabel", "Arial,10,B,0", false), 1);
    EXPECT_EQ(textSet(&msg, "NewKey", "fresh", true), 1);
    EXPECT_TRUE(rec.boxes.isEmpty());
    EXPECT_EQ(textGet(&msg, "newkey", text), 1);
    EXPECT_EQ(text, "fresh");
    EXPECT_EQ(msgColumn("TxmText"), QStringList({"NewKey=fresh", "fntLabel=Arial,10,B,0"}));
    EXPECT_EQ(msgColumn("TxmDesc"), QStringList({"NewKey=NewKey+", "fntLabel=d"}));
    EXPECT_FALSE(DM1->TblGeneric->isOpen());
}

TEST_F(LabelsTest, TextSetFailurePaths)
{
    useStore({"insert into TextMsg values ('fntLabel','Arial,9,,0','d')",
              "insert into TextMsg values ('Gone','g','')"});
    TxtMsgLstClass msg;
    QString text;

    // Neither in the cache nor to be created: nothing written.
    EXPECT_EQ(textSet(&msg, "Nope", "v", false), 0);
    EXPECT_EQ(rec.texts(), QStringList({"LabelsUnt(459): textSet(Nope,v) failed."}));
    EXPECT_EQ(textGet(&msg, "Nope", text), 0);

    // Shared table busy: the cache keeps the change, the table does not get it.
    rec.clear();
    openGenericTable(QStringLiteral("RepCat.DB"));
    EXPECT_EQ(textSet(&msg, "fntLabel", "busy", false), 0);
    EXPECT_EQ(rec.texts(), QStringList({"LabelsUnt(465): Table Control is being used."}));
    EXPECT_EQ(textGet(&msg, "fntLabel", text), 1);
    EXPECT_EQ(text, "busy");
    EXPECT_EQ(DM1->TblGeneric->tableName(), "RepCat.DB");
    DM1->TblGeneric->close();
    EXPECT_EQ(msgColumn("TxmText"), QStringList({"Gone=g", "fntLabel=Arial,9,,0"}));

    // In the cache but no longer in the table, without create.
    rec.clear();
    test::execOnStore(dir, {"delete from TextMsg where TxmName = 'Gone'"});
    EXPECT_EQ(textSet(&msg, "Gone", "back", false), 0);
    EXPECT_EQ(rec.texts(), QStringList({"LabelsUnt(487): Failed to update table TextMsg."}));
    EXPECT_EQ(textGet(&msg, "Gone", text), 1);
    EXPECT_EQ(text, "back");
    EXPECT_FALSE(DM1->TblGeneric->isOpen());

    // The table cannot be reached.
    rec.clear();
    test::execOnStore(dir, {"drop table TextMsg"});
    EXPECT_EQ(textSet(&msg, "fntLabel", "lost", true), 0);
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_TRUE(rec.boxes[0].text.startsWith("LabelsUnt(496): "));
    EXPECT_TRUE(rec.boxes[0].text.endsWith(": Failed to access table TextMsg."));
    EXPECT_FALSE(DM1->TblGeneric->isOpen());
    EXPECT_EQ(textGet(&msg, "fntLabel", text), 1);
    EXPECT_EQ(text, "lost");
}

} // namespace
