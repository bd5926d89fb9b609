#include "storage/Transaction.h"

#include "storage/Storage.h"

#include <QSqlError>

namespace prx::server {

Transaction::Transaction(const Storage &storage) : m_storage(storage)
{
    m_storage.execDirect(m_storage.dialect().beginTransaction());
}

Transaction::~Transaction()
{
    if (!m_open)
        return;
    // Never throws: a failed rollback leaves the connection to the driver,
    // which drops the transaction when the connection closes.
    QSqlQuery q(m_storage.database());
    q.exec(QStringLiteral("ROLLBACK"));
}

void Transaction::commit()
{
    m_storage.execDirect(QStringLiteral("COMMIT"));
    m_open = false;
}

} // namespace prx::server
