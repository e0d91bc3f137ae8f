#include "editor/historydlg.h"
#include "common/gui/dialogservice.h"
#include "common/messageservice.h"
#include "common/stdexception.h"
#include "dbwidgets/dbcontrol.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "engine/dataset.h"
#include "engine/session.h"
#include "labels/textcache.h"
#include "reportdef/codes.h"
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kvt {

namespace {

// "RepName=Q1; RctGroup=G1; RctName=X" -> columns and values.
void parseKey(const QString &key, QStringList &columns, QVariantList &values)
{
    for (const QString &part : key.split(QStringLiteral("; "))) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        columns << part.left(eq);
        values << part.mid(eq + 1);
    }
}

QString keyValue(const QStringList &columns, const QVariantList &values, const char *column)
{
    const int i = columns.indexOf(QString::fromLatin1(column), 0);
    return i >= 0 ? values.value(i).toString() : QString();
}

} // namespace

QString rowText(const QString &tableName, const QStringList &keyColumns, const QVariantList &keyValues)
{
    const QString t = Database::sqlTableName(tableName).toLower();
    if (t == QLatin1String("repctrl")) {
        // As the node shows it (its label from the texts, else its name), without the "NN. " index.
        const QString text = controlNodeText(0, keyValue(keyColumns, keyValues, "RctName"), txtFldLst);
        return text.mid(text.indexOf(QLatin1String(". ")) + 2);
    }
    if (t == QLatin1String("repband")) {
        const QString band = keyValue(keyColumns, keyValues, "RbdName");
        return band.isEmpty() ? keyValue(keyColumns, keyValues, "RbdGroup") : band;
    }
    return keyValue(keyColumns, keyValues, "RepName");
}

// ------------------------------------------------------------------ the dialog

HistoryDialog::HistoryDialog(const QString &rowText, const QVector<journal::Entry> &entries,
                             const std::function<QString(const QString &)> &caption, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("History of %1").arg(rowText));
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("&Changes, newest first:"), this);
    layout->addWidget(label);
    list = new QTreeWidget(this);
    list->setObjectName(QStringLiteral("HistoryList"));
    list->setAccessibleName(QStringLiteral("Changes"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Who"), QStringLiteral("When"), QStringLiteral("Field"),
                           QStringLiteral("Change")});
    for (const journal::Entry &e : entries) {
        auto *item = new QTreeWidgetItem(list);
        item->setText(0, e.user + QLatin1Char('@') + e.host);
        item->setText(1, e.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        item->setText(2, caption(e.column));
        item->setText(3, journal::valueText(e.oldValue) + QStringLiteral(" -> ") + journal::valueText(e.newValue));
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    label->setBuddy(list);
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(this);
    btnRevert = buttons->addButton(QStringLiteral("&Revert"), QDialogButtonBox::AcceptRole);
    btnRevert->setObjectName(QStringLiteral("btnRevert"));
    btnRevert->setAccessibleName(QStringLiteral("Revert the chosen change"));
    btnRevert->setEnabled(!entries.isEmpty());
    btnClose = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setAccessibleName(QStringLiteral("Close"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 320);
}

int HistoryDialog::chosen() const
{
    QTreeWidgetItem *item = list->currentItem();
    return item ? list->indexOfTopLevelItem(item) : -1;
}

// ------------------------------------------------------------------ the controller

EditorJournal::EditorJournal(TRepMainForm *form) : QObject(form), m_form(form)
{
    setObjectName(QStringLiteral("EditorJournal"));
    m_stack.attach();
    PmRepEdtUndo = new QAction(QStringLiteral("Undo"), form);
    PmRepEdtUndo->setObjectName(QStringLiteral("PmRepEdtUndo"));
    PmRepEdtUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    PmRepEdtUndo->setShortcutContext(Qt::WidgetShortcut); // the keys are taken by the event filter
    PmRepEdtRedo = new QAction(QStringLiteral("Redo"), form);
    PmRepEdtRedo->setObjectName(QStringLiteral("PmRepEdtRedo"));
    PmRepEdtRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    PmRepEdtRedo->setShortcutContext(Qt::WidgetShortcut);
    PmRepEdtHistory = new QAction(QStringLiteral("History…"), form);
    PmRepEdtHistory->setObjectName(QStringLiteral("PmRepEdtHistory"));
    form->PmRepEdt->addSeparator();
    form->PmRepEdt->addAction(PmRepEdtUndo);
    form->PmRepEdt->addAction(PmRepEdtRedo);
    form->PmRepEdt->addAction(PmRepEdtHistory);
    connect(form->PmRepEdt, &QMenu::aboutToShow, this, &EditorJournal::updateActions);
    connect(PmRepEdtUndo, &QAction::triggered, this, [this] { guarded([this] { undo(); }); });
    connect(PmRepEdtRedo, &QAction::triggered, this, [this] { guarded([this] { redo(); }); });
    connect(PmRepEdtHistory, &QAction::triggered, this, [this] { guarded([this] { showHistory(); }); });
    qApp->installEventFilter(this);
    updateActions();
}

EditorJournal::~EditorJournal()
{
    m_stack.detach();
}

bool EditorJournal::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const bool isUndo = key->matches(QKeySequence::Undo);
    const bool isRedo = key->matches(QKeySequence::Redo) ||
                        key->keyCombination() == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
    if (!isUndo && !isRedo)
        return false;
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || w != QApplication::focusWidget() || !m_form->isAncestorOf(w) || w->window() != m_form->window())
        return false;
    // An edit's own undo of its typing comes first.
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        if (isUndo ? edit->isUndoAvailable() : edit->isRedoAvailable())
            return false;
    } else if (auto *text = qobject_cast<QPlainTextEdit *>(w)) {
        if (isUndo ? text->document()->isUndoAvailable() : text->document()->isRedoAvailable())
            return false;
    } else if (auto *rich = qobject_cast<QTextEdit *>(w)) {
        if (isUndo ? rich->document()->isUndoAvailable() : rich->document()->isRedoAvailable())
            return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept(); // the key comes as a key press, which we take below
        return true;
    }
    guarded([&] { isUndo ? undo() : redo(); });
    return true;
}

