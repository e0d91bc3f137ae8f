#pragma once
// Error classes of the table-engine layer and of the framework around it.
#include <QByteArray>
#include <QString>
#include <exception>

namespace kvt {

/// Base of every error the framework raises. Carries one message; className() is a stable name of the
/// kind of error (it ends up in user-visible texts, so it must not change).
class FrameworkError : public std::exception {
public:
    explicit FrameworkError(QString message) : m_message(std::move(message)), m_what(m_message.toUtf8()) {}
    ~FrameworkError() override = default;
    const QString &message() const { return m_message; }
    virtual QString className() const { return QStringLiteral("FrameworkError"); }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

/// Raised by the table engine: open, read, write, SQL and conversion failures.
class EngineError : public FrameworkError {
public:
    using FrameworkError::FrameworkError;
    QString className() const override { return QStringLiteral("EngineError"); }
};

} // namespace kvt
