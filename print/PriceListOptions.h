#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace prx::pricelist {

// The prices a list can show, in the order of its columns.
enum class Price
{
    Consumer,   // VRPRECITEM
    Subsidised, // VRPRECITEMCL
    Delivery,   // VRPRECITEMDLV
    OrderPad,   // VRPRECITEMCMD
    Calculated, // VRCUSTITEM
};

// What the user asked the price list for.
struct Options
{
    QString branch, branchName, segment;
    QString table, tableName;
    QDateTime periodStart, periodEnd;
    bool orderByName = false;
    QList<Price> prices{Price::Consumer};
    bool dayPrices = false;       // each item's differentiated prices under it
    bool onlyPromotional = false; // IDPRODPROMOC "S"
    bool onlyPriced = false;      // at least one of the listed prices filled
};

} // namespace prx::pricelist
