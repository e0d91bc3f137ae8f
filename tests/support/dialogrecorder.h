#pragma once
// A dialog service for tests: records every box, dialog and font request, answers boxes with queued
// results, drives each dialog with a queued step instead of a modal loop, and answers font requests with
// queued steps. With nothing queued a dialog is rejected and a font request cancelled.
#include "common/gui/dialogservice.h"
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

namespace kvt::test {

struct RecordedBox {
    QString caption;
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
};

class DialogRecorder : public DialogService {
public:
    DialogRecorder() { setMessageService(this); }
    ~DialogRecorder() override { setMessageService(nullptr); }
    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    MsgResult message(const QString &caption, const QString &text, MsgIcon icon, MsgButtons buttons) override
    {
        boxes.append({caption, text, icon, buttons});
        if (answers.empty())
            return MsgResult::Ok;
        const MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    void beep() override { ++beeps; }

    /// Runs the next queued step on the dialog; its return value is the dialog's result.
    int execDialog(QDialog &dialog) override
    {
        dialogTitles << dialog.windowTitle();
        if (dialogSteps.empty())
            return QDialog::Rejected;
        auto step = std::move(dialogSteps.front());
        dialogSteps.pop_front();
        return step(dialog);
    }
    /// Records the font offered, then lets the next queued step change it and answer OK (true) or Cancel.
    bool chooseFont(FontDesc &font, QWidget *) override
    {
        fontsOffered.append(font);
        if (fontSteps.empty())
            return false;
        auto step = std::move(fontSteps.front());
        fontSteps.pop_front();
        return step(font);
    }

    QStringList texts() const
    {
        QStringList t;
        for (const auto &b : boxes)
            t << b.text;
        return t;
    }
    void clear()
    {
        boxes.clear();
        dialogTitles.clear();
        fontsOffered.clear();
        beeps = 0;
    }

    QList<RecordedBox> boxes;
    std::deque<MsgResult> answers;
    int beeps = 0;
    QStringList dialogTitles;
    std::deque<std::function<int(QDialog &)>> dialogSteps;
    QList<FontDesc> fontsOffered;
    std::deque<std::function<bool(FontDesc &)>> fontSteps;
};

} // namespace kvt::test
