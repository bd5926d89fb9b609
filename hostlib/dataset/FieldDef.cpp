#include "FieldDef.h"

namespace prx {

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::String:
        return QStringLiteral("string");
    case FieldType::Float:
        return QStringLiteral("float");
    case FieldType::DateTime:
        return QStringLiteral("datetime");
    case FieldType::Integer:
        return QStringLiteral("integer");
    case FieldType::Boolean:
        return QStringLiteral("boolean");
    }
    return {};
}

bool fieldTypeFromName(QStringView name, FieldType *type)
{
    static const FieldType all[] = {FieldType::String, FieldType::Float, FieldType::DateTime,
                                    FieldType::Integer, FieldType::Boolean};
    for (FieldType t : all) {
        if (name == fieldTypeName(t)) {
            *type = t;
            return true;
        }
    }
    return false;
}

QDateTime wallClock(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::UTC);
}

QDateTime wallClock(const QDateTime &any)
{
    if (!any.isValid())
        return {};
    return QDateTime(any.date(), any.time(), Qt::UTC);
}

QDateTime wallClockNow()
{
    return wallClock(QDateTime::currentDateTime());
}

QDate wallClockToday()
{
    return QDate::currentDate();
}

} // namespace prx
