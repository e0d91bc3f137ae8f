#pragma once
// The main window on the demo store, started as a new process would start it, for GUI tests.
#include "app/config.h"
#include "app/datamodule.h"
#include "app/gui/startup.h"
#include "dbwidgets/dblookupcombobox.h"
#include "editor/boxframedlg.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "labels/gui/formsetup.h"
#include "labels/textcache.h"
#include "support/dialogrecorder.h"
#include "tools/datadir.h"
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

namespace kvt::test {

class DemoWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        programDir = tmp.path() + "/";
        setProgramDirForTesting(programDir);
        datadir::Options o;
        o.demo = true;
        ASSERT_EQ(datadir::create(programDir + "DATA", o), QString());
        txtFldLst = nullptr;
        txtBtnLst = nullptr;
        txtMsgLst = nullptr;
        fntLabel = fntField = fntClmLabel = fntClmField = nullptr;
        BoxFrameFirstShow = true;
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
    void chooseCategory(const QString &name)
    {
        w->cmbRepCat->setKeyValue(name);
        w->cmbRepCatClick();
    }
    /// The node of a report, of one of its bands, or of one of that band's controls; null if none.
    RepTreeItem *node(const QString &report, const QString &band = QString(), const QString &ctrl = QString()) const
    {
        QTreeWidget *tree = w->TreeView1;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            auto *r = static_cast<RepTreeItem *>(tree->topLevelItem(i));
            if (r->record()->RepName != report)
                continue;
            if (band.isEmpty())
                return r;
            for (int j = 0; j < r->childCount(); ++j) {
                auto *b = static_cast<RepTreeItem *>(r->child(j));
                if (b->record()->RbdName != band)
                    continue;
                if (ctrl.isEmpty())
                    return b;
                for (int k = 0; k < b->childCount(); ++k) {
                    auto *c = static_cast<RepTreeItem *>(b->child(k));
                    if (c->record()->RctName == ctrl)
                        return c;
                }
            }
        }
        return nullptr;
    }
    void select(QTreeWidgetItem *item)
    {
        ASSERT_NE(item, nullptr);
        w->TreeView1->setCurrentItem(item);
    }

    QTemporaryDir tmp;
    QString programDir;
    DialogRecorder rec;
    std::unique_ptr<TRepMainForm> w;
};

} // namespace kvt::test
