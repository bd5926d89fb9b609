#include "ScreenTexts.h"

#include "dataset/FieldDef.h"
#include "dataset/FilterExpression.h"
#include "dataset/Format.h"
#include "services/Messages.h"
#include "services/TextUtils.h"

namespace prx::pricetable {

const QList<Coding> &statusCodings()
{
    static const QList<Coding> list = {
        {"1", "PENDENTE"}, {"2", "LIBERADA"}, {"3", "CONFIRMADA"}, {"4", "APROVADA"}};
    return list;
}

const QList<Coding> &simNaoCodings()
{
    static const QList<Coding> list = {{"S", "Sim"}, {"N", "Não"}};
    return list;
}

const QList<Coding> &dayCodings()
{
    static const QList<Coding> list = {{"1", "DOM"}, {"2", "SEG"}, {"3", "TER"}, {"4", "QUA"},
                                       {"5", "QUI"}, {"6", "SEX"}, {"7", "SAB"}, {"V", "VES"},
                                       {"F", "FER"}, {"T", "TOD"}};
    return list;
}

const QList<Coding> &percValorCodings()
{
    static const QList<Coding> list = {{"P", "PER"}, {"V", "VAL"}};
    return list;
}

const QList<Coding> &descAcreCodings()
{
    static const QList<Coding> list = {{"D", "DES"}, {"A", "ACR"}};
    return list;
}

const QList<Coding> &visualizaCodings()
{
    static const QList<Coding> list = {{"S", "S"}, {"N", "N"}};
    return list;
}

QString codingText(const QList<Coding> &codings, const TMessages &messages, const QString &code)
{
    for (const Coding &c : codings) {
        if (c.code == code)
            return messages.Msg(c.key);
    }
    return {};
}

std::optional<QString> codingCode(const QList<Coding> &codings, const TMessages &messages,
                                  const QString &text)
{
    for (const Coding &c : codings) {
        if (messages.Msg(c.key) == text)
            return c.code;
    }
    return std::nullopt;
}

QStringList codingTexts(const QList<Coding> &codings, const TMessages &messages)
{
    QStringList out;
    for (const Coding &c : codings)
        out << messages.Msg(c.key);
    return out;
}

QString hourText(const QString &stored)
{
    if (stored.isEmpty())
        return {};
    return stored.left(2) + QLatin1Char(':') + stored.mid(2, 2);
}

bool validHour(const QString &stored)
{
    if (stored.size() != 4)
        return false;
    const QString shown = hourText(stored);
    // The text comparisons keep out what a lenient parse might take.
    if (shown.left(2) > QLatin1String("23") || shown.mid(3, 2) > QLatin1String("59"))
        return false;
    return QTime::fromString(shown, QStringLiteral("hh:mm")).isValid();
}

bool inForce(const QDate &today, const QDateTime &start, const QDateTime &end)
{
    const QDateTime day = wallClock(today);
    // An empty end is the earliest date: the period is over before it began.
    if (!end.isValid())
        return false;
    if (start.isValid() && day < start)
        return false;
    return day <= end;
}

QString periodDescription(const QString &tableName, const QString &vigenciaText,
                          const QDateTime &start, const QDateTime &end)
{
    return tableName + vigenciaText + formatDateTime(start) + QStringLiteral(" - ") +
           formatDateTime(end);
}

QString precoHoraFilter(const QString &branch, const QString &table, const QString &start,
                        const QString &product, const QString &parent)
{
    return QStringLiteral("CDFILIAL = %1 and CDTABEPREC = %2 and DTINIVGPREC = %3 and "
                          "CDPRODUTO = %4 and CDPRPAITABPR = %5")
        .arg(FilterExpression::quote(branch), FilterExpression::quote(table),
             FilterExpression::quote(start), FilterExpression::quote(product),
             FilterExpression::quote(parent));
}

ItemRowTone itemRowTone(std::optional<double> price, std::optional<double> clientPrice,
                        std::optional<double> cost)
{
    const double p = price.value_or(0);
    const double cl = clientPrice.value_or(0);
    const double c = cost.value_or(0);
    if (p > c && c != 0)
        return ItemRowTone::AboveCost;
    if (p < c || RoundDec(p + cl, 2) < RoundDec(c, 2))
        return ItemRowTone::BelowCost;
    return ItemRowTone::Normal;
}

} // namespace prx::pricetable
