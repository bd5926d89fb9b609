#include "sheet/DayPriceImport.h"

#include "money/DayPrice.h"
#include "money/PriceInForce.h"
#include "sheet/PeriodSheet.h"
#include "sheet/SheetImport.h"
#include "sheet/SheetNumber.h"

#include <QDate>
#include <QRegularExpression>

namespace prx::sheet {

namespace {

const char16_t *const kFlagFields[ModalityCount] = {u"IDTPMODGERAL", u"IDTPMODDLV", u"IDTPMODCMD"};
const char16_t *const kAmountFields[ModalityCount] = {u"VRPRECODIA", u"VRPRECODIADLV",
                                                      u"VRPRECODIACMD"};

// Lower case without accents: "Terça" and "terca" name one day.
QString plain(const QString &text)
{
    QString out;
    for (QChar c : text.trimmed().normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            out += c.toLower();
    }
    return out;
}

// The stored code of a cell holding either the code or its text; empty for
// an empty cell, a null QString for anything else.
std::optional<QString>
codeOf(const QString &cell,
       std::initializer_list<std::pair<const char16_t *, const char16_t *>> codes)
{
    const QString t = plain(cell);
    if (t.isEmpty())
        return QString();
    for (const auto &[code, text] : codes) {
        if (t == plain(QString::fromUtf16(code)) || t == plain(QString::fromUtf16(text)))
            return QString::fromUtf16(code);
    }
    return std::nullopt;
}

std::optional<QString> dayCode(const QString &cell)
{
    return codeOf(cell, {{u"1", u"Domingo"},
                         {u"2", u"Segunda"},
                         {u"3", u"Terça"},
                         {u"4", u"Quarta"},
                         {u"5", u"Quinta"},
                         {u"6", u"Sexta"},
                         {u"7", u"Sábado"},
                         {u"V", u"Véspera de Feriado"},
                         {u"F", u"Feriado"},
                         {u"T", u"Todos os Dias"}});
}

// "S"/"N" from "Sim", "Não", "S", "N" or a boolean cell; empty for an empty
// cell.
std::optional<QString> flagCode(const QString &cell)
{
    const std::optional<QString> code = codeOf(cell, {{u"S", u"Sim"}, {u"N", u"Não"}});
    if (code)
        return code;
    const QString t = plain(cell);
    if (t == u"verdadeiro" || t == u"true")
        return QStringLiteral("S");
    if (t == u"falso" || t == u"false")
        return QStringLiteral("N");
    return std::nullopt;
}

QString hourShown(const QString &hour)
{
    return hour.left(2) + u':' + hour.mid(2);
}

// "01/02/2026" or "01/02/2026 10:30[:00]" as database text; a null QString
// when the text is no date, empty for an empty cell.
std::optional<QString> dateCode(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QString();
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})(?: (\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QRegularExpressionMatch m = re.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return date.toString(u"yyyy-MM-dd") + u' ' + time.toString(u"HH:mm:ss");
}

QString dateShown(const QString &stored)
{
    if (stored.isEmpty())
        return QStringLiteral("(vazio)");
    const QDate date = QDate::fromString(stored.left(10), u"yyyy-MM-dd");
    const QString time = stored.mid(11, 8);
    return date.toString(u"dd/MM/yyyy") +
           (time.isEmpty() || time == u"00:00:00" ? QString() : u' ' + time);
}

QString money(const std::optional<Decimal> &value)
{
    return value ? formatNumber(*value, 2) : QStringLiteral("(vazio)");
}

// Consumer type codes are kept as the screen adjusts them: digits filled
// with zeros to the code's width.
QString consumerCode(const QString &cell)
{
    const QString t = cell.trimmed();
    if (t.isEmpty())
        return QStringLiteral("T");
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return t.toUpper() == u"T" ? QStringLiteral("T") : t;
    }
    return t.rightJustified(2, u'0');
}

QString withoutZeros(QString code)
{
    while (code.startsWith(u'0'))
        code.remove(0, 1);
    return code;
}

// Where each field sits in the sheet (-1 when absent).
struct Header
{
    QHash<QString, int> at;
    int column(const QString &field) const { return at.value(field, -1); }
    int column(const char16_t *field) const { return column(QString::fromUtf16(field)); }
};

bool readHeader(const QStringList &titles, Header *header, QString *error)
{
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const QString t = titles[i].trimmed();
        for (const SheetColumn &c : dayPriceColumns()) {
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
    for (const char16_t *field : {u"CDPRODUTO", u"NRDIASEMANPR", u"HRINIPRECDIA", u"HRFINPRECDIA",
                                  u"IDPERVALORPR", u"IDDESCACREPR"}) {
        if (header->column(field) >= 0)
            continue;
        QString title;
        for (const SheetColumn &c : dayPriceColumns()) {
            if (c.field == QStringView(field))
                title = c.title;
        }
        *error = QStringLiteral("A planilha não tem a coluna \"%1\" na primeira linha: não é a "
                                "planilha dos preços diferenciados.")
                     .arg(title);
        return false;
    }
    return true;
}

// The change of one row against the stored one, in words.
QString changes(const DayPriceRow &before, const DayPriceRow &after)
{
    static const char *const amountTitles[ModalityCount] = {"Valor", "Valor Dlv.", "Valor Cmd"};
    static const char *const priceTitles[ModalityCount] = {"Preço", "Preço Dlv.", "Preço Cmd"};
    static const char *const flagTitles[ModalityCount] = {"Outras Mod.", "Mod Delivery",
                                                          "Mod Comanda"};
    QStringList out;
    auto yesNo = [](const QString &f) {
        return f == u"S" ? QStringLiteral("Sim") : QStringLiteral("Não");
    };
    if (before.percentOrValue != after.percentOrValue)
        out << QStringLiteral("Percentual/Valor: %1")
                   .arg(after.percentOrValue == u"P" ? QStringLiteral("Percentual")
                                                     : QStringLiteral("Valor Fixo"));
    if (before.discountOrIncrease != after.discountOrIncrease)
        out << QStringLiteral("Desconto/Acréscimo: %1")
                   .arg(after.discountOrIncrease == u"D" ? QStringLiteral("Desconto")
                                                         : QStringLiteral("Acréscimo"));
    for (int m = 0; m < ModalityCount; ++m) {
        if (before.flags[m] != after.flags[m])
            out << QStringLiteral("%1: %2").arg(QLatin1String(flagTitles[m]),
                                                yesNo(after.flags[m]));
        if (before.amounts[m] != after.amounts[m])
            out << QStringLiteral("%1: %2 → %3")
                       .arg(QLatin1String(amountTitles[m]), money(before.amounts[m]),
                            money(after.amounts[m]));
        if (before.prices[m] != after.prices[m])
            out << QStringLiteral("%1: %2 → %3")
                       .arg(QString::fromUtf8(priceTitles[m]), money(before.prices[m]),
                            money(after.prices[m]));
    }
    if (before.validTo != after.validTo)
        out << QStringLiteral("Fim Validade: %1 → %2")
                   .arg(dateShown(before.validTo), dateShown(after.validTo));
    if (before.visible != after.visible)
        out << QStringLiteral("Visualiza: %1").arg(yesNo(after.visible));
    return out.join(QStringLiteral("; "));
}

QString keyShown(const DayPriceRow &row)
{
    return QStringLiteral("%1 %2 a %3, tipo %4, desde %5")
        .arg(inforce::dayText(row.day), hourShown(row.startHour), hourShown(row.endHour),
             row.consumer == u"T" ? QStringLiteral("Todos") : row.consumer,
             dateShown(row.validFrom));
}

} // namespace

QByteArray DayPriceRow::key() const
{
    return QStringList{product, parent, consumer, day, startHour, endHour, validFrom}
        .join(QChar(0x1F))
        .toUtf8();
}

bool DayPriceRow::sameValues(const DayPriceRow &o) const
{
    return percentOrValue == o.percentOrValue && discountOrIncrease == o.discountOrIncrease &&
           visible == o.visible && flags == o.flags && amounts == o.amounts && prices == o.prices &&
           validTo == o.validTo;
}

DayPricePlan planDayPriceImport(const QString &csvText, const DayPricePeriod &period,
                                const DayPriceSink &sink, int shownLimit)
{
    DayPricePlan plan;
    Header header;
    int headerSize = -1;
    QHash<QString, QString> productsWithoutZeros; // stripped code -> code (empty: ambiguous)
    QHash<QByteArray, int> seen;                  // key -> line of its first row

    auto show = [&](const DayPriceLine &line) {
        if (plan.shown.size() < shownLimit)
            plan.shown << line;
    };

    auto handle = [&](int lineNumber, QStringList &cells) -> bool {
        if (headerSize < 0) {
            headerSize = int(cells.size());
            if (!readHeader(cells, &header, &plan.fileError))
                return false;
            for (auto it = period.items.begin(); it != period.items.end(); ++it) {
                const QString product = it.key().section(u'|', 0, 0);
                const QString stripped = withoutZeros(product);
                const auto found = productsWithoutZeros.constFind(stripped);
                if (found == productsWithoutZeros.cend())
                    productsWithoutZeros.insert(stripped, product);
                else if (*found != product)
                    productsWithoutZeros[stripped] = QString();
            }
            return true;
        }
        auto cell = [&](const char16_t *field) -> std::optional<QString> {
            const int c = header.column(field);
            if (c < 0)
                return std::nullopt;
            return cells.value(c).trimmed();
        };
        auto text = [&](const char16_t *field) { return cell(field).value_or(QString()); };
        DayPriceLine line;
        line.line = lineNumber;
        auto refuse = [&](const QString &reason) {
            line.outcome = LineOutcome::Refused;
            line.detail = reason;
            ++plan.refused;
            show(line);
            return true;
        };
        if (cells.size() > headerSize)
            return refuse(QStringLiteral("A linha tem mais colunas que o cabeçalho (um número com "
                                         "vírgula sem aspas?)."));

        DayPriceRow row;
        // The product and its price item.
        QString product = text(u"CDPRODUTO");
        QString parent = text(u"CDPRPAITABPR");
        line.product = product;
        if (product.isEmpty())
            return refuse(QStringLiteral("Código do produto não informado."));
        auto known = [&](QString *code) {
            if (period.items.contains(DayPricePeriod::itemKey(*code, *code)) || code->isEmpty())
                return;
            const QString full = productsWithoutZeros.value(withoutZeros(*code));
            if (!full.isEmpty())
                *code = full;
        };
        known(&product);
        if (parent.isEmpty())
            parent = product;
        else
            known(&parent);
        line.product = product;
        const auto basis = period.items.constFind(DayPricePeriod::itemKey(product, parent));
        if (basis == period.items.cend())
            return refuse(QStringLiteral("Preço do produto não está cadastrado na vigência."));
        row.product = product;
        row.parent = parent;

        // Codes, in the screen's order of checks.
        const std::optional<QString> day = dayCode(text(u"NRDIASEMANPR"));
        if (!day)
            return refuse(QStringLiteral("Dia inválido: \"%1\".").arg(text(u"NRDIASEMANPR")));
        if (day->isEmpty())
            return refuse(QStringLiteral("Dia deve ser informado."));
        row.day = *day;
        const std::optional<QString> pv =
            codeOf(text(u"IDPERVALORPR"), {{u"P", u"Percentual"}, {u"V", u"Valor Fixo"}});
        if (!pv || pv->isEmpty())
            return refuse(pv ? QStringLiteral("Percentual/Valor deve ser informado.")
                             : QStringLiteral("Percentual/Valor inválido: \"%1\".")
                                   .arg(text(u"IDPERVALORPR")));
        const std::optional<QString> da =
            codeOf(text(u"IDDESCACREPR"), {{u"D", u"Desconto"}, {u"A", u"Acréscimo"}});
        if (!da || da->isEmpty())
            return refuse(da ? QStringLiteral("Desconto/Acréscimo deve ser informado.")
                             : QStringLiteral("Desconto/Acréscimo inválido: \"%1\".")
                                   .arg(text(u"IDDESCACREPR")));
        row.percentOrValue = *pv;
        row.discountOrIncrease = *da;
        for (const auto &[field, target] : {std::pair{u"HRINIPRECDIA", &row.startHour},
                                            std::pair{u"HRFINPRECDIA", &row.endHour}}) {
            *target = parseHour(text(field));
            if (target->isEmpty())
                return refuse(QStringLiteral("'%1'  Não é hora válida.").arg(text(field)));
        }
        if (row.startHour > row.endHour)
            return refuse(QStringLiteral("Hora Inicial deve ser menor que a Hora Final."));

        // Validity: inside the period; both empty take the period's dates.
        const std::optional<QString> from = dateCode(text(u"DTINIVALPREC"));
        const std::optional<QString> to = dateCode(text(u"DTFINVALPREC"));
        if (!from)
            return refuse(QStringLiteral("Início Validade: data inválida \"%1\".")
                              .arg(text(u"DTINIVALPREC")));
        if (!to)
            return refuse(
                QStringLiteral("Fim Validade: data inválida \"%1\".").arg(text(u"DTFINVALPREC")));
        row.validFrom = *from;
        row.validTo = *to;
        if (row.validFrom.isEmpty() && row.validTo.isEmpty()) {
            row.validFrom = period.start;
            row.validTo = period.end;
        }
        if (row.validFrom.isEmpty())
            return refuse(QStringLiteral("Data inicial de validade deve ser informado."));
        if (row.validFrom < period.start)
            return refuse(QStringLiteral("Data inicial de validade deve ser maior ou igual que a "
                                         "data inicial de vigência."));
        // A period without an end leaves the validity end free.
        if (row.validTo.isEmpty() && !period.end.isEmpty())
            return refuse(QStringLiteral("Data final de validade deve ser informado."));
        if (!row.validTo.isEmpty() && row.validFrom > row.validTo)
            return refuse(QStringLiteral("Data final de validade deve ser maior que a data "
                                         "inicial de validade."));
        if (!period.end.isEmpty() && row.validTo > period.end)
            return refuse(QStringLiteral("Data final de validade deve ser menor ou igual que a "
                                         "data final de vigência."));

        row.consumer = consumerCode(text(u"CDTIPOCONSPD"));
        if (row.consumer != u"T" && !period.consumerTypes.contains(row.consumer))
            return refuse(QStringLiteral("Tipo Consumidor não cadastrado: \"%1\".")
                              .arg(text(u"CDTIPOCONSPD")));

        const QByteArray key = row.key();
        if (const auto first = seen.constFind(key); first != seen.cend())
            return refuse(QStringLiteral("Preço diferenciado repetido na planilha (já na linha "
                                         "%1).")
                              .arg(*first));
        seen.insert(key, lineNumber);
        const auto storedIt = period.stored.constFind(key);
        const DayPriceRow *stored = storedIt == period.stored.cend() ? nullptr : &*storedIt;

        // Amounts and prices of the modalities.
        const dayprice::Rule rule =
            *dayprice::ruleFromCodes(row.percentOrValue, row.discountOrIncrease);
        std::array<std::optional<Decimal>, ModalityCount> amounts;
        std::array<bool, ModalityCount> amountGiven{};
        for (int m = 0; m < ModalityCount; ++m) {
            const std::optional<QString> t = cell(kAmountFields[m]);
            if (!t) {
                if (stored)
                    amounts[m] = stored->amounts[m];
                continue;
            }
            bool ok = false;
            amounts[m] = parseNumber(*t, &ok);
            amountGiven[m] = amounts[m].has_value();
            if (!ok)
                return refuse(QStringLiteral("Número inválido: \"%1\".").arg(*t));
        }
        std::optional<Decimal> typedPrice;
        if (const std::optional<QString> t = cell(u"PRECO")) {
            bool ok = false;
            typedPrice = parseNumber(*t, &ok);
            if (!ok)
                return refuse(QStringLiteral("Preço: número inválido \"%1\".").arg(*t));
            // The price the row was exported with follows its amount: the
            // item's price may have changed since.
            if (stored && amountGiven[General] && typedPrice == stored->prices[General])
                typedPrice.reset();
        }
        for (int m = 0; m < ModalityCount; ++m) {
            const std::optional<QString> t = cell(kFlagFields[m]);
            const std::optional<QString> flag = t ? flagCode(*t) : QString();
            if (!flag)
                return refuse(QStringLiteral("Informe Sim ou Não, não \"%1\".").arg(*t));
            if (!flag->isEmpty())
                row.flags[m] = *flag;
            else if (stored)
                row.flags[m] = stored->flags[m];
            else if (m == General)
                row.flags[m] = amounts[m] || typedPrice ? QStringLiteral("S") : QStringLiteral("N");
            else
                row.flags[m] =
                    amounts[m] && !amounts[m]->isZero() ? QStringLiteral("S") : QStringLiteral("N");
        }
        const std::optional<QString> visible = flagCode(text(u"IDVISUACUPOM"));
        if (!visible)
            return refuse(QStringLiteral("Visualiza: informe Sim ou Não, não \"%1\".")
                              .arg(text(u"IDVISUACUPOM")));
        row.visible = !visible->isEmpty() ? *visible
                      : stored            ? stored->visible
                                          : QStringLiteral("N");

        static const char *const missingPrice[ModalityCount] = {
            "Preço do produto não está cadastrado.",
            "Para informar preço diferenciado para o delivery, o preco de delivery do produto "
            "também deve ser informado.",
            "Para informar preço diferenciado para comanda, o preco de comanda do produto "
            "também deve ser informado."};
        for (int m = 0; m < ModalityCount; ++m) {
            if (row.flags[m] != u"S") {
                row.amounts[m] = Decimal(0);
                row.prices[m] = std::nullopt;
                continue;
            }
            if (!basis->prices[m])
                return refuse(QString::fromUtf8(missingPrice[m]));
            const Decimal base = *basis->prices[m] + basis->subsidy;
            // Given alone, the general price gives the amount, as when it is
            // typed in the grid.
            if (m == General && typedPrice && !amountGiven[m]) {
                dayprice::Derived derived;
                if (*typedPrice <= Decimal(0))
                    return refuse(QStringLiteral("Preço deve ser maior que zero."));
                if (typedPrice->rounded(2) != *typedPrice)
                    return refuse(QStringLiteral("Preço com mais de duas casas decimais: %1.")
                                      .arg(formatNumber(*typedPrice, 2)));
                if (dayprice::amountFor(base, *typedPrice, rule, &derived) !=
                    dayprice::Refusal::None)
                    return refuse(QStringLiteral("Valor do produto com desconto deve ser menor "
                                                 "que o valor original do produto."));
                amounts[m] = derived.amount;
                if (rule.percentage && derived.discount != rule.discount)
                    return refuse(QStringLiteral("Valor do produto com desconto deve ser menor "
                                                 "que o valor original do produto."));
            }
            const Decimal amount = amounts[m].value_or(Decimal(0));
            if (amount <= Decimal(0))
                return refuse(QStringLiteral("Valor deve ser maior que zero."));
            if (amount.rounded(2) != amount)
                return refuse(QStringLiteral("Valor com mais de duas casas decimais: %1.")
                                  .arg(formatNumber(amount, 2)));
            if (!(amount < kPriceLimit) || !dayprice::amountWithinLimits(amount, rule))
                return refuse(rule.percentage
                                  ? QStringLiteral("Percentual deve ser menor ou igual a 100.")
                                  : QStringLiteral("Valor acima do limite permitido."));
            const std::optional<Decimal> price = dayprice::tryPriceFor(base, amount, rule);
            if (!price || *price <= Decimal(0))
                return refuse(QStringLiteral("Preço deve ser maior que zero."));
            if (!dayprice::priceWithinLimits(*price, base))
                return refuse(QStringLiteral("O valor do acréscimo não pode ser maior ou igual ao "
                                             "preço do produto."));
            if (m == General && typedPrice && *typedPrice != *price)
                return refuse(QStringLiteral("O preço %1 não é o que o valor %2 dá sobre o preço "
                                             "%3 do produto (%4); apague o preço ou o valor.")
                                  .arg(formatNumber(*typedPrice, 2), formatNumber(amount, 2),
                                       formatNumber(base, 2), formatNumber(*price, 2)));
            row.amounts[m] = amount;
            row.prices[m] = price;
        }

        if (stored && stored->sameValues(row)) {
            ++plan.unchanged;
            return true;
        }
        line.outcome = stored ? LineOutcome::Changed : LineOutcome::New;
        line.detail =
            keyShown(row) + QStringLiteral(": ") +
            (stored ? changes(*stored, row)
                    : QStringLiteral("%1 %2 %3, preço %4")
                          .arg(row.discountOrIncrease == u"D" ? QStringLiteral("desconto")
                                                              : QStringLiteral("acréscimo"),
                               row.percentOrValue == u"P" ? QStringLiteral("percentual")
                                                          : QStringLiteral("fixo"),
                               money(row.amounts[General]), money(row.prices[General])));
        ++(stored ? plan.changed : plan.added);
        show(line);
        if (sink)
            sink(row, !stored);
        return true;
    };

    if (!readCsvRows(csvText, handle, &plan.fileError) || !plan.fileError.isEmpty()) {
        plan.shown.clear();
        plan.added = plan.changed = plan.refused = plan.unchanged = 0;
        return plan;
    }
    if (headerSize < 0)
        plan.fileError = QStringLiteral("A planilha está vazia.");
    return plan;
}

QString dayPriceSummary(int added, int changed, int refused, int unchanged)
{
    auto plural = [](int n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
    };
    if (added == 0 && changed == 0 && refused == 0)
        return QStringLiteral("Nenhuma alteração: %1 às da vigência.")
            .arg(plural(unchanged, "linha igual", "linhas iguais"));
    return QStringLiteral("%1, %2, %3, %4.")
        .arg(plural(added, "preço diferenciado novo", "preços diferenciados novos"),
             plural(changed, "alterado", "alterados"),
             plural(refused, "linha recusada", "linhas recusadas"),
             plural(unchanged, "sem alteração", "sem alteração"));
}

} // namespace prx::sheet
