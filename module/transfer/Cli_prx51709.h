#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

#include <QDateTime>

#include <memory>

class QLabel;
class QRadioButton;

namespace Ui {
class TfrmCopiaPreco;
}

namespace prx {

class ClientDataSet;
class DataSource;
class MaskEdit;
class TBtnPesquisa;

// "Copiar Preços Diferenciados" (PRX51709): copies the differentiated prices
// of one product to other products of the same period.
class TfrmCopiaPreco : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCopiaPreco(QWidget *parent = nullptr);
    ~TfrmCopiaPreco() override;

    void FormCreate() override;
    void FormClose() override;
    void sbtConfirmaClick() override;
    // Enables the controls of the chosen mode; `chosen` is the mode button
    // just clicked (null at creation).
    void habProduto(QRadioButton *chosen = nullptr);
    void btpProdListaClick();
    // Leaving a code edit: the name of the offered product, or PROD_N.
    void vdProduto(MaskEdit *code, MaskEdit *name);

    ClientDataSet *cdsProdCopia, *cdsErrosCopia; // owned (children)
    DataSource *dtsProdCopia;                    // owned (child)
    QLabel *lblDadosTab, *lblDataVig, *lblDadosProd;
    QRadioButton *rbtTodos, *rbtProdLista, *rbtIntervalo;
    TBtnPesquisa *btpProdLista, *btpProdIni, *btpProdFin;
    MaskEdit *medCdProdIni, *medNmProdIni, *medCdProdFin, *medNmProdFin;

private:
    bool offered(const QString &code);

    std::unique_ptr<Ui::TfrmCopiaPreco> m_ui;
};

namespace Cli_prx51709 {

PKG_PRX51700_EXPORT extern TfrmCopiaPreco *frmCopiaPreco;
PKG_PRX51700_EXPORT extern bool boCriado; // built and not closed since
PKG_PRX51700_EXPORT extern QString stTabPrec;
PKG_PRX51700_EXPORT extern QString stCdProdOrigem;
PKG_PRX51700_EXPORT extern QString stProdDest; // the chosen products; emptied by every call
PKG_PRX51700_EXPORT extern QDateTime dtVigIni;
PKG_PRX51700_EXPORT extern QDateTime dtVigFin;

// Keeps the arguments for the dialog (the branch in Cli_prx51710::stFilial),
// builds the dialog once (the price table screen must be open on an item)
// and shows it modally.
PKG_PRX51700_EXPORT void criaCopiaPreco(const QString &branch, const QString &table,
                                        const QString &product, const QDateTime &start,
                                        const QDateTime &end);

} // namespace Cli_prx51709

} // namespace prx
