#include "HostState.h"

namespace prx {

HostState &HostState::instance()
{
    static HostState state;
    return state;
}

void HostState::atualizaLocalCache(const QStringList &tableNames)
{
    for (const QString &name : tableNames) {
        if (!m_changedTables.contains(name))
            m_changedTables.append(name);
    }
    emit tablesChanged(tableNames);
}

int ProductMaskInfo::digitsUpToLevel(int level) const
{
    int total = 0;
    for (int i = 0; i < level && i < m_levels.size(); ++i)
        total += m_levels[i];
    return total;
}

QString FiliProc()
{
    return HostState::instance().branchCode;
}

QString NomeFiliProc()
{
    return HostState::instance().branchName;
}

QDate DataProc(const QString &branch)
{
    // One processing date per host: the host works for one branch at a time.
    Q_UNUSED(branch);
    const QDate date = HostState::instance().processingDate;
    return date.isValid() ? date : QDate::currentDate();
}

bool ModuFili()
{
    return HostState::instance().boundToBranch;
}

QString WebURL()
{
    return HostState::instance().serverHost;
}

int WebPort()
{
    return HostState::instance().serverPort;
}

QString DBPict(int index)
{
    Q_UNUSED(index);
    return HostState::instance().productMask;
}

ProductMaskInfo DBPictObj(int index)
{
    Q_UNUSED(index);
    return ProductMaskInfo(HostState::instance().productLevelDigits);
}

void AtualizaLocalCache(const QStringList &tableNames)
{
    HostState::instance().atualizaLocalCache(tableNames);
}

} // namespace prx
