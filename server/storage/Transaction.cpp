#include "storage/Transaction.h"

#include "storage/DroppedRows.h"
#include "storage/HistoryTriggers.h"
#include "storage/Storage.h"

#include <QSqlError>

#include <cstdio>
#include <unistd.h>

namespace prx::server {

Transaction::Transaction(const Storage &storage) : m_storage(storage)
{
    // Only what this unit of work reads counts against its commit.
    takeDroppedRows();
    m_storage.execDirect(m_storage.dialect().beginTransaction());
    // The price history triggers name the caller of this unit of work.
    try {
        HistoryTriggers::enter(m_storage);
    } catch (...) {
        QSqlQuery q(m_storage.database());
        q.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
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

namespace {

// Set only by the crash test: the process stops here with the whole unit of
// work done but not committed, so that it can be killed at a known point.
bool stallBeforeCommit()
{
    static const bool stall = qEnvironmentVariableIsSet("PRX_TEST_STALL_BEFORE_COMMIT");
    return stall;
}

} // namespace

void Transaction::commit()
{
    if (stallBeforeCommit()) {
        std::fputs("prx-server: commit pending\n", stderr);
        std::fflush(stderr);
        for (;;)
            ::pause();
    }
    // A read cut short by the driver means the work saw part of its rows:
    // it rolls back rather than commit a partial change.
    checkNoRowsDropped();
    HistoryTriggers::leave(m_storage);
    m_storage.execDirect(QStringLiteral("COMMIT"));
    m_open = false;
}

} // namespace prx::server
