#include "methods/CheckText.h"

#include "methods/MethodSupport.h"
#include "money/Decimal.h"
#include "money/PriceInForce.h"
#include "storage/Storage.h"

#include <QLocale>

namespace prx::server {

QList<int> treeLevelDigits(const Storage &db)
{
    QList<int> digits;
    QSqlQuery q =
        runQuery(db, QStringLiteral("SELECT NRDIGITOS FROM PARAMARVPROD ORDER BY NRNIVEL"), {},
                 QStringLiteral("ler os níveis da árvore de produtos"));
    while (q.next())
        digits << q.value(0).toInt();
    return digits;
}

QStringList maskedProducts(QSqlQuery &query, const QList<int> &digits)
{
    QStringList products;
    while (query.next()) {
        products << (query.value(0).isNull() ? query.value(1).toString()
                                             : maskedTreeCode(query.value(0).toString(), digits));
    }
    return products;
}

QString shortList(const QStringList &items, int named)
{
    QString list = QStringList(items.mid(0, named)).join(QStringLiteral(", "));
    if (items.size() > named)
        list += QStringLiteral(" e mais %1").arg(items.size() - named);
    return list;
}

QString maskedTreeCode(const QString &code, const QList<int> &digits)
{
    QStringList parts;
    qsizetype at = 0;
    for (int n : digits) {
        if (at >= code.size())
            break;
        if (n <= 0)
            return code;
        parts << code.mid(at, n);
        at += n;
    }
    if (parts.isEmpty() || at != code.size())
        return code;
    return parts.join(u'.');
}

QString productText(const Storage &db, const QString &product)
{
    QSqlQuery q = runQuery(
        db, QStringLiteral("SELECT CDARVPROD, NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :code"),
        {{QStringLiteral(":code"), product}}, QStringLiteral("ler o produto"));
    if (!q.next())
        return product;
    const QString tree = q.value(0).toString();
    const QString name = q.value(1).toString();
    q.finish();
    return maskedTreeCode(tree, treeLevelDigits(db)) + u' ' + name;
}

QString storedValueText(std::optional<double> value)
{
    if (!value)
        return QStringLiteral("vazio");
    QString text = isCents(*value) ? Decimal::fromDouble(*value).toString(2)
                                   : QString::number(*value, 'f', QLocale::FloatingPointShortest);
    return text.replace(u'.', u',');
}

QString dayText(const QString &day)
{
    const QString text = inforce::dayText(day);
    return text == day ? QStringLiteral("dia \"%1\"").arg(day) : text;
}

QString hourText(const QString &hhmm)
{
    return hhmm.size() == 4 ? hhmm.left(2) + u':' + hhmm.mid(2) : hhmm;
}

QString dayRuleText(const DayRuleText &rule, std::optional<double> amount)
{
    const QString direction = rule.discountOrIncrease == u"D"   ? QStringLiteral("desconto")
                              : rule.discountOrIncrease == u"A" ? QStringLiteral("acréscimo")
                                                                : QStringLiteral("alteração");
    QString change = storedValueText(amount);
    if (rule.percentOrValue == u"P" && amount && isCents(*amount))
        change = Decimal::fromDouble(*amount).toString().replace(u'.', u',') + u'%';
    else if (rule.percentOrValue == u"P")
        change += u'%';
    return QStringLiteral("%1, %2 às %3, tipo de consumidor %4, %5 de %6")
        .arg(dayText(rule.day), hourText(rule.hourFrom), hourText(rule.hourTo),
             rule.consumer == u"T" ? QStringLiteral("Todos") : rule.consumer, direction, change);
}

QString modalityText(int modality)
{
    switch (modality) {
    case 0:
        return QStringLiteral("Outras Mod.");
    case 1:
        return QStringLiteral("Delivery");
    default:
        return QStringLiteral("Comanda");
    }
}

} // namespace prx::server
