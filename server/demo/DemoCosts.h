#pragma once

namespace prx::server {

class Storage;

// Gives every product of the first branch (0001) a cost percentage, so that
// the price calculation runs there for all products (it has costs of every
// type already). Its missing tax rates stay missing: they count as 0 % in the
// calculation and are what the approval of a period lists. The other
// branches keep their gaps of percentages too, which show the calculation's
// refusal. Runs inside the generator's transaction.
void completeFirstBranchCosts(const Storage &storage);

} // namespace prx::server
