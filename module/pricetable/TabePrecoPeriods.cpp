// The validity periods of the current table and their approval states.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"
#include "ScreenTexts.h"

#include "autoprice/Cli_prx51708.h"
#include "services/FieldInput.h"
#include "services/HostState.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TButtonFlat.h"

#include <QPainter>
#include <QTabWidget>

namespace prx {

using namespace Cli_prx51700;

void TfrmTabePreco::wirePeriods()
{
    cdsTabeVend->onCalcFields = [this](ClientDataSet &) { cdsTabeVendCalcFields(); };
    cdsTabeVend->fieldByName(u"IDSITVGPREC").onGetText = [this](Field &f, QString &text, bool) {
        text = pricetable::codingText(pricetable::statusCodings(), msgPadrao, f.asString());
    };
    // Clearing the typed end date keeps the one the period had.
    cdsTabeVendDTFINVGPREC->onSetText = [](Field &f, const QString &text) {
        if (!EmptyString(text))
            CheckDateTime(f, text);
    };
    cdsTabeVend->afterOpen = [this](ClientDataSet &) { cdsTabeVendAfterOpen(); };
    cdsTabeVend->afterScroll = [this](ClientDataSet &) { cdsTabeVendAfterScroll(); };
    cdsTabeVend->afterInsert = [this](ClientDataSet &) { cdsTabeVendAfterInsert(); };
    cdsTabeVend->afterEdit = [this](ClientDataSet &) { cdsTabeVendAfterEdit(); };
    cdsTabeVend->afterPost = [this](ClientDataSet &) { cdsTabeVendAfterPost(); };
    cdsTabeVend->afterDelete = [this](ClientDataSet &) {
        saveChanges(cdsTabeVend, QStringLiteral("SetTabeVend"), 1, QStringLiteral("TABEVEND"));
        setDetailPageEnabled(hasRows(cdsTabePrec) && hasRows(cdsTabeVend));
    };
    cdsTabeVend->afterCancel = [this](ClientDataSet &) { cdsTabeVendAfterCancel(); };
    dtsTabeVend->onStateChange = [this](DataSource &) {
        if (!m_loadingPeriods)
            dtsTabeVendStateChange();
    };
    dbgTabeVend->onEnter = [this](DBGrid &) { dbgTabeVendEnter(); };
    dbgTabeVend->onExit = [this](DBGrid &) { dbgTabeVendExit(); };
    dbgTabeVend->onDrawColumnCell = [this](DBGrid &grid, QPainter &painter, const QRect &rect,
                                           DBGridColumn &column, int row, DBGrid::DrawState state) {
        drawTabeVendCell(grid, painter, rect, column, row, state);
    };
}

void TfrmTabePreco::cdsTabeVendCalcFields()
{
    const QDateTime start = cdsTabeVendDTINIVGPREC->asDateTime();
    const QDateTime end = cdsTabeVendDTFINVGPREC->asDateTime();
    cdsTabeVend->fieldByName(u"Situacao")
        .setAsString(msgPadrao.Msg(pricetable::inForce(wallClockToday(), start, end)
                                       ? QStringLiteral("ativa")
                                       : QStringLiteral("inativa")));
    cdsTabeVend->fieldByName(u"DSPREC").setAsString(
        pricetable::periodDescription(cdsTabeVend->fieldByName(u"NMTABEPREC").asString(),
                                      msgPadrao.Msg(QStringLiteral("Vigencia")), start, end));
}

void TfrmTabePreco::cdsTabeVendAfterOpen()
{
    updateImportButton();
}

void TfrmTabePreco::cdsTabeVendAfterScroll()
{
    if (detailPageActive())
        Atualiza_Botoes(dtsItemPreco);
    Atualiza_Botoes(dtsTabeVend);
    updateImportButton();
    mnuCopPrecoDif->setEnabled(cdsItemPreco->state() == DataSetState::Browse &&
                               hasRows(cdsItemPreco) && detailPageActive());
}

void TfrmTabePreco::dtsTabeVendStateChange()
{
    // The header shows a pending change of its periods as its own.
    if (isEditing(cdsTabeVend) && cdsTabePrec->state() == DataSetState::Browse &&
        hasRows(cdsTabePrec))
        cdsTabePrec->edit();
    Atualiza_Botoes(dtsTabeVend);
    const bool idle = !isEditing(dtsTabeVend) && hasRows(cdsTabeVend);
    setDetailPageEnabled(idle);
    mnuCalcPreco->setEnabled(idle);
}

void TfrmTabePreco::dbgTabeVendEnter()
{
    Atualiza_Botoes(dtsTabeVend);
    setDetailPageEnabled(hasRows(cdsTabeVend));
}

void TfrmTabePreco::dbgTabeVendExit()
{
    if (isEditing(cdsTabeVend))
        cdsTabeVend->post();
}

void TfrmTabePreco::cdsTabeVendAfterEdit()
{
    cdsTabeVend->fieldByName(u"CDFILIAL").setAsString(medCdFilial->text());
    cdsTabeVend->fieldByName(u"CDTABEPREC").setAsString(cdsTabePrecCDTABEPREC->asString());
    cdsTabeVend->fieldByName(u"NMTABEPREC").setAsString(cdsTabePrecNMTABEPREC->asString());
}

// A new period starts the day after the table's last one ends, or on the
// processing date of the host's own branch when the table has none yet.
void TfrmTabePreco::cdsTabeVendAfterInsert()
{
    cdsTabeVendAfterEdit();
    {
        BusyScope busy(1);
        read(cdsMaxDtFinVg, QStringLiteral("GetMaxDtFinVg"),
             {cdsTabePrec->fieldByName(u"CDFILIAL").asString(), cdsTabePrecCDTABEPREC->asString()});
    }
    QDateTime lastEnd;
    if (hasRows(cdsMaxDtFinVg))
        lastEnd = cdsMaxDtFinVg->fieldByName(u"DTFINVGPREC").asDateTime();
    const QDate start = lastEnd.isValid() ? lastEnd.date().addDays(1) : DataProc(FiliProc());
    cdsTabeVendDTINIVGPREC->setAsDateTime(wallClock(start));
}

void TfrmTabePreco::cdsTabeVendAfterPost()
{
    saveChanges(cdsTabeVend, QStringLiteral("SetTabeVend"), 1, QStringLiteral("TABEVEND"));
    saveChanges(cdsTabePrec, QStringLiteral("SetTabePrec"), 1, QStringLiteral("TABEPREC"));
    sbtVerificarClick();
}

void TfrmTabePreco::cdsTabeVendAfterCancel()
{
    cdsTabeVend->cancelUpdates();
    updateImportButton();
}

// ---------------------------------------------------------------- approval

void TfrmTabePreco::btnLibDigClick()
{
    if (!hasRows(cdsTabeVend))
        return;
    BusyScope busy(6);
    serverCall(QStringLiteral("setAlteraStatus"),
               {QStringLiteral("2"), cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
                Ajusta(medCdFilial->text(), 4), cdsTabeVendDTINIVGPREC->displayText()});
    cdsTabePrecAfterScroll();
    Atualiza_Botoes(dtsTabeVend);
}

void TfrmTabePreco::btnAprDigClick()
{
    if (!hasRows(cdsTabeVend))
        return;
    const QString table = cdsTabeVend->fieldByName(u"CDTABEPREC").asString();
    const QString branch = Ajusta(medCdFilial->text(), 4);
    const QString start = cdsTabeVendDTINIVGPREC->displayText();
    {
        BusyScope busy(6);
        read(cdsAliqProd, QStringLiteral("getProdSemImpos"), {branch, table, start});
    }
    if (hasRows(cdsAliqProd)) {
        Cli_prx51708::CriaProdSemImpos(this);
        return;
    }
    BusyScope busy(6);
    serverCall(QStringLiteral("setAlteraStatus"), {QStringLiteral("4"), table, branch, start});
    cdsTabePrecAfterScroll();
    Atualiza_Botoes(dtsTabeVend);
}

// ---------------------------------------------------------------- painting

// Periods not in force today are written in red.
void TfrmTabePreco::drawTabeVendCell(DBGrid &grid, QPainter &painter, const QRect &rect,
                                     DBGridColumn &column, int row, DBGrid::DrawState state)
{
    const bool inForce =
        pricetable::inForce(wallClockToday(), grid.valueAt(row, u"DTINIVGPREC").toDateTime(),
                            grid.valueAt(row, u"DTFINVGPREC").toDateTime());
    const bool selected = state.testFlag(DBGrid::Selected);
    painter.fillRect(rect, selected ? grid.palette().color(QPalette::Highlight) : grid.color());
    if (selected)
        painter.setPen(grid.palette().color(QPalette::HighlightedText));
    else
        painter.setPen(inForce ? QColor(Qt::black) : QColor(Qt::red));
    grid.drawCellText(painter, rect, grid.editTextAt(row, column.fieldName()),
                      Qt::AlignLeft | Qt::AlignVCenter, 2);
    if (state.testFlag(DBGrid::Focused))
        grid.drawFocusRect(painter, rect);
}

} // namespace prx
