#pragma once

#include <QString>

namespace prx::server {

class Storage;

// Gives every product of the first branch (0001) a cost percentage, so that
// the price calculation runs there for all products (it has costs of every
// type and every tax rate already). The other branches keep their gaps of
// percentages and tax rates, which show the calculation's refusal and what
// the approval of a period lists. Runs inside the generator's transaction.
void completeFirstBranchCosts(const Storage &storage);

// The other branches keep costs for the first products only (those the
// generator writes row by row), but every product past them gets its tax
// rate here, in one statement, by the rate of its category, so that their
// approved periods can price the whole catalogue. `lastCosted` is the code
// of the last product written with costs.
void completeOtherBranchTaxRates(const Storage &storage, const QString &firstBranch,
                                 const QString &lastCosted);

} // namespace prx::server