Table *EditorJournal::tableOf(const QString &tableName) const
{
    const QString t = Database::sqlTableName(tableName).toLower();
    if (t == QLatin1String("reports"))
        return m_form->TblReports;
    if (t == QLatin1String("repband"))
        return m_form->TblRepBand;
    return m_form->TblRepCtrl;
}

QString EditorJournal::caption(const QString &column) const
{
    // The page control bound to the column, named as the user reads it (its label, else what a
    // screen reader says for it).
    for (QWidget *w : m_form->findChildren<QWidget *>()) {
        auto *control = dynamic_cast<DbControl *>(w);
        if (!control || control->dataField().compare(column, Qt::CaseInsensitive) != 0)
            continue;
        const QString shown = visibleCaption(w);
        if (!shown.isEmpty())
            return shown;
    }
    return column;
}

QString EditorJournal::stepText(const journal::Step &s, bool undo) const
{
    QStringList parts;
    for (const journal::Change &c : s.changes)
        parts << QStringLiteral("%1 %2 -> %3")
                     .arg(caption(c.column), journal::valueText(c.oldValue), journal::valueText(c.newValue));
    return QStringLiteral("%1 %2 of %3")
        .arg(undo ? QStringLiteral("Undo") : QStringLiteral("Redo"), parts.join(QStringLiteral(", ")),
             rowText(s.table, s.keyColumns, s.keyValues));
}

void EditorJournal::updateActions()
{
    const journal::Step *u = m_stack.nextUndo();
    const journal::Step *r = m_stack.nextRedo();
    PmRepEdtUndo->setEnabled(u);
    PmRepEdtUndo->setText(u ? stepText(*u, true) : QStringLiteral("Undo"));
    PmRepEdtRedo->setEnabled(r);
    PmRepEdtRedo->setText(r ? stepText(*r, false) : QStringLiteral("Redo"));
    // History stays enabled: without a selected node it does nothing.
}

