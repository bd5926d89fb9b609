#include "DayPriceText.h"

#include "dataset/Format.h"

namespace prx::pricelist {

QString dayName(QStringView code)
{
    static const std::pair<const char16_t *, const char16_t *> names[] = {
        {u"1", u"Domingo"}, {u"2", u"Segunda"},
        {u"3", u"Terça"},   {u"4", u"Quarta"},
        {u"5", u"Quinta"},  {u"6", u"Sexta"},
        {u"7", u"Sábado"},  {u"V", u"Véspera de feriado"},
        {u"F", u"Feriado"}, {u"T", u"Todos os dias"}};
    for (const auto &[c, name] : names) {
        if (code == QStringView(c))
            return QString::fromUtf16(name);
    }
    return code.toString();
}

namespace {

QString hourText(QStringView hhmm)
{
    const QString t = hhmm.trimmed().toString();
    return t.size() == 4 ? t.left(2) + u':' + t.mid(2) : t;
}

} // namespace

QString hourRange(QStringView start, QStringView end)
{
    if (end.trimmed().isEmpty())
        return QStringLiteral("a partir de %1").arg(hourText(start));
    return hourText(start) + QChar(0x2013) + hourText(end);
}

QString changeText(Decimal amount, bool percentage, bool discount)
{
    const QChar sign = discount ? QChar(0x2212) : QChar(u'+');
    if (percentage) {
        QString digits = amount.abs().toString(-1);
        digits.replace(u'.', u',');
        return sign + digits + QStringLiteral(" %");
    }
    return sign + moneyText(amount.abs());
}

QString moneyText(Decimal value, int decimals)
{
    return formatNumber(value.toDouble(), decimals == 3 ? u"#,##0.000" : u"#,##0.00");
}

} // namespace prx::pricelist
