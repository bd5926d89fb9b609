#pragma once

#include "forms/TfrmPadrao.h"

#include "dataset/ClientDataSet.h"
#include "dataset/DataSource.h"
#include "money/DayPrice.h"
#include "services/EditMask.h"
#include "widgets/DBGrid.h"

#include <QHash>
#include <QPixmap>
#include <QVariantList>

#include <memory>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QTabWidget;

namespace Ui {
class TfrmTabePreco;
}

namespace prx {

class FocusWatch;
class LocalQuery;
class MaskEdit;
class NetConnection;
class TBtnPesquisa;
class TButtonFlat;
class TDBSortGrid;

// "Tabela de Preços" (PRX51700): the branch's price tables and their validity
// periods on the list page; the price items, component prices and
// differentiated prices of the current period on the detail page.
//
// The work is spread over one source file per topic: TfrmTabePreco.cpp (the
// frame: creation, pages, command enabling), TabePrecoBranch.cpp (branch and
// tables), TabePrecoPeriods.cpp, TabePrecoCommands.cpp (standard commands and
// keyboard), TabePrecoItems.cpp, TabePrecoComponents.cpp,
// TabePrecoPrecoHora.cpp and TabePrecoLayout.cpp (grids and menus).
//
// Components are public, as the dialogs of the module read the current
// branch, table, period and item through the open screen.
class TfrmTabePreco : public TfrmPadrao
{
    Q_OBJECT

public:
    explicit TfrmTabePreco(QWidget *parent = nullptr);
    ~TfrmTabePreco() override;

    // --- server and datasets (owned: children of the form)
    NetConnection *netTabePreco;
    ClientDataSet *cdsFilial, *cdsTabePrec, *cdsVerifTabePrec, *cdsTabeVend, *cdsVerifTabeVend;
    ClientDataSet *cdsPesqDataVigente, *cdsMaxDtFinVg;
    ClientDataSet *cdsVingCliFili, *cdsVingLoja, *cdsVingFili, *cdsVingCli;
    ClientDataSet *cdsAliqProd, *cdsItemPreco, *cdsItemPrecoComp, *cdsPrecoHora, *cdsVdMod;
    DataSource *dtsFilial, *dtsTabeVend, *dtsItemPreco, *dtsItemPrecoComp, *dtsPrecoHora;
    LocalQuery *adqTipoCons, *adqTipoConsFili;
    DataSource *dtsTipoCons, *dtsTipoConsFili;

    // Fields other screens and dialogs read.
    Field *cdsTabePrecCDTABEPREC, *cdsTabePrecNMTABEPREC, *cdsFilialCDSEGMER;
    Field *cdsItemPrecoCDARVPROD, *cdsItemPrecoCompCDARVPROD;
    Field *cdsTabeVendDTINIVGPREC, *cdsTabeVendDTFINVGPREC;

    // --- controls of the layout (owned by the form's widget tree)
    QFrame *panFilial;
    QLabel *lblFilial;
    MaskEdit *medCdFilial;
    TBtnPesquisa *btpFilial;
    QLineEdit *edtNmFilial, *edtModProduto;
    QSplitter *splTabePreco;
    DBGrid *dbgTabeVend;
    QFrame *panSegmento;
    QLineEdit *edtSegmento, *edtGrupoProd;
    QSplitter *splItemPreco;
    QTabWidget *pgcItemPreco, *pgcPrecoCliCon;
    QWidget *tshProduto, *tshComposicao, *tshPrecoHora;
    TDBSortGrid *dbsItemPreco;
    DBGrid *dbgItPrecoComp, *dbgPrecoHora;

