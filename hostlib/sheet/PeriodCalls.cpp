#include "sheet/PeriodCalls.h"

#include "sheet/CsvText.h"
#include "sheet/DayPriceImport.h"
#include "sheet/PeriodSheet.h"
#include "sheet/XlsxReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    if (answer.count(u"N") + answer.count(u"A") + answer.count(u"R") == 0)
        return QStringLiteral("Nenhuma alteração: %1 às da vigência.")
            .arg(plural(answer.unchanged, QStringLiteral("linha igual"),
                        QStringLiteral("linhas iguais")));
    return QStringLiteral("%1, %2, %3, %4.")
        .arg(plural(answer.count(u"N"), QStringLiteral("preço novo"),
                    QStringLiteral("preços novos")),
             plural(answer.count(u"A"), QStringLiteral("alterado"), QStringLiteral("alterados")),
             plural(answer.count(u"R"), QStringLiteral("linha recusada"),
                    QStringLiteral("linhas recusadas")),
             plural(answer.unchanged, QStringLiteral("sem alteração"),
                    QStringLiteral("sem alteração")));
}

QString DayPriceAnswer::summary() const
{
    return dayPriceSummary(added, changed, refused, unchanged);
}

DayPriceAnswer sendDayPriceImport(const ServerCall &call, const PeriodKey &period,
                                  const QString &csvText, bool apply)
{
    const QVariantList answer = call(QStringLiteral("SetPrecoHoraPlanilha"),
                                     {period.branch, period.table, period.start, csvText, apply})
                                    .toList();
    if (answer.size() != 5)
        throw std::runtime_error("resposta inesperada de SetPrecoHoraPlanilha");
    return {packetOf(answer[0], "SetPrecoHoraPlanilha"), answer[1].toInt(), answer[2].toInt(),
            answer[3].toInt(), answer[4].toInt()};
}

PeriodImportAnswer sendPeriodImport(const ServerCall &call, const PeriodKey &period,
                                    const QString &itemsCsv, const QString &dayPricesCsv,
                                    bool apply)
{
    const QVariantList answer =
        call(QStringLiteral("SetPrecoHoraPlanilha"), {period.branch, period.table, period.start,
                                                      dayPricesCsv, apply, itemsCsv, period.levels})
            .toList();
    if (answer.size() != 7)
        throw std::runtime_error("resposta inesperada de SetPrecoHoraPlanilha");
    PeriodImportAnswer out;
    out.dayPrices = {packetOf(answer[0], "SetPrecoHoraPlanilha"), answer[1].toInt(),
                     answer[2].toInt(), answer[3].toInt(), answer[4].toInt()};
    out.items = {packetOf(answer[5], "SetPrecoHoraPlanilha"), answer[6].toInt()};
    return out;
}

namespace {

const QString kDayPriceSheet = QStringLiteral("Preços diferenciados");

// "itens.csv" -> "itens-precos-diferenciados.csv", as the export names it.
QString dayPriceSibling(const QString &path)
{
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-precos-diferenciados.") +
                               (info.suffix().isEmpty() ? QStringLiteral("csv") : info.suffix()));
}

bool readBytes(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("Não foi possível ler o arquivo %1: %2.").arg(path, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    return true;
}

// The differentiated prices' sheet of a workbook: by its name, else the
// second sheet; empty when it has none.
QString dayPriceSheetOf(const QStringList &names)
{
    for (const QString &n : names) {
        if (n.compare(kDayPriceSheet, Qt::CaseInsensitive) == 0)
            return n;
    }
    return names.value(1);
}

} // namespace

bool readImportText(const QString &path, const QString &sheetName, bool dayPrices, QString *text,
                    QString *error)
{
    QString file = path;
    if (dayPrices && !path.endsWith(u".xlsx", Qt::CaseInsensitive) &&
        !QFileInfo(path).completeBaseName().endsWith(u"-precos-diferenciados") &&
        QFileInfo::exists(dayPriceSibling(path)))
        file = dayPriceSibling(path);
    QByteArray bytes;
    if (!readBytes(file, &bytes, error))
        return false;
    const bool workbook = looksLikeZip(bytes) || file.endsWith(u".xlsx", Qt::CaseInsensitive);
    if (!workbook) {
        if (!sheetName.isEmpty()) {
            *error =
                QStringLiteral("O arquivo %1 é CSV: não tem planilhas para escolher.").arg(file);
            return false;
        }
        *text = decodeCsv(bytes);
        return true;
    }
    QString sheet = sheetName;
    if (sheet.isEmpty() && dayPrices) {
        const QStringList names = xlsxSheetNames(bytes, error);
        if (names.isEmpty())
            return false;
        sheet = dayPriceSheetOf(names);
        if (sheet.isEmpty()) {
            *error = QStringLiteral("A pasta de trabalho %1 não tem a planilha dos preços "
                                    "diferenciados.")
                         .arg(file);
            return false;
        }
    }
    return readXlsxAsCsv(bytes, sheet, text, error);
}

bool hasDayPriceSheet(const QString &path)
{
    QByteArray bytes;
    QString error;
    if (QFileInfo::exists(dayPriceSibling(path)) && !path.endsWith(u".xlsx", Qt::CaseInsensitive))
        return true;
    if (!readBytes(path, &bytes, &error) || !looksLikeZip(bytes))
        return false;
    return xlsxSheetNames(bytes, &error).size() > 1;
}

} // namespace prx::sheet
