#include "sheet/PeriodCalls.h"

#include "sheet/PeriodSheet.h"

#include <stdexcept>

namespace prx::sheet {

namespace {

DataPacketPtr packetOf(const QVariant &payload, const char *method)
{
    DataPacketPtr packet = payload.value<DataPacketPtr>();
    if (!packet)
        throw std::runtime_error(std::string("resposta inesperada de ") + method);
    return packet;
}

QString plural(int n, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many);
}

} // namespace

QList<Sheet> readPeriodSheets(const ServerCall &call, const PeriodKey &period, bool dayPrices)
{
    const DataPacketPtr items =
        packetOf(call(QStringLiteral("GetItemPreco"),
                      {period.branch, period.table, period.segment, period.levels, period.start,
                       QString(), QStringLiteral("T")}),
                 "GetItemPreco");
    DataPacketPtr days;
    if (dayPrices) {
        days = packetOf(
            call(QStringLiteral("GetPrecoHora"), {period.branch, period.table, period.start}),
            "GetPrecoHora");
    }
    return periodSheets(*items, days.get());
}

int ImportAnswer::count(QStringView outcome) const
{
    const int c = lines ? lines->indexOf(u"IDSITUACAO") : -1;
    int n = 0;
    for (int r = 0; c >= 0 && r < lines->rowCount(); ++r)
        n += lines->stringView(r, c) == outcome ? 1 : 0;
    return n;
}

ImportAnswer sendImport(const ServerCall &call, const PeriodKey &period, const QString &csvText,
                        bool apply)
{
    const QVariantList answer =
        call(QStringLiteral("SetItemPrecoPlanilha"),
             {period.branch, period.table, period.start, period.levels, csvText, apply})
            .toList();
    if (answer.size() != 2)
        throw std::runtime_error("resposta inesperada de SetItemPrecoPlanilha");
    return {packetOf(answer[0], "SetItemPrecoPlanilha"), answer[1].toInt()};
}

QString importSummary(const ImportAnswer &answer)
{
    return QStringLiteral("%1, %2, %3, %4.")
        .arg(plural(answer.count(u"N"), QStringLiteral("preço novo"),
                    QStringLiteral("preços novos")),
             plural(answer.count(u"A"), QStringLiteral("alterado"), QStringLiteral("alterados")),
             plural(answer.count(u"R"), QStringLiteral("linha recusada"),
                    QStringLiteral("linhas recusadas")),
             plural(answer.unchanged, QStringLiteral("sem alteração"),
                    QStringLiteral("sem alteração")));
}

} // namespace prx::sheet
