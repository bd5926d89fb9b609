#include "money/PriceInForce.h"

#include <QDateTime>

#include <algorithm>
#include <tuple>

namespace prx::inforce {

std::optional<Modality> modalityFromCode(QStringView code)
{
    const QString c = code.trimmed().toString().toUpper();
    if (c == u"G")
        return Modality::General;
    if (c == u"D")
        return Modality::Delivery;
    if (c == u"C")
        return Modality::OrderPad;
    return std::nullopt;
}

QString modalityCode(Modality modality)
{
    switch (modality) {
    case Modality::General:
        return QStringLiteral("G");
    case Modality::Delivery:
        return QStringLiteral("D");
    case Modality::OrderPad:
        return QStringLiteral("C");
    }
    return {};
}

QString modalityName(Modality modality)
{
    switch (modality) {
    case Modality::General:
        return QStringLiteral("Outras Mod.");
    case Modality::Delivery:
        return QStringLiteral("Delivery");
    case Modality::OrderPad:
        return QStringLiteral("Comanda");
    }
    return {};
}

std::optional<int> minuteOfDay(QStringView hour)
{
    if (hour.size() != 4)
        return std::nullopt;
    for (QChar c : hour) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int h = hour.left(2).toInt(), m = hour.mid(2).toInt();
    if (h > 23 || m > 59)
        return std::nullopt;
    return h * 60 + m;
}

Moment momentOf(const QDateTime &at, bool holiday, bool holidayEve)
{
    return {at.date(), at.time().hour() * 60 + at.time().minute(), holiday, holidayEve};
}

bool periodSells(const QString &state)
{
    return state == u"4";
}

bool periodCovers(const Period &period, QDate date)
{
    return period.start.isValid() && period.start <= date &&
           (!period.end.isValid() || date <= period.end);
}

PeriodChoice choosePeriod(std::span<const Period> periods, QDate date)
{
    PeriodChoice choice;
    for (int i = 0; i < int(periods.size()); ++i) {
        const Period &p = periods[i];
        if (!periodCovers(p, date))
            continue;
        int &slot = periodSells(p.state) ? choice.inForce : choice.notApproved;
        if (slot < 0 || periods[slot].start < p.start)
            slot = i;
    }
    return choice;
}

bool saleWindowAllows(QStringView from, QStringView to, int minute)
{
    if (from.trimmed().isEmpty() && to.trimmed().isEmpty())
        return true;
    // A half-given window is refused by the item's checks; should one be
    // stored anyway, the missing end is the end of the day.
    const int a = minuteOfDay(from).value_or(0);
    const int b = minuteOfDay(to).value_or(24 * 60 - 1);
    if (a <= b)
        return a <= minute && minute <= b;
    return minute >= a || minute <= b;
}

namespace {

// The weekday code of a date: "1" Sunday to "7" Saturday.
QChar weekdayCode(QDate date)
{
    return QChar(u'0' + date.dayOfWeek() % 7 + 1);
}

bool dayMatches(const QString &day, const Moment &m)
{
    if (day == u"T")
        return true;
    if (day == u"F")
        return m.holiday;
    if (day == u"V")
        return m.holidayEve;
    return day.size() == 1 && day[0] == weekdayCode(m.date);
}

int dayRank(const QString &day)
{
    if (day == u"F")
        return 0;
    if (day == u"V")
        return 1;
    if (day == u"T")
        return 3;
    return 2;
}

// Smaller is stronger, criterion by criterion, in the order of Decider.
auto strength(const Candidate &c)
{
    const int from = minuteOfDay(c.hourFrom).value_or(0);
    const int to = minuteOfDay(c.hourTo).value_or(0);
    return std::tuple(c.consumer == u"T" ? 1 : 0, dayRank(c.day), to - from,
                      -c.validFrom.toJulianDay(), -from);
}

Decider firstDifference(const Candidate &a, const Candidate &b)
{
    const auto x = strength(a), y = strength(b);
    if (std::get<0>(x) != std::get<0>(y))
        return Decider::ConsumerType;
    if (std::get<1>(x) != std::get<1>(y))
        return Decider::Day;
    if (std::get<2>(x) != std::get<2>(y))
        return Decider::HourWindow;
    if (std::get<3>(x) != std::get<3>(y))
        return Decider::ValidityStart;
    return Decider::HourStart;
}

} // namespace

QString hourText(const QString &hhmm)
{
    return hhmm.left(2) + u':' + hhmm.mid(2);
}

QString dayText(const QString &day)
{
    static const char16_t *const weekdays[] = {u"Domingo", u"Segunda", u"Terça", u"Quarta",
                                               u"Quinta",  u"Sexta",   u"Sábado"};
    if (day == u"T")
        return QStringLiteral("Todos os Dias");
    if (day == u"F")
        return QStringLiteral("Feriado");
    if (day == u"V")
        return QStringLiteral("Véspera de Feriado");
    const int n = day.toInt();
    return n >= 1 && n <= 7 ? QString::fromUtf16(weekdays[n - 1]) : day;
}

QString deciderText(Decider decider)
{
    switch (decider) {
    case Decider::None:
        return QString();
    case Decider::Single:
        return QStringLiteral("única regra aplicável");
    case Decider::ConsumerType:
        return QStringLiteral("tipo de consumidor específico vence \"Todos\"");
    case Decider::Day:
        return QStringLiteral("feriado vence véspera, que vence dia da semana, que vence todos os "
                              "dias");
    case Decider::HourWindow:
        return QStringLiteral("faixa de horário mais estreita");
    case Decider::ValidityStart:
        return QStringLiteral("validade iniciada mais recentemente");
    case Decider::HourStart:
        return QStringLiteral("faixa de horário iniciada mais tarde");
    }
    return {};
}

QString rulesCountText(int rules)
{
    return rules == 1 ? QStringLiteral("1 regra aplicável")
                      : QStringLiteral("%1 regras aplicáveis").arg(rules);
}

QString deciderCode(Decider d)
{
    switch (d) {
    case Decider::None:
        return QString();
    case Decider::Single:
        return QStringLiteral("UNICA");
    case Decider::ConsumerType:
        return QStringLiteral("TIPO_CONSUMIDOR");
    case Decider::Day:
        return QStringLiteral("DIA");
    case Decider::HourWindow:
        return QStringLiteral("FAIXA_HORARIO");
    case Decider::ValidityStart:
        return QStringLiteral("INICIO_VALIDADE");
    case Decider::HourStart:
        return QStringLiteral("INICIO_HORARIO");
    }
    return {};
}

Decider deciderFromCode(QStringView code)
{
    for (Decider d : {Decider::Single, Decider::ConsumerType, Decider::Day, Decider::HourWindow,
                      Decider::ValidityStart, Decider::HourStart}) {
        if (code == deciderCode(d))
            return d;
    }
    return Decider::None;
}

bool matches(const Candidate &c, const Moment &m, const QString &consumer, Modality modality)
{
    const int k = int(modality);
    if (!c.takesPart[k])
        return false;
    if (c.consumer != u"T" && c.consumer != consumer)
        return false;
    if (!dayMatches(c.day, m))
        return false;
    const std::optional<int> from = minuteOfDay(c.hourFrom), to = minuteOfDay(c.hourTo);
    if (!from || !to || m.minute < *from || m.minute > *to)
        return false;
    if (!c.validFrom.isValid() || m.date < c.validFrom)
        return false;
    return !c.validTo.isValid() || m.date <= c.validTo;
}

Choice choose(std::span<const Candidate> candidates, const Moment &m, const QString &consumer,
              Modality modality)
{
    Choice choice;
    int second = -1;
    for (int i = 0; i < int(candidates.size()); ++i) {
        if (!matches(candidates[i], m, consumer, modality))
            continue;
        ++choice.matching;
        if (choice.winner < 0 || strength(candidates[i]) < strength(candidates[choice.winner])) {
            second = choice.winner;
            choice.winner = i;
        } else if (second < 0 || strength(candidates[i]) < strength(candidates[second])) {
            second = i;
        }
    }
    if (choice.winner < 0)
        choice.decidedBy = Decider::None;
    else if (second < 0)
        choice.decidedBy = Decider::Single;
    else
        choice.decidedBy = firstDifference(candidates[choice.winner], candidates[second]);
    return choice;
}

QString moneyText(Decimal value)
{
    return value.toString(2).replace(u'.', u',');
}

QString ruleText(const Candidate &c, Modality modality)
{
    const Decimal amount = c.amount[int(modality)];
    const QString change =
        c.rule.percentage ? amount.toString().replace(u'.', u',') + u'%' : moneyText(amount);
    return QStringLiteral("%1, %2 às %3, tipo de consumidor %4, %5 de %6")
        .arg(dayText(c.day), hourText(c.hourFrom), hourText(c.hourTo),
             c.consumer == u"T" ? QStringLiteral("Todos") : c.consumer,
             c.rule.discount ? QStringLiteral("desconto") : QStringLiteral("acréscimo"), change);
}

Answer priceInForce(const ItemPrices &item, std::span<const Candidate> candidates,
                    const Moment &moment, const QString &consumer, Modality modality)
{
    Answer answer;
    const int k = int(modality);
    answer.itemPrice = item.price[k];
    if (!item.price[k]) {
        answer.outcome = Outcome::NoModalityPrice;
        answer.explanation =
            QStringLiteral("Produto sem preço para a modalidade %1.").arg(modalityName(modality));
        return answer;
    }
    if (!saleWindowAllows(item.saleFrom, item.saleTo, moment.minute)) {
        answer.outcome = Outcome::OutsideSaleWindow;
        answer.explanation = QStringLiteral("Fora do horário de venda do produto (%1 às %2).")
                                 .arg(hourText(item.saleFrom), hourText(item.saleTo));
        return answer;
    }
    answer.choice = choose(candidates, moment, consumer, modality);
    QString text =
        QStringLiteral("Preço %1: %2.").arg(modalityName(modality), moneyText(*item.price[k]));
    if (answer.choice.winner < 0) {
        answer.price = item.price[k];
        text += QStringLiteral(" Nenhum preço diferenciado se aplica.");
    } else {
        const Candidate &c = candidates[answer.choice.winner];
        // The same base and routine as the screen: the item's price plus the
        // subsidised part.
        answer.price = dayprice::priceFor(*item.price[k] + item.subsidy, c.amount[k], c.rule);
        QString why = deciderText(answer.choice.decidedBy);
        if (answer.choice.matching > 1)
            why += QStringLiteral("; ") + rulesCountText(answer.choice.matching);
        text += QStringLiteral(" Preço diferenciado: %1 = %2 (%3).")
                    .arg(ruleText(c, modality), moneyText(*answer.price), why);
    }
    answer.explanation = text;
    return answer;
}

} // namespace prx::inforce
