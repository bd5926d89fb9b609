// The validity periods of the current table and their approval states.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"
#include "ScreenTexts.h"

#include "autoprice/Cli_prx51708.h"
#include "dataset/Abort.h"
#include "dataset/FieldDef.h"
#include "services/FieldInput.h"
#include "services/HostState.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TButtonFlat.h"
#include "widgets/WidgetUtils.h"

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
    cdsTabeVend->beforePost = [this](ClientDataSet &) { cdsTabeVendBeforePost(); };
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
    dbgTabeVend->onColExit = [this](DBGrid &) { dbgTabeVendColExit(); };
    dbgTabeVend->onKeyDown = [this](DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers) {
        listGridKeyDown(grid, key, modifiers);
    };
    dbgTabeVend->onKeyPress = [this](DBGrid &grid, QChar &key) { keyFieldRule(grid, key); };
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
    refreshCommands();
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

// ---------------------------------------------------------------- checks

void TfrmTabePreco::Vd_Data()
{
    if (cdsTabeVendDTINIVGPREC->isNull()) {
        focusGridColumn(dbgTabeVend, QStringLiteral("DTINIVGPREC"));
        MensErro(msgPadrao.Msg(QStringLiteral("DTINI_Inf")), true);
    }
    if (cdsTabeVendDTFINVGPREC->isNull()) {
        focusGridColumn(dbgTabeVend, QStringLiteral("DTFINVGPREC"));
        Atualiza_Botoes(dtsTabeVend);
        MensErro(msgPadrao.Msg(QStringLiteral("DTFIM_Inf")), false);
        setDetailPageEnabled(false);
        throw Abort();
    }
}

// Only a new period can take a start another period already has: an edited
// one always finds its own.
void TfrmTabePreco::Vd_TabeVend(bool mandatory)
{
    if (cdsTabeVend->state() != DataSetState::Insert)
        return;
    try {
        if (EmptyString(GridText(*dbgTabeVend, QStringLiteral("DTINIVGPREC"))) ||
            cdsTabeVendDTINIVGPREC->isNull())
            return;
        if (mandatory && !widgetBelongsTo(activeControl(), dbgTabeVend))
            return;
        {
            BusyScope busy(6);
            read(cdsVerifTabeVend, QStringLiteral("GetVerifTabeVend"),
                 {cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
                  cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
                  cdsTabeVendDTINIVGPREC->asDateTime()});
        }
        if (hasRows(cdsVerifTabeVend))
            MensErro(msgPadrao.Msg(QStringLiteral("DtIniV_cad")), true);
    } catch (...) {
        focusGridColumn(dbgTabeVend, QStringLiteral("DTINIVGPREC"));
        throw;
    }
}

bool TfrmTabePreco::periodEndsTooEarly() const
{
    return !cdsTabeVendDTINIVGPREC->isNull() && !cdsTabeVendDTFINVGPREC->isNull() &&
           cdsTabeVendDTINIVGPREC->asDateTime() >= cdsTabeVendDTFINVGPREC->asDateTime();
}

void TfrmTabePreco::dbgTabeVendColExit()
{
    const Field *f = dbgTabeVend->selectedField();
    if (!f)
        return;
    if (f == cdsTabeVendDTINIVGPREC) {
        Vd_TabeVend(false);
    } else if (f == cdsTabeVendDTFINVGPREC && isEditing(dtsTabeVend) && periodEndsTooEarly()) {
        focusGridColumn(dbgTabeVend, QStringLiteral("DTFINVGPREC"));
        MensErro(msgPadrao.Msg(QStringLiteral("DtFin_menor")), true);
    }
}

