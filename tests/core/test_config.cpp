#include "app/config.h"
#include "app/datamodule.h"
#include "engine/errors.h"
#include "support/msgrecorder.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringConverter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>
#include <vector>

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

QByteArray utf16(const QString &text, QStringConverter::Encoding e)
{
    QStringEncoder encode(e, QStringConverter::Flag::WriteBom);
    return encode(text);
}

struct ReadCase {
    const char *rule;
    std::optional<QByteArray> content; // none: no file
    const char *key;                   // in section "System"
    QString expected;                  // "$$##": the default
};

// Each rule of the Windows profile functions, as DataDirsSetup meets it.
TEST_F(IniTest, ReadRules)
{
    const ReadCase cases[] = {
        {"no file", std::nullopt, "DataDir", "$$##"},
        {"no section", "[Other]\nDataDir=x\n", "DataDir", "$$##"},
        {"no key", "[System]\nNetFileDir=x\n", "DataDir", "$$##"},
        {"names without regard to case", "[SYSTEM]\ndatadir=x\n", "DATADIR", "x"},
        {"blanks around names and values", "  [ System ]  \n \t DataDir \t=   /data/kvt \t\n", "DataDir", "/data/kvt"},
        {"blanks inside names and values kept", "[System]\nData Dir = /my data/kvt\n", "Data Dir", "/my data/kvt"},
        {"double quotes dropped", "[System]\nDataDir = \"/data/kvt\"\n", "DataDir", "/data/kvt"},
        {"single quotes dropped", "[System]\nDataDir='/data/kvt'\n", "DataDir", "/data/kvt"},
        {"quotes keep blanks inside", "[System]\nDataDir=\"  /data/kvt \"\n", "DataDir", "  /data/kvt "},
        {"empty quotes", "[System]\nDataDir=\"\"\n", "DataDir", ""},
        {"quotes only in pairs", "[System]\nDataDir=\"/data/kvt\n", "DataDir", "\"/data/kvt"},
        {"mixed quotes kept", "[System]\nDataDir=\"/data/kvt'\n", "DataDir", "\"/data/kvt'"},
        {"one quote kept", "[System]\nDataDir=\"\n", "DataDir", "\""},
        {"inner quotes kept", "[System]\nDataDir=\"a\" and \"b\"\n", "DataDir", "a\" and \"b"},
        {"comment line", "[System]\n;DataDir=comment\n ; DataDir=comment\nDataDir=real\n", "DataDir", "real"},
        {"no comments after a value", "[System]\nDataDir=/data ; note\n", "DataDir", "/data ; note"},
        {"\"#\" starts no comment", "[System]\n#DataDir=x\n", "#DataDir", "x"},
        {"value holding \"=\"", "[System]\nDataDir=a=b\n", "DataDir", "a=b"},
        {"empty value", "[System]\nDataDir=\n", "DataDir", ""},
        {"line without \"=\" is no key", "[System]\nDataDir\n", "DataDir", "$$##"},
        {"line without a key", "[System]\n=x\nDataDir=y\n", "DataDir", "y"},
        {"first of duplicate keys", "[System]\nDataDir=first\ndatadir=second\n", "DataDir", "first"},
        {"first of duplicate sections", "[System]\nNetFileDir=n\n[Other]\n[system]\nDataDir=second\n", "DataDir", "$$##"},
        {"key in the first of duplicate sections", "[System]\nDataDir=first\n[System]\nDataDir=second\n", "DataDir", "first"},
        {"keys before any section", "DataDir=x\n[System]\n", "DataDir", "$$##"},
        {"key of another section", "[Other]\nDataDir=x\n[System]\nNetFileDir=y\n", "DataDir", "$$##"},
        {"text after the section's bracket", "[System] old\nDataDir=x\n", "DataDir", "x"},
        {"unclosed bracket is no section", "[Other]\n[System\nDataDir=x\n", "DataDir", "$$##"},
        {"no final line end", "[System]\nDataDir=last", "DataDir", "last"},
        {"CR LF line ends", "[System]\r\nDataDir=crlf\r\nNetFileDir=n\r\n", "DataDir", "crlf"},
        {"CR line ends", "[System]\rDataDir=cr\rNetFileDir=n\r", "DataDir", "cr"},
        {"UTF-8 text", "[System]\nDataDir=/daten/m\xc3\xbcller\n", "DataDir", QStringLiteral("/daten/m\u00fcller")},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[System]\nDataDir=bom\n", "DataDir", "bom"},
        {"UTF-16 LE file", utf16(QStringLiteral("[System]\r\nDataDir=/daten/m\u00fcller\r\n"), QStringConverter::Utf16LE),
         "DataDir", QStringLiteral("/daten/m\u00fcller")},
        {"UTF-16 BE file", utf16(QStringLiteral("[System]\nDataDir=be\n"), QStringConverter::Utf16BE), "DataDir", "be"},
    };
    for (const auto &c : cases) {
        QFile::remove(IniFilePath());
        if (c.content)
            setIni(*c.content);
        EXPECT_EQ(IniReadString(QStringLiteral("System"), QString::fromLatin1(c.key), QStringLiteral("$$##")), c.expected)
            << c.rule;
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
        {"[System]\nNetFileDir=n", "[System]\nNetFileDir=n\nDataDir=v\n"},
        {"[system]\n  datadir = old \nNetFileDir=n\n", "[system]\nDataDir=v\nNetFileDir=n\n"},
        {"[System]\nNetFileDir=n\n\n[Other]\nB=2\n", "[System]\nNetFileDir=n\nDataDir=v\n\n[Other]\nB=2\n"},
        {"[System]\r\n;keep\r\nNetFileDir=n\r\n", "[System]\r\n;keep\r\nNetFileDir=n\r\nDataDir=v\r\n"},
        {"[Other]\r\nA=1", "[Other]\r\nA=1\r\n[System]\r\nDataDir=v\r\n"},
        {"[System]\rNetFileDir=n\r", "[System]\rNetFileDir=n\rDataDir=v\r"},
        {"[Other]\nDataDir=o\n[System]\nDataDir=s\n", "[Other]\nDataDir=o\n[System]\nDataDir=v\n"},
        {"[System]\nDataDir=first\nDataDir=second\n", "[System]\nDataDir=v\nDataDir=second\n"},
        {"[System]\nA=1\n[System]\nDataDir=second\n", "[System]\nA=1\nDataDir=v\n[System]\nDataDir=second\n"},
        {"[System]\nDataDir\n", "[System]\nDataDir\nDataDir=v\n"},
        {"\xEF\xBB\xBF[System]\nDataDir=old\n", "\xEF\xBB\xBF[System]\nDataDir=v\n"},
        {"[System]\nDataDir=x\n[Other]\nA=\xe9t\xe9\n", "[System]\nDataDir=v\n[Other]\nA=\xe9t\xe9\n"},
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

TEST_F(IniTest, WriteKeepsUtf16)
{
    for (const auto e : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        setIni(utf16(QStringLiteral("[System]\r\nDataDir=/alt\r\n[\u00c4]\r\nA=\u00fc\r\n"), e));
        IniWriteString(QStringLiteral("System"), QStringLiteral("DataDir"), QStringLiteral("/neu/\u00fc"));
        EXPECT_EQ(ini(), utf16(QStringLiteral("[System]\r\nDataDir=/neu/\u00fc\r\n[\u00c4]\r\nA=\u00fc\r\n"), e));
    }
}

// A value comes back from the file as it was written, whatever its ends hold.
TEST_F(IniTest, WrittenValueReadsBackTheSame)
{
    const std::pair<QString, const char *> cases[] = {
        {QStringLiteral("/data/kvt"), "DataDir=/data/kvt"},
        {QStringLiteral(""), "DataDir="},
        {QStringLiteral(" /data/kvt "), "DataDir=\" /data/kvt \""},
        {QStringLiteral("\t/data"), "DataDir=\"\t/data\""},
        {QStringLiteral("\"/data/kvt\""), "DataDir=\"\"/data/kvt\"\""},
        {QStringLiteral("'x'"), "DataDir=\"'x'\""},
        {QStringLiteral("\"/data"), "DataDir=\"/data"},
        {QStringLiteral("a=b ; c"), "DataDir=a=b ; c"},
    };
    for (const auto &c : cases) {
        QFile::remove(IniFilePath());
        IniWriteString(QStringLiteral("System"), QStringLiteral("DataDir"), c.first);
        EXPECT_EQ(ini(), QByteArray("[System]\n") + c.second + "\n") << c.first.toStdString();
        EXPECT_EQ(IniReadString(QStringLiteral("System"), QStringLiteral("DataDir"), QStringLiteral("$$##")), c.first);
    }
}

// What would put extra lines into the file, or a name that reads back as another, is refused and the
// file stays as it was.
TEST_F(IniTest, WriteRefusesLineBreaksAndBadNames)
{
    const QString path = IniFilePath();
    const struct {
        QString section, key, value, reason;
    } cases[] = {
        {QStringLiteral("System"), QStringLiteral("DataDir"), QStringLiteral("/data\n[Other]"),
         QStringLiteral("the value for DataDir in section [System] holds a line break, which the file cannot store")},
        {QStringLiteral("System"), QStringLiteral("DataDir"), QStringLiteral("/data\r"),
         QStringLiteral("the value for DataDir in section [System] holds a line break, which the file cannot store")},
        {QStringLiteral("System"), QStringLiteral("Data\nDir"), QStringLiteral("v"), QStringLiteral("\"Data\nDir\" cannot be a key name in it")},
        {QStringLiteral("System"), QStringLiteral("A=B"), QStringLiteral("v"), QStringLiteral("\"A=B\" cannot be a key name in it")},
        {QStringLiteral("System"), QStringLiteral(";A"), QStringLiteral("v"), QStringLiteral("\";A\" cannot be a key name in it")},
        {QStringLiteral("System"), QStringLiteral("[A]"), QStringLiteral("v"), QStringLiteral("\"[A]\" cannot be a key name in it")},
        {QStringLiteral("System"), QStringLiteral(" A"), QStringLiteral("v"), QStringLiteral("\" A\" cannot be a key name in it")},
        {QStringLiteral("System"), QString(), QStringLiteral("v"), QStringLiteral("\"\" cannot be a key name in it")},
        {QStringLiteral("Sys]tem"), QStringLiteral("A"), QStringLiteral("v"), QStringLiteral("\"Sys]tem\" cannot be a section name in it")},
        {QStringLiteral("Sys\r\ntem"), QStringLiteral("A"), QStringLiteral("v"), QStringLiteral("\"Sys\r\ntem\" cannot be a section name in it")},
        {QString(), QStringLiteral("A"), QStringLiteral("v"), QStringLiteral("\"\" cannot be a section name in it")},
    };
    const QByteArray before("[System]\nDataDir=old\n");
    for (const auto &c : cases) {
        setIni(before);
        try {
            IniWriteString(c.section, c.key, c.value);
            ADD_FAILURE() << "no exception for " << c.reason.toStdString();
        } catch (const FrameworkError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + path + QStringLiteral(": ") + c.reason);
        }
        EXPECT_EQ(ini(), before);
    }
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

// The user's configuration and data folders point into a temporary folder of this test's own, so
// the real ones stay untouched and tests running side by side do not meet.
class InstalledTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(build.isValid());
        ASSERT_FALSE(InstallBinDir().isEmpty());
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
            qputenv(name, QFile::encodeName(home.filePath(QString::fromLatin1(name))));
        }
        config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        ASSERT_TRUE(config.startsWith(home.path()));
        ASSERT_TRUE(data.startsWith(home.path()));
    }
    void TearDown() override
    {
        setProgramDirForTesting(QString());
        for (const auto &[name, value, wasSet] : saved) {
            if (wasSet)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
    }
    QString config, data;
    QTemporaryDir home, build;
    std::vector<std::tuple<const char *, QByteArray, bool>> saved;
};

