// The editor loses nothing of what is stored: over-long texts, values the fields cannot show, and a
// damaged or empty store.
#include "app/config.h"
#include "app/datamodule.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "editor/detailpages.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "engine/session.h"
#include "labels/gui/formsetup.h"
#include "labels/textcache.h"
#include "support/dialogrecorder.h"
#include "support/teststore.h"
#include "tools/datadir.h"
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include "support/demowindow.h"
#include "support/treenode.h"
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>

using namespace kvt;
using kvt::test::TreeNode;

namespace {

class DataSafetyTest : public test::DemoWindowTest {
protected:
    QString dataDir() const { return programDir + "DATA"; }
    QString storePath() const { return dataDir() + "/KVT3.sqlite"; }
    void start()
    {
        DemoWindowTest::start();
        QCoreApplication::processEvents(); // messages that follow what is shown
    }
    void select(const TreeNode &item)
    {
        DemoWindowTest::select(item);
        QCoreApplication::processEvents();
    }
    QString stored(const QString &sql) { return storedValue(sql).toString(); }
    QByteArray storeHash() const
    {
        QFile f(storePath());
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    }

};
using DataSafetyOnStores = test::OnBothStores<DataSafetyTest>;
KVT_ON_BOTH_STORES(DataSafetyOnStores);

TEST_P(DataSafetyOnStores, OverLongTitleIsShownWholeKeptAndRefusedOnlyWhenTyped)
{
    const QString longTitle = QString(100, QLatin1Char('T'));
    execOnData({QStringLiteral("update Reports set RepTitle='%1' where RepName='QuoteStd'").arg(longTitle)});
    start();
    chooseCategory("Quotes");
    select(node("QuoteStd"));
    DbEdit *title = w->reportPage->EdtRepTitle;
    EXPECT_EQ(title->text(), longTitle) << "the edit cut the stored title";

    // A keystroke in another edit of the row posts it; the title goes back whole.
    DbEdit *top = w->reportPage->EdtRepTopY;
    top->setFocus();
    top->selectAll();
    QTest::keyClicks(top, "4");
    select(node("QuoteShort"));
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(stored("select RepTopY from Reports where RepName='QuoteStd'"), "4");
    EXPECT_EQ(stored("select RepTitle from Reports where RepName='QuoteStd'"), longTitle);

    // Typing in the title itself: the whole text is kept, and a text beyond the size is refused by
    // the caption the page shows and the size.
    select(node("QuoteStd"));
    title->setFocus();
    title->end(false);
    QTest::keyClicks(title, "x");
    EXPECT_EQ(title->text(), longTitle + "x");
    select(node("QuoteShort"));
    ASSERT_FALSE(rec.boxes.isEmpty());
    const QString message = rec.boxes.last().text;
    const QString caption = w->reportPage->lblRepTitle->text().remove(QLatin1Char('&'));
    EXPECT_TRUE(message.contains("'" + caption + "'")) << qPrintable(message) << " / " << qPrintable(caption);
    EXPECT_TRUE(message.contains("64")) << qPrintable(message);
    EXPECT_EQ(w->TblReports->state(), DataSetState::Edit) << "the refused row stays in edit";
    EXPECT_EQ(title->text(), longTitle + "x") << "the typed text stays for correction";
    EXPECT_EQ(stored("select RepTitle from Reports where RepName='QuoteStd'"), longTitle);

    // Escape brings the stored text back whole, and the row can be left.
    QTest::keyClick(title, Qt::Key_Escape);
    EXPECT_EQ(title->text(), longTitle);
    rec.clear();
    select(node("QuoteShort"));
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(stored("select RepTitle from Reports where RepName='QuoteStd'"), longTitle);
}

TEST_F(DataSafetyTest, ValueAControlCannotShowIsNamedAndTheRestOfTheRowIsSaved)
{
    execOnData({"update RepCtrl set RctWidth='wide' where RepName='QuoteStd' and RctName='Qty'"});
    start();
    chooseCategory("Quotes");
    rec.clear();
    select(node("QuoteStd", "Detail", "Qty"));
    ASSERT_EQ(rec.boxes.size(), 1) << qPrintable(rec.texts().join("\n"));
    const QString message = rec.boxes[0].text;
    for (const char *part : {"RepCtrl.DB", "QuoteStd", "Qty", "RctWidth", "the text 'wide'"})
        EXPECT_TRUE(message.contains(QLatin1String(part))) << qPrintable(message) << " lacks " << part;
    EXPECT_EQ(w->ctrlPage->EdtRctWidth->text(), QString());

    // The label is changed and saved by a move; the stored width is kept as it was.
    DbEdit *label = w->ctrlPage->EdtRctLabel;
    label->setFocus();
    label->selectAll();
    QTest::keyClicks(label, "Quantity");
    rec.clear();
    select(node("QuoteStd", "Detail", "Price"));
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(stored("select RctLabel from RepCtrl where RepName='QuoteStd' and RctName='Qty'"), "Quantity");
    EXPECT_EQ(stored("select RctWidth from RepCtrl where RepName='QuoteStd' and RctName='Qty'"), "wide");

    // Back on it, the value is named again; a number typed replaces it.
    select(node("QuoteStd", "Detail", "Qty"));
    EXPECT_EQ(rec.boxes.size(), 1);
    DbEdit *width = w->ctrlPage->EdtRctWidth;
    width->setFocus();
    QTest::keyClicks(width, "12");
    select(node("QuoteStd", "Detail", "Price"));
    EXPECT_EQ(stored("select typeof(RctWidth) || ' ' || RctWidth from RepCtrl where RepName='QuoteStd' and "
                     "RctName='Qty'"),
              "real 12.0");
}

/// Overwrites the head of a table's first page, which SQLite then finds malformed.
void damageTable(const QString &store, const QString &table)
{
    int root = 0, pageSize = 0;
    const QString conn = QStringLiteral("damage-") + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(store);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("select rootpage from sqlite_master where name='%1'").arg(table)) && q.next());
        root = q.value(0).toInt();
        ASSERT_TRUE(q.exec(QStringLiteral("pragma page_size")) && q.next());
        pageSize = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(conn);
    QFile f(store);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(qint64(root - 1) * pageSize));
    f.write(QByteArray(16, char(0xff)));
}

