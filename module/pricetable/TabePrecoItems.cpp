// The price items of the current period.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"
#include "ScreenTexts.h"

#include "dataset/Abort.h"
#include "dataset/Format.h"
#include "money/Decimal.h"
#include "services/HostState.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/TDBSortGrid.h"

#include <QAction>
#include <QPainter>
#include <QScopeGuard>
#include <QTabWidget>

namespace prx {

using namespace Cli_prx51700;

namespace {

const QStringList moneyColumns = {"VRPRECITEM", "VRPRECITEMDLV", "VRPRECITEMCMD"};
const QStringList amountColumns = {"VRPRECITEMCL", "VRPRESUGITEM", "VRCUSTITEM", "VRMKUPITEM"};

bool blankHour(const Field &field)
{
    return field.asString().trimmed().isEmpty();
}

std::optional<double> optionalValue(const QVariant &v)
{
    if (v.isNull())
        return std::nullopt;
    return v.toDouble();
}

} // namespace

void TfrmTabePreco::wireItems()
{
    for (const char *name : {"IDPRECVARIA", "IDPRODPROMOC"}) {
        Field &f = cdsItemPreco->fieldByName(QString::fromLatin1(name));
        f.onGetText = [this](Field &field, QString &text, bool) {
            text = pricetable::codingText(pricetable::simNaoCodings(), msgPadrao, field.asString());
        };
        f.onSetText = [this](Field &field, const QString &text) {
            if (const auto code =
                    pricetable::codingCode(pricetable::simNaoCodings(), msgPadrao, text))
                field.setAsString(*code);
        };
    }
    for (const char *name : {"HRINIVENPROD", "HRFIMVENPROD"}) {
        cdsItemPreco->fieldByName(QString::fromLatin1(name)).onGetText = [](Field &field,
                                                                            QString &text, bool) {
            text = pricetable::hourText(field.asString());
        };
    }

    cdsItemPreco->afterScroll = [this](ClientDataSet &) { cdsItemPrecoAfterScroll(); };
    cdsItemPreco->afterClose = [this](ClientDataSet &) { cdsItemPrecoComp->close(); };
    // Items come from the products of the branch; the grid never adds one.
    cdsItemPreco->beforeInsert = [](ClientDataSet &) { throw Abort(); };
    cdsItemPreco->afterEdit = [this](ClientDataSet &) { cdsItemPrecoAfterEdit(); };
    cdsItemPreco->beforePost = [this](ClientDataSet &) { cdsItemPrecoBeforePost(); };
    cdsItemPreco->afterPost = [this](ClientDataSet &) { cdsItemPrecoAfterPost(); };
    dtsItemPreco->onStateChange = [this](DataSource &) { dtsItemPrecoStateChange(); };

    dbsItemPreco->onEnter = [this](DBGrid &) { dbsItemPrecoEnter(); };
    dbsItemPreco->onColEnter = [this](DBGrid &) { dbsItemPrecoColEnter(); };
    dbsItemPreco->onKeyPress = [](DBGrid &grid, QChar &key) {
        const Field *f = grid.selectedField();
        const ClientDataSet *ds = grid.dataSet();
        if (!f || !ds)
            return;
        if (ds->state() != DataSetState::Insert && f->name() == QLatin1String("CDARVPROD")) {
            key = QChar();
            return;
        }
        // The flags come from their pick lists only.
        if (f->name() == QLatin1String("IDPRECVARIA") ||
            f->name() == QLatin1String("IDPRODPROMOC")) {
            key = QChar();
            return;
        }
        key = key.toUpper();
    };
    // Prices are cleared by the Delete command; rows are never deleted.
    dbsItemPreco->onKeyDown = dropCtrlDelete;
    dbsItemPreco->onTitleClick = [](DBGrid &, DBGridColumn &column) {
        static const QStringList unsorted = {"VRPRESUGITEM", "NRCOMPPROD", "IDPRECVARIA",
                                             "IDPRODPROMOC"};
        if (unsorted.contains(column.fieldName()))
            throw Abort();
    };
    dbsItemPreco->onDrawColumnCell = [this](DBGrid &grid, QPainter &painter, const QRect &rect,
                                            DBGridColumn &column, int row,
                                            DBGrid::DrawState state) {
        drawItemPrecoCell(grid, painter, rect, column, row, state);
    };
}

QString TfrmTabePreco::periodStartText() const
{
    return cdsTabeVendDTINIVGPREC->displayText();
}

void TfrmTabePreco::loadItemPreco()
{
    read(cdsItemPreco, QStringLiteral("GetItemPreco"),
         {cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
          cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), cdsFilialCDSEGMER->asString(),
          QString::number(DBPictObj(0).GetTtNiveis()), cdsTabeVendDTINIVGPREC->asDateTime(),
          QString(), QStringLiteral("T")});
}

