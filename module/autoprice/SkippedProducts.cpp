#include "autoprice/SkippedProducts.h"

#include "dataset/ClientDataSet.h"
#include "dataset/ColumnTable.h"
#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "report/TableReport.h"
#include "services/EditMask.h"
#include "services/HostState.h"
#include "services/HostUi.h"
#include "services/Messages.h"

#include <QDateTime>

namespace prx::autoprice {

namespace {

report::TableReport skippedReport(const DataPacket &skipped, const QString &title)
{
    report::TableReport rel(title);
    TfrmTabePreco &screen = Cli_prx51700::mainScreen();
    ClientDataSet &period = *screen.cdsTabeVend;
    rel.addParameter(QStringLiteral("Filial"), period.fieldByName(u"CDFILIAL").asString());
    rel.addParameter(QStringLiteral("Tabela"), period.fieldByName(u"CDTABEPREC").asString());
    rel.addParameter(QStringLiteral("Vigência"),
                     screen.cdsTabeVendDTINIVGPREC->asDateTime().toString(u"dd/MM/yyyy"));
    rel.setIssued(QStringLiteral("Emitido em %1")
                      .arg(QDateTime::currentDateTime().toString(u"dd/MM/yyyy HH:mm")));
    rel.setColumns({{QStringLiteral("Código"), 18, false},
                    {QStringLiteral("Nome"), 42, true},
                    {QStringLiteral("Motivo"), 40, true}});
    const EditMask mask(DBPict(0));
    const int code = skipped.indexOf(u"CDARVPROD"), name = skipped.indexOf(u"NMPRODUTO"),
              reason = skipped.indexOf(u"DSMOTIVO"), product = skipped.indexOf(u"CDPRODUTO");
    auto text = [&skipped](int row, int column) {
        return column >= 0 && !skipped.isNull(row, column) ? skipped.string(row, column)
                                                           : QString();
    };
    for (int r = 0; r < skipped.rowCount(); ++r) {
        // A code that is no product has no tree code: its own code stands in.
        const QString tree = text(r, code);
        rel.addRow({tree.isEmpty()   ? text(r, product)
                    : mask.isEmpty() ? tree
                                     : mask.format(tree),
                    text(r, name), text(r, reason)});
    }
    rel.setClosingLine(QStringLiteral("Total de produtos: %1").arg(skipped.rowCount()));
    return rel;
}

} // namespace

int tellSkipped(const QVariant &answer, const TMessages &messages)
{
    const QVariantList parts = answer.toList();
    const int count = parts.value(1).toInt();
    if (count <= 0)
        return 0;
    const QString question = count == 1 ? messages.Msg(QStringLiteral("SEMPRECO1"))
                                        : messages.Msg(QStringLiteral("SEMPRECON")).arg(count);
    if (HostUi::instance().messageBox(question, MsgKind::Warning, {MsgYes, MsgNo}) != MsgYes)
        return count;
    const DataPacketPtr skipped = parts.value(2).value<DataPacketPtr>();
    if (skipped)
        skippedReport(*skipped, messages.Msg(QStringLiteral("REL_SEMPRECO"))).preview();
    return count;
}

} // namespace prx::autoprice
