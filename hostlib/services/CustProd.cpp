#include "services/CustProd.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSetError.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"

namespace prx {

TdtmCustProd::TdtmCustProd(QObject *parent) : QObject(parent), cdsTipoCusto(new ClientDataSet(this))
{
    setObjectName(QStringLiteral("dtmCustProd"));
    cdsTipoCusto->setObjectName(QStringLiteral("cdsTipoCusto"));
    cdsTipoCusto->addField(QStringLiteral("CDTIPOCUSTO"), FieldType::Integer);
    cdsTipoCusto->addField(QStringLiteral("NMTIPOCUSTO"), FieldType::String, 30);
}

int TdtmCustProd::NumeroTipoCusto(int index) const
{
    if (!cdsTipoCusto->isActive() || index < 0 || index >= cdsTipoCusto->recordCount())
        return -1;
    return int(cdsTipoCusto->valueAt(index, cdsTipoCusto->fieldByName(u"CDTIPOCUSTO").index())
                   .toLongLong());
}

QStringList ListaTipoCusto(NetConnection &connection, TdtmCustProd &module)
{
    const QVariant payload =
        CheckResultServ(connection.call(QStringLiteral("GetTipoCusto"), {}), false, 0);
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    QStringList captions;
    if (!packet)
        return captions;
    module.cdsTipoCusto->loadPacket(std::move(*packet));
    const int name = module.cdsTipoCusto->fieldByName(u"NMTIPOCUSTO").index();
    for (int r = 0; r < module.cdsTipoCusto->recordCount(); ++r)
        captions << module.cdsTipoCusto->valueAt(r, name).toString();
    return captions;
}

void SQL_Pesquisa_Produto_CDS(const QString &branch, ClientDataSet &dataSet, QString &text)
{
    text.clear();
    int leafLength = 0;
    for (int digits : HostState::instance().productLevelDigits)
        leafLength += digits;
    LocalQuery query;
    query.setSql({QStringLiteral("SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO"),
                  QStringLiteral("FROM FILIAL F"),
                  QStringLiteral("JOIN PRODSEGMER S ON S.CDSEGMER = F.CDSEGMER"),
                  QStringLiteral("JOIN PRODUTO P ON P.CDPRODUTO = S.CDPRODUTO"),
                  QStringLiteral("WHERE F.CDFILIAL = :P_CDFILIAL"),
                  QStringLiteral("AND LENGTH(P.CDARVPROD) = :P_NRDIGITOS"),
                  QStringLiteral("ORDER BY P.CDARVPROD")});
    query.setParam(QStringLiteral("P_CDFILIAL"), branch);
    query.setParam(QStringLiteral("P_NRDIGITOS"), leafLength);
    // Emptied before every fill: a second search never offers what the
    // first one left.
    dataSet.close();
    dataSet.createDataSet();
    try {
        query.open();
    } catch (const DataSetError &e) {
        text = e.message();
        return;
    }
    const bool logging = dataSet.logChanges();
    dataSet.setLogChanges(false);
    dataSet.disableControls();
    for (int r = 0; r < query.recordCount(); ++r)
        dataSet.appendRecord(
            {QVariant(), query.valueAt(r, 0), query.valueAt(r, 1), query.valueAt(r, 2)});
    dataSet.enableControls();
    dataSet.setLogChanges(logging);
    dataSet.first();
}

} // namespace prx