    TButtonFlat *sbtImport, *sbtCadaAuto, *btfAtualizaPreco, *sbtProdPro, *btnCadPrecoDif;
    TButtonFlat *btnLibDig, *btnAprDig;
    TButtonFlat *btnRevVig; // the review of the period, before its release or approval
    QAction *mnuRevVig;     // its menu twin, on both pages
    QAction *mnuImpExp, *mnuExportar, *Impo1, *mnuCadaAuto, *mnuAtualizaPreco, *mnuProdPro;
    QAction *mnuCadPrecoDif, *mnuProduto, *mnuComposicao;
    QMenu *mnuImpExpMenu; // the submenu of mnuImpExp
    QMenu *pmnImportar, *pmnCadAuto;
    QAction *pmnExportar, *pmnImp, *mnuCalcPreco, *mnuCopPrecoDif;

    // Pictures painted into the grids.
    QPixmap imgCompoe, imgCheck, imgUncheck;

    // Set once the bulk price calculation ran, until the screen is closed.
    // Typed item prices are cut and checked all the same: the calculation
    // stores cents, and a typed third decimal must not slip through.
    bool boCalcPreco() const { return m_boCalcPreco; }
    void setBoCalcPreco(bool on) { m_boCalcPreco = on; }

    // --- frame
    void Atualiza_Botoes(DataSource *source);
    // The data source of the grid the user is in: on the list page the grid
    // with the focus (the tables' when the focus is elsewhere), on the
    // detail page the grid entered last (stGrid).
    DataSource *sourceInUse() const;
    // Loading data (a move to another table or period, a reload) recomputes
    // the commands for the grid in use, never for the grid that was loaded.
    void refreshCommands() { Atualiza_Botoes(sourceInUse()); }
    void pgcPadraoChange() override;
    void mnuFolhaDadosClick() override;
    void dbnPadraoClick(DBNavigator::Button button) override;
    void dtsPadraoStateChange() override;
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void FormDestroy() override;
    void sbtAutomaticoClick() override;

    // --- standard commands and keyboard: one set of commands serves the five
    // datasets; the page, the control in focus and stGrid pick the one
    void sbtIncluirClick() override;
    void sbtAlterarClick() override;
    void sbtExcluirClick() override;
    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;
    void sbtVerificarClick() override;
    void sbtProcurarClick() override;
    void sbtImprimirClick() override;
    void FormKeyDown(int &key, Qt::KeyboardModifiers modifiers) override;

    // --- branch and tables
    void medCdFilialChange();
    void medCdFilialEnter();
    void Vd_Filial(bool mandatory);
    void panFilialExit();
    void btpFilialBeforePesq();
    void btpFilialAfterPesq();
    void cdsTabePrecAfterScroll();
    void cdsTabePrecAfterInsert();
    void cdsTabePrecAfterPost();
    void cdsTabePrecAfterCancel();
    // After a new table is dropped (cancelled or refused by the server) the
    // row in focus is another table: its periods are shown, not the empty
    // list of the row that went away.
    void showPeriodsOfCurrentTable();
    void moveToPeriodInForce();
    void dbgPadraoEnter();
    void dbgPadraoExit();
    void Vd_CdTabePrec(bool mandatory);
    void Vd_NmTabePrec();
    void cdsTabePrecBeforePost();
    void dbgPadraoColExit();
    void dbgPadraoKeyPress(DBGrid &grid, QChar &key);

    // --- periods
    void cdsTabeVendCalcFields();
    void cdsTabeVendAfterOpen();
    void cdsTabeVendAfterScroll();
    void dtsTabeVendStateChange();
    void dbgTabeVendEnter();
    void dbgTabeVendExit();
    void cdsTabeVendAfterInsert();
    void cdsTabeVendAfterEdit();
    void cdsTabeVendAfterPost();
    void cdsTabeVendAfterCancel();
    void Vd_Data();
    void Vd_TabeVend(bool mandatory);
    void Vd_Vingencia();
    void Vd_ExclusaoTabela();
    void cdsTabeVendBeforePost();
    void dbgTabeVendColExit();
    void btnLibDigClick();
    void btnAprDigClick();
    void mnuRevVigClick(); // what the period changes at the till (TabePrecoReview.cpp)

