#include "app/protect.h"
#include "app/crypto.h"
#include "engine/session.h"
#include "reportdef/schema.h"
#include <array>

namespace kvt {

void protectAllTables(QSqlDatabase &db)
{
    std::array<unsigned char, 256> table{};
    crypto::keyTableInit(table.data(), crypto::keySeed());
    QByteArray plain = crypto::cryptDecode(QByteArray(crypto::builtInPassword()), table.data());
    const QString password = QString::fromLatin1(plain);
    crypto::wipe(plain);
    for (const auto &def : reportdef::allTables())
        protection::protectTable(db, def.sqlName, password);
}

} // namespace kvt
