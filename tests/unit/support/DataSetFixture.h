#pragma once

#include "dataset/ClientDataSet.h"

#include <QVariantList>

#include <memory>

namespace prx::test {

// A column table with those fields and rows, as the server would send it.
DataPacket makePacket(const QList<FieldDef> &fields, const QList<QVariantList> &rows);

// Differentiated prices in miniature: CDFILIAL, CDPRODUTO, DTINIVGPREC,
// NMPRODUTO, VRPRECO, with `rows` rows (product "P<i mod products>").
std::unique_ptr<ClientDataSet> makePrices(int rows = 6, int products = 3);

// Everything a before-event must leave untouched.
struct Snapshot
{
    DataSetState state;
    int currentRow;
    int recordCount;
    int changeCount;
    QVariantList buffer; // every field's value as the fields read it
    QList<QVariantList> rows;
    DeltaPacket delta;
    bool operator==(const Snapshot &) const = default;
};
Snapshot snapshot(const ClientDataSet &ds);

// The values of one field over the rows in view, without moving the cursor.
QVariantList column(const ClientDataSet &ds, const QString &field);

} // namespace prx::test
