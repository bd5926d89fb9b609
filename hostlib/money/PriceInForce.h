#pragma once

#include "money/DayPrice.h"
#include "money/Decimal.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>
#include <span>

namespace prx::inforce {

// What a product costs at one moment: which period is in force, the item's
// price for the sale modality, its daily sale window and the differentiated
// price that applies. The server gathers the rows and asks these routines;
// the tests ask them directly.

enum class Modality
{
    General,  // "Outras Mod.": IDTPMODGERAL, VRPRECITEM
    Delivery, // IDTPMODDLV, VRPRECITEMDLV
    OrderPad, // IDTPMODCMD, VRPRECITEMCMD
};
// "G", "D" or "C", case aside; nullopt for anything else.
std::optional<Modality> modalityFromCode(QStringView code);
QString modalityCode(Modality modality);
QString modalityName(Modality modality);

// Hours as stored, "HHMM", as minutes of the day; nullopt when not a valid hour.
std::optional<int> minuteOfDay(QStringView hour);

// The moment asked about, with the calendar facts of its branch.
struct Moment
{
    QDate date;
    int minute = 0;          // of the day; seconds do not count
    bool holiday = false;    // the date is a holiday of the branch or national
    bool holidayEve = false; // the next date is one
};
Moment momentOf(const QDateTime &at, bool holiday, bool holidayEve);

// A validity period of the table.
struct Period
{
    QDate start;
    QDate end; // invalid: the period has no end yet
    QString state;
};
// Only an approved period ("4") sells: pending ("1") and released ("2")
// periods are still being typed, a confirmed one ("3") awaits approval.
bool periodSells(const QString &state);
bool periodCovers(const Period &period, QDate date);
struct PeriodChoice
{
    int inForce = -1;     // the approved period covering the date, latest start first
    int notApproved = -1; // else a covering period in another state, to explain the refusal
};
PeriodChoice choosePeriod(std::span<const Period> periods, QDate date);

// The daily sale window of an item. Both hours empty: no window. A start
// after the end is a window across midnight (18:00 to 02:00). Both ends are
// minutes included.
bool saleWindowAllows(QStringView from, QStringView to, int minute);

// A differentiated price as stored.
struct Candidate
{
    QString day;      // NRDIASEMANPR: "1" Sunday to "7" Saturday, "V", "F", "T"
    QString consumer; // CDTIPOCONSPD, "T" for every consumer type
    QString hourFrom, hourTo;
    QDate validFrom;
    QDate validTo; // invalid: open
    dayprice::Rule rule;
    bool takesPart[3] = {false, false, false}; // by Modality
    Decimal amount[3];
};

// Why the winner beat the next matching row: the first criterion of the
// precedence on which they differ.
enum class Decider
{
    None,          // no row matched
    Single,        // one row matched
    ConsumerType,  // a specific consumer type before "T"
    Day,           // holiday, then eve, then the weekday, then "T"
    HourWindow,    // the narrower hour window
    ValidityStart, // the later validity start (the newer rule)
    HourStart,     // the later start hour
};
// "Sábado", "Todos os Dias", "Feriado", "Véspera de Feriado" for a stored
// day code; an unknown code as it is.
QString dayText(const QString &day);
// "14:00" for a stored "1400".
QString hourText(const QString &hhmm);

QString deciderText(Decider decider);
// "1 regra aplicável", "3 regras aplicáveis"
QString rulesCountText(int rules);
// The code an answer carries ("DIA", "TIPO_CONSUMIDOR", ...), and back.
QString deciderCode(Decider decider);
Decider deciderFromCode(QStringView code);

bool matches(const Candidate &c, const Moment &m, const QString &consumer, Modality modality);

struct Choice
{
    int winner = -1;
    int matching = 0;
    Decider decidedBy = Decider::None;
};
// Precedence among the rows that match the moment, the consumer type and the
// modality, in this order: a specific consumer type before "T"; a holiday
// rule before an eve rule before a weekday rule before "every day"; the
// narrower hour window; the later validity start; the later start hour. Rows
// of one product differ in their key, so two rows never tie on all five.
Choice choose(std::span<const Candidate> candidates, const Moment &m, const QString &consumer,
              Modality modality);

// The item's prices in the period.
struct ItemPrices
{
    std::optional<Decimal> price[3]; // by Modality; empty when not priced
    Decimal subsidy;                 // VRPRECITEMCL, part of a differentiated price's base
    QString saleFrom, saleTo;
};

enum class Outcome
{
    Priced,
    NoModalityPrice,   // the item has no price for the modality
    OutsideSaleWindow, // the moment is outside the daily sale window
};

struct Answer
{
    Outcome outcome = Outcome::Priced;
    std::optional<Decimal> itemPrice; // the modality's own price
    std::optional<Decimal> price;     // what the customer pays; empty when not for sale
    Choice choice;
    QString explanation; // in the user's words
};
Answer priceInForce(const ItemPrices &item, std::span<const Candidate> candidates,
                    const Moment &moment, const QString &consumer, Modality modality);

// "12,50"
QString moneyText(Decimal value);
// "Feriado, 18:00 às 23:59, Todos, desconto de 10%"
QString ruleText(const Candidate &c, Modality modality);

} // namespace prx::inforce
