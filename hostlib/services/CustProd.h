#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace prx {

class ClientDataSet;
class NetConnection;

// The costs data module: the cost types the costs server object offers, in
// the order in which they are listed.
class TdtmCustProd : public QObject
{
    Q_OBJECT

public:
    explicit TdtmCustProd(QObject *parent = nullptr);

    // The cost-type code the server expects for the caption at this position
    // of the list; -1 when there is none there.
    int NumeroTipoCusto(int index) const;

    ClientDataSet *cdsTipoCusto; // owned (child): CDTIPOCUSTO, NMTIPOCUSTO
};

// Reads the cost types through the connection (object "cus.rdmCustProd")
// into the module and returns their captions. A failed call reaches the user
// as the server's message and yields an empty list.
QStringList ListaTipoCusto(NetConnection &connection, TdtmCustProd &module);

// Fills the dataset (fields IDMARCADO, CDPRODUTO, CDARVPROD, NMPRODUTO) with
// the leaf products of the branch's market segment, by tree code, from the
// host's database. The text given back is empty, or says why nothing could
// be read.
void SQL_Pesquisa_Produto_CDS(const QString &branch, ClientDataSet &dataSet, QString &text);

} // namespace prx
