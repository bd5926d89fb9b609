#include "sheet/SheetImport.h"

#include "sheet/PeriodSheet.h"
#include "sheet/SheetNumber.h"

#include <QRegularExpression>

namespace prx::sheet {

namespace {

const char *const kPriceFields[PriceCount] = {"VRPRECITEM",    "VRPRECITEMCL", "VRPRECITEMDLV",
                                              "VRPRECITEMCMD", "VRPRESUGITEM", "VRCUSTITEM"};

// Typed prices may not be negative; a suggested or calculated price may.
bool isTypedPrice(int price)
{
    return price <= OrderPad;
}

// Consumer and client prices are never empty on a saved row.
bool emptyMeansZero(int price)
{
    return price == Consumer || price == Client;
}

QString flagOrNo(const QString &flag)
{
    return flag.isEmpty() ? QStringLiteral("N") : flag;
}

std::optional<Decimal> effective(int price, const std::optional<Decimal> &value)
{
    if (!value && emptyMeansZero(price))
        return Decimal(0);
    return value;
}

QString titleOf(const QString &field)
{
    for (const SheetColumn &c : itemColumns()) {
        if (c.field == field)
            return c.title;
    }
    return field;
}

QString shown(int price, const std::optional<Decimal> &value)
{
    return value ? formatNumber(*value, price == Calculated ? 3 : 2) : QStringLiteral("(vazio)");
}

QString hourShown(const QString &hour)
{
    return hour.isEmpty() ? QStringLiteral("(vazio)") : hour.left(2) + u':' + hour.mid(2);
}

// "S", "N", empty (no value) or null QString when the text is not a flag.
std::optional<QString> parseFlag(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty())
        return QString();
    if (t == u"sim" || t == u"s")
        return QStringLiteral("S");
    if (t == u"não" || t == u"nao" || t == u"n")
        return QStringLiteral("N");
    return std::nullopt;
}

// Where each known field sits in the sheet (-1 when absent).
struct Header
{
    QHash<QString, int> at;
    int column(const QString &field) const { return at.value(field, -1); }
};

// The sheet's column of each field the rows are read by, looked up once.
struct Columns
{
    int code = -1;
    std::array<int, PriceCount> prices{};
    int variable = -1, promotion = -1, startHour = -1, endHour = -1;
};

bool readHeader(const QStringList &titles, Header *header, QString *error)
{
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const QString t = titles[i].trimmed();
        // The differentiated prices' sheet shares "Código", "Preço" and the
        // hours with this one: read as items it would overwrite prices and
        // sale windows with its own.
        if (t.compare(QStringLiteral("Percentual/Valor"), Qt::CaseInsensitive) == 0) {
            *error = QStringLiteral("Esta é a planilha dos preços diferenciados; a importação lê "
                                    "a planilha dos itens.");
            return false;
        }
        for (const SheetColumn &c : itemColumns()) {
            if (t.compare(c.title, Qt::CaseInsensitive) != 0 &&
                t.compare(c.field, Qt::CaseInsensitive) != 0)
                continue;
            if (header->at.contains(c.field)) {
                *error = QStringLiteral("A coluna \"%1\" aparece mais de uma vez na planilha.")
                             .arg(c.title);
                return false;
            }
            header->at.insert(c.field, int(i));
        }
    }
    if (header->column(QStringLiteral("CDPRODUTO")) < 0) {
        *error = QStringLiteral("A planilha não tem a coluna \"Código\" do produto na primeira "
                                "linha.");
        return false;
    }
    return true;
}

// The product a code of the sheet means: the code itself, or, when a
// spreadsheet dropped its leading zeros, the one product whose code it is
// without them.
QString findProduct(const QString &code, const QHash<QString, PeriodItem> &items,
                    const QHash<QString, QString> &withoutZeros)
{
    if (items.contains(code))
        return code;
    QString stripped = code;
    while (stripped.startsWith(u'0'))
        stripped.remove(0, 1);
    return withoutZeros.value(stripped);
}

} // namespace

QString parseHour(const QString &text)
{
    if (text.isEmpty())
        return {};
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::00)?$|^(\\d{2})(\\d{2})$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    const int h = (m.capturedLength(1) ? m.captured(1) : m.captured(3)).toInt();
    const int min = (m.capturedLength(2) ? m.captured(2) : m.captured(4)).toInt();
    if (h > 23 || min > 59)
        return {};
    return QStringLiteral("%1%2").arg(h, 2, 10, QLatin1Char('0')).arg(min, 2, 10, QLatin1Char('0'));
}

