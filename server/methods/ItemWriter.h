#pragma once

#include "storage/DeltaWriter.h"

namespace prx::server {

// Writes price item rows (a product's own prices or a component's prices
// inside a composite), with the rules both grids share.
class ItemWriter : public DeltaWriter
{
public:
    ItemWriter(const Storage &storage, const DeltaPacket &delta);

    // The layout of the item grid's packet.
    static QList<FieldDef> packetFields();

    // Flags are "S" or "N", hours four valid digits; empty is allowed. Prices
    // keep the grid's limits (checkPrices).
    void checkValues(const DeltaRow &row) const;

    // An insert adds the row (an existing one is refused). An update applies
    // where the row still holds the values read; when the row was read
    // without a price row (every original price null) it is inserted instead,
    // unless someone else has priced the product meanwhile. A delete takes
    // the row's differentiated prices with it. `prepare` adjusts and checks
    // the values to be stored.
    void apply(const DeltaChange &change, const std::function<void(DeltaRow &)> &prepare);
    // Every change of the delta in one transaction; the number of changes.
    int applyAll(const std::function<void(DeltaRow &)> &prepare);

private:
    void checkPrices(const DeltaRow &row) const;
    // Refuses a price with more than two decimals that the change sets
    // (every one on an insert, those that differ from `original` otherwise).
    void checkCents(const DeltaRow &row, const DeltaRow *original) const;
    bool allPricesNull(const DeltaRow &original) const;
    void removeDayPrices(const DeltaRow &original);
    void recomputeDayPrices(const DeltaRow &row);

    const Storage &m_db;
    const DeltaPacket &m_delta;
};

} // namespace prx::server
