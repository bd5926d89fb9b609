// The screen's layout put into the maintenance form, its menus and the
// columns of its grids.

#include "TfrmTabePreco.h"

#include "ui_TfrmTabePreco.h"

#include "Cli_prx51700.h"
#include "ScreenImages.h"
#include "ScreenTexts.h"

#include "review/TfrmRevisaoVigencia.h"
#include "services/UserAction.h"
#include "widgets/ColumnFit.h"
#include "widgets/DBText.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"

#include <QMenu>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace prx {

using pricetable::ScreenIcon;

void TfrmTabePreco::buildLayout()
{
    // The layout's own root stays a hidden child: it owns the actions of the
    // menus; its panels move into the maintenance form.
    m_parts = new QWidget(this);
    m_parts->hide();
    ui->setupUi(m_parts);

    panFilial = ui->panFilial;
    lblFilial = ui->lblFilial;
    medCdFilial = ui->medCdFilial;
    btpFilial = ui->btpFilial;
    edtNmFilial = ui->edtNmFilial;
    edtModProduto = ui->edtModProduto;
    splTabePreco = ui->splTabePreco;
    dbgTabeVend = ui->dbgTabeVend;
    panSegmento = ui->panSegmento;
    edtSegmento = ui->edtSegmento;
    edtGrupoProd = ui->edtGrupoProd;
    splItemPreco = ui->splItemPreco;
    pgcItemPreco = ui->pgcItemPreco;
    tshProduto = ui->tshProduto;
    tshComposicao = ui->tshComposicao;
    dbsItemPreco = ui->dbsItemPreco;
    dbgItPrecoComp = ui->dbgItPrecoComp;
    pgcPrecoCliCon = ui->pgcPrecoCliCon;
    tshPrecoHora = ui->tshPrecoHora;
    dbgPrecoHora = ui->dbgPrecoHora;
    sbtImport = ui->sbtImport;
    sbtCadaAuto = ui->sbtCadaAuto;
    btfAtualizaPreco = ui->btfAtualizaPreco;
    sbtProdPro = ui->sbtProdPro;
    btnCadPrecoDif = ui->btnCadPrecoDif;
    btnLibDig = ui->btnLibDig;
    btnAprDig = ui->btnAprDig;
    btnRevVig = ui->btnRevVig;
    mnuRevVig = ui->mnuRevVig;
    mnuImpExp = ui->mnuImpExp;
    mnuExportar = ui->mnuExportar;
    Impo1 = ui->Impo1;
    mnuCadaAuto = ui->mnuCadaAuto;
    mnuAtualizaPreco = ui->mnuAtualizaPreco;
    mnuProdPro = ui->mnuProdPro;
    mnuCadPrecoDif = ui->mnuCadPrecoDif;
    mnuProduto = ui->mnuProduto;
    mnuComposicao = ui->mnuComposicao;
    pmnExportar = ui->pmnExportar;
    pmnImp = ui->pmnImp;
    mnuCalcPreco = ui->mnuCalcPreco;
    mnuCopPrecoDif = ui->mnuCopPrecoDif;

    // Branch panel between the toolbar and the pages.
    if (auto *main = qobject_cast<QVBoxLayout *>(layout()))
        main->insertWidget(1, panFilial);
    medCdFilial->setEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilial->setMaxLength(4);
    btpFilial->setDataSource(dtsFilial);
    btpFilial->setTitle(QStringLiteral("Filial"));

    // List page: the tables, a splitter, the periods of the current table.
    tshFolhaDados->layout()->removeWidget(dbgPadrao);
    splTabePreco->insertWidget(0, dbgPadrao);
    tshFolhaDados->layout()->addWidget(splTabePreco);
    splTabePreco->setStretchFactor(0, 2);
    splTabePreco->setStretchFactor(1, 3);
    splTabePreco->setSizes({380, 560});
    pgcPadrao->setTabText(pgcPadrao->indexOf(tshFolhaDados), QStringLiteral("Tabela de Preços"));

    // Detail page: segment and group, the items over the differentiated prices.
    tshFormulario->layout()->addWidget(ui->panFormulario);
    // Segment and group only show the branch: clicking them must not count
    // as entering (and then leaving) the panel, which would reload the branch.
    edtSegmento->setFocusPolicy(Qt::NoFocus);
    edtGrupoProd->setFocusPolicy(Qt::NoFocus);
    pgcPadrao->setTabText(pgcPadrao->indexOf(tshFormulario),
                          QStringLiteral("Itens da Tabela de Preços"));
    splItemPreco->setStretchFactor(0, 3);
    splItemPreco->setStretchFactor(1, 2);
    splItemPreco->setSizes({330, 220});

    const QPair<TButtonFlat *, ScreenIcon> added[] = {
        {sbtImport, ScreenIcon::ImportExport},
        {sbtCadaAuto, ScreenIcon::Calculate},
        {btfAtualizaPreco, ScreenIcon::UpdatePrices},
        {sbtProdPro, ScreenIcon::AutoAlter},
        {btnCadPrecoDif, ScreenIcon::DiffPrices},
        {btnLibDig, ScreenIcon::Release},
        {btnAprDig, ScreenIcon::Approve},
    };
    for (const auto &[button, icon] : added) {
        button->setIcon(pricetable::screenIcon(icon));
        button->setMinimumWidth(58);
        addToolButton(button);
    }
    btnRevVig->setIcon(review::reviewIcon());
    btnRevVig->setMinimumWidth(58);
    addToolButton(btnRevVig);

    dbtNome->setDataSource(dtsTabeVend);
    dbtNome->setDataField(QStringLiteral("NMTABEPREC"));

    imgCompoe = pricetable::compositeMarker();
    imgCheck = pricetable::checkImage(true);
    imgUncheck = pricetable::checkImage(false);

    resize(1180, 700);
}

