#include "common/fldfuncs.h"
#include "support/msgrecorder.h"
#include <gtest/gtest.h>

using namespace kvt;

namespace {

const QString NotCover = QStringLiteral("Double quoted string do not cover the whole string: ");

struct UnquoteCase {
    const char *input;
    const char *expected;
    const char *message; // empty: no box
};

class UnquoteTest : public ::testing::TestWithParam<UnquoteCase> {};

TEST_P(UnquoteTest, ResultAndMessage)
{
    test::MessageRecorder rec;
    const UnquoteCase &c = GetParam();
    EXPECT_EQ(fldUnquoteStr(QString::fromLatin1(c.input)), QString::fromLatin1(c.expected));
    if (*c.message) {
        ASSERT_EQ(rec.boxes.size(), 1);
        EXPECT_EQ(rec.boxes[0].text, QString::fromLatin1(c.message));
        EXPECT_EQ(rec.boxes[0].caption, applicationTitle());
        EXPECT_EQ(rec.boxes[0].icon, MsgIcon::None);
        EXPECT_EQ(rec.boxes[0].buttons, MsgButtons::Ok);
    } else {
        EXPECT_TRUE(rec.boxes.isEmpty()) << rec.texts().join(QLatin1Char('|')).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnquoteTest,
    ::testing::Values(UnquoteCase{"", "", ""}, UnquoteCase{" \t\x01 ", "", ""},
                      UnquoteCase{"  plain text \r\n", "plain text", ""},
                      UnquoteCase{"\"ab\"\"c\"", "ab\"c", ""}, UnquoteCase{"x\"y\"", "xy", ""},
                      UnquoteCase{" \"a b\" ", "a b", ""},
                      UnquoteCase{"\"abc", "abc", "Missing double quote at end of string: \"\"abc\"."},
                      UnquoteCase{"\"ab\"c", "ab", "Double quoted string do not cover the whole string: \"\"ab\"c\"."},
                      UnquoteCase{"a\"\"b", "a", "Double quoted string do not cover the whole string: \"a\"\"b\"."},
                      UnquoteCase{"\"a\"\"", "a\"", "Missing double quote at end of string: \"\"a\"\"\"."}));

struct ExtractCase {
    const char *input;
    int n;
    const char *expected;
    int boxes;
};

class ExtractTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractTest, Field)
{
    test::MessageRecorder rec;
    const ExtractCase &c = GetParam();
    EXPECT_EQ(fldExtractField(QString::fromLatin1(c.input), c.n), QString::fromLatin1(c.expected))
        << c.input << " n=" << c.n;
    EXPECT_EQ(rec.boxes.size(), c.boxes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractTest,
    ::testing::Values(ExtractCase{"\"a,b\",c", 1, "a,b", 0}, ExtractCase{"\"a,b\",c", 2, "c", 0},
                      ExtractCase{"a,,b", 2, "", 0}, ExtractCase{"a,,b", 3, "b", 0},
                      ExtractCase{"a,b,", 3, "", 0}, ExtractCase{"a,b", 3, "", 0}, ExtractCase{"a,b", 0, "", 0},
                      ExtractCase{"a,b", -1, "", 0}, ExtractCase{"abc", 1, "abc", 0},
                      ExtractCase{" a , b ", 2, "b", 0}, ExtractCase{"", 1, "", 0},
                      ExtractCase{"\"x\"\",y\",z", 1, "x\",y", 0}, ExtractCase{"\"x\"\",y\",z", 2, "z", 0},
                      ExtractCase{"a,\"bc", 2, "", 0}, ExtractCase{"\"bc", 1, "bc", 1},
                      // A leading comma gives an empty first field.
                      ExtractCase{",abc", 1, "", 0}, ExtractCase{",abc", 2, "abc", 0}));

struct FontCase {
    const char *fontSpec;
    const char *name;
    int size;
    const char *styles;
    qint32 color;
};

class StrToFontTest : public ::testing::TestWithParam<FontCase> {};

QString styleLetters(const FontDesc &f)
{
    QString s;
    if (f.bold) s += QLatin1Char('B');
    if (f.italic) s += QLatin1Char('I');
    if (f.underline) s += QLatin1Char('U');
    if (f.strikeOut) s += QLatin1Char('S');
    return s;
}

TEST_P(StrToFontTest, Parses)
{
    test::MessageRecorder rec;
    const FontCase &c = GetParam();
    FontDesc f;
    f.name = QStringLiteral("previous");
    f.bold = f.italic = f.underline = f.strikeOut = true;
    f.color = 77;
    fldStrToFont(QString::fromLatin1(c.fontSpec), &f);
    EXPECT_EQ(f.name, QString::fromLatin1(c.name));
    EXPECT_EQ(f.size, c.size);
    EXPECT_EQ(styleLetters(f), QString::fromLatin1(c.styles));
    EXPECT_EQ(f.color, c.color);
    EXPECT_TRUE(rec.boxes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrToFontTest,
    ::testing::Values(FontCase{"MS Sans Serif,8,,0", "MS Sans Serif", 8, "", 0},
                      FontCase{"Arial,10,BI,-2147483640", "Arial", 10, "BI", clWindowText},
                      FontCase{"Times New Roman,12,B", "Arial", 10, "", 0},
                      FontCase{"Times New Roman,12,B,red", "Arial", 10, "", 0},
                      FontCase{"Courier New,x,ub,255", "Courier New", 10, "", 255},
                      FontCase{"Courier New,,SUSIB,1,extra", "Courier New", 10, "BIUS", 1},
                      FontCase{"Verdana,9,xBx,$FF00", "Verdana", 9, "B", 0xFF00},
                      FontCase{"Verdana,9,,0x80000008", "Verdana", 9, "", clWindowText},
                      FontCase{"Verdana,9,,+12", "Verdana", 9, "", 12},
                      FontCase{"Verdana,9,,2147483648", "Arial", 10, "", 0},
                      FontCase{" \"Lucida\" , 11 , U , 5 ", "Lucida", 11, "U", 5}, FontCase{"", "Arial", 10, "", 0}));

TEST(FontToStr, WritesFieldsAndRoundTrips)
{
    FontDesc f;
    f.name = QStringLiteral("Arial");
    f.size = 10;
    f.bold = f.italic = true;
    f.color = clWindowText;
    EXPECT_EQ(fldFontToStr(f), QStringLiteral("Arial,10,BI,-2147483640"));
    f.underline = f.strikeOut = true;
    EXPECT_EQ(fldFontToStr(f), QStringLiteral("Arial,10,BIUS,-2147483640"));

    for (const char *fontSpec : {"MS Sans Serif,8,,0", "Courier New,12,IS,16711680", "X,1,BU,-2147483633"}) {
        FontDesc g;
        fldStrToFont(QString::fromLatin1(fontSpec), &g);
        EXPECT_EQ(fldFontToStr(g), QString::fromLatin1(fontSpec));
    }
}

TEST(FontToStr, FaceWithCommaDoesNotSurvive)
{
    FontDesc f;
    f.name = QStringLiteral("Odd,Name");
    f.size = 9;
    FontDesc back;
    fldStrToFont(fldFontToStr(f), &back);
    EXPECT_NE(back, f);
}

TEST(StrToFont, NullFontIsReported)
{
    test::MessageRecorder rec;
    fldStrToFont(QStringLiteral("Arial,10,,0"), nullptr);
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_EQ(rec.boxes[0].text, QStringLiteral("Error:fldStrToFont: font object is Nil"));
    EXPECT_EQ(rec.boxes[0].icon, MsgIcon::None);
}

TEST(StrToFont, MalformedFieldShowsQuoteMessage)
{
    test::MessageRecorder rec;
    FontDesc f;
    fldStrToFont(QStringLiteral("\"Arial\"x,10,,0"), &f);
    EXPECT_EQ(f.name, QStringLiteral("Arial"));
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_TRUE(rec.boxes[0].text.startsWith(NotCover));
}

} // namespace
