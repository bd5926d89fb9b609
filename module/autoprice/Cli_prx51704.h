#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QProgressBar;
class QRadioButton;

namespace Ui {
class TfrmCadAutTabePrec;
}

namespace prx {

class ClientDataSet;
class DataSource;
class DBText;
class NetConnection;
class TBtnPesquisa;
class TdtmCustProd;

// "Calcula Preço" (PRX51704): has the server compute the calculated prices
// of the screen's current period from the products' costs. It lists the cost
// types through a connection of its own to the costs server object; the
// price calls go through the screen's connection.
class TfrmCadAutTabePrec : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCadAutTabePrec(QWidget *parent = nullptr);
    ~TfrmCadAutTabePrec() override;

    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void FormDestroy() override;
    void sbtConfirmaClick() override;
    void rbtProdClick();
    void btpProdutoClick();

    NetConnection *netCustos;  // owned (child)
    ClientDataSet *cdsProduto; // owned (child): the branch's products for the list
    DataSource *dtsProduto;    // owned (child)
    DBText *DBText1, *DBText2, *DBText3, *DBText4;
    QRadioButton *rbtProdT, *rbtProdL;
    TBtnPesquisa *btpProduto;
    QComboBox *cmbTipoCusto;
    QCheckBox *chbImposto;
    QFrame *panAnimacao;
    QProgressBar *amnTempo;

    QString stListaProd; // the keys chosen with the list search

private:
    std::unique_ptr<Ui::TfrmCadAutTabePrec> m_ui;
};

namespace Cli_prx51704 {

PKG_PRX51700_EXPORT extern TfrmCadAutTabePrec *frmCadAutTabePrec;
PKG_PRX51700_EXPORT extern bool boStCriado; // built and not closed since
PKG_PRX51700_EXPORT extern QString stErro;  // the text of the last product load
// The costs data module of the dialog built last (owned by the application).
PKG_PRX51700_EXPORT extern TdtmCustProd *dtmCustProd;

// Builds the dialog once (the price table screen must be open) and shows it
// modally.
PKG_PRX51700_EXPORT void CriaCadAutTabePrec();

} // namespace Cli_prx51704

} // namespace prx
