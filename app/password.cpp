#include "app/crypto.h"
#include "app/datamodule.h"

namespace kvt {
namespace {

// The decoded password lives only for the call that hands it to the session.
void addDecoded(Session &session, const QByteArray &stored, const unsigned char *table)
{
    QByteArray plain = crypto::cryptDecode(stored, table);
    session.addPassword(QString::fromLatin1(plain));
    crypto::wipe(plain);
}

} // namespace

void TDM1::Session1Password(Session & /*sender*/, bool &retry)
{
    if (crypto::oneShotFlag()) {
        addDecoded(Session1, QByteArray(crypto::builtInPassword()), m_keyTable.data());
        retry = true;
        crypto::oneShotFlag() = false;
        return;
    }
    if (!m_pendingPassword.isEmpty()) {
        addDecoded(Session1, m_pendingPassword.toLatin1(), m_keyTable.data());
        retry = true;
        m_pendingPassword.clear();
        return;
    }
    retry = false;
}

} // namespace kvt