void TfrmTabePreco::buildMenus()
{
    mnuImpExpMenu = new QMenu(this);
    mnuImpExpMenu->setObjectName(QStringLiteral("mnuImpExpMenu"));
    mnuImpExpMenu->addActions({mnuExportar, Impo1});
    auto *exportSheet = mnuImpExpMenu->addAction(QStringLiteral("Exportar planilha..."));
    exportSheet->setObjectName(QStringLiteral("mnuExportarPlanilha"));
    auto *importSheet = mnuImpExpMenu->addAction(QStringLiteral("Importar planilha..."));
    importSheet->setObjectName(QStringLiteral("mnuImportarPlanilha"));
    mnuImpExp->setMenu(mnuImpExpMenu);

    mnuRegistro->addSeparator();
    mnuRegistro->addActions({mnuImpExp, mnuCadaAuto, mnuAtualizaPreco, mnuProdPro, mnuCadPrecoDif});
    mnuRegistro->addAction(mnuRevVig);

    mnuFolhaDados->setText(QStringLiteral("&Tabela de Preços"));
    mnuFormulario->setText(QStringLiteral("I&tens da Tabela de Preços"));
    auto *items = new QMenu(this);
    items->setObjectName(QStringLiteral("mnuFormularioMenu"));
    items->addActions({mnuProduto, mnuComposicao});
    mnuFormulario->setMenu(items);

    pmnImportar = new QMenu(this);
    pmnImportar->setObjectName(QStringLiteral("pmnImportar"));
    pmnImportar->addActions({pmnExportar, pmnImp});
    // The period's spreadsheet from the toolbar's pop-up too.
    pmnImportar->addSeparator();
    pmnImportar->addActions({exportSheet, importSheet});
    pmnCadAuto = new QMenu(this);
    pmnCadAuto->setObjectName(QStringLiteral("pmnCadAuto"));
    pmnCadAuto->addActions({mnuCalcPreco, mnuCopPrecoDif});

    auto onClick = [this](auto *sender, auto signal, void (TfrmTabePreco::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { runUserAction([this, handler] { (this->*handler)(); }); });
    };
    onClick(sbtImport, &QToolButton::clicked, &TfrmTabePreco::sbtImportClick);
    onClick(sbtCadaAuto, &QToolButton::clicked, &TfrmTabePreco::sbtCadaAutoClick);
    onClick(mnuCadaAuto, &QAction::triggered, &TfrmTabePreco::sbtCadaAutoClick);
    onClick(pmnExportar, &QAction::triggered, &TfrmTabePreco::pmnExportarClick);
    onClick(pmnImp, &QAction::triggered, &TfrmTabePreco::pmnImpClick);
    onClick(mnuExportar, &QAction::triggered, &TfrmTabePreco::mnuExportarClick);
    onClick(Impo1, &QAction::triggered, &TfrmTabePreco::Impo1Click);
    onClick(exportSheet, &QAction::triggered, &TfrmTabePreco::mnuExportarPlanilhaClick);
    onClick(importSheet, &QAction::triggered, &TfrmTabePreco::mnuImportarPlanilhaClick);
    onClick(mnuProduto, &QAction::triggered, &TfrmTabePreco::mnuProdutoClick);
    onClick(mnuComposicao, &QAction::triggered, &TfrmTabePreco::mnuComposicaoClick);
    onClick(btnLibDig, &QToolButton::clicked, &TfrmTabePreco::btnLibDigClick);
    onClick(btnAprDig, &QToolButton::clicked, &TfrmTabePreco::btnAprDigClick);
    onClick(btfAtualizaPreco, &QToolButton::clicked, &TfrmTabePreco::mnuAtualizaPrecoClick);
    onClick(mnuAtualizaPreco, &QAction::triggered, &TfrmTabePreco::mnuAtualizaPrecoClick);
    onClick(sbtProdPro, &QToolButton::clicked, &TfrmTabePreco::mnuProdProClick);
    onClick(mnuProdPro, &QAction::triggered, &TfrmTabePreco::mnuProdProClick);
    onClick(btnCadPrecoDif, &QToolButton::clicked, &TfrmTabePreco::btnCadPrecoDifClick);
    onClick(mnuCadPrecoDif, &QAction::triggered, &TfrmTabePreco::btnCadPrecoDifClick);
    onClick(mnuCalcPreco, &QAction::triggered, &TfrmTabePreco::mnuCalcPrecoClick);
    onClick(mnuCopPrecoDif, &QAction::triggered, &TfrmTabePreco::mnuCopPrecoDifClick);
    onClick(mnuRevVig, &QAction::triggered, &TfrmTabePreco::mnuRevVigClick);
    onClick(btnRevVig, &QToolButton::clicked, &TfrmTabePreco::mnuRevVigClick);
    // The review reads what is stored of the period in focus: it is offered
    // whenever the bulk commands are, with a period in focus and nothing
    // being typed.
    connect(mnuCadPrecoDif, &QAction::enabledChanged, mnuRevVig, &QAction::setEnabled);
    connect(mnuRevVig, &QAction::enabledChanged, btnRevVig, &QWidget::setEnabled);
    QAction *precoVigente = items->addAction(QStringLiteral("Preço vigente..."));
    precoVigente->setObjectName(QStringLiteral("mnuPrecoVigente"));
    onClick(precoVigente, &QAction::triggered, &TfrmTabePreco::mnuPrecoVigenteClick);
    QAction *histPreco = items->addAction(QStringLiteral("Histórico de preços..."));
    histPreco->setObjectName(QStringLiteral("mnuHistPreco"));
    onClick(histPreco, &QAction::triggered, &TfrmTabePreco::mnuHistPrecoClick);
    items->addAction(mnuRevVig);
    QAction *alteracoes = items->addAction(QStringLiteral("Alterações de preço para etiquetas..."));
    alteracoes->setObjectName(QStringLiteral("mnuAlteracoesPreco"));
    onClick(alteracoes, &QAction::triggered, &TfrmTabePreco::mnuAlteracoesPrecoClick);
    // The spreadsheet holds the items of the period: its commands are where
    // the items are, whereas the import/export entry is off on that page.
    items->addSeparator();
    items->addActions({exportSheet, importSheet});
}

