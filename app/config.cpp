#include "app/config.h"
#include "app/datamodule.h"
#include "common/fldfuncs.h"
#include "common/reporterror.h"
#include "engine/errors.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
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

// One line of the file, kept byte for byte so that a write changes only the line it means to.
struct IniLine {
    QByteArray raw;   // without its line ending
    QByteArray ending; // "\n", "\r\n" or empty for a last line without one
};

std::vector<IniLine> splitLines(const QByteArray &data)
{
    std::vector<IniLine> lines;
    int from = 0;
    while (from < data.size()) {
        const int nl = data.indexOf('\n', from);
        if (nl < 0) {
            lines.push_back({data.mid(from), QByteArray()});
            break;
        }
        QByteArray raw = data.mid(from, nl - from);
        QByteArray ending("\n");
        if (raw.endsWith('\r')) {
            raw.chop(1);
            ending = "\r\n";
        }
        lines.push_back({raw, ending});
        from = nl + 1;
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
    if (eq < 0)
        return false;
    key = fldTrim(text.left(eq));
    value = fldTrim(text.mid(eq + 1));
    return true;
}

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

[[noreturn]] void writeFailed()
{
    throw FrameworkError(QStringLiteral("Unable to write to %1").arg(IniFilePath()));
}

} // namespace

QString ProgramDir()
{
    if (!g_programDir)
        g_programDir = withSeparator(QCoreApplication::applicationDirPath());
    return *g_programDir;
}

QString IniFilePath()
{
    if (!g_iniFilePath)
        g_iniFilePath = ProgramDir() + QStringLiteral("KVT3.INI");
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
    const std::vector<IniLine> lines = splitLines(file.readAll());
    file.close();

    bool inSection = false;
    for (const IniLine &l : lines) {
        const QString text = lineText(l);
        QString name, value;
        if (sectionName(text, name)) {
            // The first section of that name is the one that counts, as with the Windows functions.
            if (inSection)
                break;
            inSection = sameName(name, section);
        } else if (inSection && keyValue(text, name, value) && sameName(name, key)) {
            return value.left(MaxValueLength);
        }
    }
    return def;
}

void IniWriteString(const QString &section, const QString &key, const QString &value)
{
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
    std::vector<IniLine> lines = splitLines(data);
    const QByteArray eol = data.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const QByteArray entry = (key + QLatin1Char('=') + value).toUtf8();

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

    QByteArray out;
    for (const IniLine &l : lines)
        out += l.raw + l.ending;

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
        dataDir = ProgramDir() + QStringLiteral("DATA");
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
