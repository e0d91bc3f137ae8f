#include "app/config.h"
#include "app/datamodule.h"
#include "common/fldfuncs.h"
#include "common/reporterror.h"
#include "engine/errors.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringConverter>
#include <QStringList>
#include <optional>

namespace kvt {
namespace {

const QString NoValue = QStringLiteral("$$##");
const QString System = QStringLiteral("System");

// Profile reads return at most 1023 characters, as with a 1024-character buffer.
constexpr int MaxValueLength = 1023;

std::optional<QString> g_programDir;
std::optional<QString> g_iniFilePath;
std::optional<QString> g_tempDir;

QString withSeparator(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

// The file as the profile functions see it: UTF-8 by default (bytes that are not UTF-8 stay as they
// are on a write), UTF-16 when it starts with its byte order mark. The body is held as UTF-8 either
// way, and a write puts back the file's own encoding and mark.
enum class IniEncoding { Utf8, Utf16LE, Utf16BE };

struct IniContent {
    IniEncoding encoding = IniEncoding::Utf8;
    QByteArray bom;
    QByteArray body;
};

IniContent decodeFile(const QByteArray &data)
{
    IniContent c;
    const auto fromUtf16 = [&](QStringConverter::Encoding e) {
        QStringDecoder decode(e);
        c.bom = data.left(2);
        c.body = QString(decode(data.mid(2))).toUtf8();
    };
    if (data.startsWith("\xFF\xFE")) {
        c.encoding = IniEncoding::Utf16LE;
        fromUtf16(QStringConverter::Utf16LE);
    } else if (data.startsWith("\xFE\xFF")) {
        c.encoding = IniEncoding::Utf16BE;
        fromUtf16(QStringConverter::Utf16BE);
    } else if (data.startsWith("\xEF\xBB\xBF")) {
        c.bom = data.left(3);
        c.body = data.mid(3);
    } else {
        c.body = data;
    }
    return c;
}

QByteArray encodeFile(const IniContent &c, const QByteArray &body)
{
    if (c.encoding == IniEncoding::Utf8)
        return c.bom + body;
    QStringEncoder encode(c.encoding == IniEncoding::Utf16LE ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    return c.bom + QByteArray(encode(QString::fromUtf8(body)));
}

// One line of the file, kept byte for byte so that a write changes only the line it means to.
struct IniLine {
    QByteArray raw;    // without its line ending
    QByteArray ending; // "\n", "\r\n", "\r" or empty for a last line without one
};

std::vector<IniLine> splitLines(const QByteArray &data)
{
    std::vector<IniLine> lines;
    int from = 0;
    while (from < data.size()) {
        int end = from;
        while (end < data.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        int next = end;
        if (next < data.size())
            next += (data[next] == '\r' && next + 1 < data.size() && data[next + 1] == '\n') ? 2 : 1;
        lines.push_back({data.mid(from, end - from), data.mid(end, next - end)});
        from = next;
    }
    return lines;
}

QString lineText(const IniLine &l) { return fldTrim(QString::fromUtf8(l.raw)); }

bool sectionName(const QString &text, QString &name)
{
    if (!text.startsWith(QLatin1Char('[')))
        return false;
    const int close = text.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    name = fldTrim(text.mid(1, close - 1));
    return true;
}

bool isComment(const QString &text) { return text.startsWith(QLatin1Char(';')); }

bool keyValue(const QString &text, QString &key, QString &value)
{
    if (isComment(text))
        return false;
    const int eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    key = fldTrim(text.left(eq));
    value = fldTrim(text.mid(eq + 1));
    return !key.isEmpty();
}

bool isQuote(QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); }

// A value in matching single or double quotes loses them; the quotes keep the blanks inside.
QString unquoted(const QString &value)
{
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The text to store so that a read gives value back: quoted when its edges are blanks or quotes.
QString stored(const QString &value)
{
    if (fldTrim(value) != value || unquoted(value) != value)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

[[noreturn]] void writeFailed(const QString &why = QString())
{
    throw FrameworkError(QStringLiteral("Unable to write to %1").arg(IniFilePath()) + why);
}

// Names and values that would read back as something else, or break the file into extra lines.
void checkWritable(const QString &section, const QString &key, const QString &value)
{
    const auto refuse = [](const QString &what) { writeFailed(QStringLiteral(": ") + what); };
    if (section.isEmpty() || hasLineBreak(section) || section.contains(QLatin1Char(']')) || fldTrim(section) != section)
        refuse(QStringLiteral("\"%1\" cannot be a section name in it").arg(section));
    if (key.isEmpty() || hasLineBreak(key) || key.contains(QLatin1Char('=')) || fldTrim(key) != key ||
        key.startsWith(QLatin1Char('[')) || isComment(key))
        refuse(QStringLiteral("\"%1\" cannot be a key name in it").arg(key));
    if (hasLineBreak(value))
        refuse(QStringLiteral("the value for %1 in section [%2] holds a line break, which the file cannot store")
                   .arg(key, section));
}

} // namespace

QString ProgramDir()
{
    if (!g_programDir)
        g_programDir = withSeparator(QCoreApplication::applicationDirPath());
    return *g_programDir;
}

QString InstallBinDir()
{
#ifdef KVT_INSTALL_BINDIR
    return withSeparator(QStringLiteral(KVT_INSTALL_BINDIR));
#else
    return QString();
#endif
}

bool RunsInstalled()
{
    const QString bin = InstallBinDir();
    if (bin.isEmpty())
        return false;
    // Compared as real paths: /bin may be a link to /usr/bin.
    const auto real = [](const QString &dir) {
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        return withSeparator(canonical.isEmpty() ? QDir::cleanPath(dir) : canonical);
    };
    return real(ProgramDir()) == real(bin);
}

QString ConfigDir()
{
    if (RunsInstalled())
        return withSeparator(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    return ProgramDir();
}

QString DefaultDataDir()
{
    if (RunsInstalled())
        return withSeparator(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)) + QStringLiteral("DATA");
    return ProgramDir() + QStringLiteral("DATA");
}

QString IniFilePath()
{
    if (!g_iniFilePath)
        g_iniFilePath = ConfigDir() + QStringLiteral("KVT3.INI");
    return *g_iniFilePath;
}

QString TempDir()
{
    if (!g_tempDir) {
        const QString t = QDir::tempPath();
        g_tempDir = t.isEmpty() ? QStringLiteral("/tmp/") : withSeparator(t);
    }
    return *g_tempDir;
}

void setProgramDirForTesting(const QString &dir)
{
    if (dir.isEmpty())
        g_programDir.reset();
    else
        g_programDir = withSeparator(dir);
    g_iniFilePath.reset();
}

QString IniReadString(const QString &section, const QString &key, const QString &def)
{
    QFile file(IniFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return def;
    const std::vector<IniLine> lines = splitLines(decodeFile(file.readAll()).body);
    file.close();

    bool inSection = false;
    for (const IniLine &l : lines) {
        const QString text = lineText(l);
        QString name, value;
        if (sectionName(text, name)) {
            // The first section of that name is the one that counts, as with the Windows functions;
            // so is the first line of a key.
            if (inSection)
                break;
            inSection = sameName(name, section);
        } else if (inSection && keyValue(text, name, value) && sameName(name, key)) {
            return unquoted(value).left(MaxValueLength);
        }
    }
    return def;
}

void IniWriteString(const QString &section, const QString &key, const QString &value)
{
    checkWritable(section, key, value);
    const QString path = IniFilePath();
    QByteArray data;
    {
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly))
                writeFailed();
            data = file.readAll();
        }
    }
    const IniContent content = decodeFile(data);
    std::vector<IniLine> lines = splitLines(content.body);
    // The user's configuration folder of an installed program may not exist yet.
    if (RunsInstalled() && !QDir().mkpath(QFileInfo(path).absolutePath()))
        writeFailed();
    // New lines end as the file's first line does.
    QByteArray eol("\n");
    for (const IniLine &l : lines) {
        if (!l.ending.isEmpty()) {
            eol = l.ending;
            break;
        }
    }
    const QByteArray entry = (key + QLatin1Char('=') + stored(value)).toUtf8();

    int sectionAt = -1;
    int lastEntry = -1;   // last non-blank line of the section
    int keyAt = -1;
    for (int i = 0; i < int(lines.size()); ++i) {
        const QString text = lineText(lines[i]);
        QString name, v;
        if (sectionName(text, name)) {
            if (sectionAt >= 0)
                break;
            if (sameName(name, section)) {
                sectionAt = i;
                lastEntry = i;
            }
            continue;
        }
        if (sectionAt < 0)
            continue;
        if (!text.isEmpty())
            lastEntry = i;
        if (keyAt < 0 && keyValue(text, name, v) && sameName(name, key))
            keyAt = i;
    }

    if (keyAt >= 0) {
        lines[keyAt].raw = entry;
    } else if (sectionAt >= 0) {
        if (lines[lastEntry].ending.isEmpty())
            lines[lastEntry].ending = eol;
        lines.insert(lines.begin() + lastEntry + 1, IniLine{entry, eol});
    } else {
        if (!lines.empty() && lines.back().ending.isEmpty())
            lines.back().ending = eol;
        lines.push_back({(QLatin1Char('[') + section + QLatin1Char(']')).toUtf8(), eol});
        lines.push_back({entry, eol});
    }

    QByteArray body;
    for (const IniLine &l : lines)
        body += l.raw + l.ending;
    const QByteArray out = encodeFile(content, body);

    // Written beside the old file and renamed over it, so a failed write leaves the old file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        writeFailed();
}

QString DriveRoot(const QString &dataDir)
{
    const QString d = fldTrim(dataDir);
    if (d.startsWith(QLatin1Char('/')))
        return QStringLiteral("/");
    return d.left(3);
}

bool DataDirsSetup()
{
    if (!DM1)
        throw FrameworkError(QStringLiteral("The data module does not exist"));
    Database &db = DM1->Database1;
    Session &session = DM1->Session1;
    db.close();
    session.close();

    QString dataDir = IniReadString(System, QStringLiteral("DataDir"), NoValue);
    if (dataDir == NoValue || dataDir.isEmpty()) {
        dataDir = DefaultDataDir();
        IniWriteString(System, QStringLiteral("DataDir"), dataDir);
    }
    db.setParam(QStringLiteral("PATH"), dataDir);

    const QString root = DriveRoot(dataDir);

    QString netDir = IniReadString(System, QStringLiteral("NetFileDir"), NoValue);
    if (netDir == NoValue) {
        netDir = root;
        IniWriteString(System, QStringLiteral("NetFileDir"), netDir);
    }
    // An empty stored value means the drive root but stays empty in the file.
    session.setNetFileDir(netDir.isEmpty() ? root : netDir);

    QString privateDir = IniReadString(System, QStringLiteral("PrivateDir"), NoValue);
    if (privateDir == NoValue) {
        privateDir = TempDir();
        IniWriteString(System, QStringLiteral("PrivateDir"), privateDir);
    }
    // Empty: the engine's own default applies.
    if (!privateDir.isEmpty())
        session.setPrivateDir(privateDir);

    try {
        session.open();
    } catch (const std::exception &e) {
        ReportError(QStringLiteral("MiscFunc"), 295, &e, QStringLiteral("Invalid NetFileDir or PrivateDir in INI file."));
        return false;
    }
    try {
        db.open();
    } catch (const std::exception &e) {
        ReportError(QStringLiteral("MiscFunc"), 305, &e, QStringLiteral("Invalid DataDir in INI file."));
        session.close();
        return false;
    }
    return true;
}

} // namespace kvt