// The row in focus drives the composition sub-page and which differentiated
// prices are shown below it.
void TfrmTabePreco::cdsItemPrecoAfterScroll()
{
    {
        // The grid below sees the item's prices only, never every price of
        // the period that shows between filter off and filter on: redrawing
        // those made each row change slow on a large period. It follows the
        // row first, so that nothing failing after this can leave another
        // item's prices under it.
        cdsPrecoHora->disableControls();
        const auto enable = qScopeGuard([this] { cdsPrecoHora->enableControls(); });
        cdsPrecoHora->setFiltered(false);
        cdsPrecoHora->setFilter(pricetable::precoHoraFilter(
            cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
            cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), periodStartText(),
            cdsItemPreco->fieldByName(u"CDPRODUTO").asString(),
            cdsItemPreco->fieldByName(u"CDPRPAITABPR").asString()));
        cdsPrecoHora->setFiltered(true);
    }
    {
        boAtualizaBotoes = false;
        // A failed load of the components must not leave the commands frozen.
        const auto resume = qScopeGuard([] { boAtualizaBotoes = true; });
        const bool composite = cdsItemPreco->fieldByName(u"NRCOMPPROD").asFloat() > 0;
        pgcItemPreco->setTabEnabled(pgcItemPreco->indexOf(tshComposicao), composite);
        mnuComposicao->setEnabled(composite);
        if (pgcItemPreco->currentWidget() == tshComposicao) {
            BusyScope busy(6);
            loadItemPrecoComp();
        }
    }
    dtsItemPrecoStateChange();
    mnuCopPrecoDif->setEnabled(cdsItemPreco->state() == DataSetState::Browse &&
                               hasRows(cdsItemPreco) && detailPageActive());
}

void TfrmTabePreco::dtsItemPrecoStateChange()
{
    Atualiza_Botoes(dtsItemPreco);
    const DataSetState state = dtsItemPreco->state();
    const bool editing = isEditing(dtsItemPreco);
    if (cdsItemPreco->isActive())
        setPageEnabled(tshFolhaDados, !editing);
    pgcPrecoCliCon->setEnabled(!editing);
    setBranchPanelEnabled(!editing);
    if (state == DataSetState::Inactive || state == DataSetState::Browse)
        enableBranchEntry();
    mnuCalcPreco->setEnabled(!editing);
    // The composition stays reachable for a composite item, and while its
    // components are being changed.
    const bool composite = cdsItemPreco->fieldByName(u"NRCOMPPROD").asFloat() > 0;
    const bool composition = (!editing && composite) || isEditing(cdsItemPrecoComp);
    pgcItemPreco->setTabEnabled(pgcItemPreco->indexOf(tshComposicao), composition);
    mnuComposicao->setEnabled(composition);
    dbgPrecoHora->setEnabled(cdsItemPreco->state() != DataSetState::Edit);
}

void TfrmTabePreco::dbsItemPrecoEnter()
{
    stGrid = QStringLiteral("1");
    dbsItemPrecoColEnter();
    Atualiza_Botoes(dtsItemPreco);
}

// The composite marker is never typed into.
void TfrmTabePreco::dbsItemPrecoColEnter()
{
    const Field *f = dbsItemPreco->selectedField();
    dbsItemPreco->setOption(DBGrid::Editing, !f || f->name() != QLatin1String("NRCOMPPROD"));
}

void TfrmTabePreco::cdsItemPrecoAfterEdit()
{
    cdsItemPreco->fieldByName(u"CDFILIAL")
        .setAsString(cdsTabeVend->fieldByName(u"CDFILIAL").asString());
    cdsItemPreco->fieldByName(u"CDTABEPREC")
        .setAsString(cdsTabeVend->fieldByName(u"CDTABEPREC").asString());
    cdsItemPreco->fieldByName(u"DTINIVGPREC").setAsDateTime(cdsTabeVendDTINIVGPREC->asDateTime());
    // What the row held, so that only a value the user changed is judged.
    m_itemValuesAtEdit.clear();
    for (const char *name : {"VRPRESUGITEM", "VRCUSTITEM"}) {
        const Field &f = cdsItemPreco->fieldByName(QString::fromLatin1(name));
        m_itemValuesAtEdit.insert(f.name(), f.value());
    }
    // Only an unset mark defaults: a promotion set in bulk must survive an edit.
    Field &promotion = cdsItemPreco->fieldByName(u"IDPRODPROMOC");
    if (promotion.asString().isEmpty())
        promotion.setAsString(QStringLiteral("N"));
}

