#include "app/crypto.h"
#include "app/datamodule.h"
#include "app/protect.h"
#include "engine/dataset.h"
#include "reportdef/schema.h"
#include "support/msgrecorder.h"
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

using namespace kvt;
using namespace kvt::crypto;

namespace {

std::array<unsigned char, 256> tableFor(int seed)
{
    std::array<unsigned char, 256> t{};
    keyTableInit(t.data(), seed);
    return t;
}

QByteArray builtInPlain()
{
    const auto t = tableFor(keySeed());
    return cryptDecode(QByteArray(builtInPassword()), t.data());
}

// Blocks of every length up to 10, with the extremes 0 and 255 among their bytes.
std::vector<QByteArray> sampleBlocks()
{
    std::vector<QByteArray> blocks;
    for (int len = 0; len <= 10; ++len) {
        QByteArray b;
        for (int i = 0; i < len; ++i)
            b.append(char((i * 97 + len * 31) % 256));
        blocks.push_back(b);
    }
    blocks.push_back(QByteArray(4, '\0'));
    blocks.push_back(QByteArray(5, char(255)));
    return blocks;
}

TEST(Generator, SeedKeepsSignAndStepsModulo65536)
{
    rndSeed(0);
    EXPECT_EQ(rndNext(), 13849);
    rndSeed(65537);
    EXPECT_EQ(rndNext(), (25173 + 13849) % 65536);
    rndSeed(-70000); // -70000 mod 65536 keeps the sign: -4464
    EXPECT_EQ(rndNext(), (-4464 * 25173 + 13849) % 65536);
}

TEST(KeyTable, SelfInverseAndDeterministic)
{
    for (int seed : {0, 1, 255, 65535, 100000, -1, -12345, keySeed()}) {
        const auto t = tableFor(seed);
        for (int x = 0; x < 256; ++x)
            ASSERT_EQ(t[t[x]], x) << "seed " << seed << " x " << x;
        EXPECT_EQ(tableFor(seed), t) << "seed " << seed;
    }
    EXPECT_NE(tableFor(1), tableFor(2));
}

struct PrintableCase {
    QByteArray block;
    QByteArray printable;
};

TEST(Printable, KnownForms)
{
    const PrintableCase cases[] = {
        {"abc", "A86)C"},
        {"", "A"},
        {QByteArray("\0\0\0", 3), "A````"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(printableEncode(c.block), c.printable);
        EXPECT_EQ(printableDecode(c.printable), c.block);
    }
    EXPECT_EQ(printableEncode("ab").left(1), "B");
    EXPECT_EQ(printableEncode("ab").size(), 5);
    EXPECT_EQ(printableEncode("a").left(1), "C");
    EXPECT_EQ(printableEncode("abcd").size(), 9);
}

TEST(Printable, RoundTripsInRangeWithoutBlanks)
{
    test::MessageRecorder rec;
    for (const QByteArray &b : sampleBlocks()) {
        const QByteArray p = printableEncode(b);
        EXPECT_EQ(p.size(), 1 + 4 * ((b.size() + 2) / 3));
        for (char c : p.mid(1))
            EXPECT_TRUE(c > 32 && c <= 96) << int(c);
        EXPECT_EQ(printableDecode(p), b);
    }
    EXPECT_TRUE(rec.boxes.isEmpty());
}

TEST(Printable, BadCharacterReportedOncePerCharacter)
{
    test::MessageRecorder rec;
    printableDecode("A8 )~"); // a blank and a tilde
    ASSERT_EQ(rec.boxes.size(), 2);
    EXPECT_EQ(rec.boxes[0].text, QStringLiteral("crypto(12): myChr not working"));
    EXPECT_EQ(rec.boxes[0].caption, QStringLiteral("Error Message"));
}

TEST(Printable, PartialGroupAndOddLengthCharacter)
{
    test::MessageRecorder rec;
    EXPECT_EQ(printableDecode("A86)C86"), "abc");
    EXPECT_EQ(printableDecode("Z86)C"), "");
    EXPECT_EQ(printableDecode(""), "");
}

TEST(Cipher, BlocksAndStoredFormsRoundTripForEverySalt)
{
    const auto t = tableFor(keySeed());
    const QByteArray plain("pass-W0rd");
    QByteArray previous;
    for (int salt : {0, 1, 77, 128, 254, 255}) {
        QByteArray block = cipherEncode(plain, salt, t.data());
        ASSERT_EQ(block.size(), plain.size() + 1);
        EXPECT_EQ(t[static_cast<unsigned char>(block[0])], salt);
        cipherDecode(reinterpret_cast<unsigned char *>(block.data()), int(block.size()), t.data());
        EXPECT_EQ(block, plain + QByteArray(1, '\0'));

        const QByteArray stored = storedFormEncode(plain, salt, t.data());
        EXPECT_EQ(cryptDecode(stored, t.data()), plain);
        EXPECT_NE(stored, previous);
        previous = stored;
    }
    for (const QByteArray &b : sampleBlocks())
        EXPECT_EQ(cryptDecode(storedFormEncode(b, 99, t.data()), t.data()), b);
}

TEST(Cipher, ShortBlocks)
{
    const auto t = tableFor(3);
    unsigned char one[1] = {42};
    cipherDecode(one, 1, t.data());
    EXPECT_EQ(one[0], 0);
    unsigned char none[1] = {42};
    cipherDecode(none, 0, t.data());
    EXPECT_EQ(none[0], 42);
}

TEST(BuiltIn, StoredFormOfSixToEightPrintableCharacters)
{
    test::MessageRecorder rec;
    EXPECT_EQ(qstrlen(builtInPassword()), 13u);
    const QByteArray plain = builtInPlain();
    EXPECT_GE(plain.size(), 6);
    EXPECT_LE(plain.size(), 8);
    for (char c : plain)
        EXPECT_TRUE(c > 32 && c < 127);
    EXPECT_TRUE(rec.boxes.isEmpty());
}

TEST(BuiltIn, PlainPasswordNotInExecutable)
{
    QFile exe(QStringLiteral(KVT_BINARY_DIR "/kvt-report-editor"));
    if (!exe.exists())
        GTEST_SKIP() << "executable not built";
    ASSERT_TRUE(exe.open(QIODevice::ReadOnly));
    const QByteArray bytes = exe.readAll();
    QByteArray plain = builtInPlain();
    EXPECT_FALSE(bytes.contains(plain));
    EXPECT_TRUE(bytes.contains(builtInPassword()));
    wipe(plain);
}

class PasswordEvent : public ::testing::Test {
protected:
    void SetUp() override { oneShotFlag() = true; }
    void TearDown() override { oneShotFlag() = true; }
    TDM1 dm;
};

TEST_F(PasswordEvent, BuiltInThenPendingThenRefuse)
{
    bool retry = false;
    dm.Session1Password(dm.Session1, retry);
    EXPECT_TRUE(retry);
    EXPECT_FALSE(oneShotFlag());
    EXPECT_EQ(dm.Session1.passwords(), QStringList{QString::fromLatin1(builtInPlain())});

    retry = true;
    dm.Session1Password(dm.Session1, retry);
    EXPECT_FALSE(retry);

    dm.setPendingPassword(QString::fromLatin1(storedFormEncode("second", 17, dm.keyTable().data())));
    dm.Session1Password(dm.Session1, retry);
    EXPECT_TRUE(retry);
    EXPECT_TRUE(dm.pendingPassword().isEmpty());
    EXPECT_EQ(dm.Session1.passwords().last(), QStringLiteral("second"));

    dm.Session1Password(dm.Session1, retry);
    EXPECT_FALSE(retry);
}

// A store whose tables are protected with the built-in password opens through the event once; a
// second data module in the same process has no built-in password left and fails.
TEST_F(PasswordEvent, ProtectedStoreOpensWithBuiltInPassword)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("protect-test"));
        db.setDatabaseName(QDir(dir.path()).filePath(QString::fromLatin1(Database::StoreFileName)));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const auto &def : reportdef::allTables())
            for (const QString &sql : def.createStatements)
                ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
        protectAllTables(db);
        for (const auto &def : reportdef::allTables())
            EXPECT_TRUE(protection::isProtected(db, def.sqlName));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("protect-test"));

    dm.Database1.setParam(QStringLiteral("PATH"), dir.path());
    dm.Database1.open();
    Table t(nullptr, QStringLiteral("TblRepCat"));
    t.setDatabaseName(QStringLiteral("MyDatabase"));
    t.setSessionName(QStringLiteral("MySession"));
    t.setTableName(QStringLiteral("RepCat.DB"));
    EXPECT_NO_THROW(t.open());
    t.close();

    Table other(nullptr, QStringLiteral("TblRepBand"));
    other.setDatabaseName(QStringLiteral("MyDatabase"));
    other.setSessionName(QStringLiteral("MySession"));
    other.setTableName(QStringLiteral("RepBand.DB"));
    EXPECT_NO_THROW(other.open()); // the password already added fits every table
    other.close();

    dm.Database1.close();
    dm.Session1.removeAllPasswords();
    dm.Database1.open();
    try {
        t.open();
        ADD_FAILURE() << "opened without a password";
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("protected"))) << e.message().toStdString();
    }
}

} // namespace
