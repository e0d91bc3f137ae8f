#pragma once
// The main window on the demo store, started as a new process would start it, for GUI tests.
#include "app/config.h"
#include "app/datamodule.h"
#include "app/gui/startup.h"
#include "dbwidgets/dblookupcombobox.h"
#include "editor/boxframedlg.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "engine/dataset.h"
#include "engine/teststores.h"
#include "labels/gui/formsetup.h"
#include "labels/textcache.h"
#include "support/dialogrecorder.h"
#include "support/treenode.h"
#include "tools/datadir.h"
#include "tools/datadircopy.h"
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace kvt::test {

class DemoWindowTest : public ::testing::Test {
protected:
    /// The kind of store the demo data lives in (a store-parameterised fixture overrides it).
    virtual StoreKind storeKind() const { return StoreKind::Sqlite; }
    bool onServer() const { return storeKind() == StoreKind::Server; }

    void SetUp() override
    {
        programDir = tmp.path() + "/";
        setProgramDirForTesting(programDir);
        makeDemoData(programDir + "DATA");
        if (IsSkipped() || HasFatalFailure())
            return;
        txtFldLst = nullptr;
        txtBtnLst = nullptr;
        txtMsgLst = nullptr;
        fntLabel = fntField = fntClmLabel = fntClmField = nullptr;
        BoxFrameFirstShow = true;
    }
    /// The demo rows in DIR: an SQLite store, or a schema of its own on the test server that
    /// the demo store is copied onto (as kvt-datadir copy --server does).
    void makeDemoData(const QString &dir)
    {
        datadir::Options o;
        o.demo = true;
        if (!onServer()) {
            ASSERT_EQ(datadir::create(dir, o), QString());
            store = std::make_unique<TestStore>(StoreKind::Sqlite, dir);
            return;
        }
        QString why;
        if (testServer(&why).isEmpty())
            GTEST_SKIP() << qPrintable(why);
        store = std::make_unique<TestStore>(StoreKind::Server, tmp.path() + "/server-schema");
        const QString source = tmp.path() + "/demo-source";
        ASSERT_EQ(datadir::create(source, o), QString());
        datadir::CopyOptions c;
        c.server = store->conninfo();
        ASSERT_EQ(datadir::copyStore(source, dir, c), QString());
    }
    /// Statements through a connection of its own, as another editor's (throws std::runtime_error).
    void execOnData(const QStringList &statements) { store->exec(statements); }
    /// The first column of the first row of a query, read on a connection of its own (invalid
    /// when it gives no row).
    QVariant storedValue(const QString &sql, const QVariantList &binds = {})
    {
        QVariant v;
        store->withConnection([&](QSqlDatabase &db) {
            QSqlQuery q(db);
            q.prepare(sql);
            for (const QVariant &b : binds)
                q.addBindValue(b);
            EXPECT_TRUE(q.exec()) << qPrintable(q.lastError().text());
            if (q.next())
                v = q.value(0);
        });
        return v;
    }

    void TearDown() override
    {
        if (w) {
            w->TblReports->cancel();
            w->TblRepBand->cancel();
            w->TblRepCtrl->cancel();
        }
        w.reset();
        delete BoxFrameDialog;
        BoxFrameDialog = nullptr;
        delete DM1;
        DM1 = nullptr;
        setProgramDirForTesting(QString());
    }
    /// Creates the data module, the box-frame dialog and the main window, and shows the window.
    void start()
    {
        DM1 = new TDM1();
        BoxFrameDialog = new TBoxFrameDialog();
        w = std::make_unique<TRepMainForm>();
        w->show();
    }
    /// start(), with the window active, so keys and clicks go where a user's would; nothing shown.
    void startActive()
    {
        start();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        ASSERT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    }
    void chooseCategory(const QString &name)
    {
        w->cmbRepCat->setKeyValue(name);
        w->cmbRepCatClick();
    }
    /// The node of a report, of one of its bands, or of one of that band's controls; null if none.
    TreeNode node(const QString &report, const QString &band = QString(), const QString &ctrl = QString()) const
    {
        return findNode(w->TreeView1, report, band, ctrl);
    }
    void select(const TreeNode &item)
    {
        ASSERT_NE(item, nullptr);
        w->TreeView1->setCurrentIndex(item.index());
    }
    RepTreeView *tree() const { return w->TreeView1; }
    TreeNode current() const { return currentNode(tree()); }
    TreeNode top(int row) const { return topNode(tree(), row); }
    /// A click on the node's row, as the mouse makes it.
    void clickNode(const TreeNode &item)
    {
        ASSERT_NE(item, nullptr);
        tree()->scrollTo(item.index());
        const QRect r = tree()->visualRect(item.index());
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    }
    /// Replaces the focused edit's text as typing does.
    void typeInto(QWidget *edit, const QString &text)
    {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }
    /// The node shows the selected look exactly when it is the current one, and only it is selected.
    void expectOneSelected(const TreeNode &n)
    {
        EXPECT_EQ(current(), n);
        EXPECT_EQ(tree()->selectionModel()->selectedIndexes(), QModelIndexList{n.index()});
        EXPECT_EQ(n->stateIndex() % 2, 1) << "selected look";
    }
    /// The title of a report as the store holds it, read past the window's tables.
    QString storedTitle(const QString &repName)
    {
        Table t(nullptr, QStringLiteral("Check"));
        t.setDatabaseName(QStringLiteral("MyDatabase"));
        t.setSessionName(QStringLiteral("MySession"));
        t.setTableName(QStringLiteral("Reports.DB"));
        t.setFilter(QStringLiteral("RepName = '") + repName + QStringLiteral("'"));
        t.setFiltered(true);
        t.open();
        return t.fieldByName(QStringLiteral("RepTitle"))->asString();
    }

    QTemporaryDir tmp;
    QString programDir;
    DialogRecorder rec;
    std::unique_ptr<TRepMainForm> w;
    std::unique_ptr<TestStore> store; // the demo data's store, for statements of "another editor"
};

/// A fixture of the demo window run on either kind of store: TEST_P on it, instantiated once per
/// test file with KVT_ON_BOTH_STORES. TEST_F on the fixture itself runs on SQLite alone.
template <class Fixture>
class OnBothStores : public Fixture, public ::testing::WithParamInterface<StoreKind> {
protected:
    StoreKind storeKind() const override { return this->GetParam(); }
};

} // namespace kvt::test

/// Runs every TEST_P of a fixture once on an SQLite store and once on the test server.
#define KVT_ON_BOTH_STORES(fixture)                                                                                    \
    INSTANTIATE_TEST_SUITE_P(Stores, fixture,                                                                          \
                             ::testing::Values(::kvt::test::StoreKind::Sqlite, ::kvt::test::StoreKind::Server),        \
                             ::kvt::test::storeKindName)
