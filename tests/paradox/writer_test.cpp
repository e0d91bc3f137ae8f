// The writer: every field type written and read back, empty fields kept, wrong values refused.
#include "paradox/paradox.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

using namespace kvt::paradox;

namespace {
TableDef everyType(bool encrypted)
{
    TableDef d;
    d.fileVersion = 70;
    d.codePage = 1252;
    d.encrypted = encrypted;
    d.primaryKeyFields = 1;
    d.fields = {{"Key", Alpha, 10},       {"Day", Date, 4},          {"Small", Short, 2},      {"Big", Long, 4},
                {"Money", Currency, 8},   {"Num", Number, 8},        {"Flag", Logical, 1},     {"Note", Memo, 20},
                {"Bin", Blob, 10},        {"Styled", FormattedMemo, 10}, {"At", Time, 4},      {"When", Timestamp, 8},
                {"Counter", AutoInc, 4},  {"Raw", Bytes, 6},         {"With Blank", Alpha, 40},
                {"Whole", Bcd, 0},        {"Fine", Bcd, 4}};
    return d;
}

std::vector<std::vector<QVariant>> sampleRows()
{
    const QString longText = QString::fromUtf8("Längerer Text, der nicht in den Datensatz passt. ").repeated(200);
    const QVariant null;
    return {
        {QString("a"), QString("1996-02-29"), qint64(-5), qint64(-2147483647), 1234.5, 0.1, true, QString::fromUtf8("kurz é"),
         QByteArray("\x00\x01\x02", 3), QString::fromUtf8("fmt\0x", 5), QString("23:59:59.250"), QString("2020-02-01 01:00:01"),
         qint64(1), QByteArray("\x01\x02\x03\x00\x00\x09", 6), QString::fromUtf8("Straße"), -7.0, 12.3456},
        {QString("b"), null, null, null, null, null, false, longText, QByteArray(5000, '\x7f'), null, QString("00:00:01"),
         QString("0001-01-01 00:00:00.001"), qint64(2), null, null, 123456.0, -0.5},
        {QString("c"), null, qint64(0), qint64(0), -0.0, 1e300, null, null, null, null, null, null, qint64(3), null,
         QString("x").repeated(40), null, null},
    };
}

class EveryType : public testing::TestWithParam<bool> {};
} // namespace

TEST_P(EveryType, ReadsBackWhatWasWritten)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("All.DB");
    const TableDef def = everyType(GetParam());
    const auto rows = sampleRows();
    try {
        Writer w(path, def, QStringLiteral("secret"));
        for (const auto &r : rows)
            w.append(r);
        w.finish();
    } catch (const Error &e) {
        FAIL() << e.message().toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("All.MB")));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("All.PX")));
    std::unique_ptr<Reader> reader;
    try {
        reader = std::make_unique<Reader>(path);
    } catch (const Error &e) {
        FAIL() << e.message().toStdString();
    }
    Reader &r = *reader;
    EXPECT_TRUE(r.definition().fields == def.fields);
    EXPECT_EQ(r.definition().encrypted, GetParam());
    EXPECT_EQ(r.definition().codePage, 1252);
    EXPECT_EQ(r.definition().primaryKeyFields, 1);
    ASSERT_EQ(r.recordCount(), int(rows.size()));
    for (int i = 0; i < r.recordCount(); ++i) {
        const auto got = r.record(i);
        for (size_t f = 0; f < got.size(); ++f) {
            const QVariant &want = rows[size_t(i)][f];
            // Zero in a short or long integer field is stored as a value, not as empty.
            EXPECT_TRUE(sameValue(want, got[f]) && want.isNull() == got[f].isNull())
                << "record " << i + 1 << " field " << def.fields[f].name.toStdString() << ": wrote "
                << want.toString().toStdString().substr(0, 40) << ", read " << got[f].toString().toStdString().substr(0, 40);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Writer, EveryType, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &i) { return i.param ? "Encrypted" : "Plain"; });

TEST(Writer, RefusesValuesThatDoNotFit)
{
    struct Case {
        Field field;
        QVariant value;
        const char *message;
    } cases[] = {
        {{"Name", Alpha, 3}, QString("four"), "longer than 3"},
        {{"Name", Alpha, 10}, QString::fromUtf8("日本"), "code page 1252 lacks"},
        {{"Day", Date, 4}, QString("1996-02-30"), "not a date"},
        {{"At", Time, 4}, QString("25:00:00"), "not a time"},
        {{"N", Long, 4}, qint64(1) << 40, "not a long integer"},
        {{"N", Long, 4}, 1.5, "not a long integer"},
        {{"S", Short, 2}, qint64(40000), "not a short"},
        {{"X", Number, 8}, QString("abc"), "not a number"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        QTemporaryDir tmp;
        TableDef d;
        d.fields = {c.field};
        Writer w(tmp.filePath("T.DB"), d);
        try {
            w.append({c.value});
            ADD_FAILURE() << "accepted";
        } catch (const Error &e) {
            EXPECT_TRUE(e.message().contains(c.message)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains("T.DB") && e.message().contains("record 1")) << e.message().toStdString();
        }
    }
}

TEST(Writer, StoresTheBareTableName)
{
    QTemporaryDir tmp;
    TableDef d;
    d.fields = {{"A", Alpha, 4}};
    {
        Writer w(tmp.filePath("Named.DB"), d);
        w.finish();
    }
    QFile f(tmp.filePath("Named.DB"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(2048);
    EXPECT_TRUE(head.contains(QByteArray("Named.DB\0", 9)));
    EXPECT_FALSE(head.contains(tmp.path().toLocal8Bit()));
}
