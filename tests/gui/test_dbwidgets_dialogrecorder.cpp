// The dialog recorder that GUI tests use in place of modal dialogs.
#include "tests/support/dialogrecorder.h"
#include <QDialog>
#include <gtest/gtest.h>

using namespace kvt;

TEST(DialogRecorderTest, DrivesDialogsAndFontRequestsWithQueuedSteps)
{
    test::DialogRecorder rec;
    EXPECT_EQ(&messages(), &rec);
    rec.answers.push_back(MsgResult::No);
    EXPECT_EQ(messages().message(QStringLiteral("Cap"), QStringLiteral("Sure?"), MsgIcon::Question,
                                 MsgButtons::YesNo),
              MsgResult::No);
    EXPECT_EQ(rec.texts(), QStringList{QStringLiteral("Sure?")});

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Frame"));
    rec.dialogSteps.push_back([](QDialog &d) {
        d.setObjectName(QStringLiteral("seen"));
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(rec.execDialog(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.objectName(), QStringLiteral("seen"));
    EXPECT_EQ(rec.execDialog(dialog), QDialog::Rejected) << "nothing queued rejects";
    EXPECT_EQ(rec.dialogTitles, (QStringList{QStringLiteral("Frame"), QStringLiteral("Frame")}));

    FontDesc font;
    font.name = QStringLiteral("MS Sans Serif");
    rec.fontSteps.push_back([](FontDesc &f) {
        f.bold = true;
        return true;
    });
    EXPECT_TRUE(rec.chooseFont(font, nullptr));
    EXPECT_TRUE(font.bold);
    EXPECT_FALSE(rec.chooseFont(font, nullptr)) << "nothing queued cancels";
    ASSERT_EQ(rec.fontsOffered.size(), 2);
    EXPECT_FALSE(rec.fontsOffered[0].bold);
}
