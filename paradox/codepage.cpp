#include "paradox/codepage.h"
#include "paradox/paradox.h"
#include <QHash>
#include <cerrno>
#include <iconv.h>

namespace kvt::paradox {
namespace {

// iconv descriptor that is closed with its owner.
class Iconv {
public:
    Iconv(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool ok() const { return m_cd != iconv_t(-1); }

    // Converts all of in; false on a sequence that has no form in the target.
    bool convert(const char *in, size_t size, QByteArray &out) const
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.resize(int(size * 4 + 16));
        char *src = const_cast<char *>(in);
        size_t left = size;
        char *dst = out.data();
        size_t room = size_t(out.size());
        while (left > 0) {
            if (iconv(m_cd, &src, &left, &dst, &room) == size_t(-1)) {
                if (errno == E2BIG) {
                    const qsizetype used = dst - out.data();
                    out.resize(out.size() * 2);
                    dst = out.data() + used;
                    room = size_t(out.size() - used);
                    continue;
                }
                return false;
            }
        }
        if (iconv(m_cd, nullptr, nullptr, &dst, &room) == size_t(-1))
            return false;
        out.resize(int(dst - out.data()));
        return true;
    }

private:
    iconv_t m_cd;
};

} // namespace

struct CodePage::Impl {
    Iconv toUtf8;
    Iconv fromUtf8;
    bool singleByte = true;
    QString table[256];          // single-byte code pages: one character per byte
    char16_t units[256] = {};    // the same, when every character is one UTF-16 unit
    bool oneUnit = true;
    QHash<char32_t, char> back;  // and back
    Impl(const QByteArray &name) : toUtf8("UTF-8", name.constData()), fromUtf8(name.constData(), "UTF-8") {}
};

CodePage::CodePage(int number) : m_number(number)
{
    const QByteArray name = "CP" + QByteArray::number(number);
    d = std::make_unique<Impl>(name);
    if (!d->toUtf8.ok() || !d->fromUtf8.ok())
        throw Error(QStringLiteral("Code page %1 is not supported on this system").arg(number));
    // Bytes that the converter rejects (such as 0x81 in 1252) stand for the control character of the
    // same number, so that every byte comes back unchanged.
    for (int b = 0; b < 256 && d->singleByte; ++b) {
        const char c = char(b);
        QByteArray out;
        errno = 0;
        if (d->toUtf8.convert(&c, 1, out) && !out.isEmpty()) {
            d->table[b] = QString::fromUtf8(out);
            if (d->table[b].size() != 1 && !d->table[b].at(0).isHighSurrogate())
                d->singleByte = false;
        } else if (errno == EINVAL) {
            d->singleByte = false; // lead byte of a multi-byte code page
        } else {
            d->table[b] = QString(QChar(char16_t(b)));
        }
    }
    if (d->singleByte)
        for (int b = 255; b >= 0; --b) {
            d->back.insert(d->table[b].toUcs4().value(0), char(b));
            if (d->table[b].size() == 1)
                d->units[b] = d->table[b].at(0).unicode();
            else
                d->oneUnit = false;
        }
}

CodePage::~CodePage() = default;

QString CodePage::decode(const char *data, int size) const
{
    if (d->singleByte && d->oneUnit) {
        QString s(size, Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(s.data());
        for (int i = 0; i < size; ++i)
            out[i] = d->units[uchar(data[i])];
        return s;
    }
    if (d->singleByte) {
        QString s;
        s.reserve(size);
        for (int i = 0; i < size; ++i)
            s += d->table[uchar(data[i])];
        return s;
    }
    QByteArray out;
    if (!d->toUtf8.convert(data, size_t(size), out))
        return QString::fromLatin1(data, size);
    return QString::fromUtf8(out);
}

bool CodePage::encode(const QString &text, QByteArray &out) const
{
    if (d->singleByte) {
        out.clear();
        out.reserve(text.size());
        for (char32_t c : text.toUcs4()) {
            auto it = d->back.constFind(c);
            if (it == d->back.constEnd())
                return false;
            out += *it;
        }
        return true;
    }
    const QByteArray utf8 = text.toUtf8();
    return d->toUtf8.ok() && d->fromUtf8.convert(utf8.constData(), size_t(utf8.size()), out);
}

} // namespace kvt::paradox
