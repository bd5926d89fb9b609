// The period's items to a spreadsheet and prices back from one.

#include "TfrmTabePreco.h"

#include "services/HostState.h"
#include "services/HostUi.h"
#include "services/UserAction.h"
#include "sheet/PeriodCalls.h"
#include "sheet/SheetFileQuestion.h"
#include "sheet/TfrmPlanilhaPreview.h"

#include <QDir>

namespace prx {

namespace {

sheet::PeriodKey periodKey(const TfrmTabePreco &form)
{
    return {form.cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
            form.cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
            form.cdsTabeVendDTINIVGPREC->asDateTime(), form.cdsFilialCDSEGMER->asString(),
            QString::number(DBPictObj(0).GetTtNiveis())};
}

// A period must be in focus; its items must not be half edited, or what is
// written and read would not be what the screen shows.
void requireQuietPeriod(const TfrmTabePreco &form)
{
    if (!form.cdsTabeVend->isActive() || form.cdsTabeVend->isEmpty())
        MensErro(QStringLiteral("Selecione uma vigência da tabela de preços."), true);
    const ClientDataSet *items = form.cdsItemPreco;
    if (items->isActive() &&
        (items->state() == DataSetState::Edit || items->state() == DataSetState::Insert)) {
        MensErro(QStringLiteral("Confirme ou cancele a alteração do item antes de usar a "
                                "planilha."),
                 true);
    }
}

QString suggestedName(const sheet::PeriodKey &period, const QString &suffix)
{
    return QDir::home().filePath(QStringLiteral("tabela-%1-%2-%3.%4")
                                     .arg(period.branch.trimmed(), period.table.trimmed(),
                                          period.start.date().toString(u"yyyy-MM-dd"), suffix));
}

void inform(const QString &text)
{
    HostUi::instance().messageBox(text, MsgKind::Information, {MsgOk});
}

} // namespace

void TfrmTabePreco::mnuExportarPlanilhaClick()
{
    requireQuietPeriod(*this);
    const sheet::PeriodKey period = periodKey(*this);
    const QString path =
        SheetFileQuestion::ask(this, true, suggestedName(period, QStringLiteral("csv")));
    if (path.isEmpty())
        return;
    const bool dayPrices =
        HostUi::instance().messageBox(QStringLiteral("Incluir os preços diferenciados na "
                                                     "planilha?"),
                                      MsgKind::Confirmation, {MsgYes, MsgNo}) == MsgYes;
    QList<sheet::Sheet> sheets;
    {
        BusyScope busy(6);
        sheets = sheet::readPeriodSheets(
            [this](const QString &method, const QVariantList &args) {
                return serverCall(method, args);
            },
            period, dayPrices);
    }
    QString error;
    if (!sheet::writeSheets(path, sheets, &error))
        MensErro(error, true);
    inform(QStringLiteral("Planilha gravada em %1: %2 itens.")
               .arg(path)
               .arg(sheets.first().rows.size()));
}

// The server checks the file against the period and answers what it would
// change; only when the user confirms that preview does it write, checking
// every row again in the transaction that writes. A workbook is read here,
// into the rows a CSV file gives, so both go through the same checks. Items
// and differentiated prices travel in one call: the server checks the
// differentiated prices against the item prices the file gives and writes
// both or neither.
void TfrmTabePreco::mnuImportarPlanilhaClick()
{
    requireQuietPeriod(*this);
    const sheet::PeriodKey period = periodKey(*this);
    const QString path =
        SheetFileQuestion::ask(this, false, suggestedName(period, QStringLiteral("csv")));
    if (path.isEmpty())
        return;
    if (path.endsWith(u".xls", Qt::CaseInsensitive)) {
        MensErro(QStringLiteral("A importação lê planilhas CSV e XLSX. Salve a planilha como "
                                "pasta de trabalho XLSX e importe esse arquivo."),
                 true);
    }
    QString text, dayText, error;
    if (!sheet::readImportText(path, {}, false, &text, &error))
        MensErro(error, true);
    const bool dayPrices =
        sheet::hasDayPriceSheet(path) &&
        HostUi::instance().messageBox(QStringLiteral("Importar também os preços diferenciados "
                                                     "da planilha?"),
                                      MsgKind::Confirmation, {MsgYes, MsgNo}) == MsgYes;
    if (dayPrices && !sheet::readImportText(path, {}, true, &dayText, &error))
        MensErro(error, true);
    const sheet::ServerCall call = [this](const QString &method, const QVariantList &args) {
        return serverCall(method, args);
    };

    sheet::PeriodImportAnswer preview;
    {
        BusyScope busy(6);
        if (dayPrices)
            preview = sheet::sendPeriodImport(call, period, text, dayText, false);
        else
            preview.items = sheet::sendImport(call, period, text, false);
    }
    TfrmPlanilhaPreview dialog(preview.items, path, this, dayPrices ? &preview.dayPrices : nullptr);
    if (dialog.exec() != QDialog::Accepted)
        return;

    sheet::PeriodImportAnswer written;
    {
        BusyScope busy(1);
        if (dayPrices)
            written = sheet::sendPeriodImport(call, period, text, dayText, true);
        else
            written.items = sheet::sendImport(call, period, text, true);
        AtualizaLocalCache(
            dayPrices ? QStringList{QStringLiteral("ITEMPRECO"), QStringLiteral("ITEMPRECODIA")}
                      : QStringList{QStringLiteral("ITEMPRECO")});
        if (cdsItemPreco->isActive()) {
            loadPrecoHora();
            loadItemPreco();
        }
    }
    inform(QStringLiteral("Planilha importada: %1").arg(sheet::importSummary(written.items)) +
           (dayPrices ? QStringLiteral("\nPreços diferenciados: ") + written.dayPrices.summary()
                      : QString()));
}

} // namespace prx
