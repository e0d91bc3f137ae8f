#pragma once
// The error report: "Unit(line): exception message: message" in a box captioned "Error Message".
#include <QString>
#include <exception>

namespace kvt {

/// Composes the report text (no length cap).
QString composeErrorReport(const QString &unit, int line, const std::exception *error, const QString *message);

/// Shows the report through the message service: caption "Error Message", exclamation icon, OK.
void ReportError(const QString &unit, int line, const std::exception *error, const QString &message);
void ReportError(const QString &unit, int line, const std::exception *error);

/// Message of an exception: FrameworkError's message, else what().
QString exceptionMessage(const std::exception &e);
/// Stable class name of an exception ("EngineError", "FrameworkError", "Exception" for others).
QString exceptionClassName(const std::exception &e);

} // namespace kvt
