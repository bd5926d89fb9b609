// The standard commands and the keyboard of the screen. One toolbar serves
// five datasets: the page, the control in focus and the grid of the detail
// page entered last (stGrid) decide which one a command acts on.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"

#include "dataset/Abort.h"
#include "services/Controls.h"
#include "services/HostUi.h"
#include "services/ModuleLoader.h"
#include "services/ReportContext.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TDBSortGrid.h"
#include "widgets/WidgetUtils.h"

#include <QApplication>
#include <QTabBar>
#include <QTabWidget>

namespace prx {

using namespace Cli_prx51700;

namespace {

bool askYes(const TMessages &catalogue, const char *key)
{
    return catalogue.ShowMsg(QString::fromLatin1(key), MsgKind::Confirmation, {MsgYes, MsgNo}) ==
           MsgYes;
}

} // namespace

void TfrmTabePreco::focusGridColumn(DBGrid *grid, const QString &fieldName)
{
    // Focusing a grid that has it already would run its entry handler again.
    if (!widgetBelongsTo(QApplication::focusWidget(), grid))
        grid->setFocus(Qt::OtherFocusReason);
    const int column = IndiceCol(*grid, fieldName);
    if (column >= 0 && column != grid->selectedIndex())
        grid->setSelectedIndex(column);
}

void TfrmTabePreco::keyFieldRule(DBGrid &grid, QChar &key) const
{
    const Field *f = grid.selectedField();
    const ClientDataSet *ds = grid.dataSet();
    if (!f || !ds || f->tag() != 1 || ds->state() == DataSetState::Insert)
        return;
    const ushort code = key.unicode();
    if (key == QLatin1Char('\t') || key == QLatin1Char('\r') || (code >= 37 && code <= 40))
        return;
    key = QChar();
}

void TfrmTabePreco::dropCtrlDelete(DBGrid &, int &key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Delete && modifiers.testFlag(Qt::ControlModifier))
        key = 0;
}

void TfrmTabePreco::switchPage()
{
    QWidget *target = listPageActive() ? tshFormulario : tshFolhaDados;
    if (!isPageEnabled(target))
        return;
    pgcPadrao->setCurrentWidget(target);
    focusPageGrid();
}

void TfrmTabePreco::focusPageGrid()
{
    DBGrid *grid = listPageActive() ? static_cast<DBGrid *>(dbgPadrao)
                   : pgcItemPreco->currentWidget() == tshComposicao ? dbgItPrecoComp
                                                                    : dbsItemPreco;
    if (grid->isVisible() && grid->isEnabled() && !grid->hasFocus())
        grid->setFocus(Qt::TabFocusReason);
}

// In the grids of the list page Tab goes from column to column; past the
// last column of a row that is not being typed it goes on to the next
// control, so that the period grid is reached from the table grid.
void TfrmTabePreco::listGridKeyDown(DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers)
{
    dropCtrlDelete(grid, key, modifiers);
    const bool back = key == Qt::Key_Backtab ||
                      (key == Qt::Key_Tab && modifiers.testFlag(Qt::ShiftModifier));
    if ((key != Qt::Key_Tab && key != Qt::Key_Backtab) ||
        modifiers.testFlag(Qt::ControlModifier) || isEditing(grid.dataSource()))
        return;
    int edge = back ? 0 : grid.columnCount() - 1;
    while (edge >= 0 && edge < grid.columnCount() && !grid.column(edge).isVisible())
        edge += back ? 1 : -1;
    if (grid.selectedIndex() != edge)
        return;
    key = 0;
    SelectNextControl(&grid, !back);
}

void TfrmTabePreco::confirmDetail(ClientDataSet *dataSet, const QString &method,
                                  const QString &table, bool sendsEmptyFields)
{
    if (!isEditing(dataSet))
        return;
    dataSet->post();
    // The list of empty fields is the one of the row just posted.
    saveChanges(dataSet, method, 6, table,
                sendsEmptyFields ? QVariantList{stCamposVazios} : QVariantList());
}

// ---------------------------------------------------------------- commands

void TfrmTabePreco::sbtIncluirClick()
{
    if (listPageActive()) {
        ClientDataSet *target =
            widgetBelongsTo(activeControl(), dbgTabeVend) ? cdsTabeVend : cdsTabePrec;
        // A period belongs to a table: none can be added without one.
        if (target->state() == DataSetState::Browse &&
            (target == cdsTabePrec || hasRows(cdsTabePrec)))
            target->append();
    }
    if (pgcPrecoCliCon->currentWidget() == tshPrecoHora &&
        widgetBelongsTo(activeControl(), dbgPrecoHora) &&
        cdsPrecoHora->state() == DataSetState::Browse)
        cdsPrecoHora->append();
}

