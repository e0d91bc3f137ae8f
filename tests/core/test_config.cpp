#include "app/config.h"
#include "app/datamodule.h"
#include "engine/errors.h"
#include "support/msgrecorder.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

class IniTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(prog.isValid());
        setProgramDirForTesting(prog.path());
    }
    void TearDown() override { setProgramDirForTesting(QString()); }
    void setIni(const QByteArray &data) { writeAll(IniFilePath(), data); }
    QByteArray ini() const { return readAll(IniFilePath()); }

    QTemporaryDir prog;
};

TEST(Paths, EndInSeparator)
{
    setProgramDirForTesting(QString());
    EXPECT_EQ(ProgramDir(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    EXPECT_EQ(IniFilePath(), ProgramDir() + QStringLiteral("KVT3.INI"));
    EXPECT_TRUE(TempDir().endsWith(QLatin1Char('/')));
    setProgramDirForTesting(QStringLiteral("/opt/kvt"));
    EXPECT_EQ(IniFilePath(), QStringLiteral("/opt/kvt/KVT3.INI"));
    setProgramDirForTesting(QString());
}

TEST(Paths, DriveRoot)
{
    const std::pair<const char *, const char *> cases[] = {
        {"D:\\Shared\\Data", "D:\\"}, {"D:", "D:"}, {"", ""}, {" \t/srv/kvt/DATA ", "/"}, {"  C:\\x  ", "C:\\"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DriveRoot(QString::fromLatin1(c.first)), QString::fromLatin1(c.second)) << c.first;
}

struct ReadCase {
    const char *content; // null: no file
    const char *section;
    const char *key;
    const char *expected;
};

TEST_F(IniTest, ReadRules)
{
    const ReadCase cases[] = {
        {nullptr, "System", "DataDir", "$$##"},
        {"[Other]\nDataDir=x\n", "System", "DataDir", "$$##"},
        {"[System]\nNetFileDir=x\n", "System", "DataDir", "$$##"},
        {"[SYSTEM]\ndatadir=x\n", "System", "DataDir", "x"},
        {"[ System ]\n  DataDir =   C:\\Data  \n", "system", "DATADIR", "C:\\Data"},
        {"[System]\r\nDataDir=crlf\r\n", "System", "DataDir", "crlf"},
        {"[System]\n;DataDir=comment\nDataDir=real\n", "System", "DataDir", "real"},
        {"[System]\nDataDir=a=b\n", "System", "DataDir", "a=b"},
        {"[System]\nDataDir=\n", "System", "DataDir", ""},
        {"[System]\nDataDir=first\nDataDir=second\n", "System", "DataDir", "first"},
        {"[Other]\nDataDir=x\n[System]\nNetFileDir=y\n", "System", "DataDir", "$$##"},
    };
    for (const auto &c : cases) {
        QFile::remove(IniFilePath());
        if (c.content)
            setIni(c.content);
        EXPECT_EQ(IniReadString(QString::fromLatin1(c.section), QString::fromLatin1(c.key), QStringLiteral("$$##")),
                  QString::fromLatin1(c.expected))
            << (c.content ? c.content : "(no file)");
    }
}

TEST_F(IniTest, ReadStopsAt1023Characters)
{
    setIni("[System]\nDataDir=" + QByteArray(1500, 'x') + "\n");
    EXPECT_EQ(IniReadString(QStringLiteral("System"), QStringLiteral("DataDir"), QString()).size(), 1023);
}

struct WriteCase {
    const char *before; // null: no file
    const char *after;
};

TEST_F(IniTest, WriteChangesOnlyItsKey)
{
    const WriteCase cases[] = {
        {nullptr, "[System]\nDataDir=v\n"},
        {"", "[System]\nDataDir=v\n"},
        {"; comment\n[Other]\nA=1", "; comment\n[Other]\nA=1\n[System]\nDataDir=v\n"},
        {"[system]\n  datadir = old \nNetFileDir=n\n", "[system]\nDataDir=v\nNetFileDir=n\n"},
        {"[System]\nNetFileDir=n\n\n[Other]\nB=2\n", "[System]\nNetFileDir=n\nDataDir=v\n\n[Other]\nB=2\n"},
        {"[System]\r\n;keep\r\nNetFileDir=n\r\n", "[System]\r\n;keep\r\nNetFileDir=n\r\nDataDir=v\r\n"},
        {"[Other]\nDataDir=o\n[System]\nDataDir=s\n", "[Other]\nDataDir=o\n[System]\nDataDir=v\n"},
    };
    for (const auto &c : cases) {
        QFile::remove(IniFilePath());
        if (c.before)
            setIni(c.before);
        IniWriteString(QStringLiteral("System"), QStringLiteral("DataDir"), QStringLiteral("v"));
        EXPECT_EQ(ini(), QByteArray(c.after)) << (c.before ? c.before : "(no file)");
        EXPECT_EQ(IniReadString(QStringLiteral("System"), QStringLiteral("DataDir"), QString()), QStringLiteral("v"));
    }
    EXPECT_EQ(QDir(prog.path()).entryList(QDir::Files), QStringList{QStringLiteral("KVT3.INI")});
}

TEST_F(IniTest, FailedWriteRaises)
{
    // A directory below a regular file cannot be created, not even by root.
    const QString blocker = QDir(prog.path()).filePath(QStringLiteral("file"));
    writeAll(blocker, "x");
    setProgramDirForTesting(blocker + QStringLiteral("/sub"));
    try {
        IniWriteString(QStringLiteral("System"), QStringLiteral("DataDir"), QStringLiteral("v"));
        ADD_FAILURE() << "no exception";
    } catch (const FrameworkError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + blocker + QStringLiteral("/sub/KVT3.INI"));
    }
    EXPECT_EQ(IniReadString(QStringLiteral("System"), QStringLiteral("DataDir"), QStringLiteral("d")),
              QStringLiteral("d"));
}

class DataDirsTest : public IniTest {
protected:
    void SetUp() override
    {
        IniTest::SetUp();
        ASSERT_TRUE(other.isValid());
        DM1 = &dm;
    }
    void TearDown() override
    {
        DM1 = nullptr;
        IniTest::TearDown();
    }
    // A data directory holding an (empty) store.
    QString makeDataDir(const QString &dir)
    {
        QDir().mkpath(dir);
        writeAll(QDir(dir).filePath(QString::fromLatin1(Database::StoreFileName)), QByteArray());
        return dir;
    }
    QString otherPath(const char *name) const { return QDir(other.path()).filePath(QString::fromLatin1(name)); }

    QTemporaryDir other;
    test::MessageRecorder rec;
    TDM1 dm;
};

TEST_F(DataDirsTest, NoFileWritesThreeDefaultsInOrder)
{
    makeDataDir(ProgramDir() + QStringLiteral("DATA"));
    EXPECT_TRUE(DataDirsSetup());
    EXPECT_EQ(ini(), (QStringLiteral("[System]\nDataDir=") + ProgramDir() + QStringLiteral("DATA\nNetFileDir=/\nPrivateDir=") +
                      TempDir() + QStringLiteral("\n"))
                         .toUtf8());
    EXPECT_TRUE(rec.boxes.isEmpty()) << rec.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(dm.Session1.isOpen());
    EXPECT_TRUE(dm.Database1.isOpen());
    EXPECT_EQ(dm.Database1.param(QStringLiteral("PATH")), ProgramDir() + QStringLiteral("DATA"));
    EXPECT_EQ(dm.Database1.params().size(), 3);
    EXPECT_EQ(dm.Session1.netFileDir(), QStringLiteral("/"));
    EXPECT_EQ(dm.Session1.privateDir(), TempDir());
}

TEST_F(DataDirsTest, GivenDirectoriesAreUsedAndFileKept)
{
    const QString data = makeDataDir(otherPath("data"));
    QDir().mkpath(otherPath("net"));
    QDir().mkpath(otherPath("priv"));
    const QByteArray content = ("; site settings\n[Paths]\nX=1\n[System]\nDataDir=" + data + "\nNetFileDir=" +
                                otherPath("net") + "\nPrivateDir=" + otherPath("priv") + "\n[Tail]\nY=2\n")
                                   .toUtf8();
    setIni(content);
    EXPECT_TRUE(DataDirsSetup());
    EXPECT_EQ(ini(), content);
    EXPECT_TRUE(rec.boxes.isEmpty());
    EXPECT_EQ(dm.Database1.param(QStringLiteral("PATH")), data);
    EXPECT_EQ(dm.Session1.netFileDir(), otherPath("net"));
    EXPECT_EQ(dm.Session1.privateDir(), otherPath("priv"));
    EXPECT_TRUE(dm.Database1.isOpen());
}

TEST_F(DataDirsTest, MarkerOrEmptyDataDirIsReplacedAndWrittenBack)
{
    makeDataDir(ProgramDir() + QStringLiteral("DATA"));
    for (const char *stored : {"$$##", ""}) {
        setIni(QByteArray("[System]\nDataDir=") + stored + "\nNetFileDir=/\nPrivateDir=\n");
        EXPECT_TRUE(DataDirsSetup()) << stored;
        EXPECT_EQ(ini(), (QStringLiteral("[System]\nDataDir=") + ProgramDir() + QStringLiteral("DATA\nNetFileDir=/\nPrivateDir=\n")).toUtf8());
    }
}

TEST_F(DataDirsTest, EmptyNetFileDirAndPrivateDirAreNotWritten)
{
    const QString data = makeDataDir(otherPath("data"));
    const QByteArray content = ("[System]\nDataDir=" + data + "\nNetFileDir=\nPrivateDir=\n").toUtf8();
    setIni(content);
    EXPECT_TRUE(DataDirsSetup());
    EXPECT_EQ(ini(), content);
    EXPECT_EQ(dm.Session1.netFileDir(), QStringLiteral("/"));
    EXPECT_EQ(dm.Session1.privateDir(), QString());
}

TEST_F(DataDirsTest, DriveLetterDataDirGivesDriveRootAndBadNetFileDirReport)
{
    setIni("[System]\nDataDir=D:\\Shared\\Data\n");
    EXPECT_FALSE(DataDirsSetup());
    EXPECT_EQ(IniReadString(QStringLiteral("System"), QStringLiteral("NetFileDir"), QString()), QStringLiteral("D:\\"));
    EXPECT_EQ(IniReadString(QStringLiteral("System"), QStringLiteral("PrivateDir"), QString()), TempDir());
    EXPECT_EQ(dm.Session1.netFileDir(), QStringLiteral("D:\\"));
    ASSERT_EQ(rec.boxes.size(), 1);
    EXPECT_TRUE(rec.boxes[0].text.startsWith(QStringLiteral("MiscFunc(295): ")));
    EXPECT_TRUE(rec.boxes[0].text.endsWith(QStringLiteral("D:\\' is not an existing directory: Invalid NetFileDir or PrivateDir in INI file.")))
        << rec.boxes[0].text.toStdString();
}

TEST_F(DataDirsTest, FailureReports)
{
    const QString data = makeDataDir(otherPath("data"));
    struct Case {
        QString dataDir;
        QString privateDir;
        int line;
        QString message;
    } cases[] = {
        {data, otherPath("no-such-private"), 295, QStringLiteral("Invalid NetFileDir or PrivateDir in INI file.")},
        {otherPath("no-such-data"), other.path(), 305, QStringLiteral("Invalid DataDir in INI file.")},
    };
    for (const Case &c : cases) {
        rec.clear();
        setIni(("[System]\nDataDir=" + c.dataDir + "\nNetFileDir=\nPrivateDir=" + c.privateDir + "\n").toUtf8());
        EXPECT_FALSE(DataDirsSetup());
        ASSERT_EQ(rec.boxes.size(), 1);
        const QString text = rec.boxes[0].text;
        EXPECT_EQ(rec.boxes[0].caption, QStringLiteral("Error Message"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("MiscFunc(%1): ").arg(c.line))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral(": ") + c.message)) << text.toStdString();
        // The engine's own message sits between the two.
        EXPECT_GT(text.size(), QStringLiteral("MiscFunc(295): : ").size() + c.message.size());
        EXPECT_FALSE(dm.Session1.isOpen());
        EXPECT_FALSE(dm.Database1.isOpen());
    }
}

TEST_F(DataDirsTest, FailedWriteLeavesSetupUnreported)
{
    const QString blocker = otherPath("file");
    writeAll(blocker, "x");
    setProgramDirForTesting(blocker);
    EXPECT_THROW(DataDirsSetup(), FrameworkError);
    EXPECT_TRUE(rec.boxes.isEmpty());
    EXPECT_FALSE(dm.Session1.isOpen());
    EXPECT_FALSE(dm.Database1.isOpen());
}

TEST_F(DataDirsTest, ReopensAfterEarlierSetup)
{
    makeDataDir(ProgramDir() + QStringLiteral("DATA"));
    EXPECT_TRUE(DataDirsSetup());
    EXPECT_TRUE(DataDirsSetup());
    EXPECT_TRUE(dm.Database1.isOpen());
}

} // namespace
