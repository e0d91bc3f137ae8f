#pragma once
// The data module: the session, the database and the shared table and query.
#include "engine/dataset.h"
#include "engine/session.h"
#include <QObject>
#include <array>

namespace kvt {

class TDM1 : public QObject {
    Q_OBJECT
public:
    explicit TDM1(QObject *parent = nullptr);
    ~TDM1() override;

    // Components, in the order of the module's description.
    Table *TblGeneric;
    Query *QryGeneric;
    Session Session1;
    Database Database1;

    /// Answers the session's password event: built-in password once, then a pending one, then refuse.
    void Session1Password(Session &sender, bool &retry);

    /// Pending password, in stored form; consumed by the next password event.
    void setPendingPassword(const QString &stored) { m_pendingPassword = stored; }
    QString pendingPassword() const { return m_pendingPassword; }
    const std::array<unsigned char, 256> &keyTable() const { return m_keyTable; }

private:
    QString m_pendingPassword;
    std::array<unsigned char, 256> m_keyTable{};
};

/// The process-wide data module (null until created).
extern TDM1 *DM1;

} // namespace kvt
