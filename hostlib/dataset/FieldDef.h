#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace prx {

// The value types a field (and a packet column) can hold.
enum class FieldType : quint8 { String, Float, DateTime, Integer, Boolean };

struct FieldDef
{
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters, for strings; 0 elsewhere

    friend bool operator==(const FieldDef &, const FieldDef &) = default;
};

QString fieldTypeName(FieldType type);
bool fieldTypeFromName(QStringView name, FieldType *type);

// Date-times are wall-clock values: what the user typed is what every machine
// shows. They travel in QDateTime marked Qt::UTC only as a carrier that Qt
// never shifts; nothing may call toLocalTime() on them.
QDateTime wallClock(QDate date, QTime time = QTime(0, 0));
QDateTime wallClock(const QDateTime &any); // keeps date and time, drops the zone
QDateTime wallClockNow();
QDate wallClockToday();

} // namespace prx
