#include "PriceListSource.h"

#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "services/HostState.h"

#include <stdexcept>

namespace prx::pricelist {

DataPacketPtr PriceListSource::read(const QString &method, const QVariantList &args)
{
    DataPacketPtr packet =
        CheckResultServ(m_net.call(method, args), true, 0).value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error("O servidor não devolveu os dados pedidos.");
    return packet;
}

DataPacketPtr PriceListSource::branch(const QString &code)
{
    return read(QStringLiteral("GetFilial"), {code, QString()});
}

DataPacketPtr PriceListSource::allBranches()
{
    return read(QStringLiteral("GetFilial"), {QString(), QStringLiteral("T")});
}

DataPacketPtr PriceListSource::tables(const QString &branch)
{
    return read(QStringLiteral("GetTabePrec"), {branch});
}

DataPacketPtr PriceListSource::periods(const QString &branch, const QString &table)
{
    return read(QStringLiteral("GetTabeVend"), {branch, table});
}

DataPacketPtr PriceListSource::items(const Options &o)
{
    // Items at the leaf level of the product tree, as the screen lists them.
    return read(QStringLiteral("GetItemPreco"),
                {o.branch, o.table, o.segment, QString::number(DBPictObj(0).GetTtNiveis()),
                 o.periodStart, QString(), QStringLiteral("T")});
}

DataPacketPtr PriceListSource::dayPrices(const Options &o)
{
    return read(QStringLiteral("GetPrecoHora"), {o.branch, o.table, o.periodStart});
}

} // namespace prx::pricelist
