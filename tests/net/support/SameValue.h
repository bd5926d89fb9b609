#pragma once

#include <QString>
#include <QVariant>

// Whether two wire values are the same: same kind, doubles bit for bit (so
// -0.0 and NaN count), date-times by their wall-clock fields, packets cell by
// cell. On a difference *why says where.
bool sameValue(const QVariant &a, const QVariant &b, QString *why = nullptr);
