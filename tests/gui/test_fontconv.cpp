#include "common/gui/dialogservice.h"
#include "common/gui/fontconv.h"
#include "common/gui/fontdialog.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <functional>
#include <gtest/gtest.h>

using namespace kvt;

namespace {

FontDesc desc(const char *name, int size, bool b, bool i, bool u, bool s, qint32 color)
{
    FontDesc f;
    f.name = QString::fromLatin1(name);
    f.size = size;
    f.bold = b;
    f.italic = i;
    f.underline = u;
    f.strikeOut = s;
    f.color = color;
    return f;
}

TEST(FontConv, DirectColoursHaveRedInTheLowByte)
{
    const std::pair<qint32, QColor> cases[] = {
        {0x0000FF, QColor(255, 0, 0)}, {0x00FF00, QColor(0, 255, 0)}, {0xFF0000, QColor(0, 0, 255)},
        {0x123456, QColor(0x56, 0x34, 0x12)}, {0, QColor(0, 0, 0)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(toQColor(c.first), c.second) << c.first;
        EXPECT_EQ(fromQColor(c.second), c.first);
    }
}

TEST(FontConv, SystemColoursMapToPaletteRoles)
{
    const std::pair<int, QPalette::ColorRole> cases[] = {
        {8, QPalette::WindowText}, {5, QPalette::Window},     {15, QPalette::Button},
        {18, QPalette::ButtonText}, {13, QPalette::Highlight}, {14, QPalette::HighlightedText},
        {17, QPalette::PlaceholderText},
    };
    const QPalette pal = QGuiApplication::palette();
    for (const auto &c : cases) {
        const qint32 value = systemColor(c.first);
        EXPECT_TRUE(isSystemColor(value));
        EXPECT_EQ(toQColor(value), pal.color(QPalette::Active, c.second)) << c.first;
        qint32 back = 0;
        ASSERT_TRUE(systemColorFor(c.second, back));
        EXPECT_EQ(back, value);
    }
    EXPECT_EQ(systemColor(8), clWindowText);
    EXPECT_EQ(toQColor(systemColor(25)), QColor(0, 0, 0)); // no such index
    qint32 none = 0;
    EXPECT_FALSE(systemColorFor(QPalette::BrightText, none));
}

TEST(FontConv, FontRoundTrip)
{
    for (const FontDesc &f : {desc("Arial", 10, true, true, false, false, clWindowText),
                              desc("Courier New", 12, false, false, true, true, 0x123456),
                              desc("MS Sans Serif", 8, false, false, false, false, 0)}) {
        const QFont q = toQFont(f);
        EXPECT_EQ(q.family(), f.name);
        EXPECT_EQ(q.pointSize(), f.size);
        EXPECT_EQ(fromQFont(q, f.color), f);
    }
}

TEST(FontConv, ApplySetsFontAndTextColour)
{
    QLabel label;
    applyFontDesc(&label, desc("Arial", 14, true, false, false, false, 0x0000FF));
    EXPECT_EQ(label.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(label.font().pointSize(), 14);
    EXPECT_TRUE(label.font().bold());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST(FontDialog, KeepsEveryValueIncludingColour)
{
    for (const FontDesc &f : {desc("MS Sans Serif", 8, false, false, false, false, 0),
                              desc("No Such Face", 11, true, true, true, true, clWindowText),
                              desc("Arial", 9, false, true, false, false, systemColor(15)),
                              desc("Arial", 9, false, false, false, true, qint32(0x80000019u)),
                              desc("Arial", 72, true, false, false, false, 0x123456),
                              desc("Arial", 10, false, false, false, false, 0x0000FF)}) {
        FontDialog dlg;
        dlg.setFontDesc(f);
        EXPECT_EQ(dlg.fontDesc(), f) << f.name.toStdString() << " " << f.color;
    }
}

TEST(FontDialog, UserChoicesAndCustomColour)
{
    FontDialog dlg;
    dlg.setFontDesc(desc("Arial", 10, false, false, false, false, clWindowText));
    dlg.boldBox()->setChecked(true);
    dlg.faceBox()->setCurrentText(QStringLiteral("Courier New"));
    dlg.chooseCustomColor(QColor(1, 2, 3));
    EXPECT_EQ(dlg.color(), 0x030201);
    EXPECT_EQ(dlg.colorBox()->currentText(), QStringLiteral("Custom"));
    dlg.chooseCustomColor(QColor()); // picker cancelled
    EXPECT_EQ(dlg.color(), 0x030201);
    dlg.colorBox()->setCurrentIndex(dlg.colorBox()->findText(QStringLiteral("Button Text")));
    EXPECT_EQ(dlg.fontDesc(), desc("Courier New", 10, true, false, false, false, systemColor(18)));
    EXPECT_EQ(dlg.preview()->font().family(), QStringLiteral("Courier New"));
}

// Answers dialogs through a callback instead of running them.
class ScriptedDialogs : public DialogService {
public:
    ScriptedDialogs() { setMessageService(this); }
    ~ScriptedDialogs() override { setMessageService(nullptr); }
    MsgResult message(const QString &, const QString &, MsgIcon, MsgButtons) override { return MsgResult::Ok; }
    void beep() override {}
    int execDialog(QDialog &dialog) override { return script(dialog); }
    bool chooseFont(FontDesc &font, QWidget *parent) override { return runFontDialog(font, parent); }
    std::function<int(QDialog &)> script;
};

TEST(FontDialog, RunChangesFontOnlyOnOk)
{
    ScriptedDialogs service;
    const FontDesc start = desc("Arial", 10, false, false, false, false, clWindowText);

    service.script = [](QDialog &d) {
        auto &fd = dynamic_cast<FontDialog &>(d);
        fd.italicBox()->setChecked(true);
        return int(QDialog::Rejected);
    };
    FontDesc font = start;
    EXPECT_FALSE(dialogs().chooseFont(font, nullptr));
    EXPECT_EQ(font, start);

    service.script = [](QDialog &d) {
        auto &fd = dynamic_cast<FontDialog &>(d);
        fd.italicBox()->setChecked(true);
        fd.accept();
        return fd.result();
    };
    EXPECT_TRUE(dialogs().chooseFont(font, nullptr));
    EXPECT_EQ(font, desc("Arial", 10, false, true, false, false, clWindowText));
}

} // namespace
