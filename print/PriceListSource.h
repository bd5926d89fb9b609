#pragma once

#include "PriceListOptions.h"

#include "dataset/ColumnTable.h"

namespace prx {

class NetConnection;

namespace pricelist {

// The server calls of the price list, the same the price table screen makes
// to show a branch, its tables, their periods and a period's prices. A call
// that fails has its message shown and abandons the command (Abort).
class PriceListSource
{
public:
    explicit PriceListSource(NetConnection &net) : m_net(net) {}

    DataPacketPtr branch(const QString &code);
    DataPacketPtr allBranches();
    DataPacketPtr tables(const QString &branch);
    DataPacketPtr periods(const QString &branch, const QString &table);
    // Every item of the period (all products of the branch's segment).
    DataPacketPtr items(const Options &options);
    DataPacketPtr dayPrices(const Options &options);

    static constexpr const char *kServerObject = "Prx51700.rdmTabePreco";

private:
    DataPacketPtr read(const QString &method, const QVariantList &args);

    NetConnection &m_net; // not owned
};

} // namespace pricelist
} // namespace prx
