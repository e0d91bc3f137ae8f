#include "app/crypto.h"
#include "common/reporterror.h"
#include <array>

namespace kvt::crypto {
namespace {

qint32 g_state = 1;

// Seed and stored form belong together: the stored form was made under the table of this seed.
constexpr int KeySeed = 37847;
constexpr char BuiltIn[] = "AM09O3*HRZ*%2";
static_assert(sizeof(BuiltIn) == 14, "the built-in password's stored form has 13 characters");

char printableChar(unsigned v)
{
    // Zero is written as the grave accent, so no printable form holds a blank.
    return v == 0 ? char(96) : char(v + 32);
}

unsigned charValue(unsigned char c)
{
    if (c <= 32 || c > 96)
        ReportError(QStringLiteral("crypto"), 12, nullptr, QStringLiteral("myChr not working"));
    const unsigned code = c >= 96 ? 32u : unsigned(c);
    return code - 32u; // wraps for codes below 32; only the low bits of each byte count
}

} // namespace

void rndSeed(int seed) { g_state = qint32(seed % 65536); }

int rndNext()
{
    // |state| < 65536, so the product stays well inside 32 bits.
    g_state = (g_state * 25173 + 13849) % 65536;
    return g_state;
}

void keyTableInit(unsigned char *table, int seed)
{
    rndSeed(seed);
    std::array<int, 256> pairing;
    pairing.fill(-1);
    for (int i = 0; i < 256; ++i) {
        if (pairing[i] != -1)
            continue;
        int r;
        do {
            // Taken into 0..255 also when a negative seed makes the state negative.
            r = ((rndNext() % 256) + 256) % 256;
        } while (pairing[r] != -1);
        pairing[i] = r;
        pairing[r] = i;
        table[i] = static_cast<unsigned char>(r);
        table[r] = static_cast<unsigned char>(i);
    }
}

int keySeed() { return KeySeed; }

QByteArray printableEncode(const QByteArray &block)
{
    QByteArray padded = block;
    const int pad = (3 - padded.size() % 3) % 3;
    padded.append(pad, ' ');
    QByteArray out;
    out.reserve(1 + padded.size() / 3 * 4);
    out.append(char(65 + pad));
    for (int i = 0; i < padded.size(); i += 3) {
        const unsigned b0 = static_cast<unsigned char>(padded[i]);
        const unsigned b1 = static_cast<unsigned char>(padded[i + 1]);
        const unsigned b2 = static_cast<unsigned char>(padded[i + 2]);
        out.append(printableChar(b0 >> 2));
        out.append(printableChar(((b0 & 3) << 4) | (b1 >> 4)));
        out.append(printableChar(((b1 & 15) << 2) | (b2 >> 6)));
        out.append(printableChar(b2 & 63));
    }
    return out;
}

QByteArray printableDecode(const QByteArray &text)
{
    if (text.isEmpty())
        return QByteArray();
    const int pad = static_cast<unsigned char>(text[0]) - 65;
    QByteArray out;
    // Only whole groups of four carry bytes.
    for (int i = 1; i + 4 <= text.size(); i += 4) {
        const unsigned q0 = charValue(static_cast<unsigned char>(text[i]));
        const unsigned q1 = charValue(static_cast<unsigned char>(text[i + 1]));
        const unsigned q2 = charValue(static_cast<unsigned char>(text[i + 2]));
        const unsigned q3 = charValue(static_cast<unsigned char>(text[i + 3]));
        out.append(char(((q0 << 2) + (q1 >> 4)) & 255));
        out.append(char((((q1 & 15) << 4) + (q2 >> 2)) & 255));
        out.append(char((((q2 & 3) << 6) + q3) & 255));
    }
    // A length character outside "A".."C" cannot remove more than there is, nor add.
    if (pad > 0)
        out.chop(qMin(pad, int(out.size())));
    return out;
}

void cipherDecode(unsigned char *block, int n, const unsigned char *table)
{
    if (n < 1)
        return;
    const int salt = table[block[0]];
    unsigned char previous = block[0];
    for (int i = 1; i < n; ++i) {
        const unsigned char current = block[i];
        block[i - 1] = static_cast<unsigned char>((table[current] - salt - previous) & 255);
        previous = current;
    }
    block[n - 1] = 0;
}

QByteArray cipherEncode(const QByteArray &plain, int salt, const unsigned char *table)
{
    const int s = salt & 255;
    QByteArray e(plain.size() + 1, '\0');
    e[0] = char(table[s]);
    for (int i = 0; i < plain.size(); ++i) {
        const int p = static_cast<unsigned char>(plain[i]);
        const int prev = static_cast<unsigned char>(e[i]);
        e[i + 1] = char(table[(p + prev + s) & 255]);
    }
    return e;
}

QByteArray cryptDecode(const QByteArray &stored, const unsigned char *table)
{
    QByteArray block = printableDecode(stored);
    if (block.isEmpty())
        return QByteArray();
    cipherDecode(reinterpret_cast<unsigned char *>(block.data()), int(block.size()), table);
    block.chop(1);
    return block;
}

QByteArray storedFormEncode(const QByteArray &plain, int salt, const unsigned char *table)
{
    return printableEncode(cipherEncode(plain, salt, table));
}

const char *builtInPassword() { return BuiltIn; }

bool &oneShotFlag()
{
    static bool flag = true;
    return flag;
}

void wipe(QByteArray &secret)
{
    volatile char *p = secret.data();
    for (int i = 0; i < secret.size(); ++i)
        p[i] = 0;
    secret.clear();
}

} // namespace kvt::crypto
