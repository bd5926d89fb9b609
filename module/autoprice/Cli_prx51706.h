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
class TfrmCadAutPromocao;
}

namespace prx {

class ClientDataSet;
class DataSource;
class FocusWatch;
class MaskEdit;
class TBtnPesquisa;

// "Alteração Automática" (PRX51706): puts a selection of the current period's
// products into promotion or takes them out of it, optionally adding or
// clearing a prefix of their names first; then reloads the screen's items.
class TfrmCadAutPromocao : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmCadAutPromocao(QWidget *parent = nullptr);
    ~TfrmCadAutPromocao() override;

    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void sbtConfirmaClick() override;
    void chbPrefixoClick();
    void rbtProdutoClick(QRadioButton *clicked);
    void btnListaProdClick();
    void Vd_ProdIni(bool mandatory);
    void Vd_ProdFin(bool mandatory);
    void Vd_Lista();

    ClientDataSet *cdsAutItemPreco, *cdsAux, *cdsProdValid, *cdsProduto; // owned (children)
    DataSource *dtsAutItemPreco, *dtsProduto, *dtsProduto1;              // owned (children)
    QRadioButton *rbtTodos, *rbtLista, *rbtIntervalo;
    TBtnPesquisa *btnListaProd, *btnProdutoIni, *btnProdutoFim;
    MaskEdit *medProdIni, *medProdFim;
    QLineEdit *edtNomeIni, *edtNomeFim, *edtPrefixo;
    QGroupBox *rdgPromocao;
    QRadioButton *rdgPromocaoColocar, *rdgPromocaoRetirar;
    QCheckBox *chbPrefixo;
    QRadioButton *rbtAddPrefixo, *rbtDelPrefixo;
    QLabel *lblPrefixo;

    QString stListaProd; // the keys chosen with the list search

private:
    // The code check of one interval edit.
    void checkProduct(MaskEdit *edit, QLineEdit *name, const char *emptyKey, bool mandatory);
    void loadPeriodProducts(ClientDataSet *dataSet);
    // cdsProduto from the list text: one row per "_" + 10-character code.
    void buildProductList();
    // The four selection arguments of the server calls, from the mode.
    QVariantList selectionArgs() const;
    QVariantList periodArgs() const;

    std::unique_ptr<Ui::TfrmCadAutPromocao> m_ui;
    FocusWatch *m_iniWatch, *m_fimWatch; // owned (children)
};

namespace Cli_prx51706 {

PKG_PRX51700_EXPORT extern TfrmCadAutPromocao *frmCadAutPromocao;
PKG_PRX51700_EXPORT extern bool boStCriado; // built and not closed since

// Builds the dialog once (the price table screen must be open) and shows it
// modally.
PKG_PRX51700_EXPORT void CriaCadAutPromocao();

} // namespace Cli_prx51706

} // namespace prx
