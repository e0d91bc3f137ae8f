#pragma once
// The program's directories, the INI file KVT3.INI beside the executable, and the data directories
// that the session and the database take from it.
#include <QString>

namespace kvt {

/// Directory of the executable, ending in "/". Computed once.
QString ProgramDir();
/// ProgramDir() + "KVT3.INI".
QString IniFilePath();
/// The system's temporary directory, ending in "/"; "/tmp/" when the system reports none.
QString TempDir();

/// Value of key in section, trimmed; def when the file, the section or the key is missing.
/// Section and key names match without regard to case.
QString IniReadString(const QString &section, const QString &key, const QString &def);
/// Writes key=value into section, creating the file, the section and the key as needed and leaving
/// everything else as it was. Raises FrameworkError "Unable to write to <IniFilePath>" on failure.
void IniWriteString(const QString &section, const QString &key, const QString &value);

/// The drive root of a data directory: "/" for an absolute path, else its first three characters.
QString DriveRoot(const QString &dataDir);

/// Reads DataDir, NetFileDir and PrivateDir (writing missing ones back), applies them to DM1's
/// database and session and opens both. False after a reported failure.
bool DataDirsSetup();

/// Replaces the executable's directory (tests; empty: the executable's again) and forgets the
/// cached INI path.
void setProgramDirForTesting(const QString &dir);

} // namespace kvt
