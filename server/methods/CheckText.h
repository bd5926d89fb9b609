#pragma once

#include <QList>
#include <QSqlQuery>
#include <QStringList>
#include <QString>

#include <optional>

namespace prx::server {

class Storage;

// Texts that name stored rows in refusals and in the consistency findings,
// the way the screens show them.

// Digits of each level of the product tree, first level first.
QList<int> treeLevelDigits(const Storage &db);

// A tree code as the screens show it ("01010001" with levels of 2, 2 and 4
// digits: "01.01.0001"); a code that does not fit the levels stays as it is.
QString maskedTreeCode(const QString &code, const QList<int> &digits);

// The products a refusal names, read from a query whose first column is
// the tree code and second the product code (for a product without a tree
// code): masked tree codes, in the query's order.
QStringList maskedProducts(QSqlQuery &query, const QList<int> &digits);

// The first `named` items joined with ", ", then " e mais N".
QString shortList(const QStringList &items, int named = 5);

// "01.01.0001 Café Expresso"; the code itself for an unknown product.
QString productText(const Storage &db, const QString &product);

// A stored number as the user reads it: two decimals when it has no more
// ("12,50", "-1,00"), every decimal it holds otherwise ("9,876"); "vazio"
// for a null.
QString storedValueText(std::optional<double> value);

// "Quarta", "Todos os Dias" for a stored day code; "14:00" for "1400".
QString dayText(const QString &day);
QString hourText(const QString &hhmm);

// "Quarta, 14:00 às 16:00, tipo de consumidor Todos, desconto de 15%": the
// rule of a differentiated price from its stored codes.
struct DayRuleText
{
    QString day, hourFrom, hourTo, consumer, percentOrValue, discountOrIncrease;
};
QString dayRuleText(const DayRuleText &rule, std::optional<double> amount);

// "Outras Mod.", "Delivery", "Comanda" for modality 0, 1, 2.
QString modalityText(int modality);

} // namespace prx::server
