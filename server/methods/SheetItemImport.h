#pragma once

// The import of a period's items from a spreadsheet, in steps, so that the
// import of differentiated prices can run it in its own transaction, before
// its own rows, when a file carries both.
#include "methods/MethodSupport.h"
#include "sheet/SheetImport.h"

#include <QDateTime>

namespace prx::server {

struct SheetPeriod
{
    QString branch;
    QString table;
    QDateTime start;

    SqlBinds binds() const;
};

// The sheet's rows (CSV text) checked against the period's products of the
// leaf level of `levels`; nothing written.
sheet::ImportPlan planItemSheet(const Storage &db, const SheetPeriod &period, const QString &levels,
                                const QString &csvText);

// Writes the plan's accepted rows; the products written.
QStringList writeItemSheet(const Storage &db, const SheetPeriod &period,
                           const sheet::ImportPlan &plan);

// The differentiated prices of the products written follow their new item
// prices; a price that would become invalid fails the import.
void recomputeItemSheetDayPrices(const Storage &db, const SheetPeriod &period,
                                 const QStringList &written);

// The plan's lines as the answer carries them (NRLINHA, CDPRODUTO,
// NMPRODUTO, IDSITUACAO, DSDETALHE).
DataPacketPtr itemPlanPacket(const sheet::ImportPlan &plan);

} // namespace prx::server
