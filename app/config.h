#pragma once
// The program's directories, the INI file KVT3.INI, and the data directories that the session and the
// database take from it.
//
// Where KVT3.INI lives: beside the executable when the program runs from its own folder (a build or
// program folder); in the user's configuration folder (QStandardPaths::AppConfigLocation) when it is
// installed, that is when the executable lies in the folder the build installs programs to
// (CMAKE_INSTALL_PREFIX/bin), which its users cannot write.
#include <QString>

namespace kvt {

/// Directory of the executable, ending in "/". Computed once.
QString ProgramDir();
/// The folder the build installs programs to, ending in "/"; empty when the build did not say.
QString InstallBinDir();
/// True when ProgramDir() is InstallBinDir() (compared as real paths).
bool RunsInstalled();
/// Folder of KVT3.INI, ending in "/": the user's configuration folder for an installed program,
/// else ProgramDir().
QString ConfigDir();
/// Data directory written when KVT3.INI names none: "DATA" in the user's data folder
/// (QStandardPaths::AppDataLocation) for an installed program, else ProgramDir() + "DATA".
QString DefaultDataDir();
/// ConfigDir() + "KVT3.INI". Computed once.
QString IniFilePath();
/// The system's temporary directory, ending in "/"; "/tmp/" when the system reports none.
QString TempDir();

/// Value of key in section, read as the Windows profile functions read it: names match without
/// regard to case, blanks around names and values are dropped, a value in matching double or single
/// quotes loses them, lines starting with ";" and lines without "=" are no keys, the first section
/// of a name and the first line of a key count; lines end in LF, CR LF or CR; a file starting with
/// a UTF-16 byte order mark is read as UTF-16, else as UTF-8. At most 1023 characters.
/// def when the file, the section or the key is missing.
QString IniReadString(const QString &section, const QString &key, const QString &def);
/// Writes key=value into section, creating the file, the section and the key as needed and leaving
/// everything else as it was (new lines end as the file's lines do). A value that would read back
/// otherwise (blanks or quotes at its ends) is written in double quotes. Raises FrameworkError
/// "Unable to write to <IniFilePath>" on failure, with the reason appended for a value holding a
/// line break or a name that the file cannot hold.
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
