#pragma once
// Text of a table in its code page <-> QString.
#include <QByteArray>
#include <QString>
#include <memory>

namespace kvt::paradox {

class CodePage {
public:
    /// Throws Error when the system has no converter for the code page.
    explicit CodePage(int number);
    ~CodePage();
    CodePage(const CodePage &) = delete;
    CodePage &operator=(const CodePage &) = delete;

    int number() const { return m_number; }
    QString decode(const char *data, int size) const;
    /// False when a character has no form in the code page.
    bool encode(const QString &text, QByteArray &out) const;

private:
    struct Impl;
    int m_number;
    std::unique_ptr<Impl> d;
};

} // namespace kvt::paradox
