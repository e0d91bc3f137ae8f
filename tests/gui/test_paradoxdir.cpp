// A suite data directory in Paradox form: imported, opened and edited in the editor, exported back.
#include "app/config.h"
#include "app/datamodule.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "editor/detailpages.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "labels/gui/formsetup.h"
#include "labels/textcache.h"
#include "paradox/paradox.h"
#include "support/dialogrecorder.h"
#include "support/teststore.h"
#include "support/treenode.h"
#include "tools/datadir.h"
#include "tools/datadirparadox.h"
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace kvt;

TEST(ParadoxDataDirectory, ImportedTablesOpenInTheEditorAndAnEditExportsBack)
{
    QTemporaryDir tmp;
    const QString programDir = tmp.path() + "/";
    const QString src = tmp.filePath("src"), px = tmp.filePath("px"), data = programDir + "DATA";
    datadir::Options o;
    o.demo = true;
    o.protect = true;
    ASSERT_EQ(datadir::create(src, o), QString());
    test::execOnStore(src, {QString::fromUtf8("update Reports set RepTitle='Angebot für Kunden' where RepName='QuoteStd'")});
    ASSERT_EQ(datadir::exportParadox(src, px, {}), QString());
    ASSERT_EQ(datadir::importParadox(px, data, {}), QString());

    setProgramDirForTesting(programDir);
    txtFldLst = nullptr;
    txtBtnLst = nullptr;
    txtMsgLst = nullptr;
    fntLabel = fntField = fntClmLabel = fntClmField = nullptr;
    test::DialogRecorder rec;
    DM1 = new TDM1();
    auto w = std::make_unique<TRepMainForm>();
    w->show();
    EXPECT_TRUE(rec.boxes.isEmpty()) << qPrintable(rec.texts().join("\n"));
    EXPECT_EQ(w->TreeView1->topLevelCount(), 4) << "the reports of the first category";
    w->cmbRepCat->setKeyValue("Quotes");
    w->cmbRepCatClick();
    const test::TreeNode report = test::findNode(w->TreeView1, "QuoteStd");
    const test::TreeNode ctrl = test::findNode(w->TreeView1, "QuoteStd", "Company", "RepCompAddr:2");
    ASSERT_TRUE(report);
    ASSERT_TRUE(ctrl);
    EXPECT_EQ(report->childCount(), 6);
    w->TreeView1->setCurrentIndex(report.index());
    EXPECT_EQ(w->reportPage->EdtRepTitle->text(), QString::fromUtf8("Angebot für Kunden"));
    w->TreeView1->setCurrentIndex(ctrl.index());
    w->TblRepCtrl->edit();
    w->TblRepCtrl->fieldByName("RctLabel")->setAsString(QString::fromUtf8("Straße"));
    w->TblRepCtrl->post();
    w.reset();
    delete DM1;
    DM1 = nullptr;
    setProgramDirForTesting(QString());

    ASSERT_EQ(datadir::exportParadox(data, px, [] {
                  datadir::ParadoxOptions r;
                  r.replace = true;
                  return r;
              }()),
              QString());
    paradox::Reader now(px + "/RepCtrl.DB"), old(px + "/RepCtrl.DB.bak");
    EXPECT_TRUE(now.definition().encrypted);
    ASSERT_EQ(now.recordCount(), old.recordCount());
    int changed = 0;
    for (int i = 0; i < now.recordCount(); ++i) {
        const auto a = now.record(i), b = old.record(i);
        const bool edited = a[0] == "QuoteStd" && a[1] == "Company" && a[2] == "RepCompAddr:2";
        for (size_t f = 0; f < a.size(); ++f) {
            if (edited && f == 4) {
                EXPECT_EQ(a[f].toString(), QString::fromUtf8("Straße"));
                ++changed;
            } else if (edited && f == 10) {
                EXPECT_TRUE(a[f].toBool()) << "forced included on saving";
            } else {
                EXPECT_TRUE(paradox::sameValue(a[f], b[f]) && a[f].isNull() == b[f].isNull()) << "record " << i + 1 << " field " << f;
            }
        }
    }
    EXPECT_EQ(changed, 1);
}
