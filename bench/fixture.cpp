#include "bench/fixture.h"
#include "bench/harness.h"
#include "app/config.h"
#include "app/datamodule.h"
#include "editor/repmainfrm.h"
#include "engine/session.h"
#include "labels/gui/formsetup.h"
#include "labels/textcache.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cstdio>
#include <cstdlib>

namespace bench {

void fail(const QString &why) {
    std::fprintf(stderr, "kvt-bench: %s\n", qPrintable(why));
    std::exit(2);
}

ProgramDir::ProgramDir(const kvt::datadir::Options &options) {
    if (!m_tmp.isValid())
        fail(QStringLiteral("cannot create a temporary directory"));
    m_path = m_tmp.path() + QLatin1Char('/');
    const QString err = kvt::datadir::create(dataDir(), options);
    if (!err.isEmpty())
        fail(QStringLiteral("cannot create the data directory: ") + err);
}

ProgramDir::ProgramDir(const QString &existingDataDir) {
    if (!m_tmp.isValid())
        fail(QStringLiteral("cannot create a temporary directory"));
    m_path = m_tmp.path() + QLatin1Char('/');
    if (!QFile::link(QDir(existingDataDir).absolutePath(), dataDir()))
        fail(QStringLiteral("cannot link %1 as the data directory").arg(existingDataDir));
}

QString bigDataDir(const Config &cfg) {
    static std::unique_ptr<QTemporaryDir> made;
    QString dir = cfg.bigData;
    if (dir.isEmpty()) {
        if (!made) {
            made = std::make_unique<QTemporaryDir>();
            if (!made->isValid())
                fail(QStringLiteral("cannot create a temporary directory"));
        }
        dir = made->path() + QStringLiteral("/DATA");
    }
    if (QFile::exists(QDir(dir).filePath(QString::fromLatin1(kvt::Database::StoreFileName))))
        return dir;
    kvt::datadir::Options o;
    o.benchReports = 1000;
    o.benchBands = 10;
    o.benchControls = 100;
    note(QStringLiteral("making the 1,000,000-node store in %1").arg(dir));
    const QString err = kvt::datadir::create(dir, o);
    if (!err.isEmpty())
        fail(QStringLiteral("cannot create the data directory: ") + err);
    return dir;
}

namespace {
QString storeFile(const QString &dataDir) {
    return QDir(dataDir).filePath(QString::fromLatin1(kvt::Database::StoreFileName));
}
} // namespace

void execOnStore(const QString &dataDir, const QStringList &statements) {
    BareConnection c(dataDir);
    QSqlDatabase db = c.db();
    db.transaction();
    QSqlQuery q(db);
    for (const QString &s : statements)
        if (!q.exec(s))
            fail(s + QStringLiteral(": ") + q.lastError().text());
    q = QSqlQuery();
    db.commit();
}

BareConnection::BareConnection(const QString &dataDir)
    : m_name(QStringLiteral("bench-") + QUuid::createUuid().toString()) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(storeFile(dataDir));
    if (!db.open())
        fail(QStringLiteral("cannot open the store: ") + db.lastError().text());
}

BareConnection::~BareConnection() {
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

void forgetTexts() {
    delete kvt::txtFldLst;
    delete kvt::txtBtnLst;
    delete kvt::txtMsgLst;
    kvt::txtFldLst = nullptr;
    kvt::txtBtnLst = nullptr;
    kvt::txtMsgLst = nullptr;
    for (kvt::FontDesc **f : {&kvt::fntLabel, &kvt::fntField, &kvt::fntClmLabel, &kvt::fntClmField}) {
        delete *f;
        *f = nullptr;
    }
}

EditorSession::EditorSession(const QString &programDir) {
    kvt::setProgramDirForTesting(programDir);
    forgetTexts();
    kvt::DM1 = new kvt::TDM1();
    w = new kvt::TRepMainForm();
    w->show();
    QCoreApplication::processEvents();
    if (w->FirstShow)
        fail(QStringLiteral("the first show of the main window did not finish"));
}

EditorSession::~EditorSession() {
    // Nothing the cases did is meant to be saved.
    w->TblReports->cancel();
    w->TblRepBand->cancel();
    w->TblRepCtrl->cancel();
    delete w;
    delete kvt::DM1;
    kvt::DM1 = nullptr;
    forgetTexts();
    kvt::setProgramDirForTesting(QString());
}

} // namespace bench
