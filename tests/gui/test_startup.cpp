#include "app/config.h"
#include "app/datamodule.h"
#include "app/gui/startup.h"
#include "editor/repmainfrm.h"
#include "labels/gui/formsetup.h"
#include "labels/textcache.h"
#include "support/dialogrecorder.h"
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

// The entry with no data directory at all: every failure is shown, the window still comes up, and the
// objects are made and destroyed in their order; the result is 0.
TEST(Startup, CreatesInOrderShowsFailuresAndReturnsZero)
{
    QTemporaryDir tmp;
    setProgramDirForTesting(tmp.path() + "/");
    txtFldLst = nullptr;
    txtBtnLst = nullptr;
    txtMsgLst = nullptr;
    fntLabel = fntField = fntClmLabel = fntClmField = nullptr;
    test::DialogRecorder rec;
    auto *app = static_cast<KvtApplication *>(QApplication::instance());
    bool objectsThere = false;
    bool shown = false;
    const int rc = runProgram(*app, [&] {
        objectsThere = RepMainForm && OKDlg && DM1 && BoxFrameDialog;
        QTimer::singleShot(0, RepMainForm, [&] {
            shown = RepMainForm->isVisible();
            RepMainForm->close();
        });
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(objectsThere);
    EXPECT_TRUE(shown);
    EXPECT_EQ(startupLog(), QStringList({"create RepMainForm", "create OKDlg", "create DM1", "create BoxFrameDialog",
                                         "destroy BoxFrameDialog", "destroy DM1", "destroy OKDlg",
                                         "destroy RepMainForm"}));
    ASSERT_FALSE(rec.boxes.isEmpty());
    EXPECT_EQ(rec.boxes[0].caption, "Error Message");
    EXPECT_TRUE(rec.boxes[0].text.startsWith("MiscFunc(305): ")) << qPrintable(rec.boxes[0].text);
    bool standardDisplay = false;
    for (const auto &b : rec.boxes)
        standardDisplay |= b.caption == "KVT Report Editor" && b.text.endsWith('.');
    EXPECT_TRUE(standardDisplay) << "the failed table open is shown by the standard exception display";
    setProgramDirForTesting(QString());
}

} // namespace