namespace {

constexpr DBGrid::Options detailGridOptions =
    DBGrid::Options(DBGrid::Editing | DBGrid::Titles | DBGrid::ColumnResize | DBGrid::Lines |
                    DBGrid::Tabs | DBGrid::ConfirmDelete | DBGrid::CancelOnExit);

} // namespace

void TfrmTabePreco::buildGridColumns()
{
    // Typing a digit opens the code for editing (see the key handler).
    dbgPadrao->addColumn(QStringLiteral("CDTABEPREC"), QStringLiteral("Código"), 60)
        .setReadOnly(true);
    dbgPadrao->addColumn(QStringLiteral("NMTABEPREC"), QStringLiteral("Nome"), 220);

    dbgTabeVend->setDataSource(dtsTabeVend);
    dbgTabeVend->setOptions(dbgTabeVend->options() | DBGrid::AlwaysShowSelection);
    dbgTabeVend->addColumn(QStringLiteral("DTINIVGPREC"), {}, 110).setReadOnly(true);
    dbgTabeVend->addColumn(QStringLiteral("DTFINVGPREC"), {}, 110);
    dbgTabeVend->addColumn(QStringLiteral("Situacao"), QStringLiteral("Situação"), 80);
    dbgTabeVend->addColumn(QStringLiteral("IDSITVGPREC"), {}, 100);

    const QStringList simNao = pricetable::codingTexts(pricetable::simNaoCodings(), msgPadrao);
    dbsItemPreco->setDataSource(dtsItemPreco);
    dbsItemPreco->setOptions(detailGridOptions);
    dbsItemPreco->setColor(DBGrid::infoColor());
    dbsItemPreco->addColumn(QStringLiteral("NRCOMPPROD"), QStringLiteral(" "), 17)
        .setReadOnly(true);
    dbsItemPreco->addColumn(QStringLiteral("CDARVPROD"), QStringLiteral("Produto"), 80);
    dbsItemPreco->addColumn(QStringLiteral("CDBARPRODUTO"), QStringLiteral("Código de Barra"), 110);
    dbsItemPreco->addColumn(QStringLiteral("NMPRODUTO"), QStringLiteral("Nome"), 290);
    dbsItemPreco->addColumn(QStringLiteral("VRPRECITEM"), QStringLiteral("Preço"), 80);
    dbsItemPreco->addColumn(QStringLiteral("VRPRECITEMCL"), QStringLiteral("Preço Subs."), 80);
    dbsItemPreco->addColumn(QStringLiteral("VRPRECITEMDLV"), QStringLiteral("Pr. Delivery"), 80);
    dbsItemPreco->addColumn(QStringLiteral("VRPRECITEMCMD"), QStringLiteral("Pr. Comanda"), 85);
    dbsItemPreco->addColumn(QStringLiteral("IDPRECVARIA"), QStringLiteral("Pr. Variável"), 80)
        .setPickList(simNao);
    dbsItemPreco->addColumn(QStringLiteral("VRPRESUGITEM"), QStringLiteral("Pr. Sugerido"), 85);
    dbsItemPreco->addColumn(QStringLiteral("VRCUSTITEM"), QStringLiteral("Pr. Calculado"), 90);
    dbsItemPreco->addColumn(QStringLiteral("VRMKUPITEM"), QStringLiteral("Mark Up"), 75)
        .setReadOnly(true);
    dbsItemPreco->addColumn(QStringLiteral("IDPRODPROMOC"), QStringLiteral("Promoção"), 70)
        .setPickList(simNao);
    dbsItemPreco->addColumn(QStringLiteral("HRINIVENPROD"), QStringLiteral("Hora Inicial"), 60);
    dbsItemPreco->addColumn(QStringLiteral("HRFIMVENPROD"), QStringLiteral("Hora Final"), 55);
    // Which product a price belongs to stays in view beside any of its prices.
    dbsItemPreco->setFrozenColumns(4);

    dbgItPrecoComp->setDataSource(dtsItemPrecoComp);
    dbgItPrecoComp->setOptions((detailGridOptions & ~DBGrid::Options(DBGrid::CancelOnExit)) |
                               DBGrid::AlwaysShowSelection);
    dbgItPrecoComp->setColor(DBGrid::infoColor());
    dbgItPrecoComp->addColumn(QStringLiteral("CDARVPROD"), QStringLiteral("Produto"), 93)
        .setReadOnly(true);
    dbgItPrecoComp->addColumn(QStringLiteral("NMPRODUTO"), QStringLiteral("Nome"), 273)
        .setReadOnly(true);
    // The composition of a product is not a price: its quantity is shown,
    // never saved from here.
    dbgItPrecoComp->addColumn(QStringLiteral("QUANTIDADE"), QStringLiteral("Quantidade"), 80)
        .setReadOnly(true);
    dbgItPrecoComp->addColumn(QStringLiteral("VRPRECITEM"), QStringLiteral("Preço"), 100);
    dbgItPrecoComp->addColumn(QStringLiteral("VRPRECITEMCL"), QStringLiteral("Preço Subs."), 100);

    dbgPrecoHora->setDataSource(dtsPrecoHora);
    dbgPrecoHora->setOptions(detailGridOptions);
    dbgPrecoHora->setColor(DBGrid::infoColor());
    dbgPrecoHora->addColumn(QStringLiteral("NRDIASEMANPR"), {}, 125)
        .setPickList(pricetable::codingTexts(pricetable::dayCodings(), msgPadrao));
    dbgPrecoHora->addColumn(QStringLiteral("CDTIPOCONSPD"), {}, 120);
    dbgPrecoHora->addColumn(QStringLiteral("IDPERVALORPR"), {}, 115)
        .setPickList(pricetable::codingTexts(pricetable::percValorCodings(), msgPadrao));
    dbgPrecoHora->addColumn(QStringLiteral("IDDESCACREPR"), {}, 135)
        .setPickList(pricetable::codingTexts(pricetable::descAcreCodings(), msgPadrao));
    dbgPrecoHora->addColumn(QStringLiteral("VRPRECODIA"), {}, 70);
    dbgPrecoHora->addColumn(QStringLiteral("VRPRECODIADLV"), {}, 70);
    dbgPrecoHora->addColumn(QStringLiteral("VRPRECODIACMD"), {}, 70);
    dbgPrecoHora->addColumn(QStringLiteral("HRINIPRECDIA"), {}, 75);
    dbgPrecoHora->addColumn(QStringLiteral("HRFINPRECDIA"), {}, 70);
    dbgPrecoHora->addColumn(QStringLiteral("PRECO"), {}, 70);
    dbgPrecoHora->addColumn(QStringLiteral("DTINIVALPREC"), {}, 95);
    dbgPrecoHora->addColumn(QStringLiteral("DTFINVALPREC"), {}, 95);
    dbgPrecoHora->addColumn(QStringLiteral("IDVISUACUPOM"), {}, 65)
        .setPickList(pricetable::codingTexts(pricetable::visualizaCodings(), msgPadrao));
    dbgPrecoHora->addColumn(QStringLiteral("IDTPMODGERAL"), {}, 80);
    dbgPrecoHora->addColumn(QStringLiteral("IDTPMODDLV"), {}, 85);
    dbgPrecoHora->addColumn(QStringLiteral("IDTPMODCMD"), {}, 90);
    for (DBGrid *grid : {static_cast<DBGrid *>(dbgPadrao), static_cast<DBGrid *>(dbgTabeVend),
                         static_cast<DBGrid *>(dbsItemPreco), dbgItPrecoComp, dbgPrecoHora})
        fitColumnTitles(*grid);
}

} // namespace prx