TEST_F(InstalledTest, IniLivesInTheConfigurationFolderOnlyWhenInstalled)
{
    const QString bin = InstallBinDir();
    const struct {
        QString programDir;
        bool installed;
    } cases[] = {
        {bin, true},
        {bin + QStringLiteral("../") + QDir(bin).dirName(), true},
        {bin + QStringLiteral("sub"), false},
        {build.path(), false},
    };
    for (const auto &c : cases) {
        setProgramDirForTesting(c.programDir);
        EXPECT_EQ(RunsInstalled(), c.installed) << c.programDir.toStdString();
        EXPECT_EQ(IniFilePath(), c.installed ? config + QStringLiteral("/KVT3.INI") : ProgramDir() + QStringLiteral("KVT3.INI"));
        EXPECT_EQ(DefaultDataDir(), c.installed ? data + QStringLiteral("/DATA") : ProgramDir() + QStringLiteral("DATA"));
    }
}

TEST_F(InstalledTest, FirstStartWritesTheIniIntoANewConfigurationFolder)
{
    setProgramDirForTesting(InstallBinDir());
    ASSERT_FALSE(QFile::exists(config));
    TDM1 dm;
    DM1 = &dm;
    test::MessageRecorder rec;
    QDir().mkpath(DefaultDataDir());
    writeAll(QDir(DefaultDataDir()).filePath(QString::fromLatin1(Database::StoreFileName)), QByteArray());
    EXPECT_TRUE(DataDirsSetup());
    DM1 = nullptr;
    EXPECT_TRUE(rec.boxes.isEmpty()) << rec.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(readAll(config + QStringLiteral("/KVT3.INI")),
              (QStringLiteral("[System]\nDataDir=") + data + QStringLiteral("/DATA\nNetFileDir=/\nPrivateDir=") + TempDir() +
               QStringLiteral("\n"))
                  .toUtf8());
    EXPECT_EQ(dm.Database1.param(QStringLiteral("PATH")), data + QStringLiteral("/DATA"));
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

TEST_F(DataDirsTest, ServerStoresThatCannotBeOpenedAreReportedAsAFailedOpen)
{
    // The data directory names a server store; what goes wrong is said naming server and database,
    // never a password.
    const QString data = otherPath("served");
    QDir().mkpath(data);
    const struct {
        QByteArray connection;
        QStringList says;
    } cases[] = {
        {"host=/nonexistent/kvtsocket dbname=kvtshared connect_timeout=2\n", {"database 'kvtshared'", "server '/nonexistent/kvtsocket'"}},
        {"host=db1 dbname=kvt password=Secret7\n", {"holds a password"}},
    };
    for (const auto &c : cases) {
        rec.clear();
        writeAll(QDir(data).filePath(QStringLiteral("KVT3.pgconn")), c.connection);
        setIni(("[System]\nDataDir=" + data + "\nNetFileDir=\nPrivateDir=" + other.path() + "\n").toUtf8());
        EXPECT_FALSE(DataDirsSetup());
        ASSERT_EQ(rec.boxes.size(), 1);
        const QString text = rec.boxes[0].text;
        EXPECT_TRUE(text.startsWith(QStringLiteral("MiscFunc(305): "))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral(": Invalid DataDir in INI file."))) << text.toStdString();
        for (const QString &w : c.says) {
            EXPECT_TRUE(text.contains(w)) << text.toStdString();
        }
        EXPECT_FALSE(text.contains(QStringLiteral("Secret7"))) << text.toStdString();
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