QString priceField(int price)
{
    static const QStringList names = [] {
        QStringList out;
        for (const char *f : kPriceFields)
            out << QString::fromLatin1(f);
        return out;
    }();
    return names[price];
}

bool ItemPrices::sameAs(const ItemPrices &o) const
{
    for (int p = 0; p < PriceCount; ++p) {
        if (effective(p, prices[p]) != effective(p, o.prices[p]))
            return false;
    }
    return flagOrNo(variable) == flagOrNo(o.variable) &&
           flagOrNo(promotion) == flagOrNo(o.promotion) && startHour == o.startHour &&
           endHour == o.endHour;
}

int ImportPlan::count(LineOutcome outcome) const
{
    return int(std::count_if(lines.begin(), lines.end(),
                             [outcome](const ImportLine &l) { return l.outcome == outcome; }));
}

ImportPlan planImport(const SheetRows &rows, const QList<int> &lines,
                      const QHash<QString, PeriodItem> &items)
{
    ImportPlan plan;
    Header header;
    if (rows.isEmpty()) {
        plan.fileError = QStringLiteral("A planilha está vazia.");
        return plan;
    }
    if (!readHeader(rows.first(), &header, &plan.fileError))
        return plan;

    QHash<QString, QString> withoutZeros;
    for (auto it = items.begin(); it != items.end(); ++it) {
        QString stripped = it.key();
        while (stripped.startsWith(u'0'))
            stripped.remove(0, 1);
        // A stripped code two products share matches neither.
        withoutZeros.insert(stripped, withoutZeros.contains(stripped) ? QString() : it.key());
    }
    QHash<QString, int> seen; // product -> line of its first row
    Columns cols;
    cols.code = header.column(QStringLiteral("CDPRODUTO"));
    for (int p = 0; p < PriceCount; ++p)
        cols.prices[p] = header.column(priceField(p));
    cols.variable = header.column(QStringLiteral("IDPRECVARIA"));
    cols.promotion = header.column(QStringLiteral("IDPRODPROMOC"));
    cols.startHour = header.column(QStringLiteral("HRINIVENPROD"));
    cols.endHour = header.column(QStringLiteral("HRFIMVENPROD"));
    plan.lines.reserve(rows.size() - 1);

    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList &cells = rows[r];
        auto cell = [&](int c) -> std::optional<QString> {
            if (c < 0)
                return std::nullopt;
            return cells.value(c).trimmed();
        };
        ImportLine line;
        line.line = lines.value(r, int(r) + 1);
        line.product = *cell(cols.code);
        QStringList refusals;
        // An unquoted decimal comma in a file separated by commas splits a
        // price in two and shifts every cell after it.
        if (cells.size() > rows.first().size()) {
            refusals << QStringLiteral("a linha tem mais colunas que o cabeçalho (um número com "
                                       "vírgula sem aspas?)");
        }

        const QString product = findProduct(line.product, items, withoutZeros);
        if (line.product.isEmpty()) {
            refusals << QStringLiteral("código do produto não informado");
        } else if (product.isEmpty()) {
            refusals << QStringLiteral("produto desconhecido no período");
        } else if (seen.contains(product)) {
            refusals << QStringLiteral("produto repetido (já na linha %1)").arg(seen[product]);
        } else {
            seen.insert(product, line.line);
        }
        const PeriodItem item = items.value(product);
        if (!product.isEmpty()) {
            line.product = product;
            line.name = item.name;
        }
        ItemPrices next = item.stored;

        for (int p = 0; p < PriceCount; ++p) {
            const std::optional<QString> text = cell(cols.prices[p]);
            if (!text)
                continue;
            bool ok = false;
            std::optional<Decimal> value = parseNumber(*text, &ok);
            if (!ok) {
                refusals << QStringLiteral("%1: número inválido \"%2\"")
                                .arg(titleOf(priceField(p)), *text);
                continue;
            }
            if (value && isTypedPrice(p) && value->isNegative()) {
                refusals << QStringLiteral("%1: valor negativo").arg(titleOf(priceField(p)));
                continue;
            }
            if (value && value->abs() >= kPriceLimit) {
                refusals << QStringLiteral("%1: valor acima do limite").arg(titleOf(priceField(p)));
                continue;
            }
            if (value && value->rounded(2) != *value && value != item.stored.prices[p]) {
                refusals << QStringLiteral("%1: mais de duas casas decimais \"%2\"")
                                .arg(titleOf(priceField(p)), *text);
                continue;
            }
            next.prices[p] = value;
        }
        for (const auto &[field, column, target] :
             {std::tuple{QStringLiteral("IDPRECVARIA"), cols.variable, &next.variable},
              std::tuple{QStringLiteral("IDPRODPROMOC"), cols.promotion, &next.promotion}}) {
            if (const std::optional<QString> text = cell(column)) {
                if (const std::optional<QString> flag = parseFlag(*text))
                    *target = flagOrNo(*flag);
                else
                    refusals << QStringLiteral("%1: informe Sim ou Não, não \"%2\"")
                                    .arg(titleOf(field), *text);
            }
        }
        bool badHour = false;
        for (const auto &[field, column, target] :
             {std::tuple{QStringLiteral("HRINIVENPROD"), cols.startHour, &next.startHour},
              std::tuple{QStringLiteral("HRFIMVENPROD"), cols.endHour, &next.endHour}}) {
            if (const std::optional<QString> text = cell(column)) {
                const QString hour = parseHour(*text);
                badHour = badHour || (!text->isEmpty() && hour.isEmpty());
                if (!text->isEmpty() && hour.isEmpty())
                    refusals
                        << QStringLiteral("%1: hora inválida \"%2\"").arg(titleOf(field), *text);
                else
                    *target = hour;
            }
        }
        if (!badHour && next.startHour.isEmpty() != next.endHour.isEmpty()) {
            refusals << (next.startHour.isEmpty()
                             ? QStringLiteral("Hora Inicial deve ser informada")
                             : QStringLiteral("Hora Final deve ser informada"));
        }

        if (!refusals.isEmpty()) {
            line.outcome = LineOutcome::Refused;
            line.detail = refusals.join(QStringLiteral("; ")) + u'.';
            line.detail[0] = line.detail[0].toUpper();
            plan.lines << line;
            continue;
        }
        if (next.sameAs(item.stored)) {
            ++plan.unchanged;
            continue;
        }
        // A saved row always carries its consumer and client prices and flags.
        for (int p : {int(Consumer), int(Client)})
            next.prices[p] = effective(p, next.prices[p]);
        next.variable = flagOrNo(next.variable);
        next.promotion = flagOrNo(next.promotion);

        QStringList changes;
        for (int p = 0; p < PriceCount; ++p) {
            const auto before = item.priced ? item.stored.prices[p] : std::nullopt;
            if (item.priced ? effective(p, before) != effective(p, next.prices[p])
                            : next.prices[p].has_value()) {
                const QString title = titleOf(priceField(p));
                changes << (item.priced
                                ? QStringLiteral("%1: %2 → %3")
                                      .arg(title, shown(p, before), shown(p, next.prices[p]))
                                : QStringLiteral("%1: %2").arg(title, shown(p, next.prices[p])));
            }
        }
        for (const auto &[field, before, after] :
             {std::tuple{QStringLiteral("IDPRECVARIA"), item.stored.variable, next.variable},
              std::tuple{QStringLiteral("IDPRODPROMOC"), item.stored.promotion, next.promotion}}) {
            if (flagOrNo(before) != after && (item.priced || after != u"N"))
                changes << QStringLiteral("%1: %2").arg(
                    titleOf(field), after == u"S" ? QStringLiteral("Sim") : QStringLiteral("Não"));
        }
        if (item.stored.startHour != next.startHour || item.stored.endHour != next.endHour) {
            changes << QStringLiteral("Horário: %1 a %2")
                           .arg(hourShown(next.startHour), hourShown(next.endHour));
        }
        line.outcome = item.priced ? LineOutcome::Changed : LineOutcome::New;
        line.detail = changes.join(QStringLiteral("; "));
        line.result = next;
        plan.lines << line;
    }
    return plan;
}

ImportPlan planImportText(const QString &csvText, const QHash<QString, PeriodItem> &items)
{
    SheetRows rows;
    QList<int> lines;
    ImportPlan plan;
    if (!readCsv(csvText, &rows, &plan.fileError, &lines))
        return plan;
    return planImport(rows, lines, items);
}

} // namespace prx::sheet
