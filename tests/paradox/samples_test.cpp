// The reader against tables written by the legacy engine (the sample folder's README lists them).
#include "paradox/paradox.h"
#include "samples.h"
#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace kvt::paradox;

namespace {



QString samplePath(const char *rel) { return QDir(samples()).filePath(QString::fromLatin1(rel)); }

struct SampleTable {
    const char *file;
    int version;
    int codePage;
    bool encrypted;
    int records;
    int keyFields;
    std::vector<std::tuple<const char *, int, int>> fields; // name, type, length
};

const std::vector<SampleTable> &sampleTables()
{
    static const std::vector<SampleTable> t = {
        {"mtdemo/STORE.DB", 30, 0, false, 4, 1,
         {{"Store #", Alpha, 2}, {"Store Name", Alpha, 30}, {"Store City", Alpha, 20}, {"Store State", Alpha, 2}}},
        {"encrypt/encrypted35.db", 35, 0, true, 2, 0, {{"A", Number, 8}, {"B", Alpha, 30}}},
        {"encrypt/encrypted.db", 50, 850, true, 4, 0, {{"Id", AutoInc, 4}, {"Text", Alpha, 30}}},
        {"encrypt/encryptedmemo.db", 40, 1252, true, 2, 0, {{"TEXT", Memo, 250}}},
        {"db/AREACODE.DB", 40, 437, false, 135, 1,
         {{"Area Code", Alpha, 3}, {"Country", Alpha, 30}, {"Full State", Alpha, 21}, {"State", Alpha, 2}}},
        {"db/AREACODES.DB", 70, 1252, false, 370, 1, {{"AC", Alpha, 5}, {"State", Alpha, 3}, {"Cities", Alpha, 157}}},
        {"db/CUSTOMER.DB", 70, 1252, false, 20, 1,
         {{"CustNo", AutoInc, 4}, {"FirstName", Alpha, 51}, {"LastName", Alpha, 50}, {"EMail", Alpha, 100},
          {"Street", Alpha, 30}, {"City", Alpha, 15}, {"State/Prov", Alpha, 20}, {"Zip/Postal Code", Alpha, 10},
          {"Comments", Memo, 110}, {"DateEntered", Date, 4}}},
        {"db/GENERAL.DB", 50, 936, false, 3, 1, {{"ID", Long, 4}, {"NAME", Alpha, 25}, {"MONEYS", Currency, 8}}},
        {"fields/memo.db", 50, 850, false, 2, 1, {{"Id", AutoInc, 4}, {"MEMO", Memo, 250}}},
        {"fields/fmemo.db", 50, 850, false, 2, 1, {{"Id", AutoInc, 4}, {"FMEMO", FormattedMemo, 10}}},
        {"fields/logical.db", 50, 1252, false, 4, 0, {{"BOOL", Logical, 1}}},
        {"fields/long.db", 50, 850, false, 3, 1, {{"Id", AutoInc, 4}, {"LONG", Long, 4}}},
        {"fields/bcd.db", 50, 850, false, 3, 0, {{"A", Bcd, 2}, {"B", Bcd, 0}, {"C", Bcd, 32}}},
        {"fields/time.db", 50, 1252, false, 3, 0, {{"Time", Time, 4}}},
        {"fields/timestamp.db", 50, 850, false, 2, 0, {{"Timestamp", Timestamp, 8}}},
        {"fields/bytes.db", 50, 850, false, 1, 0, {{"BYTES", Bytes, 255}}},
    };
    return t;
}

class SampleHeader : public testing::TestWithParam<SampleTable> {};

} // namespace

TEST_P(SampleHeader, OpensWithTheListedStructure)
{
    const SampleTable &s = GetParam();
    Reader r(samplePath(s.file));
    const TableDef &def = r.definition();
    EXPECT_EQ(def.fileVersion, s.version);
    EXPECT_EQ(def.codePage, s.codePage);
    EXPECT_EQ(def.encrypted, s.encrypted);
    EXPECT_EQ(def.primaryKeyFields, s.keyFields);
    EXPECT_EQ(r.recordCount(), s.records);
    ASSERT_EQ(def.fields.size(), s.fields.size());
    for (size_t i = 0; i < def.fields.size(); ++i) {
        EXPECT_EQ(def.fields[i].name, QString::fromLatin1(std::get<0>(s.fields[i])));
        EXPECT_EQ(def.fields[i].type, std::get<1>(s.fields[i]));
        EXPECT_EQ(def.fields[i].length, std::get<2>(s.fields[i]));
    }
    for (int i = 0; i < r.recordCount(); ++i)
        EXPECT_EQ(r.record(i).size(), s.fields.size());
}

