#include "PriceList.h"

#include "DayPriceText.h"

#include "money/DayPrice.h"
#include "services/HostState.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace prx::pricelist {

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

std::optional<Decimal> decimalAt(const DataPacket &p, int row, int column)
{
    if (p.isNull(row, column))
        return std::nullopt;
    return Decimal::fromDouble(p.real(row, column));
}

// How each price reads in the column titles and where it comes from.
struct PriceInfo
{
    const char16_t *field;
    const char *title;
    int decimals;
};
constexpr PriceInfo kPrices[] = {{u"VRPRECITEM", "Consumidor", 2},
                                 {u"VRPRECITEMCL", "Subsidiado", 2},
                                 {u"VRPRECITEMDLV", "Delivery", 2},
                                 {u"VRPRECITEMCMD", "Comanda", 2},
                                 {u"VRCUSTITEM", "Calculado", 3}};

const PriceInfo &infoOf(Price price)
{
    return kPrices[int(price)];
}

// A sale modality of a differentiated price: its flag, its amount, the item
// price it applies to and the name it is shown with.
struct Modality
{
    const char16_t *flag, *amount;
    Price base;
    const char *label; // empty for the general one
};
constexpr Modality kModalities[] = {{u"IDTPMODGERAL", u"VRPRECODIA", Price::Consumer, ""},
                                    {u"IDTPMODDLV", u"VRPRECODIADLV", Price::Delivery, "Delivery "},
                                    {u"IDTPMODCMD", u"VRPRECODIACMD", Price::OrderPad, "Comanda "}};

} // namespace

PriceList::PriceList(const Options &options, DataPacketPtr items, DataPacketPtr dayPrices)
    : m_options(options), m_items(std::move(items)), m_days(std::move(dayPrices)), m_mask(DBPict(0))
{
    if (!m_items)
        throw std::runtime_error("O servidor não devolveu os itens da vigência.");
    const DataPacket &it = *m_items;
    m_c.tree = columnOf(it, u"CDARVPROD");
    m_c.name = columnOf(it, u"NMPRODUTO");
    m_c.product = columnOf(it, u"CDPRODUTO");
    m_c.promotion = columnOf(it, u"IDPRODPROMOC");
    m_c.subsidy = columnOf(it, u"VRPRECITEMCL");
    for (int p = 0; p < 5; ++p)
        m_c.price[p] = columnOf(it, QStringView(kPrices[p].field));

    m_rows.reserve(size_t(it.rowCount()));
    for (int r = 0; r < it.rowCount(); ++r) {
        if (m_options.onlyPromotional && it.stringView(r, m_c.promotion) != u"S")
            continue;
        if (m_options.onlyPriced && !hasListedPrice(r))
            continue;
        m_rows.push_back(r);
    }
    if (m_options.orderByName) {
        QCollator collator(QLocale(QLocale::Portuguese, QLocale::Brazil));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        // Stable: equal names keep the server's order, by code.
        std::stable_sort(m_rows.begin(), m_rows.end(), [&](int a, int b) {
            return collator.compare(it.stringView(a, m_c.name), it.stringView(b, m_c.name)) < 0;
        });
    }

    if (m_options.dayPrices && m_days) {
        const DataPacket &d = *m_days;
        const int product = columnOf(d, u"CDPRODUTO"), parent = columnOf(d, u"CDPRPAITABPR");
        // Only a product's own prices; a component's belong to its composite.
        for (int r = 0; r < d.rowCount(); ++r) {
            if (d.stringView(r, product) == d.stringView(r, parent))
                m_dayRows[d.string(r, product)].append(r);
        }
        // Read in the order of the week: every day first, Sunday to
        // Saturday, the eve of a holiday, the holiday; then by hour and
        // consumer type, everyone first.
        const int day = columnOf(d, u"NRDIASEMANPR"), hour = columnOf(d, u"HRINIPRECDIA"),
                  consumer = columnOf(d, u"CDTIPOCONSPD");
        auto dayRank = [](QStringView code) {
            static const QString order = QStringLiteral("T1234567VF");
            const qsizetype at = code.isEmpty() ? -1 : order.indexOf(code.front());
            return at < 0 ? int(order.size()) : int(at);
        };
        auto consumerKey = [](QStringView code) {
            return code == u"T" ? QString() : code.toString();
        };
        for (QList<int> &rows : m_dayRows) {
            std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
                const int da = dayRank(d.stringView(a, day)), db = dayRank(d.stringView(b, day));
                if (da != db)
                    return da < db;
                const int byHour = d.stringView(a, hour).compare(d.stringView(b, hour));
                if (byHour != 0)
                    return byHour < 0;
                return consumerKey(d.stringView(a, consumer)) <
                       consumerKey(d.stringView(b, consumer));
            });
        }
    }
}

