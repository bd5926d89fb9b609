#include "sheet/PeriodSheet.h"

namespace prx::sheet {

const QList<SheetColumn> &itemColumns()
{
    static const QList<SheetColumn> columns = {
        {QStringLiteral("Código"), QStringLiteral("CDPRODUTO"), CellKind::Text, 12},
        {QStringLiteral("Produto"), QStringLiteral("CDARVPROD"), CellKind::Text, 14},
        {QStringLiteral("Nome"), QStringLiteral("NMPRODUTO"), CellKind::Text, 40},
        {QStringLiteral("Código de Barra"), QStringLiteral("CDBARPRODUTO"), CellKind::Text, 16},
        {QStringLiteral("Preço"), QStringLiteral("VRPRECITEM"), CellKind::Money, 12},
        {QStringLiteral("Preço Subs."), QStringLiteral("VRPRECITEMCL"), CellKind::Money, 12},
        {QStringLiteral("Pr. Delivery"), QStringLiteral("VRPRECITEMDLV"), CellKind::Money, 12},
        {QStringLiteral("Pr. Comanda"), QStringLiteral("VRPRECITEMCMD"), CellKind::Money, 12},
        {QStringLiteral("Pr. Sugerido"), QStringLiteral("VRPRESUGITEM"), CellKind::Money, 12},
        {QStringLiteral("Pr. Calculado"), QStringLiteral("VRCUSTITEM"), CellKind::Money, 13},
        {QStringLiteral("Pr. Variável"), QStringLiteral("IDPRECVARIA"), CellKind::Flag, 11},
        {QStringLiteral("Promoção"), QStringLiteral("IDPRODPROMOC"), CellKind::Flag, 10},
        {QStringLiteral("Hora Inicial"), QStringLiteral("HRINIVENPROD"), CellKind::Hour, 11},
        {QStringLiteral("Hora Final"), QStringLiteral("HRFIMVENPROD"), CellKind::Hour, 10}};
    return columns;
}

const QList<SheetColumn> &dayPriceColumns()
{
    static const QList<SheetColumn> columns = {
        {QStringLiteral("Código"), QStringLiteral("CDPRODUTO"), CellKind::Text, 12},
        {QStringLiteral("Produto Pai"), QStringLiteral("CDPRPAITABPR"), CellKind::Text, 12},
        {QStringLiteral("Dia"), QStringLiteral("NRDIASEMANPR"), CellKind::Text, 6},
        {QStringLiteral("Percentual/Valor"), QStringLiteral("IDPERVALORPR"), CellKind::Text, 10},
        {QStringLiteral("Desconto/Acréscimo"), QStringLiteral("IDDESCACREPR"), CellKind::Text, 10},
        {QStringLiteral("Hora Inicial"), QStringLiteral("HRINIPRECDIA"), CellKind::Hour, 11},
        {QStringLiteral("Hora Final"), QStringLiteral("HRFINPRECDIA"), CellKind::Hour, 10},
        {QStringLiteral("Valor"), QStringLiteral("VRPRECODIA"), CellKind::Money, 12},
        {QStringLiteral("Início Validade"), QStringLiteral("DTINIVALPREC"), CellKind::Date, 12},
        {QStringLiteral("Fim Validade"), QStringLiteral("DTFINVALPREC"), CellKind::Date, 12},
        {QStringLiteral("Tipo Consumidor"), QStringLiteral("CDTIPOCONSPD"), CellKind::Text, 10},
        {QStringLiteral("Preço"), QStringLiteral("PRECO"), CellKind::Money, 12},
        {QStringLiteral("Preço Dlv."), QStringLiteral("VRPRECODIADLV"), CellKind::Money, 12},
        {QStringLiteral("Preço Cmd"), QStringLiteral("VRPRECODIACMD"), CellKind::Money, 12},
        // Which modalities take part and the "Visualiza" flag: without them
        // a sheet read back could not say what it was written from.
        {QStringLiteral("Outras Mod."), QStringLiteral("IDTPMODGERAL"), CellKind::Flag, 11},
        {QStringLiteral("Mod Delivery"), QStringLiteral("IDTPMODDLV"), CellKind::Flag, 12},
        {QStringLiteral("Mod Comanda"), QStringLiteral("IDTPMODCMD"), CellKind::Flag, 12},
        {QStringLiteral("Visualiza"), QStringLiteral("IDVISUACUPOM"), CellKind::Flag, 9}};
    return columns;
}

namespace {

// Rows of the packet in the columns' order; a column the packet lacks stays
// empty.
Sheet sheetOf(const QString &name, const QList<SheetColumn> &columns, const ColumnTable &packet)
{
    Sheet sheet{name, columns, {}};
    QList<int> source;
    for (const SheetColumn &c : columns)
        source << packet.indexOf(c.field);
    sheet.rows.reserve(packet.rowCount());
    for (int r = 0; r < packet.rowCount(); ++r) {
        QVariantList row;
        row.reserve(columns.size());
        for (int c : std::as_const(source))
            row << (c >= 0 ? packet.value(r, c) : QVariant());
        sheet.rows << row;
    }
    return sheet;
}

} // namespace

QList<Sheet> periodSheets(const ColumnTable &items, const ColumnTable *dayPrices)
{
    QList<Sheet> sheets{sheetOf(QStringLiteral("Itens"), itemColumns(), items)};
    if (dayPrices)
        sheets << sheetOf(QStringLiteral("Preços diferenciados"), dayPriceColumns(), *dayPrices);
    return sheets;
}

} // namespace prx::sheet