TEST_P(SampleHeader, ReadFromMemoryAsFromTheFile)
{
    const SampleTable &s = GetParam();
    Reader inMemory(samplePath(s.file));
    ReadOptions fromFile;
    fromFile.inMemoryLimit = 0;
    Reader onDisk(samplePath(s.file), fromFile);
    ASSERT_EQ(inMemory.recordCount(), onDisk.recordCount());
    for (int i = 0; i < onDisk.recordCount(); ++i)
        EXPECT_EQ(inMemory.record(i), onDisk.record(i)) << "record " << i;
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleHeader, testing::ValuesIn(sampleTables()),
                         [](const testing::TestParamInfo<SampleTable> &info) {
                             QString n = QString::fromLatin1(info.param.file);
                             n.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('.'), QLatin1Char('_'));
                             return n.toStdString();
                         });

namespace {
struct Expected {
    const char *file;
    int row; // 1-based
    int field;
    QVariant value; // null: empty field
};

// Values as the sample README lists them (text, numbers, flags); long texts are checked below.
std::vector<Expected> expectedValues()
{
    const QVariant null;
    auto s = [](const char *t) { return QVariant(QString::fromUtf8(t)); };
    auto i = [](qint64 n) { return QVariant(n); };
    auto d = [](double x) { return QVariant(x); };
    return {
        {"mtdemo/STORE.DB", 1, 0, s("A")}, {"mtdemo/STORE.DB", 1, 1, s("Video Village")},
        {"mtdemo/STORE.DB", 1, 2, s("San Mateo")}, {"mtdemo/STORE.DB", 1, 3, s("CA")},
        {"mtdemo/STORE.DB", 2, 0, s("B")}, {"mtdemo/STORE.DB", 2, 1, s("Video Outtakes")},
        {"mtdemo/STORE.DB", 2, 2, s("Reno")}, {"mtdemo/STORE.DB", 2, 3, s("NV")},
        {"mtdemo/STORE.DB", 4, 0, s("D")}, {"mtdemo/STORE.DB", 4, 1, s("Video West")},
        {"mtdemo/STORE.DB", 4, 2, s("Los Angeles")}, {"mtdemo/STORE.DB", 4, 3, s("CA")},
        {"encrypt/encrypted35.db", 1, 0, d(1)}, {"encrypt/encrypted35.db", 1, 1, s("Test 1")},
        {"encrypt/encrypted35.db", 2, 0, d(2)}, {"encrypt/encrypted35.db", 2, 1, s("Test2")},
        {"encrypt/encrypted.db", 1, 0, i(1)}, {"encrypt/encrypted.db", 1, 1, s("Value 1")},
        {"encrypt/encrypted.db", 2, 0, i(2)}, {"encrypt/encrypted.db", 2, 1, s("Value 2")},
        {"encrypt/encrypted.db", 4, 0, i(4)}, {"encrypt/encrypted.db", 4, 1, s("Last one")},
        {"db/AREACODE.DB", 1, 0, s("201")}, {"db/AREACODE.DB", 1, 1, s("United States")},
        {"db/AREACODE.DB", 1, 2, s("New Jersey")}, {"db/AREACODE.DB", 1, 3, s("NJ")},
        {"db/AREACODE.DB", 2, 0, s("202")}, {"db/AREACODE.DB", 2, 1, s("United States")},
        {"db/AREACODE.DB", 2, 2, s("Washington DC")}, {"db/AREACODE.DB", 2, 3, s("DC")},
        {"db/AREACODE.DB", 135, 0, s("919")}, {"db/AREACODE.DB", 135, 1, s("United States")},
        {"db/AREACODE.DB", 135, 2, s("North Carolina")}, {"db/AREACODE.DB", 135, 3, s("NC")},
        {"db/AREACODES.DB", 1, 0, s("201")}, {"db/AREACODES.DB", 1, 1, s("NJ")},
        {"db/AREACODES.DB", 1, 2, s("Hackensack, Jersey City (201/551 overlay)")},
        {"db/AREACODES.DB", 2, 0, s("202")}, {"db/AREACODES.DB", 2, 1, s("DC")},
        {"db/AREACODES.DB", 2, 2, s("Washington D.C.")},
        {"db/AREACODES.DB", 370, 0, s("989")}, {"db/AREACODES.DB", 370, 1, s("MI")},
        {"db/AREACODES.DB", 370, 2, s("Saginaw")}, {"db/AREACODES.DB", 40, 2, null},
        {"db/AREACODES.DB", 98, 0, s("408")}, {"db/AREACODES.DB", 98, 1, s("CA")},
        {"db/AREACODES.DB", 98, 2, s("San José")},
        {"db/AREACODES.DB", 107, 0, s("418")}, {"db/AREACODES.DB", 107, 1, s("QC")},
        {"db/AREACODES.DB", 107, 2, s("Québec, Gaspé, southeastern")},
        {"db/AREACODES.DB", 116, 0, s("438")}, {"db/AREACODES.DB", 116, 1, s("QC")},
        {"db/AREACODES.DB", 116, 2, s("Montréal (438 will overlay 514, probably in 2003)")},
        {"db/AREACODES.DB", 122, 0, s("450")}, {"db/AREACODES.DB", 122, 1, s("QC")},
        {"db/AREACODES.DB", 122, 2, s("Laval, Longueuil, suburbs of Montréal")},
        {"db/CUSTOMER.DB", 1, 0, i(1)}, {"db/CUSTOMER.DB", 1, 1, s("Luke")}, {"db/CUSTOMER.DB", 1, 2, s("Justice")},
        {"db/CUSTOMER.DB", 1, 3, s("luke@fun.com")}, {"db/CUSTOMER.DB", 1, 4, s("4-976 Sugarloaf Hwy")},
        {"db/CUSTOMER.DB", 1, 5, s("Santa Cruz")}, {"db/CUSTOMER.DB", 1, 6, s("CA")},
        {"db/CUSTOMER.DB", 1, 7, s("94766")}, {"db/CUSTOMER.DB", 1, 8, s("Small comment (less 100 symbols)")},
        {"db/CUSTOMER.DB", 1, 9, s("1996-02-02")},
        {"db/CUSTOMER.DB", 2, 0, i(2)}, {"db/CUSTOMER.DB", 2, 1, s("Frank")}, {"db/CUSTOMER.DB", 2, 2, s("Mallory")},
        {"db/CUSTOMER.DB", 2, 3, s("fmallory@freeport.org")}, {"db/CUSTOMER.DB", 2, 4, s("PO Box Z-547")},
        {"db/CUSTOMER.DB", 2, 5, s("Los Gatos")}, {"db/CUSTOMER.DB", 2, 6, s("CA")},
        {"db/CUSTOMER.DB", 2, 7, s("94766")}, {"db/CUSTOMER.DB", 2, 9, s("1996-02-16")},
        {"db/CUSTOMER.DB", 20, 0, i(20)}, {"db/CUSTOMER.DB", 20, 1, s("Trent")}, {"db/CUSTOMER.DB", 20, 2, s("Romar")},
        {"db/CUSTOMER.DB", 20, 3, s("tromar@bellevue.org")}, {"db/CUSTOMER.DB", 20, 4, s("PO Box Q-8874")},
        {"db/CUSTOMER.DB", 20, 5, s("Santa Cruz")}, {"db/CUSTOMER.DB", 20, 6, s("CA")},
        {"db/CUSTOMER.DB", 20, 7, s("90427")}, {"db/CUSTOMER.DB", 20, 8, null},
        {"db/CUSTOMER.DB", 20, 9, s("1996-04-08")}, {"db/CUSTOMER.DB", 6, 8, null},
        {"db/GENERAL.DB", 1, 0, i(1)}, {"db/GENERAL.DB", 1, 1, s("Mari")}, {"db/GENERAL.DB", 1, 2, d(100)},
        {"db/GENERAL.DB", 2, 0, i(2)}, {"db/GENERAL.DB", 2, 1, s("Katty")}, {"db/GENERAL.DB", 2, 2, d(150)},
        {"db/GENERAL.DB", 3, 0, i(333333333)}, {"db/GENERAL.DB", 3, 1, s("Elizabet")}, {"db/GENERAL.DB", 3, 2, d(75)},
        {"fields/memo.db", 1, 0, i(1)}, {"fields/memo.db", 2, 0, i(2)}, {"fields/memo.db", 2, 1, s("01234567890\n")},
        {"fields/fmemo.db", 1, 0, i(1)}, {"fields/fmemo.db", 2, 0, i(2)},
        {"fields/logical.db", 1, 0, QVariant(true)}, {"fields/logical.db", 2, 0, QVariant(false)},
        {"fields/logical.db", 4, 0, QVariant(true)},
        {"fields/long.db", 1, 0, i(1)}, {"fields/long.db", 1, 1, i(1)}, {"fields/long.db", 2, 0, i(2)},
        {"fields/long.db", 2, 1, i(2)}, {"fields/long.db", 3, 0, i(3)},
        // Four zero bytes are the empty value (pxlib reads them as -2147483648).
        {"fields/long.db", 3, 1, null},
        {"fields/bcd.db", 1, 0, d(1.23)}, {"fields/bcd.db", 1, 1, d(1)}, {"fields/bcd.db", 2, 0, d(-1.23)},
        {"fields/bcd.db", 2, 1, d(-1)}, {"fields/bcd.db", 3, 0, d(0)}, {"fields/bcd.db", 3, 1, null},
        {"fields/time.db", 1, 0, s("01:00:01")}, {"fields/time.db", 2, 0, null}, {"fields/time.db", 3, 0, s("03:00:03")},
        {"fields/timestamp.db", 1, 0, null}, {"fields/timestamp.db", 2, 0, s("2020-02-01 01:00:01")},
    };
}

class SampleValue : public testing::TestWithParam<Expected> {};
} // namespace

