#pragma once
// The edit journal: every post to the report definition tables is recorded, in the post's own
// transaction, one row per changed column, so that the journal and the rows never disagree.
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

namespace kvt {

class Database;

namespace journal {

constexpr const char *TableName = "EditJournal";

/// True for the tables whose posts are journaled (by SQL name, any letter case).
bool isJournaled(const QString &sqlTable);

/// The statement that creates the journal when it is missing (the same for both kinds of store).
QString createStatement(bool server);

/// The operating system's user name and host name, as the journal records them.
QString userName();
QString hostName();

/// One changed column of a post.
struct Change {
    QString column;
    QVariant oldValue;
    QVariant newValue;
};

/// One journal row.
struct Entry {
    qint64 id = 0;
    QDateTime time; // UTC
    QString user;
    QString host;
    QString table;  // the table's file name, "RepCtrl.DB"
    QString key;    // primary key values, "RepName=Phone List; RctGroup=1; RctNo=2"
    QString column;
    QVariant oldValue;
    QVariant newValue;
};

/// The key text of a row from its primary key columns and values.
QString keyText(const QStringList &columns, const QVariantList &values);

/// Writes the journal rows of one post (call inside the post's transaction); creates the journal
/// first when this open database has not seen it yet. Raises EngineError.
void record(Database &db, const QString &tableName, const QString &key, const QVector<Change> &changes);

/// Reads the journal, newest first: all of it, or one row's (table and key), or since a time.
QVector<Entry> read(QSqlDatabase db, const QString &tableName = QString(), const QString &key = QString(),
                    const QDateTime &since = QDateTime());
/// The same through an open database; an empty list when it has no journal yet.
QVector<Entry> read(Database &db, const QString &tableName = QString(), const QString &key = QString());

/// One line of text for an entry: "2026-12-10 13:30:00 anna@host1 RepCtrl.DB [key] RctWidth: 30 -> 33".
QString line(const Entry &e);
/// A value as the journal shows it ("(empty)" for none).
QString valueText(const QVariant &v);

/// One journaled post of this editor: the row (table, key) and its changed columns.
struct Step {
    QString table;
    QString key;
    QStringList keyColumns;
    QVariantList keyValues;
    QVector<Change> changes;
};

/// Told of every journaled post of this process, after it committed.
extern std::function<void(const Step &)> onPosted;

/// The outcome of writing a step back (or again).
struct RevertResult {
    bool done = false;
    bool missing = false; // the row no longer exists
    Entry since;          // when not done: the newest journal row of the change made since (id 0: none)
};

/// Undo (the old values written where the new ones are still held) or redo (the other way) of a
/// step, as a new post through the conflict-safe path: when the row holds other values nothing is
/// written and the result names the change made since. Raises EngineError when the post fails.
RevertResult revert(Database &db, const Step &step, bool undo);

/// This editor's posts, to be undone and redone in turn.
class UndoStack {
public:
    /// Starts listening to the posts of this process; one stack listens at a time.
    void attach();
    void detach();
    void push(const Step &step);
    const Step *nextUndo() const { return m_undo.isEmpty() ? nullptr : &m_undo.last(); }
    const Step *nextRedo() const { return m_redo.isEmpty() ? nullptr : &m_redo.last(); }
    /// Undo and redo: the step moves to the other list only when it was written.
    RevertResult undo(Database &db);
    RevertResult redo(Database &db);

private:
    RevertResult move(Database &db, QVector<Step> &from, QVector<Step> &to, bool undo);
    QVector<Step> m_undo;
    QVector<Step> m_redo;
    bool m_reverting = false;
};

/// Called between the row write and the journal rows of a post (tests simulate a crash there).
extern std::function<void()> afterRowWrite;

} // namespace journal
} // namespace kvt
