// The branch whose price tables are maintained, and the tables themselves.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"
#include "FocusWatch.h"

#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TBtnPesquisa.h"
#include "widgets/WidgetUtils.h"

#include <QApplication>
#include <QLineEdit>
#include <QScopeGuard>

namespace prx {

using namespace Cli_prx51700;

void TfrmTabePreco::wireBranch()
{
    connect(medCdFilial, &QLineEdit::textChanged, this,
            [this] { runUserAction([this] { medCdFilialChange(); }); });

    m_medCdFilialWatch = new FocusWatch(medCdFilial, this);
    m_medCdFilialWatch->onEnter = [this] { medCdFilialEnter(); };

    m_panFilialWatch = new FocusWatch(panFilial, this);
    m_panFilialWatch->refocus = medCdFilial;
    m_panFilialWatch->onExit = [this] {
        // The table grid validates the branch itself when it is entered.
        if (widgetBelongsTo(QApplication::focusWidget(), dbgPadrao))
            return;
        panFilialExit();
    };
    m_panSegmentoWatch = new FocusWatch(panSegmento, this);
    m_panSegmentoWatch->onExit = [this] { panFilialExit(); };

    btpFilial->BeforePesq = [this](TBtnPesquisa &) { btpFilialBeforePesq(); };
    btpFilial->AfterPesq = [this](TBtnPesquisa &) { btpFilialAfterPesq(); };

    cdsTabePrec->afterScroll = [this](ClientDataSet &) {
        if (!m_loadingTables)
            cdsTabePrecAfterScroll();
    };
    cdsTabePrec->afterClose = [this](ClientDataSet &) { cdsTabeVend->close(); };
    cdsTabePrec->afterInsert = [this](ClientDataSet &) { cdsTabePrecAfterInsert(); };
    cdsTabePrec->afterPost = [this](ClientDataSet &) { cdsTabePrecAfterPost(); };
    cdsTabePrec->afterDelete = [this](ClientDataSet &) {
        saveChanges(cdsTabePrec, QStringLiteral("SetTabePrec"), 6, QStringLiteral("TABEPREC"));
        setDetailPageEnabled(hasRows(cdsTabePrec) && hasRows(cdsTabeVend));
    };
    cdsTabePrec->afterCancel = [this](ClientDataSet &) { cdsTabePrecAfterCancel(); };

    dbgPadrao->onEnter = [this](DBGrid &) { dbgPadraoEnter(); };
    dbgPadrao->onExit = [this](DBGrid &) { dbgPadraoExit(); };

    setTabOrder(medCdFilial, dbgPadrao);
    setTabOrder(dbgPadrao, dbgTabeVend);
}

void TfrmTabePreco::medCdFilialChange()
{
    edtNmFilial->clear();
    edtModProduto->clear();
}

// Typing another branch starts over: nothing of the previous one stays.
void TfrmTabePreco::medCdFilialEnter()
{
    cdsTabePrec->close();
    showListPage();
    setDetailPageEnabled(false);
}

void TfrmTabePreco::Vd_Filial(bool mandatory)
{
    if (EmptyString(medCdFilial->text())) {
        if (mandatory)
            MensErro(msgPadrao.Msg(QStringLiteral("fili_inf")), true);
        return;
    }
    const QString code = Ajusta(medCdFilial->text(), 4);
    medCdFilial->setText(code);
    {
        BusyScope busy(6);
        read(cdsFilial, QStringLiteral("GetFilial"), {code, QString()});
    }
    if (cdsFilial->isEmpty()) {
        if (medCdFilial->isEnabled())
            medCdFilial->setFocus(Qt::OtherFocusReason);
        MensErro(msgPadrao.Msg(QStringLiteral("Fili_n_cad")), true);
    }
    edtNmFilial->setText(cdsFilial->fieldByName(u"NMFILIAL").asString());
    edtModProduto->setText(
        msgPadrao.Msg(cdsFilial->fieldByName(u"IDUTMODPRODFIL").asString() == QLatin1String("S")
                          ? QStringLiteral("FILIAL_U_MOD")
                          : QStringLiteral("FILIAL_N_MOD")));
}

void TfrmTabePreco::panFilialExit()
{
    Vd_Filial(true);
    {
        // Opening the tables would load the periods of the first one; that
        // is done once, below, after the screen state is set.
        BusyScope busy(6);
        m_loadingTables = true;
        const auto resume = qScopeGuard([this] { m_loadingTables = false; });
        read(cdsTabePrec, QStringLiteral("GetTabePrec"), {medCdFilial->text()});
    }
    setDetailPageEnabled(hasRows(cdsTabePrec));
    showListPage();
    Atualiza_Botoes(dtsPadrao);
    edtGrupoProd->setText(cdsFilial->fieldByName(u"GRUPOPROD").asString());
    edtSegmento->setText(cdsFilial->fieldByName(u"SEGMENTO").asString());
    cdsTabePrecAfterScroll();
}

void TfrmTabePreco::btpFilialBeforePesq()
{
    BusyScope busy(6);
    read(cdsFilial, QStringLiteral("GetFilial"), {QString(), QStringLiteral("T")});
}

void TfrmTabePreco::btpFilialAfterPesq()
{
    medCdFilial->setText(cdsFilial->fieldByName(u"CDFILIAL").asString());
    edtNmFilial->setText(cdsFilial->fieldByName(u"NMFILIAL").asString());
    edtModProduto->setText(
        msgPadrao.Msg(cdsFilial->fieldByName(u"IDUTMODPRODFIL").asString() == QLatin1String("S")
                          ? QStringLiteral("FILIAL_U_MOD")
                          : QStringLiteral("FILIAL_N_MOD")));
}

// Moving to a table shows its periods.
void TfrmTabePreco::cdsTabePrecAfterScroll()
{
    {
        // The load is not an edit of the periods: their state rules wait,
        // and come back also when the load fails.
        m_loadingPeriods = true;
        const auto resume = qScopeGuard([this] { m_loadingPeriods = false; });
        BusyScope busy(6);
        read(cdsTabeVend, QStringLiteral("GetTabeVend"),
             {cdsTabePrec->fieldByName(u"CDFILIAL").asString(), cdsTabePrecCDTABEPREC->asString()});
        setDetailPageEnabled(!isEditing(dtsTabeVend) && hasRows(cdsTabeVend));
    }
    updateBulkMenus();
}

void TfrmTabePreco::cdsTabePrecAfterInsert()
{
    cdsTabePrec->fieldByName(u"CDFILIAL").setAsString(medCdFilial->text());
}

void TfrmTabePreco::cdsTabePrecAfterPost()
{
    saveChanges(cdsTabePrec, QStringLiteral("SetTabePrec"), 1, QStringLiteral("TABEPREC"));
    setDetailPageEnabled(hasRows(cdsTabePrec) && hasRows(cdsTabeVend));
}

void TfrmTabePreco::cdsTabePrecAfterCancel()
{
    cdsTabePrec->cancelUpdates();
}

// Entering the table grid validates the branch and reloads its tables; a
// branch that cannot be used keeps the focus on its code.
void TfrmTabePreco::dbgPadraoEnter()
{
    try {
        panFilialExit();
    } catch (...) {
        if (medCdFilial->isEnabled())
            medCdFilial->setFocus(Qt::OtherFocusReason);
        throw;
    }
    Atualiza_Botoes(dtsPadrao);
    if (!dbgPadrao->hasFocus())
        dbgPadrao->setFocus(Qt::OtherFocusReason);
    dtsPadraoStateChange();
}

void TfrmTabePreco::dbgPadraoExit()
{
    if (isEditing(cdsTabePrec))
        cdsTabePrec->post();
    dtsPadraoStateChange();
}

} // namespace prx