void TfrmTabePreco::sbtAlterarClick()
{
    QWidget *active = activeControl();
    if (listPageActive()) {
        if (widgetBelongsTo(active, dbgPadrao)) {
            if (cdsTabePrec->state() == DataSetState::Browse) {
                cdsTabePrec->edit();
                focusGridColumn(dbgPadrao, QStringLiteral("NMTABEPREC"));
            }
        } else if (cdsTabeVend->state() == DataSetState::Browse) {
            cdsTabeVend->edit();
            focusGridColumn(dbgTabeVend, QStringLiteral("DTFINVGPREC"));
        }
        return;
    }
    if (stGrid == QLatin1String("1")) {
        if (pgcItemPreco->currentWidget() == tshProduto &&
            cdsItemPreco->state() == DataSetState::Browse) {
            cdsItemPreco->edit();
            focusGridColumn(dbsItemPreco, QStringLiteral("VRPRECITEM"));
        } else if (cdsItemPrecoComp->state() == DataSetState::Browse) {
            cdsItemPrecoComp->edit();
            focusGridColumn(dbgItPrecoComp, QStringLiteral("VRPRECITEM"));
        }
    } else if (widgetBelongsTo(active, dbgPrecoHora)) {
        cdsPrecoHora->edit();
    }
}

// Three independent steps; each asks its own question first.
void TfrmTabePreco::sbtExcluirClick()
{
    QWidget *active = activeControl();
    if (listPageActive()) {
        if (widgetBelongsTo(active, dbgPadrao)) {
            if (hasRows(cdsTabePrec) && askYes(msgMensagensPadroes, "ExclTbV")) {
                // The server keeps a table only while it has periods: its
                // current period goes first, once nothing else can keep
                // the table.
                Vd_ExclusaoTabela();
                if (hasRows(cdsTabeVend))
                    cdsTabeVend->deleteRecord();
                cdsTabePrec->deleteRecord();
                Atualiza_Botoes(dtsPadrao);
            }
        } else if (hasRows(cdsTabeVend) && askYes(msgMensagensPadroes, "ExclPerVig")) {
            Vd_Vingencia();
            cdsTabeVend->deleteRecord();
            Atualiza_Botoes(dtsTabeVend);
        }
    }
    if (pgcPrecoCliCon->currentWidget() == tshPrecoHora && widgetBelongsTo(active, dbgPrecoHora) &&
        hasRows(cdsPrecoHora) && askYes(msgMensagensPadroes, "Excl")) {
        cdsPrecoHora->deleteRecord();
        Atualiza_Botoes(dtsPrecoHora);
    }
    if (detailPageActive() && pgcItemPreco->currentWidget() == tshProduto &&
        stGrid == QLatin1String("1") && hasRows(cdsItemPreco) &&
        askYes(msgPadrao, "LIMPAR_PRECO")) {
        {
            BusyScope busy(6);
            serverCall(QStringLiteral("setApagaPreco"),
                       {cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
                        cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), periodStartText(),
                        cdsItemPreco->fieldByName(u"CDPRODUTO").asString(),
                        cdsItemPreco->fieldByName(u"CDPRPAITABPR").asString()});
        }
        sbtVerificarClick();
    }
}

void TfrmTabePreco::sbtConfirmarClick()
{
    if (listPageActive()) {
        if (isEditing(cdsTabeVend)) {
            cdsTabeVend->post();
        } else if (isEditing(cdsTabePrec)) {
            Atualiza_Botoes(dtsPadrao);
            cdsTabePrec->post();
        }
    } else {
        QWidget *active = activeControl();
        if (widgetBelongsTo(active, dbsItemPreco)) {
            confirmDetail(cdsItemPreco, QStringLiteral("SetItemPreco"), QString(), true);
            Atualiza_Botoes(dtsPadrao);
        } else if (widgetBelongsTo(active, dbgItPrecoComp)) {
            confirmDetail(cdsItemPrecoComp, QStringLiteral("SetItemPrecoComp"), QString());
        } else if (widgetBelongsTo(active, dbgPrecoHora)) {
            confirmDetail(cdsPrecoHora, QStringLiteral("SetPrecoHora"),
                          QStringLiteral("ITEMPRECODIA"));
        }
    }
    setDetailPageEnabled(hasRows(cdsTabeVend));
}

