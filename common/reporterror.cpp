#include "common/reporterror.h"
#include "common/messageservice.h"
#include "engine/errors.h"

namespace kvt {

QString exceptionMessage(const std::exception &e)
{
    if (auto *fe = dynamic_cast<const FrameworkError *>(&e))
        return fe->message();
    return QString::fromLocal8Bit(e.what());
}

QString exceptionClassName(const std::exception &e)
{
    if (auto *fe = dynamic_cast<const FrameworkError *>(&e))
        return fe->className();
    return QStringLiteral("Exception");
}

QString composeErrorReport(const QString &unit, int line, const std::exception *error, const QString *message)
{
    QString text = QStringLiteral("%1(%2)").arg(unit).arg(line);
    if (error)
        text += QStringLiteral(": ") + exceptionMessage(*error);
    if (message)
        text += QStringLiteral(": ") + *message;
    return text;
}

void ReportError(const QString &unit, int line, const std::exception *error, const QString &message)
{
    messages().message(QStringLiteral("Error Message"), composeErrorReport(unit, line, error, &message),
                       MsgIcon::Warning);
}

void ReportError(const QString &unit, int line, const std::exception *error)
{
    messages().message(QStringLiteral("Error Message"), composeErrorReport(unit, line, error, nullptr),
                       MsgIcon::Warning);
}

} // namespace kvt
