#pragma once
// A message service for tests: records every box and beep, answers with queued results.
#include "common/messageservice.h"
#include <QList>
#include <QString>
#include <deque>

namespace kvt::test {

struct RecordedMessage {
    QString caption;
    QString text;
    MsgIcon icon;
    MsgButtons buttons;
};

class MessageRecorder : public MessageService {
public:
    MessageRecorder() { setMessageService(this); }
    ~MessageRecorder() override { setMessageService(nullptr); }

    MsgResult message(const QString &caption, const QString &text, MsgIcon icon, MsgButtons buttons) override
    {
        boxes.append({caption, text, icon, buttons});
        if (!answers.empty()) {
            MsgResult r = answers.front();
            answers.pop_front();
            return r;
        }
        return MsgResult::Ok;
    }
    void beep() override { ++beeps; }

    QStringList texts() const
    {
        QStringList t;
        for (const auto &b : boxes)
            t << b.text;
        return t;
    }
    void clear() { boxes.clear(); beeps = 0; }

    QList<RecordedMessage> boxes;
    std::deque<MsgResult> answers;
    int beeps = 0;
};

} // namespace kvt::test