    // --- items
    void loadItemPreco();
    void cdsItemPrecoAfterScroll();
    void dtsItemPrecoStateChange();
    void dbsItemPrecoEnter();
    void dbsItemPrecoColEnter();
    void cdsItemPrecoAfterEdit();
    void cdsItemPrecoBeforePost();
    void cdsItemPrecoAfterPost();
    // The daily sale window: an invalid hour is erased and refused.
    void Vd_HrIniVenProd();
    void Vd_HrFimVenProd();

    // --- components
    void pgcItemPrecoChange();
    void loadItemPrecoComp();
    void dtsItemPrecoCompStateChange();
    void dbgItPrecoCompEnter();
    void cdsItemPrecoCompAfterEdit();
    void cdsItemPrecoCompBeforePost();
    void mnuProdutoClick();
    void mnuComposicaoClick();

    // --- differentiated prices
    void loadPrecoHora();
    void dtsPrecoHoraStateChange();
    void dbgPrecoHoraEnter();
    void dbgPrecoHoraColEnter();
    void pgcPrecoCliConChange();
    void alteraCheckModalidade();
    void dbgPrecoHoraEditButtonClick();
    void cdsPrecoHoraNewRecord();
    void cdsPrecoHoraAfterEdit();
    void cdsPrecoHoraAfterPost();
    void cdsPrecoHoraAfterCancel();
    // Computation and checks of a differentiated price (TabePrecoPrecoHoraChecks.cpp).
    void calculaPrecoItemDia();
    void cdsPrecoHoraBeforePost();
    void dbgPrecoHoraColExit();
    void vd_hora();
    void vd_HoraFin();
    void Vd_PrecoHoraDtIni(bool strict);
    void Vd_PrecoHoraDtFin(bool strict);
    void Vd_TipoCons();
    // The key text of the differentiated price in focus (see stChavePrecoDif).
    QString precoHoraKeyText() const;
    // After the item's prices changed: its differentiated prices take the
    // prices the server stored for them, without a save of their own.
    void refreshItemDayPrices();

    // --- pop-up menus and side dialogs
    void sbtImportClick();
    void sbtCadaAutoClick();
    void pmnExportarClick();
    void pmnImpClick();
    void mnuExportarClick();
    void Impo1Click();
    void mnuExportarPlanilhaClick(); // the period's items to a CSV or XLSX file
    void mnuImportarPlanilhaClick(); // prices from a CSV file, after a preview
    void mnuAtualizaPrecoClick();
    void mnuProdProClick();
    void btnCadPrecoDifClick();
    void mnuCalcPrecoClick();
    void mnuCopPrecoDifClick();
    void mnuPrecoVigenteClick(); // the price in force of the item in focus
    void mnuHistPrecoClick();    // who changed the prices of the item in focus
    // The products whose price in force changes, for the shelf labels.
    void mnuAlteracoesPrecoClick();

private:
    // Layout and wiring (TabePrecoLayout.cpp).
    void buildLayout();
    void buildMenus();
    void buildGridColumns();
    void wireBranch();
    void wirePeriods();
    void wireItems();
    void wireComponents();
    void wirePrecoHora();

    // A call of the screen's server object; a refused call shows the
    // server's message and abandons the command. The caller shows the busy
    // animation around it.
    QVariant serverCall(const QString &method, const QVariantList &args);
    // Loads the payload of a reading call into the dataset.
    void loadInto(ClientDataSet *dataSet, const QVariant &payload);
    void read(ClientDataSet *dataSet, const QString &method, const QVariantList &args);
    // Sends the dataset's pending changes to a saving method; on success the
    // change log is merged and the host told which table changed, on failure
    // the pending changes are dropped and the error goes on.
    void saveChanges(ClientDataSet *dataSet, const QString &method, int busyKind,
                     const QString &table, const QVariantList &extraArgs = {});