void TfrmTabePreco::cdsItemPrecoBeforePost()
{
    Field &variable = cdsItemPreco->fieldByName(u"IDPRECVARIA");
    if (variable.asString().isEmpty())
        variable.setAsString(QStringLiteral("N"));
    if (isEditing(cdsItemPrecoComp))
        cdsItemPrecoComp->post();

    // Typed prices are cut, never rounded, to two decimals, also after a
    // price calculation: the server stores no third decimal, and one kept
    // here would show 9,88 in the grid for a stored 9,876.
    for (const char *name : {"VRPRECITEM", "VRPRECITEMCL"}) {
        Field &f = cdsItemPreco->fieldByName(QString::fromLatin1(name));
        f.setAsFloat(Trunc2(f.asFloat()));
    }
    // Delivery and order-pad prices may stay empty: empty is not zero.
    for (const char *name : {"VRPRECITEMDLV", "VRPRECITEMCMD"}) {
        Field &f = cdsItemPreco->fieldByName(QString::fromLatin1(name));
        if (f.displayText().isEmpty())
            f.clear();
        else
            f.setAsFloat(Trunc2(f.asFloat()));
    }
    checkItemPrice("VRPRECITEM", "VCONS_MAIOR", "Ope_bl_VrPrec");
    checkItemPrice("VRPRECITEMDLV", "VCONS_MAIOR", "Ope_bl_VrPrec");
    checkItemPrice("VRPRECITEMCMD", "VCONS_MAIOR", "Ope_bl_VrPrec");
    checkItemPrice("VRPRECITEMCL", "VCLI_MAIOR", "Ope_bl_VrItemCl");
    checkItemPrice("VRPRESUGITEM", nullptr, "Ope_bl_VrItem_Sug");
    checkItemPrice("VRCUSTITEM", nullptr, "Ope_bl_Vr_Cal");
    // The suggested and calculated prices are not cut: a third decimal the
    // user typed there is shown to him, not dropped.
    for (const char *name : {"VRPRESUGITEM", "VRCUSTITEM"}) {
        const Field &f = cdsItemPreco->fieldByName(QString::fromLatin1(name));
        if (!f.isNull() && !isCents(f.asFloat()) &&
            f.value() != m_itemValuesAtEdit.value(f.name())) {
            focusGridColumn(dbsItemPreco, f.name());
            MensErro(msgPadrao.Msg(QStringLiteral("PRECO_DECIMAIS")), true);
        }
    }

    stCamposVazios.clear();
    for (int i = 0; i < cdsItemPreco->fieldCount(); ++i) {
        const Field &f = cdsItemPreco->field(i);
        if (f.isNull() || f.displayText().isEmpty())
            stCamposVazios += f.name() + QLatin1Char('|');
    }

    const bool startEmpty = blankHour(cdsItemPreco->fieldByName(u"HRINIVENPROD"));
    const bool endEmpty = blankHour(cdsItemPreco->fieldByName(u"HRFIMVENPROD"));
    if (startEmpty && !endEmpty) {
        focusGridColumn(dbsItemPreco, QStringLiteral("HRINIVENPROD"));
        MensErro(msgPadrao.Msg(QStringLiteral("HORAINIINF")), true);
    }
    if (!startEmpty)
        Vd_HrIniVenProd();
    if (endEmpty && !startEmpty) {
        focusGridColumn(dbsItemPreco, QStringLiteral("HRFIMVENPROD"));
        MensErro(msgPadrao.Msg(QStringLiteral("HORAFININF")), true);
    }
    if (!endEmpty)
        Vd_HrFimVenProd();
    // A window may cross midnight: no order between the two hours.
}

