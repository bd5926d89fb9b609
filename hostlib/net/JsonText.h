#pragma once

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"

#include <QString>
#include <QVariant>

namespace prx {

// Wire values as readable JSON, for the command-line client and for logs.
// A data packet is an array of objects keyed by field name in field order, one
// row a line; a delta shows its fields and each change with its old and new
// values keyed the same way; date-times are "yyyy-MM-ddTHH:mm:ss" (".zzz"
// only when there are milliseconds); a double that JSON cannot hold (NaN,
// infinities) is written as the string "NaN", "Infinity" or "-Infinity".
class JsonText
{
public:
    static QString toJson(const QVariant &value);
    // The row count of every data packet (change count of every delta) in the
    // value, in the order they appear; empty when it holds none.
    static QList<qint64> packetCounts(const QVariant &value);

private:
    void value(const QVariant &value, int indent);
    void packet(const DataPacket &packet, int indent);
    void delta(const DeltaPacket &delta, int indent);
    void keyed(const QList<FieldDef> &fields, const QVariantList &values);
    void string(QStringView text);
    void real(double d);
    void dateTime(qint64 msecs);
    void newline(int indent);

    QString m_out;
};

} // namespace prx
