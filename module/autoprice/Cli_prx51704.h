#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

namespace prx {

class NetConnection;

// "Calcula Preço" (PRX51704): computes the prices of the current period from
// the products' costs. It lists the cost types through a connection of its
// own to the costs server object.
class TfrmCadAutTabePrec : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCadAutTabePrec(QWidget *parent = nullptr);
    ~TfrmCadAutTabePrec() override;

    void FormCreate() override;
    void FormClose() override;
    void FormDestroy() override;

    NetConnection *netCustos; // owned (child)

private:
    QString m_stFiltro;
    QString m_stLista;
};

namespace Cli_prx51704 {

PKG_PRX51700_EXPORT extern TfrmCadAutTabePrec *frmCadAutTabePrec;
PKG_PRX51700_EXPORT extern bool boStCriado; // built and not closed since
// The costs data of the dialog; none until the cost lists are read.
PKG_PRX51700_EXPORT extern QObject *dtmCustProd;

// Builds the dialog once (the price table screen must be open) and shows it
// modally.
PKG_PRX51700_EXPORT void CriaCadAutTabePrec();

} // namespace Cli_prx51704

} // namespace prx