void TfrmTabePreco::checkItemPrice(const char *fieldName, const char *negativeKey,
                                   const char *rangeKey)
{
    const Field &f = cdsItemPreco->fieldByName(QString::fromLatin1(fieldName));
    if (f.isNull())
        return;
    const double value = f.asFloat();
    const char *key = nullptr;
    if (negativeKey && value < 0)
        key = negativeKey;
    else if (!(value < kPriceLimit.toDouble())) // also what is not a number at all
        key = rangeKey;
    if (!key)
        return;
    focusGridColumn(dbsItemPreco, f.name());
    MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
}

void TfrmTabePreco::checkHour(DBGrid *grid, Field &field)
{
    if (pricetable::validHour(field.asString()))
        return;
    focusGridColumn(grid, field.name());
    const QString typed = field.editText();
    field.clear();
    MensErro(QLatin1Char('\'') + typed + QLatin1Char('\'') +
                 msgPadrao.Msg(QStringLiteral("HoraInv")),
             true);
}

void TfrmTabePreco::Vd_HrIniVenProd()
{
    checkHour(dbsItemPreco, cdsItemPreco->fieldByName(u"HRINIVENPROD"));
}

void TfrmTabePreco::Vd_HrFimVenProd()
{
    checkHour(dbsItemPreco, cdsItemPreco->fieldByName(u"HRFIMVENPROD"));
}

void TfrmTabePreco::cdsItemPrecoAfterPost()
{
    try {
        saveChanges(cdsItemPreco, QStringLiteral("SetItemPreco"), 1, QStringLiteral("ITEMPRECO"),
                    {stCamposVazios});
    } catch (...) {
        // The components travel with their product: when the product goes
        // back to its state before the edit, so do they, rather than stay
        // changed on the screen and never reach the server.
        if (cdsItemPrecoComp->isActive())
            cdsItemPrecoComp->cancelUpdates();
        throw;
    }
    refreshItemDayPrices(); // the server computed them again from the new prices
    saveChanges(cdsItemPrecoComp, QStringLiteral("SetItemPrecoComp"), 1, QString());
}

// ---------------------------------------------------------------- painting

// Rows are coloured against the calculated price: above it blue, below it
// (or below it with the subsidy) red. Prices read right-aligned.
void TfrmTabePreco::drawItemPrecoCell(DBGrid &grid, QPainter &painter, const QRect &rect,
                                      DBGridColumn &column, int row, DBGrid::DrawState state)
{
    const pricetable::ItemRowTone tone =
        pricetable::itemRowTone(optionalValue(grid.valueAt(row, u"VRPRECITEM")),
                                optionalValue(grid.valueAt(row, u"VRPRECITEMCL")),
                                optionalValue(grid.valueAt(row, u"VRCUSTITEM")));
    const QPalette &pal = grid.palette();
    QColor background = grid.color();
    QColor text = pal.color(QPalette::Text);
    if (tone == pricetable::ItemRowTone::AboveCost) {
        text = Qt::blue;
    } else if (tone == pricetable::ItemRowTone::BelowCost) {
        text = Qt::red;
    } else if (state.testFlag(DBGrid::Selected)) {
        background = pal.color(QPalette::Highlight);
        text = pal.color(QPalette::HighlightedText);
    }
    painter.fillRect(rect, background);
    painter.setPen(text);

    const QString &name = column.fieldName();
    if (name == QLatin1String("NRCOMPPROD")) {
        if (grid.valueAt(row, name).toDouble() > 0) {
            const QPoint at(rect.left() + (rect.width() - imgCompoe.width()) / 2,
                            rect.top() + (rect.height() - imgCompoe.height()) / 2);
            painter.drawPixmap(at, imgCompoe);
        }
    } else {
        const QVariant value = grid.valueAt(row, name);
        if (!value.isNull() && (moneyColumns.contains(name) || amountColumns.contains(name))) {
            const QString format =
                moneyColumns.contains(name) ? QStringLiteral("##0.00") : QStringLiteral("###0.00");
            grid.drawCellText(painter, rect, formatNumber(value.toDouble(), format),
                              Qt::AlignRight | Qt::AlignVCenter, 2);
        } else if (name == QLatin1String("CDARVPROD") && !value.toString().isEmpty()) {
            grid.drawCellText(painter, rect, m_productMask.format(value.toString()),
                              Qt::AlignLeft | Qt::AlignVCenter, 2);
        } else {
            grid.drawCellText(painter, rect, grid.editTextAt(row, name),
                              Qt::AlignLeft | Qt::AlignVCenter, 2);
        }
    }
    if (state.testFlag(DBGrid::Focused))
        grid.drawFocusRect(painter, rect);
}

} // namespace prx
