#include "shelf/ShelfChangeList.h"

#include "money/Decimal.h"
#include "money/PriceInForce.h"
#include "services/ProductCode.h"

#include <stdexcept>

namespace prx::shelf {

namespace {

int columnOf(const DataPacket &packet, QStringView name)
{
    const int c = packet.indexOf(name);
    if (c < 0) {
        throw std::runtime_error(
            QStringLiteral("O servidor não enviou o campo %1.").arg(name).toStdString());
    }
    return c;
}

QString money(const DataPacket &p, int row, int column)
{
    return p.isNull(row, column) ? QStringLiteral("-")
                                 : inforce::moneyText(Decimal::fromDouble(p.real(row, column)));
}

} // namespace

ShelfChangeList::ShelfChangeList(const QVariant &answer)
{
    const QVariantList parts = answer.toList();
    m_rows = parts.value(0).value<DataPacketPtr>();
    m_summary = parts.value(1).value<DataPacketPtr>();
    if (!m_rows || !m_summary || m_summary->rowCount() != 1)
        throw std::runtime_error("O servidor não devolveu as alterações de preço.");
    const DataPacket &r = *m_rows;
    m_product = columnOf(r, u"CDPRODUTO");
    m_tree = columnOf(r, u"CDARVPROD");
    m_name = columnOf(r, u"NMPRODUTO");
    m_before = columnOf(r, u"VRPRECOANT");
    m_after = columnOf(r, u"VRPRECONOVO");
    m_kind = columnOf(r, u"IDALTERACAO");
    m_ruleBefore = columnOf(r, u"DSREGRAANT");
    m_ruleAfter = columnOf(r, u"DSREGRANOVA");
}

QString ShelfChangeList::kindText(QStringView code)
{
    if (code == u"A")
        return QStringLiteral("Aumento");
    if (code == u"B")
        return QStringLiteral("Redução");
    if (code == u"I")
        return QStringLiteral("Passa a vender");
    if (code == u"E")
        return QStringLiteral("Deixa de vender");
    return code.toString();
}

void ShelfChangeList::rowText(int row, report::PagedTableReport::RowText *out) const
{
    const DataPacket &r = *m_rows;
    // A product without a tree code shows its own code, never an empty cell.
    const QString tree = r.string(row, m_tree);
    out->cells = {tree.isEmpty() ? r.string(row, m_product) : productCodeText(tree),
                  r.string(row, m_name), money(r, row, m_before), money(r, row, m_after),
                  kindText(r.stringView(row, m_kind))};
    if (m_showRules) {
        out->notes = {QStringLiteral("Antes: %1").arg(r.string(row, m_ruleBefore)),
                      QStringLiteral("Depois: %1").arg(r.string(row, m_ruleAfter))};
    }
}

QString ShelfChangeList::summaryText(QStringView field) const
{
    return m_summary->string(0, columnOf(*m_summary, field));
}

QString ShelfChangeList::branch() const
{
    return summaryText(u"CDFILIAL");
}

QString ShelfChangeList::table() const
{
    return summaryText(u"CDTABEPREC");
}

QDateTime ShelfChangeList::from() const
{
    return m_summary->dateTime(0, columnOf(*m_summary, u"DTDE"));
}

QDateTime ShelfChangeList::to() const
{
    return m_summary->dateTime(0, columnOf(*m_summary, u"DTATE"));
}

QString ShelfChangeList::fromPeriod() const
{
    return summaryText(u"DSPERIODODE");
}

QString ShelfChangeList::toPeriod() const
{
    return summaryText(u"DSPERIODOATE");
}

report::PagedTableReport ShelfChangeList::report(const QString &tableLabel,
                                                 const QString &issued) const
{
    report::PagedTableReport rel(QStringLiteral("Alterações de preço para etiquetas"));
    rel.addParameter(QStringLiteral("Filial"), branch());
    rel.addParameter(QStringLiteral("Tabela"), tableLabel.isEmpty() ? table() : tableLabel);
    rel.addParameter(QStringLiteral("De"), QStringLiteral("%1 - %2").arg(
                                               from().toString(u"dd/MM/yyyy HH:mm"), fromPeriod()));
    rel.addParameter(QStringLiteral("Até"),
                     QStringLiteral("%1 - %2").arg(to().toString(u"dd/MM/yyyy HH:mm"), toPeriod()));
    rel.addParameter(QStringLiteral("Preço"),
                     QStringLiteral("vigente na modalidade geral, para todos os tipos de "
                                    "consumidor"));
    rel.setIssued(issued);
    rel.setColumns({{QStringLiteral("Código"), 14, false},
                    {QStringLiteral("Produto"), 41, false},
                    {QStringLiteral("Preço anterior"), 16, true},
                    {QStringLiteral("Preço novo"), 14, true},
                    {QStringLiteral("Alteração"), 15, false}});
    if (m_showRules) {
        rel.setRows(
            rowCount(),
            [this](int row, report::PagedTableReport::RowText *out) { rowText(row, out); },
            [](int) { return 2; });
    } else {
        rel.setRows(rowCount(),
                    [this](int row, report::PagedTableReport::RowText *out) { rowText(row, out); });
    }
    rel.setClosingLine(
        QStringLiteral("Total de produtos com alteração de preço: %1").arg(rowCount()));
    return rel;
}

} // namespace prx::shelf
