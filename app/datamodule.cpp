#include "app/datamodule.h"
#include "app/crypto.h"

namespace kvt {

TDM1 *DM1 = nullptr;

TDM1::TDM1(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("DM1"));
    TblGeneric = new Table(this, QStringLiteral("TblGeneric"));
    TblGeneric->setDatabaseName(QStringLiteral("MyDatabase"));
    TblGeneric->setSessionName(QStringLiteral("MySession"));
    TblGeneric->setTableName(QStringLiteral("ItemTmp2.DB"));

    QryGeneric = new Query(this, QStringLiteral("QryGeneric"));
    QryGeneric->setDatabaseName(QStringLiteral("MyDatabase"));
    QryGeneric->setSessionName(QStringLiteral("MySession"));

    Session1.setSessionName(QStringLiteral("MySession"));
    Session1.onPassword = [this](Session &s, bool &retry) { Session1Password(s, retry); };

    Database1.setDatabaseName(QStringLiteral("MyDatabase"));
    Database1.setSessionName(QStringLiteral("MySession"));
    Database1.setDriverName(QStringLiteral("STANDARD"));
    Database1.setParams({QStringLiteral("PATH=."), QStringLiteral("DEFAULT DRIVER=PARADOX"),
                         QStringLiteral("ENABLE BCD=FALSE")});

    m_pendingPassword.clear();
    crypto::keyTableInit(m_keyTable.data(), crypto::keySeed());
}

TDM1::~TDM1()
{
    m_pendingPassword.clear();
    // Data sets go before the database they use.
    delete TblGeneric;
    delete QryGeneric;
    Database1.close();
    Session1.close();
}

} // namespace kvt
