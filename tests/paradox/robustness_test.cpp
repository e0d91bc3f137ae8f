// Damaged files: a clear message naming the file, never a crash, nothing created.
#include "paradox/paradox.h"
#include "samples.h"
#include "tools/datadirparadox.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

void put16(QByteArray &b, int at, int v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char((v >> 8) & 0xff);
}

struct Damage {
    const char *what;
    std::function<void(QByteArray &db, QByteArray &mb)> spoil; // mb empty afterwards: no blob file
    const char *message;
};

// CUSTOMER.DB: version 7.0, header 2048 bytes, 4 blocks of 2 KB, memo field 9 in CUSTOMER.MB.
std::vector<Damage> damages()
{
    return {
        {"not a table", [](QByteArray &db, QByteArray &) { db = QByteArray("just some text\n").repeated(200); }, "not a readable Paradox table"},
        {"empty file", [](QByteArray &db, QByteArray &) { db.clear(); }, "too short"},
        {"truncated in the header", [](QByteArray &db, QByteArray &) { db.truncate(1000); }, "truncated"},
        {"truncated in the blocks", [](QByteArray &db, QByteArray &) { db.truncate(5000); }, "truncated"},
        {"header larger than the file", [](QByteArray &db, QByteArray &) { put16(db, 0x02, 0xF000); }, "header size"},
        {"record size that the fields do not fill", [](QByteArray &db, QByteArray &) { put16(db, 0x00, 40); }, "the fields take"},
        {"more blocks than the file", [](QByteArray &db, QByteArray &) { put16(db, 0x0C, 200); }, "blocks"},
        {"more records than the blocks", [](QByteArray &db, QByteArray &) { put16(db, 0x06, 9000); }, "records"},
        {"unknown field type", [](QByteArray &db, QByteArray &) { db[0x78 + 2] = char(0x30); }, "unknown type"},
        {"impossible field length", [](QByteArray &db, QByteArray &) { db[0x78 + 1] = char(9); }, "impossible length"},
        {"too many fields for the header", [](QByteArray &db, QByteArray &) { put16(db, 0x21, 250); }, "too small"},
        {"unknown file version", [](QByteArray &db, QByteArray &) { db[0x39] = char(40); }, "file version"},
        {"broken block chain", [](QByteArray &db, QByteArray &) { put16(db, 2048, 77); }, "block chain"},
        {"block of impossible size", [](QByteArray &db, QByteArray &) { put16(db, 2048 + 4, 30000); }, "impossible size"},
        {"missing blob file", [](QByteArray &, QByteArray &mb) { mb.clear(); }, "blob file (.MB), which is missing"},
        {"blob file cut short", [](QByteArray &, QByteArray &mb) { mb.truncate(4096); }, "outside the file"},
        {"blob block overwritten", [](QByteArray &, QByteArray &mb) { mb.replace(4096, 4096, QByteArray(4096, '\x03')); }, "blob"},
    };
}

class DamagedTable : public testing::TestWithParam<Damage> {};

} // namespace

TEST_P(DamagedTable, GivesAClearMessageAndImportsNothing)
{
    const Damage &d = GetParam();
    QTemporaryDir tmp;
    const QString px = tmp.filePath("px");
    QDir().mkpath(px);
    QByteArray db = readAll(QDir(samples()).filePath("db/CUSTOMER.DB"));
    QByteArray mb = readAll(QDir(samples()).filePath("db/CUSTOMER.MB"));
    ASSERT_GT(db.size(), 8000);
    d.spoil(db, mb);
    const QString path = px + "/CUSTOMER.DB";
    writeAll(path, db);
    if (!mb.isEmpty())
        writeAll(px + "/CUSTOMER.MB", mb);

    QString message;
    try {
        paradox::Reader r(path);
        for (int i = 0; i < r.recordCount(); ++i)
            r.record(i);
    } catch (const paradox::Error &e) {
        message = e.message();
    }
    EXPECT_TRUE(message.contains(path)) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromLatin1(d.message))) << message.toStdString();

    datadir::ParadoxOptions o;
    o.all = true;
    const QString dir = tmp.filePath("data");
    const QString error = datadir::importParadox(px, dir, o);
    EXPECT_TRUE(error.contains("CUSTOMER.DB")) << error.toStdString();
    EXPECT_TRUE(QDir(dir).isEmpty()) << "nothing is created";
}

INSTANTIATE_TEST_SUITE_P(Robustness, DamagedTable, testing::ValuesIn(damages()),
                         [](const testing::TestParamInfo<Damage> &i) {
                             std::string n = i.param.what;
                             for (char &c : n)
                                 if (!isalnum(uchar(c)))
                                     c = '_';
                             return n;
                         });

TEST(DamagedTable, AMissingBlobFileNamesTheRecord)
{
    QTemporaryDir tmp;
    QFile::copy(QDir(samples()).filePath("db/CUSTOMER.DB"), tmp.filePath("CUSTOMER.DB"));
    paradox::Reader r(tmp.filePath("CUSTOMER.DB"));
    EXPECT_EQ(r.record(0).at(8).toString(), "Small comment (less 100 symbols)") << "a memo held in the record needs no blob file";
    try {
        r.record(1);
        ADD_FAILURE() << "read a memo without its blob file";
    } catch (const paradox::Error &e) {
        EXPECT_TRUE(e.message().contains("record 2")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("Comments")) << e.message().toStdString();
    }
}
