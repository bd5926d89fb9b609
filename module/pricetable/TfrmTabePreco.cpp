#include "TfrmTabePreco.h"

#include "ui_TfrmTabePreco.h"

#include "ButtonRules.h"
#include "Cli_prx51700.h"
#include "DataSetLayouts.h"
#include "FocusWatch.h"

#include "transfer/Cli_prx51702.h"
#include "transfer/Cli_prx51703.h"

#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "services/Controls.h"
#include "services/EditMask.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/TButtonFlat.h"
#include "widgets/WidgetUtils.h"

#include <QMenu>
#include <QTabBar>
#include <QTabWidget>

namespace prx {

using namespace Cli_prx51700;

namespace {

ClientDataSet *newDataSet(QObject *owner, const char *name)
{
    auto *ds = new ClientDataSet(owner);
    ds->setObjectName(QString::fromLatin1(name));
    return ds;
}

DataSource *newSource(QObject *owner, const char *name, ClientDataSet *dataSet)
{
    auto *source = new DataSource(dataSet, owner);
    source->setObjectName(QString::fromLatin1(name));
    return source;
}

} // namespace

TfrmTabePreco::TfrmTabePreco(QWidget *parent)
    : TfrmPadrao(parent), ui(std::make_unique<Ui::TfrmTabePreco>())
{
    setObjectName(QStringLiteral("frmTabePreco"));
    setCaption(QStringLiteral("Tabela de Preços"));
    setScreenCode(QStringLiteral("PRX51700"));
    msgPadrao = TMessages::fromFile(QStringLiteral(":/prx51700/msgPadrao.txt"));
    msgMensagensPadroes = TMessages::fromFile(QStringLiteral(":/prx51700/msgMensagensPadroes.txt"));

    netTabePreco = new NetConnection(this);
    netTabePreco->setObjectName(QStringLiteral("netTabePreco"));
    netTabePreco->setServerObject(QStringLiteral("Prx51700.rdmTabePreco"));
    netTabePreco->beforeConnect = [](NetConnection &connection) {
        connection.setHost(WebURL());
        connection.setPort(WebPort());
    };

    cdsFilial = newDataSet(this, "cdsFilial");
    cdsTabePrec = newDataSet(this, "cdsTabePrec");
    cdsVerifTabePrec = newDataSet(this, "cdsVerifTabePrec");
    cdsTabeVend = newDataSet(this, "cdsTabeVend");
    cdsVerifTabeVend = newDataSet(this, "cdsVerifTabeVend");
    cdsPesqDataVigente = newDataSet(this, "cdsPesqDataVigente");
    cdsMaxDtFinVg = newDataSet(this, "cdsMaxDtFinVg");
    cdsVingCliFili = newDataSet(this, "cdsVingCliFili");
    cdsVingLoja = newDataSet(this, "cdsVingLoja");
    cdsVingFili = newDataSet(this, "cdsVingFili");
    cdsVingCli = newDataSet(this, "cdsVingCli");
    cdsAliqProd = newDataSet(this, "cdsAliqProd");
    cdsItemPreco = newDataSet(this, "cdsItemPreco");
    cdsItemPrecoComp = newDataSet(this, "cdsItemPrecoComp");
    cdsPrecoHora = newDataSet(this, "cdsPrecoHora");
    cdsVdMod = newDataSet(this, "cdsVdMod");

    pricetable::defineFilialFields(*cdsFilial);
    pricetable::defineTabePrecFields(*cdsTabePrec);
    pricetable::defineVerifTabePrecFields(*cdsVerifTabePrec);
    pricetable::defineTabeVendFields(*cdsTabeVend);
    pricetable::definePesqDataVigenteFields(*cdsPesqDataVigente);
    pricetable::defineMaxDtFinVgFields(*cdsMaxDtFinVg);
    pricetable::defineVingFields(*cdsVingCliFili, "CDFILIAL", 4);
    pricetable::defineVingFields(*cdsVingLoja, "CDLOJA", 10);
    pricetable::defineVingFields(*cdsVingFili, "CDFILIAL", 4);
    pricetable::defineVingFields(*cdsVingCli, "CDCLIENTE", 10);
    pricetable::defineItemPrecoFields(*cdsItemPreco);
    pricetable::defineItemPrecoCompFields(*cdsItemPrecoComp);
    pricetable::definePrecoHoraFields(*cdsPrecoHora);

    dtsFilial = newSource(this, "dtsFilial", cdsFilial);
    dtsTabeVend = newSource(this, "dtsTabeVend", cdsTabeVend);
    dtsItemPreco = newSource(this, "dtsItemPreco", cdsItemPreco);
    dtsItemPrecoComp = newSource(this, "dtsItemPrecoComp", cdsItemPrecoComp);
    dtsPrecoHora = newSource(this, "dtsPrecoHora", cdsPrecoHora);

    adqTipoCons = new LocalQuery(this);
    adqTipoCons->setObjectName(QStringLiteral("adqTipoCons"));
    adqTipoCons->setSql({QStringLiteral("SELECT CDTIPOCONS, NMTIPOCONS"),
                         QStringLiteral("FROM TIPOCONS"), QStringLiteral("WHERE"),
                         QStringLiteral("CDTIPOCONS = :P_CDTIPOCONS OR :P_TCDTIPOCONS = 'T'"),
                         QStringLiteral("ORDER BY CDTIPOCONS")});
    adqTipoConsFili = new LocalQuery(this);
    adqTipoConsFili->setObjectName(QStringLiteral("adqTipoConsFili"));
    adqTipoConsFili->setSql(
        {QStringLiteral("SELECT"), QStringLiteral("  T.CDTIPOCONS, T.NMTIPOCONS"),
         QStringLiteral("FROM"), QStringLiteral("   TIPOCONS T, TIPOCONSFILI TF"),
         QStringLiteral("WHERE"), QStringLiteral("   (TF.CDFILIAL   = :P_CDFILIAL) AND"),
         QStringLiteral("   (TF.CDTIPOCONS = T.CDTIPOCONS) "),
         QStringLiteral("ORDER BY T.CDTIPOCONS")});
    for (LocalQuery *q : {adqTipoCons, adqTipoConsFili}) {
        Field &code = q->addField(QStringLiteral("CDTIPOCONS"), FieldType::String, 2);
        code.setDisplayLabel(QStringLiteral("Código"));
        code.setDisplayWidth(4);
        Field &name = q->addField(QStringLiteral("NMTIPOCONS"), FieldType::String, 20);
        name.setDisplayLabel(QStringLiteral("Nome"));
        name.setDisplayWidth(25);
    }
    dtsTipoCons = newSource(this, "dtsTipoCons", adqTipoCons);
    dtsTipoConsFili = newSource(this, "dtsTipoConsFili", adqTipoConsFili);

    cdsTabePrecCDTABEPREC = &cdsTabePrec->fieldByName(u"CDTABEPREC");
    cdsTabePrecNMTABEPREC = &cdsTabePrec->fieldByName(u"NMTABEPREC");
    cdsFilialCDSEGMER = &cdsFilial->fieldByName(u"CDSEGMER");
    cdsItemPrecoCDARVPROD = &cdsItemPreco->fieldByName(u"CDARVPROD");
    cdsItemPrecoCompCDARVPROD = &cdsItemPrecoComp->fieldByName(u"CDARVPROD");
    cdsTabeVendDTINIVGPREC = &cdsTabeVend->fieldByName(u"DTINIVGPREC");
    cdsTabeVendDTFINVGPREC = &cdsTabeVend->fieldByName(u"DTFINVGPREC");

    buildLayout();
    buildMenus();
    buildGridColumns();
    wireBranch();
    wirePeriods();
    wireItems();
    wireComponents();
    wirePrecoHora();
    m_ready = true;
    dtsPadrao->setDataSet(cdsTabePrec);
}

TfrmTabePreco::~TfrmTabePreco()
{
    // A screen freed without being closed (the host going away) must not
    // leave the creator believing it is still open.
    if (frmTabePreco == this) {
        frmTabePreco = nullptr;
        boIdCriado = false;
    }
}

// ---------------------------------------------------------------- life

void TfrmTabePreco::FormCreate()
{
    TfrmPadrao::FormCreate();
    boPrimVez = true;
    m_boCalcPreco = false;
    boAtualizaBotoes = true;
    netTabePreco->setConnected(true);
    cdsTabePrecCDTABEPREC->setTag(1);
    cdsItemPrecoCDARVPROD->setTag(1);
    cdsTabeVendDTINIVGPREC->setTag(1);
    cdsItemPrecoCDARVPROD->setEditMask(DBPict(0));
    cdsItemPrecoCompCDARVPROD->setEditMask(DBPict(0));
    m_productMask = EditMask(DBPict(0));
    cdsTabeVendDTINIVGPREC->setEditMask(DateMask());
    cdsTabeVendDTFINVGPREC->setEditMask(DateMask());
    Atualiza_Botoes(dtsPadrao); // nothing is loaded yet: no command applies
}

void TfrmTabePreco::FormActivate()
{
    TfrmPadrao::FormActivate();
    update();
    if (!boPrimVez)
        return;
    boPrimVez = false;
    medCdFilial->setText(FiliProc());
    edtNmFilial->setText(NomeFiliProc());
    enableBranchEntry();
    // Entering the table grid validates the branch and loads its tables.
    if (medCdFilial->isEnabled())
        medCdFilial->setFocus(Qt::OtherFocusReason);
    else
        dbgPadrao->setFocus(Qt::OtherFocusReason);
}

void TfrmTabePreco::FormClose()
{
    TfrmPadrao::FormClose();
    boIdCriado = false;
    m_boCalcPreco = false;
}

void TfrmTabePreco::FormDestroy()
{
    TfrmPadrao::FormDestroy();
    netTabePreco->setConnected(false);
}

// ---------------------------------------------------------------- server

QVariant TfrmTabePreco::serverCall(const QString &method, const QVariantList &args)
{
    return CheckResultServ(netTabePreco->call(method, args), true, 0);
}

void TfrmTabePreco::loadInto(ClientDataSet *dataSet, const QVariant &payload)
{
    const DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error("O servidor não devolveu os dados pedidos.");
    dataSet->loadPacket(std::move(*packet));
}

void TfrmTabePreco::read(ClientDataSet *dataSet, const QString &method, const QVariantList &args)
{
    loadInto(dataSet, serverCall(method, args));
}

void TfrmTabePreco::saveChanges(ClientDataSet *dataSet, const QString &method, int busyKind,
                                const QString &table, const QVariantList &extraArgs)
{
    if (dataSet->changeCount() == 0)
        return;
    try {
        BusyScope busy(busyKind);
        QVariantList args{QVariant::fromValue(dataSet->delta())};
        args += extraArgs;
        serverCall(method, args);
    } catch (...) {
        dataSet->cancelUpdates();
        throw;
    }
    dataSet->mergeChangeLog();
    if (!table.isEmpty())
        AtualizaLocalCache({table});
}

// ---------------------------------------------------------------- state helpers

bool TfrmTabePreco::listPageActive() const
{
    return pgcPadrao->currentWidget() == tshFolhaDados;
}

bool TfrmTabePreco::detailPageActive() const
{
    return pgcPadrao->currentWidget() == tshFormulario;
}

void TfrmTabePreco::setDetailPageEnabled(bool enabled)
{
    setPageEnabled(tshFormulario, enabled);
}

void TfrmTabePreco::showListPage()
{
    pgcPadrao->setCurrentWidget(tshFolhaDados);
    mnuFolhaDados->setChecked(true);
    mnuFormulario->setChecked(false);
}

QWidget *TfrmTabePreco::activeControl() const
{
    return focusWidget();
}

bool TfrmTabePreco::isEditing(const ClientDataSet *dataSet) const
{
    return dataSet->state() == DataSetState::Edit || dataSet->state() == DataSetState::Insert;
}

bool TfrmTabePreco::isEditing(const DataSource *source) const
{
    return source->state() == DataSetState::Edit || source->state() == DataSetState::Insert;
}

void TfrmTabePreco::enableBranchEntry()
{
    medCdFilial->setEnabled(!ModuFili());
    btpFilial->setEnabled(medCdFilial->isEnabled());
}

// The name and the products-module note only show the chosen branch.
void TfrmTabePreco::setBranchPanelEnabled(bool enabled)
{
    SetChildEnabled(panFilial, enabled);
    edtNmFilial->setEnabled(false);
    edtModProduto->setEnabled(false);
}

void TfrmTabePreco::updateImportButton()
{
    sbtImport->setEnabled(hasRows(cdsTabeVend) && listPageActive());
    mnuImpExp->setEnabled(sbtImport->isEnabled());
}

void TfrmTabePreco::updateBulkMenus()
{
    const bool on = dtsTabeVend->state() == DataSetState::Browse && hasRows(cdsTabePrec) &&
                    hasRows(cdsTabeVend);
    for (QAction *entry : {mnuCadaAuto, mnuCadPrecoDif, mnuProdPro, mnuAtualizaPreco})
        entry->setEnabled(on);
    FollowTwin(btnCadPrecoDif, mnuCadPrecoDif);
    FollowTwin(sbtProdPro, mnuProdPro);
    FollowTwin(btfAtualizaPreco, mnuAtualizaPreco);
}

// ---------------------------------------------------------------- commands enabling

void TfrmTabePreco::Atualiza_Botoes(DataSource *source)
{
    if (!boAtualizaBotoes || !source)
        return;
    QWidget *active = activeControl();
    pricetable::ButtonInputs in;
    in.state = source->state();
    in.sourceEmpty = !hasRows(source->dataSet());
    in.listPageActive = listPageActive();
    in.detailPageActive = detailPageActive();
    in.precoHoraPageActive = pgcPrecoCliCon->currentWidget() == tshPrecoHora;
    in.composicaoPageActive = pgcItemPreco->currentWidget() == tshComposicao;
    in.stGrid = stGrid;
    in.idPrecDifCom =
        hasRows(cdsFilial) ? cdsFilial->fieldByName(u"IDPRECDIFCOM").asString() : QString();
    in.tabePrecEmpty = !hasRows(cdsTabePrec);
    in.tabeVendEmpty = !hasRows(cdsTabeVend);
    in.activeIsTabeVend = widgetBelongsTo(active, dbgTabeVend);
    in.activeIsPrecoHora = widgetBelongsTo(active, dbgPrecoHora);
    in.precoHoraState = dtsPrecoHora->state();
    in.precoHoraEmpty = !hasRows(cdsPrecoHora);
    in.idSitVgPrec =
        hasRows(cdsTabeVend) ? cdsTabeVend->fieldByName(u"IDSITVGPREC").asString() : QString();
    in.tabeVendEditing = isEditing(cdsTabeVend);
    const pricetable::ButtonStates b = pricetable::computeButtons(in);

    mnuConfirmar->setEnabled(b.confirm);
    mnuCancelar->setEnabled(b.cancel);
    mnuIncluir->setEnabled(b.include);
    mnuAlterar->setEnabled(b.alter);
    mnuExcluir->setEnabled(b.remove);
    mnuProcurar->setEnabled(b.find);
    mnuVerificar->setEnabled(b.refresh);
    for (QAction *entry : {mnuCalcPreco, mnuCadPrecoDif, mnuProdPro, mnuAtualizaPreco})
        entry->setEnabled(b.bulk);
    buttonsFollowMenus();
    FollowTwin(btnCadPrecoDif, mnuCadPrecoDif);
    FollowTwin(sbtProdPro, mnuProdPro);
    FollowTwin(btfAtualizaPreco, mnuAtualizaPreco);
    dbgTabeVend->setReadOnly(b.tabeVendReadOnly);
    if (b.libDig)
        btnLibDig->setEnabled(*b.libDig);
    if (b.aprDig)
        btnAprDig->setEnabled(*b.aprDig);
}

DataSource *TfrmTabePreco::sourceInUse() const
{
    if (listPageActive())
        return widgetBelongsTo(activeControl(), dbgTabeVend) ? dtsTabeVend : dtsPadrao;
    if (stGrid == QLatin1String("3"))
        return dtsPrecoHora;
    if (stGrid == QLatin1String("4"))
        return dtsItemPrecoComp;
    return dtsItemPreco;
}

// ---------------------------------------------------------------- pages

void TfrmTabePreco::pgcPadraoChange()
{
    TfrmPadrao::pgcPadraoChange();
    if (!m_ready)
        return;
    if (listPageActive()) {
        Atualiza_Botoes(dtsPadrao);
        sbtImport->setEnabled(hasRows(cdsTabeVend));
    }
    if (detailPageActive()) {
        {
            BusyScope busy(6);
            loadItemPreco();
            loadPrecoHora();
        }
        // The product sub-page first: the commands are those of its grid.
        pgcItemPreco->setCurrentWidget(tshProduto);
        Atualiza_Botoes(dtsItemPreco);
        sbtImport->setEnabled(false);
        // The page's work is in its grid, not on the sub-page tabs.
        if (QWidget *focus = activeControl(); !focus || !widgetBelongsTo(focus, tshFormulario) ||
                                              qobject_cast<QTabBar *>(focus))
            focusPageGrid();
    }
    mnuFolhaDados->setChecked(listPageActive());
    mnuFormulario->setChecked(detailPageActive());
    mnuImpExp->setEnabled(sbtImport->isEnabled());
    if (!isEditing(dtsPadrao))
        enableBranchEntry();
}

void TfrmTabePreco::mnuFolhaDadosClick()
{
    TfrmPadrao::mnuFolhaDadosClick();
    pgcPadrao->setCurrentWidget(tshFolhaDados);
}

void TfrmTabePreco::dbnPadraoClick(DBNavigator::Button button)
{
    TfrmPadrao::dbnPadraoClick(button);
    pgcPadraoChange();
}

void TfrmTabePreco::dtsPadraoStateChange()
{
    if (!m_ready)
        return;
    Atualiza_Botoes(dtsPadrao);
    const bool editing = isEditing(dtsPadrao);
    setDetailPageEnabled(!editing && hasRows(cdsTabePrec) && hasRows(cdsTabeVend));
    setBranchPanelEnabled(!editing);
    if (!editing)
        enableBranchEntry();
}

// ---------------------------------------------------------------- pop-up menus

void TfrmTabePreco::sbtAutomaticoClick() {}

void TfrmTabePreco::sbtImportClick()
{
    Pt = sbtImport->mapToGlobal(QPoint(0, 0));
    pmnImportar->popup(Pt + QPoint(0, 21));
}

void TfrmTabePreco::sbtCadaAutoClick()
{
    pmnCadAuto->popup(sbtCadaAuto->mapToGlobal(sbtCadaAuto->rect().bottomLeft()));
}

void TfrmTabePreco::pmnExportarClick()
{
    Cli_prx51703::CriaImportaTabela();
}

void TfrmTabePreco::pmnImpClick()
{
    Cli_prx51702::CriaImportaVigencia();
}

void TfrmTabePreco::mnuExportarClick()
{
    pmnExportarClick();
}

void TfrmTabePreco::Impo1Click()
{
    pmnImpClick();
}

} // namespace prx
