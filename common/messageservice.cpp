#include "common/messageservice.h"
#include <cstdio>

namespace kvt {
namespace {

class StderrService : public MessageService {
public:
    MsgResult message(const QString &caption, const QString &text, MsgIcon, MsgButtons buttons) override
    {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    void beep() override {}
};

StderrService g_fallback;
MessageService *g_service = nullptr;

} // namespace

MessageService &messages() { return g_service ? *g_service : g_fallback; }
void setMessageService(MessageService *service) { g_service = service; }

} // namespace kvt
