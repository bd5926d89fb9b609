// The differentiated prices of the item in focus: by day, hour, consumer
// type and validity, for each sale modality.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"
#include "FocusWatch.h"
#include "ScreenTexts.h"

#include "services/FieldInput.h"
#include "services/HostUi.h"
#include "services/LocalQuery.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"
#include "widgets/TDBSortGrid.h"

#include <QPainter>
#include <QTabWidget>

namespace prx {

using namespace Cli_prx51700;

namespace {

const QStringList modalityColumns = {"IDTPMODGERAL", "IDTPMODDLV", "IDTPMODCMD"};
const QStringList pickOnlyColumns = {"NRDIASEMANPR", "IDPERVALORPR", "IDDESCACREPR"};
const QStringList keyColumns = {"NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "CDTIPOCONSPD"};

} // namespace

void TfrmTabePreco::wirePrecoHora()
{
    const QPair<const char *, const QList<pricetable::Coding> *> codings[] = {
        {"NRDIASEMANPR", &pricetable::dayCodings()},
        {"IDPERVALORPR", &pricetable::percValorCodings()},
        {"IDDESCACREPR", &pricetable::descAcreCodings()},
        {"IDVISUACUPOM", &pricetable::visualizaCodings()},
    };
    for (const auto &[name, list] : codings) {
        Field &f = cdsPrecoHora->fieldByName(QString::fromLatin1(name));
        f.onGetText = [this, list](Field &field, QString &text, bool) {
            text = pricetable::codingText(*list, msgPadrao, field.asString());
        };
        f.onSetText = [this, list](Field &field, const QString &text) {
            if (const auto code = pricetable::codingCode(*list, msgPadrao, text))
                field.setAsString(*code);
        };
    }
    for (const char *name : {"HRINIPRECDIA", "HRFINPRECDIA"}) {
        cdsPrecoHora->fieldByName(QString::fromLatin1(name)).onGetText = [](Field &field,
                                                                            QString &text, bool) {
            text = pricetable::hourText(field.asString());
        };
    }
    for (const char *name : {"DTINIVALPREC", "DTFINVALPREC"}) {
        cdsPrecoHora->fieldByName(QString::fromLatin1(name)).onSetText =
            [](Field &field, const QString &text) { CheckDateTime(field, text); };
    }

    cdsPrecoHora->beforeInsert = [this](ClientDataSet &) {
        if (cdsItemPreco->fieldByName(u"VRPRECITEM").displayText().isEmpty())
            MensErro(msgPadrao.Msg(QStringLiteral("PRECNCAD")), true);
    };
    cdsPrecoHora->onNewRecord = [this](ClientDataSet &) { cdsPrecoHoraNewRecord(); };
    cdsPrecoHora->afterInsert = [this](ClientDataSet &) { stChavePrecoDif.clear(); };
    // While refreshItemDayPrices() writes the prices the server stored, the
    // row's life does not run: nothing is checked, sent or re-enabled.
    cdsPrecoHora->afterEdit = [this](ClientDataSet &) {
        if (!m_syncingDayPrices)
            cdsPrecoHoraAfterEdit();
    };
    cdsPrecoHora->beforePost = [this](ClientDataSet &) {
        if (!m_syncingDayPrices)
            cdsPrecoHoraBeforePost();
    };
    cdsPrecoHora->afterPost = [this](ClientDataSet &) {
        if (!m_syncingDayPrices)
            cdsPrecoHoraAfterPost();
    };
    cdsPrecoHora->afterDelete = cdsPrecoHora->afterPost;
    cdsPrecoHora->afterCancel = [this](ClientDataSet &) {
        if (!m_syncingDayPrices)
            cdsPrecoHoraAfterCancel();
    };
    dtsPrecoHora->onStateChange = [this](DataSource &) {
        if (!m_syncingDayPrices)
            dtsPrecoHoraStateChange();
    };

    connect(pgcPrecoCliCon, &QTabWidget::currentChanged, this,
            [this] { runUserAction([this] { pgcPrecoCliConChange(); }); });
    auto *pageWatch = new FocusWatch(tshPrecoHora, this);
    pageWatch->onEnter = [this] { Atualiza_Botoes(dtsPrecoHora); };

    dbgPrecoHora->onEnter = [this](DBGrid &) { dbgPrecoHoraEnter(); };
    dbgPrecoHora->onColEnter = [this](DBGrid &) { dbgPrecoHoraColEnter(); };
    dbgPrecoHora->onColExit = [this](DBGrid &) { dbgPrecoHoraColExit(); };
    dbgPrecoHora->onCellClick = [this](DBGrid &, DBGridColumn &) { alteraCheckModalidade(); };
    dbgPrecoHora->onKeyPress = [](DBGrid &grid, QChar &key) {
        const Field *f = grid.selectedField();
        const ClientDataSet *ds = grid.dataSet();
        const bool editing =
            ds && (ds->state() == DataSetState::Edit || ds->state() == DataSetState::Insert);
        // Day, percentage and discount come from their pick lists only.
        if (f && editing && pickOnlyColumns.contains(f->name()))
            key = QChar();
    };
    dbgPrecoHora->onKeyDown = [this](DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers) {
        if (key == Qt::Key_Delete && modifiers.testFlag(Qt::ControlModifier)) {
            key = 0;
        } else if (key == Qt::Key_Space && grid.selectedField() &&
                   modalityColumns.contains(grid.selectedField()->name())) {
            key = 0;
            alteraCheckModalidade();
        }
    };
    dbgPrecoHora->onEditButtonClick = [this](DBGrid &) { dbgPrecoHoraEditButtonClick(); };
    dbgPrecoHora->onDrawColumnCell = [this](DBGrid &grid, QPainter &painter, const QRect &rect,
                                            DBGridColumn &column, int row,
                                            DBGrid::DrawState state) {
        drawPrecoHoraCell(grid, painter, rect, column, row, state);
    };
    for (const QString &name : keyColumns)
        dbgPrecoHora->columnByField(name)->setReadOnly(true);
}

void TfrmTabePreco::loadPrecoHora()
{
    read(cdsPrecoHora, QStringLiteral("GetPrecoHora"),
         {cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
          cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
          cdsTabeVendDTINIVGPREC->asDateTime()});
}

void TfrmTabePreco::cdsPrecoHoraNewRecord()
{
    cdsPrecoHora->fieldByName(u"IDTPMODGERAL").setAsString(QStringLiteral("S"));
    cdsPrecoHora->fieldByName(u"IDTPMODDLV").setAsString(QStringLiteral("N"));
    cdsPrecoHora->fieldByName(u"IDTPMODCMD").setAsString(QStringLiteral("N"));
    m_dayPriceShown = QVariant();
}

// The key of the row as it was when the edit began, so that a change of it
// can be told from the row itself.
void TfrmTabePreco::cdsPrecoHoraAfterEdit()
{
    stChavePrecoDif = precoHoraKeyText();
    m_dayPriceShown = cdsPrecoHora->fieldByName(u"PRECO").value();
}

void TfrmTabePreco::cdsPrecoHoraAfterPost()
{
    saveChanges(cdsPrecoHora, QStringLiteral("SetPrecoHora"), 1, QStringLiteral("ITEMPRECODIA"));
    stChavePrecoDif.clear();
}

void TfrmTabePreco::cdsPrecoHoraAfterCancel()
{
    cdsPrecoHora->cancelUpdates();
    stChavePrecoDif.clear();
}

void TfrmTabePreco::dtsPrecoHoraStateChange()
{
    const bool editing = isEditing(dtsPrecoHora);
    if (!isEditing(cdsItemPreco)) {
        setPageEnabled(tshFolhaDados, !editing);
        if (pgcItemPreco->currentWidget() == tshProduto) {
            const bool composite = cdsItemPreco->fieldByName(u"NRCOMPPROD").asFloat() > 0;
            pgcItemPreco->setTabEnabled(pgcItemPreco->indexOf(tshComposicao),
                                        !editing && composite);
            mnuComposicao->setEnabled(!editing && composite);
            dbsItemPreco->setEnabled(!editing);
        } else {
            pgcItemPreco->setTabEnabled(pgcItemPreco->indexOf(tshProduto), !editing);
            mnuProduto->setEnabled(!editing);
            dbgItPrecoComp->setEnabled(!editing);
        }
        // A saved row keeps its day, hours and consumer type.
        const bool inserting = dtsPrecoHora->state() == DataSetState::Insert;
        for (const QString &name : keyColumns)
            dbgPrecoHora->columnByField(name)->setReadOnly(!inserting);
        dbgPrecoHora->columnByField(QStringLiteral("CDTIPOCONSPD"))
            ->setButtonStyle(inserting ? DBGridColumn::ButtonStyle::Ellipsis
                                       : DBGridColumn::ButtonStyle::Auto);
        setBranchPanelEnabled(!editing);
        if (!editing)
            enableBranchEntry();
    }
    Atualiza_Botoes(dtsPrecoHora);
}

void TfrmTabePreco::dbgPrecoHoraEnter()
{
    stGrid = QStringLiteral("3");
    Atualiza_Botoes(dtsPrecoHora);
}

// The modality flags change only through their toggle.
void TfrmTabePreco::dbgPrecoHoraColEnter()
{
    const Field *f = dbgPrecoHora->selectedField();
    dbgPrecoHora->setOption(DBGrid::Editing, !f || !modalityColumns.contains(f->name()));
}

void TfrmTabePreco::pgcPrecoCliConChange()
{
    Atualiza_Botoes(dtsPadrao);
}

void TfrmTabePreco::alteraCheckModalidade()
{
    Field *f = dbgPrecoHora->selectedField();
    if (!f || !modalityColumns.contains(f->name()) || !hasRows(cdsPrecoHora))
        return;
    if (!isEditing(cdsPrecoHora))
        cdsPrecoHora->edit();
    f->setAsString(f->asString() == QLatin1String("N") ? QStringLiteral("S") : QStringLiteral("N"));
}

// The consumer types linked to the branch, or all of them when none is.
void TfrmTabePreco::dbgPrecoHoraEditButtonClick()
{
    adqTipoConsFili->close();
    adqTipoConsFili->setParam(QStringLiteral("P_CDFILIAL"), medCdFilial->text());
    adqTipoConsFili->open();
    DataSource *source = dtsTipoConsFili;
    if (adqTipoConsFili->isEmpty()) {
        adqTipoCons->close();
        adqTipoCons->setParam(QStringLiteral("P_CDTIPOCONS"), QString());
        adqTipoCons->setParam(QStringLiteral("P_TCDTIPOCONS"), QStringLiteral("T"));
        adqTipoCons->open();
        source = dtsTipoCons;
    }
    const QString title = msgPadrao.Msg(QStringLiteral("TpCons")) + QLatin1Char('|') +
                          msgPadrao.Msg(QStringLiteral("TpConsNCad"));
    if (!HostUi::instance().pesquisar(*source, title))
        return;
    const ClientDataSet *chosen = source->dataSet();
    cdsPrecoHora->fieldByName(u"CDTIPOCONSPD")
        .setAsString(chosen->fieldByName(u"CDTIPOCONS").asString());
    cdsPrecoHora->fieldByName(u"NMTIPOCONS")
        .setAsString(chosen->fieldByName(u"NMTIPOCONS").asString());
}

// ---------------------------------------------------------------- painting

// Rows outside their validity today are red; the consumer type shows its
// name; the modality flags are drawn as check boxes.
void TfrmTabePreco::drawPrecoHoraCell(DBGrid &grid, QPainter &painter, const QRect &rect,
                                      DBGridColumn &column, int row, DBGrid::DrawState state)
{
    const bool valid =
        pricetable::inForce(wallClockToday(), grid.valueAt(row, u"DTINIVALPREC").toDateTime(),
                            grid.valueAt(row, u"DTFINVALPREC").toDateTime());
    const bool selected = state.testFlag(DBGrid::Selected);
    const QPalette &pal = grid.palette();
    painter.fillRect(rect, selected ? pal.color(QPalette::Highlight) : grid.color());
    if (selected)
        painter.setPen(pal.color(QPalette::HighlightedText));
    else
        painter.setPen(valid ? QColor(Qt::black) : QColor(Qt::red));

    const QString &name = column.fieldName();
    if (modalityColumns.contains(name)) {
        const QPixmap &image =
            grid.valueAt(row, name).toString() == QLatin1String("S") ? imgCheck : imgUncheck;
        painter.drawPixmap(rect.left() + 10, rect.top() + (rect.height() - image.height()) / 2,
                           image);
    } else if (name == QLatin1String("CDTIPOCONSPD")) {
        const QString code = grid.valueAt(row, name).toString();
        QString text = grid.valueAt(row, u"NMTIPOCONS").toString();
        if (selected && grid.editorActive())
            text = code;
        else if (code == QLatin1String("T"))
            text = msgPadrao.Msg(QStringLiteral("Todos"));
        grid.drawCellText(painter, rect, text, Qt::AlignLeft | Qt::AlignVCenter, 3);
    } else {
        const Field *f = column.field();
        const bool number = f && f->type() == FieldType::Float;
        grid.drawCellText(painter, rect, grid.editTextAt(row, name),
                          (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, 2);
    }
    if (state.testFlag(DBGrid::Focused))
        grid.drawFocusRect(painter, rect);
}

} // namespace prx
