#pragma once

#include "money/Decimal.h"
#include "sheet/SheetImport.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace prx::sheet {

// The three sale modalities of a differentiated price: general, delivery,
// order pad.
enum Modality
{
    General,
    DeliveryModality,
    OrderPadModality,
    ModalityCount
};

// A differentiated price as stored: codes as the table holds them, dates as
// the database's text ("2026-02-01 00:00:00"), an empty validity end when
// the period has none.
struct DayPriceRow
{
    QString product, parent, consumer, day, startHour, endHour, validFrom;
    QString validTo;
    QString percentOrValue, discountOrIncrease, visible;
    std::array<QString, ModalityCount> flags;
    std::array<Decimal, ModalityCount> amounts; // 0 where the modality does not take part
    std::array<std::optional<Decimal>, ModalityCount> prices;

    // The key the table is unique by: product, parent, consumer type, day,
    // hours and validity start.
    QByteArray key() const;
    bool sameValues(const DayPriceRow &other) const;
};

// The prices a differentiated price applies to: the item's general,
// delivery and order-pad prices (empty where the item has none) and its
// subsidised price, which every base includes.
struct DayPriceBasis
{
    std::array<std::optional<Decimal>, ModalityCount> prices;
    Decimal subsidy;
};

// What a sheet of differentiated prices is checked against.
struct DayPricePeriod
{
    QString start, end; // the period's dates as database text; end empty: none
    // By product and parent ("0001|0001"): the period's price items.
    QHash<QString, DayPriceBasis> items;
    QSet<QString> consumerTypes; // registered codes; "T" (all) is always valid
    QHash<QByteArray, DayPriceRow> stored;

    static QString itemKey(const QString &product, const QString &parent)
    {
        return product + u'|' + parent;
    }
};

struct DayPriceLine
{
    int line = 0;
    QString product;
    LineOutcome outcome = LineOutcome::Refused;
    QString detail; // what changes, or why the row is refused
};

struct DayPricePlan
{
    QString fileError;         // the file cannot be read at all
    QList<DayPriceLine> shown; // the first lines that change or are refused, in file order
    int added = 0, changed = 0, refused = 0, unchanged = 0;
};

// Called for every row that would be written: new (no stored row has its
// key) or changed.
using DayPriceSink = std::function<void(const DayPriceRow &row, bool isNew)>;

// Checks every row of a sheet of differentiated prices (CSV text, header
// first, the titles of dayPriceColumns() in any order) with the screen's
// rules, in the screen's order: day, percentage or amount, discount or
// increase, both hours valid and in order, each modality that takes part
// with its item price, an amount above 0 with two decimals at most and
// within its limits, the price the shared routine gives above 0 and below
// twice its base; the validity inside the period; a registered consumer
// type. A row is matched with the stored one of the same key and replaces
// it; a key twice in the sheet is refused. Stored rows the sheet does not
// name are kept: a sheet may carry a few rows only.
// The "Preço" column is the general price the amount gives: left empty it is
// computed; given alone (no "Valor") the amount is derived from it; given
// with an amount that gives another price, the row is refused rather than
// one of the two silently dropped. Columns the sheet lacks keep the stored
// values (new rows: modality flags "S" where an amount is given, "Visualiza"
// "N").
DayPricePlan planDayPriceImport(const QString &csvText, const DayPricePeriod &period,
                                const DayPriceSink &sink = {}, int shownLimit = 10000);

// "3 preços diferenciados novos, 1 alterado, 2 linhas recusadas, 9 sem
// alteração." or, when nothing changes, "Nenhuma alteração: 9 linhas iguais
// às da vigência."
QString dayPriceSummary(int added, int changed, int refused, int unchanged);

} // namespace prx::sheet
