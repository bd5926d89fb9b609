#pragma once

#include "core/MethodRegistry.h"
#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"
#include "net/RowSource.h"

#include <QDateTime>
#include <QSqlQuery>

namespace prx::server {

class Storage;

// The server object of the price table screen.
inline const QString kPriceTableObject = QStringLiteral("Prx51700.rdmTabePreco");

// A date sent as the text the screen shows ("01/02/2026", optionally with
// " HH:mm:ss"); anything else is refused with a message naming `what`.
QDateTime parseDateText(const QVariant &text, const QString &what);

// Four digits, hours then minutes, as hours are stored ("1730").
bool isValidHour(const QString &text);

// "01/02/2026" for messages.
QString dateText(const QDateTime &value);

inline QVariant packetResult(DataPacketPtr packet)
{
    return QVariant::fromValue(std::move(packet));
}

// A packet whose rows are read while the answer is sent (PacketReader::
// stream): for reads of a whole period, which may be far larger than memory
// should hold at once. The client receives an ordinary packet.
inline QVariant streamedResult(wire::RowSourcePtr rows)
{
    return QVariant::fromValue(std::move(rows));
}

inline const DeltaPacket &deltaArg(const QVariant &value)
{
    return *static_cast<const DeltaPacket *>(value.constData());
}

inline QDateTime dateTimeArg(const QVariant &value)
{
    return wallClock(value.toDateTime());
}

// Values bound by name (":branch") into a query.
using SqlBinds = QList<std::pair<QString, QVariant>>;

// Prepares the query, binds the values and runs it; `doing` names the work in
// the message of a database error. The rows are then read with next().
QSqlQuery runQuery(const Storage &storage, const QString &sql, const SqlBinds &binds,
                   const QString &doing);

// Whether the query, with these values bound by name, yields a row.
bool queryHasRows(const Storage &storage, const QString &sql, const SqlBinds &binds);

// Whether client branches, stores, branches or clients buy by the table: such
// a table and its periods are in use and are not deleted.
bool tableIsAssigned(const Storage &storage, const QString &branch, const QString &table);

// The query behind GetItemPreco, for the checks of its plan.
QString itemListSql();

// One registration function per method group (one source file each).
void registerBranchMethods(MethodRegistry &registry);
void registerPeriodMethods(MethodRegistry &registry);
void registerPeriodStateMethods(MethodRegistry &registry);
void registerItemMethods(MethodRegistry &registry);
void registerComponentMethods(MethodRegistry &registry);
void registerDayPriceMethods(MethodRegistry &registry);
void registerCostMethods(MethodRegistry &registry);
void registerPromotionMethods(MethodRegistry &registry);
void registerTransferMethods(MethodRegistry &registry);
void registerImportMethods(MethodRegistry &registry);
void registerAutoDayPriceMethods(MethodRegistry &registry);
void registerCopyMethods(MethodRegistry &registry);
void registerSheetImportMethods(MethodRegistry &registry);
void registerSheetDayPriceImportMethods(MethodRegistry &registry);
void registerPriceInForceMethods(MethodRegistry &registry);
void registerHolidayMethods(MethodRegistry &registry);
void registerHistoryMethods(MethodRegistry &registry);
void registerConsistencyMethods(MethodRegistry &registry);
void registerReviewMethods(MethodRegistry &registry);
void registerShelfChangeMethods(MethodRegistry &registry);

} // namespace prx::server
