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
#include "support/treenode.h"
#include "tools/datadir.h"
#include <QTemporaryDir>
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
    TreeNode node(const QString &report, const QString &band = QString(), const QString &ctrl = QString()) const
    {
        return findNode(w->TreeView1, report, band, ctrl);
    }
    void select(const TreeNode &item)
    {
        ASSERT_NE(item, nullptr);
        w->TreeView1->setCurrentIndex(item.index());
    }

    QTemporaryDir tmp;
    QString programDir;
    DialogRecorder rec;
    std::unique_ptr<TRepMainForm> w;
};

} // namespace kvt::test