    void setDetailPageEnabled(bool enabled);
    // Focuses the grid (unless it holds the focus already) and selects the
    // field's column.
    void focusGridColumn(DBGrid *grid, const QString &fieldName);
    // Keys typed into a key field of a row that is not new are dropped, but
    // for those that move or confirm.
    void keyFieldRule(DBGrid &grid, QChar &key) const;
    // Ctrl+Delete never deletes a row of these grids: only the Delete
    // command does, after its checks and its question.
    static void dropCtrlDelete(DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers);
    void listGridKeyDown(DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers);
    // To the other page, when it can be shown, with the focus in its grid.
    void switchPage();
    void focusPageGrid();
    bool periodEndsTooEarly() const;
    const char *tableAssignment();
    // Refuses a negative price (when negativeKey is given) and one at or
    // past the largest the tables hold, focusing the field.
    void checkItemPrice(const char *fieldName, const char *negativeKey, const char *rangeKey);
    // The amount of a differentiated price: bounded and of two decimals, or
    // refused; and the amount a typed price comes from.
    void checkDayPriceAmount(const Field &amount, const dayprice::Rule &rule);
    void deriveDayPriceAmount(Decimal base, dayprice::Rule rule);
    // Refuses and erases a stored hour that is not an hour of the day.
    void checkHour(DBGrid *grid, Field &field);
    // Sends a grid's pending changes after Confirm posted its row.
    void confirmDetail(ClientDataSet *dataSet, const QString &method, const QString &table,
                       bool sendsEmptyFields = false);
    void showListPage();
    bool listPageActive() const;
    bool detailPageActive() const;
    void updateImportButton();
    void updateBulkMenus();
    void enableBranchEntry();
    void setBranchPanelEnabled(bool enabled);
    QWidget *activeControl() const;
    static bool hasRows(const ClientDataSet *dataSet)
    {
        return dataSet && dataSet->isActive() && !dataSet->isEmpty();
    }
    bool isEditing(const ClientDataSet *dataSet) const;
    bool isEditing(const DataSource *source) const;

    // Painting.
    void drawTabeVendCell(DBGrid &grid, QPainter &painter, const QRect &rect, DBGridColumn &column,
                          int row, DBGrid::DrawState state);
    void drawItemPrecoCell(DBGrid &grid, QPainter &painter, const QRect &rect, DBGridColumn &column,
                           int row, DBGrid::DrawState state);
    void drawPrecoHoraCell(DBGrid &grid, QPainter &painter, const QRect &rect, DBGridColumn &column,
                           int row, DBGrid::DrawState state);

    // The start of the current period as its field shows it.
    QString periodStartText() const;

    std::unique_ptr<Ui::TfrmTabePreco> ui;
    QWidget *m_parts = nullptr; // owned (child, hidden): the layout's root, holds its actions
    FocusWatch *m_panFilialWatch = nullptr;   // owned (child)
    FocusWatch *m_panSegmentoWatch = nullptr; // owned (child)
    FocusWatch *m_medCdFilialWatch = nullptr; // owned (child)
    EditMask m_productMask;                   // DBPict(0), for the product codes of the items
    bool m_ready = false; // the base form runs handlers while this one is still being built
    bool m_boCalcPreco = false;
    bool m_loadingPeriods = false; // the periods' state handler waits meanwhile
    bool m_loadingTables = false;  // the tables' after-scroll waits for the explicit run
    QString m_periodsTable;        // the table whose periods cdsTabeVend holds
    QString stCamposVazios;
    QHash<QString, QVariant> m_itemValuesAtEdit; // prices the item row held when its edit began
    QHash<QString, QVariant> m_componentValuesAtEdit; // the same for the component row
    QString stChavePrecoDif;
    bool m_syncingDayPrices = false; // refreshItemDayPrices() runs: no checks, no saves
    // The general price of the differentiated price being edited as last
    // computed or read: a different one in the field is one the user typed.
    QVariant m_dayPriceShown;
};

} // namespace prx