bool PriceList::hasListedPrice(int item) const
{
    for (Price p : m_options.prices) {
        if (!m_items->isNull(item, m_c.price[int(p)]))
            return true;
    }
    return false;
}

QString PriceList::priceTitle(Price price)
{
    return QString::fromUtf8(infoOf(price).title);
}

QString PriceList::priceCell(int item, Price price) const
{
    const std::optional<Decimal> v = decimalAt(*m_items, item, m_c.price[int(price)]);
    return v ? moneyText(*v, infoOf(price).decimals) : QString();
}

int PriceList::dayPriceCount(int row) const
{
    if (m_dayRows.isEmpty())
        return 0;
    const auto found = m_dayRows.constFind(m_items->string(m_rows[size_t(row)], m_c.product));
    return found == m_dayRows.cend() ? 0 : int(found->size());
}

void PriceList::rowText(int row, report::PagedTableReport::RowText *out) const
{
    const int item = m_rows[size_t(row)];
    const QString tree = m_items->string(item, m_c.tree);
    out->cells << (m_mask.isEmpty() ? tree : m_mask.format(tree))
               << m_items->string(item, m_c.name);
    for (Price p : m_options.prices)
        out->cells << priceCell(item, p);
    if (!m_dayRows.isEmpty())
        out->notes = dayPriceLines(row);
}

QStringList PriceList::dayPriceLines(int row) const
{
    const int item = m_rows[size_t(row)];
    QStringList lines;
    for (int day : m_dayRows.value(m_items->string(item, m_c.product)))
        lines << dayPriceLine(item, day);
    return lines;
}

// "Sábado 18:00–22:00, Todos, −10 %: 8,91": the day, the hours, the consumer
// type, then for each modality the price takes the change and the price it
// gives, computed from the item's prices as the price table screen does.
QString PriceList::dayPriceLine(int item, int day) const
{
    const DataPacket &d = *m_days;
    auto text = [&d, day](QStringView name) {
        const int c = d.indexOf(name);
        return c < 0 ? QStringView() : d.stringView(day, c);
    };
    QString line = dayName(text(u"NRDIASEMANPR")) + u' ' +
                   hourRange(text(u"HRINIPRECDIA"), text(u"HRFINPRECDIA")) + QStringLiteral(", ");
    const QStringView consumer = text(u"CDTIPOCONSPD");
    const QStringView consumerName = text(u"NMTIPOCONS");
    if (consumer == u"T" || consumer.isEmpty())
        line += QStringLiteral("Todos");
    else
        line += consumerName.isEmpty() ? consumer.toString() : consumerName.toString();

    // Anything but "V" is a percentage, anything but "A" a discount.
    const dayprice::Rule rule{text(u"IDPERVALORPR") != u"V", text(u"IDDESCACREPR") != u"A"};
    const Decimal subsidy = decimalAt(*m_items, item, m_c.subsidy).value_or(Decimal());
    for (const Modality &m : kModalities) {
        const int amountColumn = d.indexOf(m.amount);
        if (text(m.flag) != u"S" || amountColumn < 0 || d.isNull(day, amountColumn))
            continue;
        const Decimal amount = Decimal::fromDouble(d.real(day, amountColumn));
        // The base of a modality is the item's price for it plus the subsidy.
        const Decimal base =
            decimalAt(*m_items, item, m_c.price[int(m.base)]).value_or(Decimal()) + subsidy;
        line += QStringLiteral(", ") + QString::fromUtf8(m.label) +
                changeText(amount, rule.percentage, rule.discount) + QStringLiteral(": ") +
                moneyText(dayprice::priceFor(base, amount, rule));
    }

    // Dates of their own, when they are not the period's.
    const int from = d.indexOf(u"DTINIVALPREC"), to = d.indexOf(u"DTFINVALPREC");
    const QDate start = from >= 0 && !d.isNull(day, from) ? d.dateTime(day, from).date() : QDate();
    const QDate end = to >= 0 && !d.isNull(day, to) ? d.dateTime(day, to).date() : QDate();
    if ((start.isValid() && start != m_options.periodStart.date()) ||
        (end.isValid() && end != m_options.periodEnd.date())) {
        line += QStringLiteral(" (de %1 a %2)")
                    .arg(start.toString(u"dd/MM/yyyy"), end.toString(u"dd/MM/yyyy"));
    }
    return line;
}

