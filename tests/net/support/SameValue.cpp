#include "SameValue.h"

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"

#include <cstring>

using namespace prx;

namespace {

bool differ(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

bool sameValue(const QVariant &a, const QVariant &b, QString *why)
{
    const bool nullA = !a.isValid(), nullB = !b.isValid();
    if (nullA || nullB)
        return nullA == nullB || differ(why, QStringLiteral("null vs value"));
    const int id = a.typeId();
    if (id != b.typeId())
        return differ(why, QStringLiteral("type %1 vs %2").arg(a.typeName(), b.typeName()));
    switch (id) {
    case QMetaType::Double: {
        const double x = a.toDouble(), y = b.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0 ||
               differ(why, QStringLiteral("%1 vs %2").arg(x).arg(y));
    }
    case QMetaType::QDateTime: {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return (x.date() == y.date() && x.time() == y.time() && x.timeSpec() == y.timeSpec()) ||
               differ(why, QStringLiteral("%1 vs %2")
                               .arg(x.toString(Qt::ISODateWithMs), y.toString(Qt::ISODateWithMs)));
    }
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList(), y = b.toList();
        if (x.size() != y.size())
            return differ(why, QStringLiteral("list sizes %1 vs %2").arg(x.size()).arg(y.size()));
        for (int i = 0; i < x.size(); ++i) {
            if (!sameValue(x[i], y[i], why))
                return false;
        }
        return true;
    }
    default:
        break;
    }
    if (id == qMetaTypeId<DataPacketPtr>()) {
        const DataPacketPtr x = a.value<DataPacketPtr>(), y = b.value<DataPacketPtr>();
        if (!x || !y)
            return (!x && !y) || differ(why, QStringLiteral("null packet"));
        return *x == *y || differ(why, QStringLiteral("packets differ"));
    }
    if (id == qMetaTypeId<DeltaPacket>()) {
        const DeltaPacket x = a.value<DeltaPacket>(), y = b.value<DeltaPacket>();
        if (x.fields != y.fields || x.changes.size() != y.changes.size())
            return differ(why, QStringLiteral("delta shape differs"));
        for (int i = 0; i < x.changes.size(); ++i) {
            if (x.changes[i].kind != y.changes[i].kind)
                return differ(why, QStringLiteral("change %1 kind").arg(i));
            if (!sameValue(x.changes[i].original, y.changes[i].original, why) ||
                !sameValue(x.changes[i].current, y.changes[i].current, why))
                return false;
        }
        return true;
    }
    return a == b || differ(why, QStringLiteral("%1 vs %2").arg(a.toString(), b.toString()));
}
