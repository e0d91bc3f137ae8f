#pragma once
// Data directories and editor windows for the cases. Failures in set-up end the program: a figure
// measured on a broken set-up would mean nothing.
#include "tools/datadir.h"
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace kvt {
class TRepMainForm;
}

namespace bench {

[[noreturn]] void fail(const QString &why);

/// A temporary program directory ("…/", with DATA below it holding a store made with options).
class ProgramDir {
public:
    explicit ProgramDir(const kvt::datadir::Options &options);
    /// A program directory whose DATA is the data directory given (a link to it, nothing copied).
    explicit ProgramDir(const QString &existingDataDir);
    QString path() const { return m_path; }
    QString dataDir() const { return m_path + QStringLiteral("DATA"); }

private:
    QTemporaryDir m_tmp;
    QString m_path;
};

/// The data directory of the 1,000,000-node category: cfg.bigData, made there when it holds no store
/// yet, else made once per run in a temporary folder.
QString bigDataDir(const struct Config &cfg);

/// Runs statements in one transaction on the store of dataDir, through a connection of its own.
void execOnStore(const QString &dataDir, const QStringList &statements);

/// A plain Qt SQL connection of its own on the store of dataDir (the baselines' access path).
class BareConnection {
public:
    explicit BareConnection(const QString &dataDir);
    ~BareConnection();
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

/// Forgets the process-wide text caches and shared fonts, as in a new process.
void forgetTexts();

/// The editor on a program directory: data module, main window, shown (its first show has run).
class EditorSession {
public:
    explicit EditorSession(const QString &programDir);
    ~EditorSession();
    kvt::TRepMainForm *w = nullptr;
};

} // namespace bench
