#pragma once
// The editor's side of the edit journal: undo and redo of this editor's posts (Ctrl+Z, Ctrl+Shift+Z
// and the tree's pop-up menu) and the "History…" dialog of the selected node's row.
#include "engine/journal.h"
#include <QDialog>
#include <QObject>

class QAction;
class QTreeWidget;
class QPushButton;

namespace kvt {

class Table;
class TRepMainForm;

/// Lists a row's journal, newest first; "Revert" writes the old value of the chosen entry back.
class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    HistoryDialog(const QString &rowText, const QVector<journal::Entry> &entries,
                  const std::function<QString(const QString &)> &caption, QWidget *parent = nullptr);
    QTreeWidget *list;
    QPushButton *btnRevert;
    QPushButton *btnClose;
    /// The entry chosen for revert (valid after the dialog was accepted).
    int chosen() const;
};

class EditorJournal : public QObject {
    Q_OBJECT
public:
    explicit EditorJournal(TRepMainForm *form);
    ~EditorJournal() override;

    QAction *PmRepEdtUndo;
    QAction *PmRepEdtRedo;
    QAction *PmRepEdtHistory;

    void undo();
    void redo();
    void showHistory();
    /// Texts of the actions from the steps they would write ("Undo Width 30 -> 33 of Company").
    void updateActions();
    /// The caption of a column as the pages show it (the column name when no page shows it).
    QString caption(const QString &column) const;
    journal::UndoStack &stack() { return m_stack; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString stepText(const journal::Step &s, bool undo) const;
    void apply(const journal::Step &step, bool undo, bool fromStack);
    void afterWrite(const journal::Step &step);
    Table *tableOf(const QString &tableName) const;
    TRepMainForm *m_form;
    journal::UndoStack m_stack;
};

/// The text of a row as its node shows it, without the node's index.
QString rowText(const QString &tableName, const QStringList &keyColumns, const QVariantList &keyValues);

} // namespace kvt