report::PagedTableReport PriceList::report(const QString &issued) const
{
    const Options &o = m_options;
    report::PagedTableReport rel(QStringLiteral("Lista de Preços"));
    auto named = [](const QString &code, const QString &name) {
        return name.isEmpty() ? code : code + QStringLiteral(" - ") + name;
    };
    rel.addParameter(QStringLiteral("Filial"), named(o.branch, o.branchName));
    rel.addParameter(QStringLiteral("Tabela"), named(o.table, o.tableName));
    const QString start = o.periodStart.toString(u"dd/MM/yyyy");
    rel.addParameter(QStringLiteral("Vigência"),
                     o.periodEnd.isValid()
                         ? start + QStringLiteral(" a ") + o.periodEnd.toString(u"dd/MM/yyyy")
                         : start + QStringLiteral(" em diante"));
    rel.addParameter(QStringLiteral("Ordem"),
                     o.orderByName ? QStringLiteral("Nome") : QStringLiteral("Código"));
    QStringList prices;
    for (Price p : o.prices)
        prices << priceTitle(p);
    rel.addParameter(QStringLiteral("Preços"), prices.join(QStringLiteral(", ")));
    rel.addParameter(QStringLiteral("Preços diferenciados"),
                     o.dayPrices ? QStringLiteral("listados sob cada produto")
                                 : QStringLiteral("não listados"));
    QStringList only;
    if (o.onlyPromotional)
        only << QStringLiteral("em promoção");
    if (o.onlyPriced)
        only << QStringLiteral("com preço");
    rel.addParameter(QStringLiteral("Produtos"),
                     only.isEmpty()
                         ? QStringLiteral("todos")
                         : QStringLiteral("somente ") + only.join(QStringLiteral(" e ")));
    rel.setIssued(issued);

    const int codeWidth = 11, priceWidth = 12;
    QList<report::PagedTableReport::Column> columns{
        {QStringLiteral("Código"), codeWidth, false},
        {QStringLiteral("Produto"), 100 - codeWidth - priceWidth * int(o.prices.size()), false}};
    for (Price p : o.prices)
        columns.append({priceTitle(p), priceWidth, true});
    rel.setColumns(columns);
    rel.setRows(
        rowCount(), [this](int row, report::PagedTableReport::RowText *out) { rowText(row, out); },
        [this](int row) { return dayPriceCount(row); });
    rel.setClosingLine(
        QStringLiteral("Total de produtos: %1")
            .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(rowCount())));
    return rel;
}

} // namespace prx::pricelist