void EditorJournal::apply(const journal::Step &step, bool undo, bool fromStack)
{
    // Pending edits are settled first: a changed row is posted (and is then the change undone).
    for (Table *t : {m_form->TblRepCtrl, m_form->TblRepBand, m_form->TblReports})
        if (t->isOpen())
            t->checkBrowseMode();
    Database *db = m_form->TblReports->database();
    if (!db)
        return;
    const journal::Step *target = &step;
    if (fromStack) {
        target = undo ? m_stack.nextUndo() : m_stack.nextRedo();
        if (!target) {
            messages().beep();
            return;
        }
    }
    const journal::Step copy = *target;
    const QString what = stepText(copy, undo);
    const journal::RevertResult r =
        fromStack ? (undo ? m_stack.undo(*db) : m_stack.redo(*db)) : journal::revert(*db, copy, undo);
    if (r.done) {
        afterWrite(copy);
    } else {
        QString text = QStringLiteral("Nothing was changed: %1 is no longer as this editor left it")
                           .arg(rowText(copy.table, copy.keyColumns, copy.keyValues));
        if (r.missing)
            text = QStringLiteral("Nothing was changed: %1 no longer exists")
                       .arg(rowText(copy.table, copy.keyColumns, copy.keyValues));
        if (r.since.id != 0)
            text += QStringLiteral(". %1 was changed by %2 on %3 at %4 (%5 -> %6).")
                        .arg(caption(r.since.column), r.since.user, r.since.host,
                             r.since.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                             journal::valueText(r.since.oldValue), journal::valueText(r.since.newValue));
        else
            text += QLatin1Char('.');
        messages().message(applicationTitle(), QStringLiteral("%1: %2").arg(what, text), MsgIcon::Warning);
    }
    updateActions();
}

void EditorJournal::afterWrite(const journal::Step &step)
{
    // The pages show the row's new values; a control's inclusion shows in its node's image.
    Table *t = tableOf(step.table);
    for (Table *x : {m_form->TblReports, m_form->TblRepBand, m_form->TblRepCtrl})
        if (x->isOpen() && x->state() == DataSetState::Browse)
            x->refresh();
    if (t == m_form->TblRepCtrl && t->isOpen() && !t->eof()) {
        bool same = true;
        for (int i = 0; i < step.keyColumns.size(); ++i)
            if (Field *f = t->findField(step.keyColumns[i]); !f || f->asString() != step.keyValues.value(i).toString())
                same = false;
        for (const journal::Change &c : step.changes)
            if (same && c.column.compare(QLatin1String("RctInclude"), Qt::CaseInsensitive) == 0)
                m_form->TblRepCtrlRctIncludeChange(t->fieldByName(QStringLiteral("RctInclude"))->asBoolean());
    }
    m_form->TreeView1->viewport()->update();
}

void EditorJournal::undo() { apply({}, true, true); }
void EditorJournal::redo() { apply({}, false, true); }

void EditorJournal::showHistory()
{
    const QModelIndex node = m_form->TreeView1->currentIndex();
    if (!node.isValid())
        return;
    // The row of the selected node: the deepest table the tree has a row of.
    Table *t = m_form->TblRepCtrl;
    if (!node.parent().isValid())
        t = m_form->TblReports;
    else if (!node.parent().parent().isValid())
        t = m_form->TblRepBand;
    if (!t->isOpen() || t->eof())
        return;
    t->checkBrowseMode();
    QStringList cols;
    QVariantList values;
    for (const QString &c : t->primaryKeyColumns())
        if (Field *f = t->findField(c)) {
            cols << f->fieldName();
            values << f->value();
        }
    const QString key = journal::keyText(cols, values);
    Database *db = t->database();
    const QVector<journal::Entry> entries = journal::read(*db, t->tableName(), key);
    HistoryDialog dlg(rowText(t->tableName(), cols, values), entries,
                      [this](const QString &c) { return caption(c); }, m_form);
    if (dialogs().execDialog(dlg) != QDialog::Accepted)
        return;
    const int i = dlg.chosen();
    if (i < 0 || i >= entries.size())
        return;
    const journal::Entry &e = entries[i];
    QStringList keyCols;
    QVariantList keyValues;
    parseKey(e.key, keyCols, keyValues);
    journal::Step step{e.table, e.key, keyCols, keyValues, {{e.column, e.oldValue, e.newValue}}};
    apply(step, true, false);
}

} // namespace kvt