void TfrmTabePreco::sbtCancelarClick()
{
    if (detailPageActive()) {
        if (stGrid != QLatin1String("1")) {
            if (isEditing(cdsPrecoHora) && askYes(msgMensagensPadroes, "Canc")) {
                cdsPrecoHora->cancel();
                cdsPrecoHora->cancelUpdates();
                Atualiza_Botoes(dtsPrecoHora);
            }
        } else if (askYes(msgMensagensPadroes, "Canc")) {
            if (isEditing(cdsItemPreco)) {
                cdsItemPreco->cancel();
                cdsItemPreco->cancelUpdates();
                Atualiza_Botoes(dtsItemPreco);
            }
            if (isEditing(cdsItemPrecoComp)) {
                cdsItemPrecoComp->cancel();
                cdsItemPrecoComp->cancelUpdates();
            }
        }
    } else if ((isEditing(cdsTabePrec) || isEditing(cdsTabeVend)) &&
               askYes(msgMensagensPadroes, "Canc")) {
        cdsTabePrec->cancelUpdates();
        cdsTabeVend->cancelUpdates();
        showPeriodsOfCurrentTable();
    }
    if (dtsPadrao->state() == DataSetState::Browse) {
        if (widgetBelongsTo(activeControl(), dbgPadrao)) {
            setDetailPageEnabled(hasRows(cdsTabeVend));
            Atualiza_Botoes(dtsPadrao);
        } else {
            Atualiza_Botoes(dtsTabeVend);
        }
    }
}

void TfrmTabePreco::sbtProcurarClick()
{
    ClientDataSet *target = nullptr;
    if (listPageActive())
        target = widgetBelongsTo(activeControl(), dbgPadrao) ? cdsTabePrec : cdsTabeVend;
    else if (widgetBelongsTo(activeControl(), dbgPrecoHora))
        target = cdsPrecoHora;
    else if (pgcItemPreco->currentWidget() == tshProduto)
        target = cdsItemPreco;
    else
        target = cdsItemPrecoComp;
    if (target->isActive())
        HostUi::instance().procura(*target);
}

// The price list is printed by its own module, found by name.
void TfrmTabePreco::sbtImprimirClick()
{
    // The price list opens on the branch, table and period shown here.
    ReportContext::set({medCdFilial->text(),
                        hasRows(cdsTabePrec) ? cdsTabePrecCDTABEPREC->asString() : QString(),
                        hasRows(cdsTabeVend) ? cdsTabeVendDTINIVGPREC->asDateTime() : QDateTime()});
    LoadBPL(QStringLiteral("Prx51701"));
}

// ---------------------------------------------------------------- keyboard

void TfrmTabePreco::FormKeyDown(int &key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    // Ctrl+Tab / Ctrl+PgDown and Ctrl+Shift+Tab / Ctrl+PgUp go from page to
    // page without the mouse, into the page's main grid.
    const bool ctrlOnly = held == Qt::ControlModifier;
    const bool ctrlShift = held == (Qt::ControlModifier | Qt::ShiftModifier);
    if ((key == Qt::Key_Tab && ctrlOnly) || (key == Qt::Key_PageDown && ctrlOnly) ||
        ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && ctrlShift) ||
        (key == Qt::Key_PageUp && ctrlOnly)) {
        key = 0;
        switchPage();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && held == Qt::ControlModifier) {
        // Entry goes on with a new row after a confirmed new table.
        if (!isEditing(cdsTabePrec))
            return;
        key = 0;
        const bool wasInserting = cdsTabePrec->state() == DataSetState::Insert;
        sbtConfirmarClick();
        if (wasInserting)
            sbtIncluirClick();
        return;
    }
    if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
        DBGrid *grid = DBGrid::fromWidget(activeControl());
        const Field *f = grid ? grid->selectedField() : nullptr;
        if (grid && grid->editorActive() && grid->editorHasFocus() && f && f->tag() == 1 &&
            grid->dataSource() && grid->dataSource()->state() != DataSetState::Insert) {
            key = 0;
            throw Abort();
        }
        return;
    }
    if (key == Qt::Key_F12 && held == Qt::NoModifier) {
        key = 0;
        // The page tabs are the page control itself: the next control is the
        // one after them, else F12 would only land on the tabs.
        QWidget *from = pgcPadrao;
        if (auto *tabs = pgcPadrao->findChild<QTabBar *>(QString(), Qt::FindDirectChildrenOnly))
            from = tabs;
        if (SelectNextControl(from, true)) {
            if (QWidget *next = QApplication::focusWidget(); next && next->parentWidget())
                SelectFirstControl(next->parentWidget());
        }
    }
}

} // namespace prx
