// Finding a part of a text without regard to case, by the rule the text caches compare names with.
#include "labels/textcache.h"
#include <gtest/gtest.h>

using namespace kvt;

TEST(TextContains, FindsPartsByTheCachesRule)
{
    const struct {
        const char *text, *part;
        bool found;
    } cases[] = {
        {"04. Company Phone", "phone", true},
        {"04. Company Phone", "COMPANY PH", true},
        {"04. Company Phone", "04. c", true},
        {"CompPhone", "phones", false},
        {"RepCompAddr:2", ":2", true},        // the suffix of a name counts
        {"RepCompAddr:2", "addr:", true},
        {"RepCompAddr:2", ":1", false},
        {"Ärger:1", "äRGER", true},            // letters outside ASCII
        {"Straße", "STRAẞE", true},            // the capital sharp s
        {"Été", "ÉTÉ", true},
        {"Été", "ete", false},                 // accents still count, as they do in the caches
        {"Σίσυφος", "ΣΊΣ", true},
        {"anything", "", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.part);
        EXPECT_EQ(textContains(QString::fromUtf8(c.text), QString::fromUtf8(c.part)), c.found);
        if (c.found && !QString::fromUtf8(c.part).isEmpty()) {
            // Equal names by the comparison are found in each other.
            const QString t = QString::fromUtf8(c.text), p = QString::fromUtf8(c.part);
            if (textCompare(t, p) == 0) {
                EXPECT_TRUE(textContains(p, t));
            }
        }
    }
}

TEST(TextContains, FoldingAgreesWithTheComparison)
{
    // Two names the comparison takes as equal fold to the same text.
    for (const auto &pair : {std::pair{"Company", "COMPANY"}, std::pair{"Ärger", "ÄRGER"}, std::pair{"Été", "ÉTÉ"}}) {
        const QString a = QString::fromUtf8(pair.first), b = QString::fromUtf8(pair.second);
        SCOPED_TRACE(a.toStdString());
        EXPECT_EQ(textCompare(a, b), 0);
        EXPECT_EQ(textFolded(a), textFolded(b));
    }
}
