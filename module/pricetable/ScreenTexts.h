#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace prx {
class TMessages;
}

// The texts and colour rules of the price table screen that do not need a
// widget: how stored codes are shown, how a typed text becomes a code, which
// periods are in force and how an item row is coloured.
namespace prx::pricetable {

// One stored code and the catalogue key of the word shown for it.
struct Coding
{
    QString code;
    QString key;
};

const QList<Coding> &statusCodings();    // IDSITVGPREC
const QList<Coding> &simNaoCodings();    // IDPRECVARIA, IDPRODPROMOC: keys Sim/Não
const QList<Coding> &dayCodings();       // NRDIASEMANPR
const QList<Coding> &percValorCodings(); // IDPERVALORPR
const QList<Coding> &descAcreCodings();  // IDDESCACREPR
const QList<Coding> &visualizaCodings(); // IDVISUACUPOM: keys S/N

// The word of a code; empty for a code the list does not know.
QString codingText(const QList<Coding> &codings, const TMessages &messages, const QString &code);
// The code whose word is the text; nothing for any other text.
std::optional<QString> codingCode(const QList<Coding> &codings, const TMessages &messages,
                                  const QString &text);
// The words in list order, for pick lists.
QStringList codingTexts(const QList<Coding> &codings, const TMessages &messages);

// "hhmm" as "hh:mm"; an empty value stays empty.
QString hourText(const QString &stored);
// A stored hour of the day: exactly four digits, hours 00 to 23 and minutes
// 00 to 59.
bool validHour(const QString &stored);

// A date-time compared as the screens do: an empty date counts as the
// earliest date there is, so an open end is already past.
bool inForce(const QDate &today, const QDateTime &start, const QDateTime &end);

// The description line of a period: name, the " - Vigência : " text, then
// start and end joined by " - ".
QString periodDescription(const QString &tableName, const QString &vigenciaText,
                          const QDateTime &start, const QDateTime &end);

// The filter that shows the differentiated prices of one price item. Every
// value is quoted, so a code holding a quote still selects only its own rows.
QString precoHoraFilter(const QString &branch, const QString &table, const QString &start,
                        const QString &product, const QString &parent);

// How a price item row is painted: against its calculated price.
enum class ItemRowTone
{
    AboveCost, // blue text
    BelowCost, // red text
    Normal
};
// Empty values count as 0.
ItemRowTone itemRowTone(std::optional<double> price, std::optional<double> clientPrice,
                        std::optional<double> cost);

} // namespace prx::pricetable
