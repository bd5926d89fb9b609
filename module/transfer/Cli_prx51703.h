#pragma once

#include "package/PackageExport.h"

#include "forms/TfrmRotiGeral.h"

#include <memory>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace Ui {
class TfrmImportaTabela;
}

namespace prx {

class ClientDataSet;
class DataSource;
class FocusWatch;
class LocalQuery;
class NetConnection;
class TBtnPesquisa;
class TButtonFlat;

// "Exportar Tabela de Preço" (PRX51703): copies the prices of a table (the
// origin) into one table of one branch, existing or new, or over the tables
// in force of several branches. The dialog only gathers and checks the
// choice; the server does the copy in one call. Its product list comes
// through a connection of its own; the export goes through the price table
// screen's.
class TfrmImportaTabela : public TfrmRotiGeral
{
    Q_OBJECT

public:
    explicit TfrmImportaTabela(QWidget *parent = nullptr);
    ~TfrmImportaTabela() override;

    void FormCreate() override;
    void FormActivate() override;
    void FormDestroy() override;
    void sbtConfirmaClick() override;

    // Checks; `mandatory` makes a blank entry an error. A failure focuses
    // the routine's edit, shows the message and abandons the command.
    void Vd_FilialOrig(bool mandatory);
    void Vd_FilialDest(bool mandatory);
    void Vd_TabelaOrig(bool mandatory);
    void Vd_TabelaDest(bool mandatory);
    void Vd_TabelaDestNova(bool mandatory);
    void Vd_NomeTabela();
    void Vd_Produto();

    void chbDestinoClick();
    void chbDestinoFiliaisClick();
    void ckbNovaTabClick();
    void rbtTodosProdClick();
    void rbtListaProdClick();
    void rbtProdutoClick(); // either radio of the several-branches products
    void grbProdEnter();
    void btpProdutoClick();
    void btnProdutoClick();
    void btnFilialClick();

    NetConnection *netImportaTabela;                                   // owned (child)
    ClientDataSet *cdsProduto;                                         // owned (child)
    DataSource *dtsProduto, *dtsFilial, *dtsTabela, *dtsFilialDest;    // owned (children)
    LocalQuery *qryFilial, *qryTabela, *qryPesqTabela, *qryFilialDest; // owned (children)

    QGroupBox *grbOrigem, *grbProd, *grbFilial, *grbProduto;
    QLineEdit *edtFilialOrig, *edtNmFilialOrig, *edtTabelaOrig, *edtNmTabelaOrig;
    QLineEdit *edtFilialDest, *edtNmFilialDest, *edtTabelaDest, *edtNmTabelaDest;
    TBtnPesquisa *btnFilialOrig, *btnTabelaOrig, *btnFilialDest, *btnTabelaDest;
    QCheckBox *chbDestino, *chbDestinoFiliais, *ckbNovaTab;
    QLabel *lblFilial, *lblTabePrec, *lblMensagem;
    QRadioButton *rbtTodosProd, *rbtListaProd, *rbtListaFilial, *rbtTodosProduto, *rbtListaProduto;
    TButtonFlat *btpProduto, *btnFilial, *btnProduto;

    QString stListaProd;    // products picked for the one-branch export
    QString stTipoProd;     // "T" every product, "L" the list
    QString stListaFilial;  // destination branches
    QString stListaProduto; // products picked for the several-branches export

private:
    void buildQueries();
    void wire();
    [[noreturn]] void fail(QWidget *focus, const QString &key);
    // Brings the edit's code to its width; the text changes only when it
    // differs, so its change handler runs only then.
    QString normalise(QLineEdit *edit, int width);
    void loadProducts();
    void pickProducts(QString *list);
    void openBranches(const QString &code, const QString &all);
    void openTables(const QString &branch, const QString &code, const QString &all);

    std::unique_ptr<Ui::TfrmImportaTabela> m_ui;
    FocusWatch *m_grbProdWatch = nullptr; // owned (child)
    bool m_activated = false;
};

namespace Cli_prx51703 {

PKG_PRX51700_EXPORT extern TfrmImportaTabela *frmImportaTabela;
PKG_PRX51700_EXPORT extern bool boPrimVez; // the next activation is the dialog's first

// Builds a new dialog on every call (the price table screen must be open)
// and shows it modally.
PKG_PRX51700_EXPORT void CriaImportaTabela();

} // namespace Cli_prx51703

} // namespace prx