TEST_F(DataSafetyTest, DamagedStoreIsSaidSoOnceWrittenNoMoreAndShownReadOnly)
{
    // The button texts are lost with their table: the start-up would register every button anew.
    damageTable(storePath(), "TextBtn");
    const QByteArray before = storeHash();
    start();
    EXPECT_EQ(storeHash(), before) << "the damaged store was written";
    ASSERT_FALSE(rec.boxes.isEmpty());
    int damaged = 0;
    for (const QString &t : rec.texts())
        if (t.contains("damaged")) {
            ++damaged;
            EXPECT_TRUE(t.contains(storePath())) << qPrintable(t);
            EXPECT_TRUE(t.contains("backup")) << qPrintable(t);
        }
    EXPECT_EQ(damaged, 1) << "said once, plainly:\n" << qPrintable(rec.texts().join("\n"));

    // The rest is shown, read-only.
    EXPECT_GT(w->TreeView1->topLevelCount(), 0);
    EXPECT_TRUE(w->reportPage->EdtRepTitle->isReadOnly());
    EXPECT_FALSE(w->reportPage->EdtRepTitle->text().isEmpty());
    chooseCategory("Quotes");
    select(node("QuoteStd", "Detail", "Qty"));
    EXPECT_TRUE(w->ctrlPage->EdtRctLabel->isReadOnly());
    EXPECT_FALSE(w->TblRepCtrl->canModify());
    EXPECT_TRUE(w->confirmClose());
    EXPECT_EQ(storeHash(), before);
}

TEST_F(DataSafetyTest, ZeroLengthStoreIsReportedAsEmpty)
{
    QFile f(storePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.close();
    start();
    ASSERT_FALSE(rec.boxes.isEmpty());
    const QString all = rec.texts().join("\n");
    EXPECT_TRUE(all.contains("is empty")) << qPrintable(all);
    EXPECT_TRUE(all.contains(storePath())) << qPrintable(all);
    EXPECT_FALSE(all.contains("does not exist")) << qPrintable(all);
    EXPECT_EQ(QFile(storePath()).size(), 0);
}

} // namespace