TEST_P(SampleValue, ReadsAsListed)
{
    const Expected &e = GetParam();
    Reader r(samplePath(e.file));
    const QVariant v = r.record(e.row - 1).at(size_t(e.field));
    if (e.value.isNull()) {
        EXPECT_TRUE(v.isNull()) << v.toString().toStdString();
        return;
    }
    ASSERT_FALSE(v.isNull());
    EXPECT_EQ(v.typeId(), e.value.typeId());
    if (e.value.typeId() == QMetaType::Double)
        EXPECT_DOUBLE_EQ(v.toDouble(), e.value.toDouble());
    else
        EXPECT_EQ(v.toString().toStdString(), e.value.toString().toStdString());
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleValue, testing::ValuesIn(expectedValues()),
                         [](const testing::TestParamInfo<Expected> &info) {
                             std::string n = QStringLiteral("%1_row%2_field%3").arg(QString::fromLatin1(info.param.file))
                                                 .arg(info.param.row).arg(info.param.field + 1).toStdString();
                             for (char &c : n)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });

TEST(SampleLongValues, MemosReadWhole)
{
    struct Case {
        const char *file;
        int row, field, length;
        const char *start;
    } cases[] = {
        {"encrypt/encryptedmemo.db", 1, 0, 55855, " The PARADOX File Structure             "},
        {"encrypt/encryptedmemo.db", 2, 0, 494832, "(This is stale and you may wish to find "},
        {"db/CUSTOMER.DB", 2, 8, 518, "\tThe length of the leader may be zero fo"},
        {"fields/memo.db", 1, 1, 555, "0123456789001234567890012345678900123456"},
        // Formatted memo: formatting data (NUL and other control characters) is kept.
        {"fields/fmemo.db", 1, 1, 169, ""},
        {"fields/fmemo.db", 2, 1, 726, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        Reader r(samplePath(c.file));
        const QVariant v = r.record(c.row - 1).at(size_t(c.field));
        ASSERT_EQ(v.typeId(), QMetaType::QString);
        EXPECT_EQ(v.toString().size(), c.length);
        EXPECT_TRUE(v.toString().startsWith(QString::fromLatin1(c.start)));
    }
    Reader fm(samplePath("fields/fmemo.db"));
    EXPECT_TRUE(fm.record(0).at(1).toString().contains(QChar(0)));
}

TEST(SampleLongValues, BytesAndManyDecimals)
{
    Reader bytes(samplePath("fields/bytes.db"));
    const QByteArray b = bytes.record(0).at(0).toByteArray();
    EXPECT_EQ(b.size(), 255);
    EXPECT_EQ(b.left(8).toHex(), QByteArray("3100320033000000"));

    // 32 decimals: pxlib gives junk past the stored digits; the value is the digits before it.
    Reader bcd(samplePath("fields/bcd.db"));
    const double expected[] = {0.123, -0.123, 0.9999};
    for (int i = 0; i < 3; ++i) {
        const QVariant v = bcd.record(i).at(2);
        ASSERT_EQ(v.typeId(), QMetaType::Double) << i;
        EXPECT_NEAR(v.toDouble(), expected[i], 0.001) << i;
    }
}

TEST(SampleCodePage, TablesWithoutACodePageUseTheDefaultOne)
{
    // STORE.DB (version 3.0) names no code page; one byte of a name is changed to 0x82, which is "é"
    // in code page 850 and a low quotation mark in 1252.
    QTemporaryDir tmp;
    QFile in(samplePath("mtdemo/STORE.DB"));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QByteArray db = in.readAll();
    const int at = int(db.indexOf("Video Village"));
    ASSERT_GT(at, 0);
    db[at + 1] = char(0x82);
    const QString path = tmp.filePath("STORE.DB");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(db);
    out.close();

    Reader plain(path);
    EXPECT_EQ(plain.textCodePage(), 1252);
    EXPECT_EQ(plain.record(0).at(1).toString(), QString::fromUtf8("V\u201Adeo Village"));
    ReadOptions o;
    o.defaultCodePage = 850;
    Reader dos(path, o);
    EXPECT_EQ(dos.textCodePage(), 850);
    EXPECT_EQ(dos.record(0).at(1).toString(), QString::fromUtf8("Védeo Village"));
    // A table that names its code page keeps it.
    Reader named(samplePath("db/AREACODE.DB"), o);
    EXPECT_EQ(named.textCodePage(), 437);
}
