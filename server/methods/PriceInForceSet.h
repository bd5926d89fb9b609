#pragma once

#include "money/PriceInForce.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace prx::server {

class Storage;

// The price in force of every priced product of a table at one moment, by
// the rule of GetPrecoVigente: the rows of the period in force and of the
// differentiated prices that may hold are read in one query each, and the
// shared routine decides product by product in memory, so a whole table
// costs two queries whatever its size.
struct PricesInForce
{
    QString branch, table; // the table that answered (the branch's own when none was given)
    QDateTime at;
    std::optional<inforce::Period> period; // the approved period in force; none: nothing sells
    // The period and the calendar facts of the moment, or why no period sells.
    QString periodText;
    struct Item
    {
        QString product;
        inforce::Answer answer;
        std::optional<inforce::Candidate> winner; // the differentiated price that applied
    };
    std::vector<Item> items; // the period's own items, by product code
};

// `table` empty: the table the branch buys by. Refuses, as GetPrecoVigente
// does, an unknown branch or table and a branch without a single table.
PricesInForce pricesInForce(const Storage &db, const QString &branch, const QString &table,
                            const QDateTime &at, const QString &consumer,
                            inforce::Modality modality);

// The table a branch sells by: the given one of the branch, or its
// assigned one; refused as GetPrecoVigente refuses it.
std::pair<QString, QString> sellingTable(const Storage &db, const QString &branch,
                                         const QString &table);

} // namespace prx::server
