// The branch whose price tables are maintained, and the tables themselves.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"
#include "FocusWatch.h"
#include "ScreenTexts.h"

#include "dataset/FieldDef.h"
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
    cdsTabePrec->beforePost = [this](ClientDataSet &) { cdsTabePrecBeforePost(); };
    cdsTabePrec->afterPost = [this](ClientDataSet &) { cdsTabePrecAfterPost(); };
    cdsTabePrec->afterDelete = [this](ClientDataSet &) {
        saveChanges(cdsTabePrec, QStringLiteral("SetTabePrec"), 6, QStringLiteral("TABEPREC"));
        setDetailPageEnabled(hasRows(cdsTabePrec) && hasRows(cdsTabeVend));
    };
    cdsTabePrec->afterCancel = [this](ClientDataSet &) { cdsTabePrecAfterCancel(); };

    dbgPadrao->onEnter = [this](DBGrid &) { dbgPadraoEnter(); };
    dbgPadrao->onExit = [this](DBGrid &) { dbgPadraoExit(); };
    dbgPadrao->onColExit = [this](DBGrid &) { dbgPadraoColExit(); };
    dbgPadrao->onKeyPress = [this](DBGrid &grid, QChar &key) { dbgPadraoKeyPress(grid, key); };
    dbgPadrao->onKeyDown = [this](DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers) {
        listGridKeyDown(grid, key, modifiers);
    };

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
        m_periodsTable = cdsTabePrecCDTABEPREC->asString();
        read(cdsTabeVend, QStringLiteral("GetTabeVend"),
             {cdsTabePrec->fieldByName(u"CDFILIAL").asString(), m_periodsTable});
        moveToPeriodInForce();
        setDetailPageEnabled(!isEditing(dtsTabeVend) && hasRows(cdsTabeVend));
    }
    updateBulkMenus();
    // The period list just loaded must not decide the commands of the grid
    // in use (nor take Confirm and Cancel away from a table being typed).
    refreshCommands();
}

// The periods come oldest first; the one people sell at today is the one
// to work on, when the table has it.
void TfrmTabePreco::moveToPeriodInForce()
{
    const QDate today = wallClockToday();
    const int start = cdsTabeVendDTINIVGPREC->index(), end = cdsTabeVendDTFINVGPREC->index();
    for (int row = 0; row < cdsTabeVend->recordCount(); ++row) {
        if (pricetable::inForce(today, cdsTabeVend->valueAt(row, start).toDateTime(),
                                cdsTabeVend->valueAt(row, end).toDateTime())) {
            cdsTabeVend->moveTo(row);
            return;
        }
    }
}

void TfrmTabePreco::cdsTabePrecAfterInsert()
{
    cdsTabePrec->fieldByName(u"CDFILIAL").setAsString(medCdFilial->text());
}

// The code is kept at the width the tables are stored with, so that "5" and
// "005" cannot become two tables.
void TfrmTabePreco::Vd_CdTabePrec(bool mandatory)
{
    if (cdsTabePrec->state() != DataSetState::Insert)
        return;
    try {
        cdsTabePrecCDTABEPREC->setAsString(Ajusta(cdsTabePrecCDTABEPREC->asString(), 3));
        const QString code = cdsTabePrecCDTABEPREC->asString();
        if (EmptyString(code)) {
            if (mandatory)
                MensErro(msgPadrao.Msg(QStringLiteral("TabePrec_inf")), true);
            return;
        }
        if (!mandatory || widgetBelongsTo(activeControl(), dbgPadrao)) {
            {
                BusyScope busy(6);
                read(cdsVerifTabePrec, QStringLiteral("GetVerifTabePrec"),
                     {medCdFilial->text(), code});
            }
            if (hasRows(cdsVerifTabePrec))
                MensErro(msgPadrao.Msg(QStringLiteral("TabePrec_ja_cad")), true);
        }
    } catch (...) {
        focusGridColumn(dbgPadrao, QStringLiteral("CDTABEPREC"));
        throw;
    }
}

void TfrmTabePreco::Vd_NmTabePrec()
{
    if (!isEditing(cdsTabePrec) || !EmptyString(cdsTabePrecNMTABEPREC->asString()))
        return;
    focusGridColumn(dbgPadrao, QStringLiteral("NMTABEPREC"));
    MensErro(msgPadrao.Msg(QStringLiteral("NmTipoPrec_inf")), true);
}

void TfrmTabePreco::cdsTabePrecBeforePost()
{
    Vd_CdTabePrec(true);
    Vd_NmTabePrec();
}

// Leaving the code column checks a typed code at once; an empty one waits
// for the post.
void TfrmTabePreco::dbgPadraoColExit()
{
    const Field *f = dbgPadrao->selectedField();
    if (f && f->name() == QLatin1String("CDTABEPREC"))
        Vd_CdTabePrec(false);
}

// A table code takes digits only: any other key locks the code column.
void TfrmTabePreco::dbgPadraoKeyPress(DBGrid &grid, QChar &key)
{
    const bool codeKey = key.isDigit() || key == QLatin1Char('\b') || key == QLatin1Char('\t') ||
                         key == QLatin1Char('\r');
    const Field *f = grid.selectedField();
    // Locking the column closes its editor, so an open one keeps its text.
    DBGridColumn *code = grid.columnByField(u"CDTABEPREC");
    const bool typingCode = grid.editorActive() && f == cdsTabePrecCDTABEPREC;
    if (code && !typingCode && code->isReadOnly() == codeKey)
        code->setReadOnly(!codeKey);
    if (!codeKey && f == cdsTabePrecCDTABEPREC) {
        key = QChar(); // the editor may already be open on the code
        return;
    }
    keyFieldRule(grid, key);
}

void TfrmTabePreco::cdsTabePrecAfterPost()
{
    try {
        saveChanges(cdsTabePrec, QStringLiteral("SetTabePrec"), 1, QStringLiteral("TABEPREC"));
    } catch (...) {
        runUserAction([this] { showPeriodsOfCurrentTable(); });
        throw;
    }
    setDetailPageEnabled(hasRows(cdsTabePrec) && hasRows(cdsTabeVend));
}

void TfrmTabePreco::cdsTabePrecAfterCancel()
{
    cdsTabePrec->cancelUpdates();
    showPeriodsOfCurrentTable();
}

void TfrmTabePreco::showPeriodsOfCurrentTable()
{
    // With no table left, the periods shown are those of the dropped row:
    // none.
    if (!hasRows(cdsTabePrec) || isEditing(cdsTabePrec) ||
        cdsTabePrecCDTABEPREC->asString() == m_periodsTable)
        return;
    cdsTabePrecAfterScroll();
}

// Entering the table grid validates the branch and reloads its tables; a
// branch that cannot be used keeps the focus on its code.
void TfrmTabePreco::dbgPadraoEnter()
{
    // With changes pending the branch panel is locked, so the branch is the
    // one loaded; reloading would throw the user's typing away.
    if (isEditing(cdsTabePrec)) {
        Atualiza_Botoes(dtsPadrao);
        return;
    }
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