// The checks run in this order and the first failure keeps the row as the
// user left it. Every answer of the server is checked: an error there must
// stop the save, never read as "no conflict".
void TfrmTabePreco::cdsTabeVendBeforePost()
{
    Vd_Data();
    Atualiza_Botoes(dtsTabeVend);
    if (periodEndsTooEarly()) {
        focusGridColumn(dbgTabeVend, QStringLiteral("DTFINVGPREC"));
        if (cdsTabePrec->state() == DataSetState::Browse && hasRows(cdsTabePrec))
            cdsTabePrec->edit();
        MensErro(msgPadrao.Msg(QStringLiteral("DtFin_menor")), true);
    }

    const QString branch = cdsTabePrec->fieldByName(u"CDFILIAL").asString();
    const QString table = cdsTabePrecCDTABEPREC->asString();
    const QDateTime start = cdsTabeVendDTINIVGPREC->asDateTime();
    const QDateTime end = cdsTabeVendDTFINVGPREC->asDateTime();
    {
        BusyScope busy(6);
        read(cdsPesqDataVigente, QStringLiteral("GetPesqDataVigente"), {branch, table, start});
    }
    const QDateTime now = wallClockNow();
    const Field &otherStart = cdsPesqDataVigente->fieldByName(u"DTINIVGPREC");
    const Field &otherEnd = cdsPesqDataVigente->fieldByName(u"DTFINVGPREC");
    int inForceNow = 0;
    for (int row = 0; row < cdsPesqDataVigente->recordCount(); ++row) {
        const QVariant s = cdsPesqDataVigente->valueAt(row, otherStart.index());
        const QVariant e = cdsPesqDataVigente->valueAt(row, otherEnd.index());
        if (!s.isNull() && !e.isNull() && s.toDateTime() <= now && e.toDateTime() >= now)
            ++inForceNow;
    }
    if (inForceNow > 0 && now <= end && pricetable::inForce(wallClockToday(), start, end))
        MensErro(msgPadrao.Msg(QStringLiteral("Dt_ativa_ja")), true);

    const QVariant conflict =
        serverCall(QStringLiteral("getTabePrecData"), {branch, table, start, end});
    if (conflict.typeId() != QMetaType::Bool)
        throw std::runtime_error("O servidor não respondeu se o período conflita com outro.");
    if (conflict.toBool())
        MensErro(msgPadrao.Msg(QStringLiteral("Dt_Vg_Conflitante")), true);

    if (cdsTabeVend->state() == DataSetState::Insert)
        Vd_TabeVend(true);

    if (isEditing(cdsTabePrec)) {
        try {
            cdsTabePrec->post();
        } catch (...) {
            if (cdsTabePrec->state() == DataSetState::Browse && hasRows(cdsTabePrec))
                cdsTabePrec->edit();
            throw;
        }
    }
}

// The catalogue key of the first kind of assignment of the current table
// (client branches, stores, branches, clients), or null when it has none.
const char *TfrmTabePreco::tableAssignment()
{
    QVariantList packets;
    {
        BusyScope busy(6);
        packets = serverCall(QStringLiteral("GetVeriVing"),
                             {medCdFilial->text(), cdsTabePrecCDTABEPREC->asString()})
                      .toList();
    }
    const std::pair<ClientDataSet *, const char *> kinds[] = {{cdsVingCliFili, "Ving_Cli_Fili"},
                                                              {cdsVingLoja, "Ving_Loja"},
                                                              {cdsVingFili, "Ving_Fili"},
                                                              {cdsVingCli, "Ving_Cli"}};
    if (packets.size() != 4)
        throw std::runtime_error("O servidor não devolveu as parametrizações da tabela.");
    for (int i = 0; i < 4; ++i)
        loadInto(kinds[i].first, packets.at(i));
    for (const auto &[dataSet, key] : kinds) {
        if (hasRows(dataSet))
            return key;
    }
    return nullptr;
}

// A period assigned to client branches, stores, branches or clients is in
// use and stays; the first kind of assignment found is the one reported.
void TfrmTabePreco::Vd_Vingencia()
{
    if (const char *key = tableAssignment())
        MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
}

// A table goes only with everything that would keep it: it is refused up
// front, before its current period is deleted, when it has another period
// or is assigned to buyers.
void TfrmTabePreco::Vd_ExclusaoTabela()
{
    if (cdsTabeVend->isActive() && cdsTabeVend->recordCount() > 1)
        MensErro(msgPadrao.Msg(QStringLiteral("TabPrec_Outras_Vig")), true);
    if (tableAssignment())
        MensErro(msgPadrao.Msg(QStringLiteral("TabPrec_Parametrizada")), true);
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
    if (!hasRows(cdsTabeVend) || isEditing(cdsTabeVend))
        return;
    BusyScope busy(6);
    serverCall(QStringLiteral("setAlteraStatus"),
               {QStringLiteral("2"), cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
                Ajusta(medCdFilial->text(), 4), cdsTabeVendDTINIVGPREC->displayText()});
    cdsTabePrecAfterScroll();
    refreshCommands();
}

void TfrmTabePreco::btnAprDigClick()
{
    if (!hasRows(cdsTabeVend) || isEditing(cdsTabeVend))
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
    refreshCommands();
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
