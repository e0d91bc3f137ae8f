#include "common/stdexception.h"
#include "common/messageservice.h"
#include "common/reporterror.h"

namespace kvt {

void showStandardException(const std::exception &e)
{
    messages().message(applicationTitle(), exceptionMessage(e) + QLatin1Char('.'), MsgIcon::Critical);
}

bool guarded(const std::function<void()> &fn)
{
    try {
        fn();
        return true;
    } catch (const std::exception &e) {
        showStandardException(e);
        return false;
    }
}

} // namespace kvt
