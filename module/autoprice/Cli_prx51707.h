#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace Ui {
class TfrmCadAutPrecoDeferenciado;
}

namespace prx {

class ClientDataSet;
class DataSource;
class FocusWatch;
class LocalQuery;
class MaskEdit;
class TBtnPesquisa;
class TDateEditPlus;
class TNumberEdit;

// "Cadastro Automático de Preços Diferenciados" (PRX51707): creates the
// differentiated prices of many products of the current period at once.
class TfrmCadAutPrecoDeferenciado : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCadAutPrecoDeferenciado(QWidget *parent = nullptr);
    ~TfrmCadAutPrecoDeferenciado() override;

    void FormClose() override;
    void sbtConfirmaClick() override;
    void rbtProdutoClick(QRadioButton *clicked);
    void chbTodosDiasClick();
    void btnListaProdClick();
    void vd_ProdIni(bool required);
    void vd_ProdFin(bool required);
    void Vd_TipoCons();
    void vd_HoraDe();
    void vd_HoraAte();
    void vd_Horario();
    void Vd_Validade();
    void Vd_DiaChecked();
    void vd_ValorouPercentual();
    void vd_Valor();

    ClientDataSet *cdsProduto, *cdsProdAux;    // owned (children)
    DataSource *dtsProduto, *dtsTipoCons;      // owned (children)
    LocalQuery *qryTipoCons, *qryTipoConsFili; // owned (children)
    QLabel *dbtCdTabe, *dbtNmTabe, *dbtIniVigencia, *dbtFinVigencia;
    QRadioButton *rbtTodos, *rbtLista, *rbtIntervalo;
    TBtnPesquisa *btnListaProd, *btnProdutoIni, *btnProdutoFim, *btnListaTipoConsumidor;
    MaskEdit *medProdIni, *medProdFim, *medHorarioDe, *medHorarioAte;
    QLineEdit *edtNomeIni, *edtNomeFim, *edtCdTipoConsumidor, *edtNmTipoConsumidor;
    QCheckBox *chbTodosDias, *chbFeriado, *chbVesperaFeriado, *chbDomingo, *chbSegunda, *chbTerca,
        *chbQuarta, *chbQuinta, *chbSexta, *chbSabado;
    QRadioButton *rdgDesAcrDesconto, *rdgDesAcrAcrescimo, *rdgValPerValor, *rdgValPerPercentual,
        *rdgVisualizaSim, *rdgVisualizaNao;
    TNumberEdit *numValPer;
    TDateEditPlus *depValidadeDe, *depValidadeAte;

protected:
    // The activation step, once per showing: a search window or a message
    // box closing brings the dialog to the front again, and that must not
    // undo the user's choices.
    void showEvent(QShowEvent *event) override;

private:
    void checkProduct(MaskEdit *edit, QLineEdit *name, const char *emptyKey, bool required);
    void checkHour(MaskEdit *edit, const char *emptyKey);
    void loadProducts();
    void buildProductList(const QString &list);
    QList<QCheckBox *> dayBoxes() const; // the nine boxes "all days" switches off

    std::unique_ptr<Ui::TfrmCadAutPrecoDeferenciado> m_ui;
    bool m_shown = false; // the activation step ran
};

namespace Cli_prx51707 {

PKG_PRX51700_EXPORT extern TfrmCadAutPrecoDeferenciado *frmCadAutPrecoDeferenciado;
PKG_PRX51700_EXPORT extern bool boStCriado;    // built and not closed since
PKG_PRX51700_EXPORT extern QString stErro;     // text of the last product read
PKG_PRX51700_EXPORT extern QString stPesqProd; // the list chosen with the list search
PKG_PRX51700_EXPORT extern QString stTipoCons; // the consumer type sent, "T" for all

// Builds the dialog once (the price table screen must be open on a period)
// and shows it modally.
PKG_PRX51700_EXPORT void CriaCadAutPrecoDeferenciado();

} // namespace Cli_prx51707

} // namespace prx
