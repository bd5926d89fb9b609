#pragma once

#include "FieldDef.h"

#include <QVariant>

namespace prx {

enum class ChangeKind : quint8 { Insert = 1, Update = 2, Delete = 3 };

// One pending change of a client dataset. `original` holds the values the row
// had when it was read (empty for an insert); `current` the values to store
// (empty for a delete). Both follow the order of DeltaPacket::fields.
struct DeltaChange
{
    ChangeKind kind = ChangeKind::Update;
    QVariantList original;
    QVariantList current;

    friend bool operator==(const DeltaChange &, const DeltaChange &) = default;
};

// The pending changes of a dataset, in the order they were made, as a saving
// method receives them.
struct DeltaPacket
{
    QList<FieldDef> fields;
    QList<DeltaChange> changes;

    int indexOf(QStringView name) const; // case-insensitive; -1 when absent
    bool isEmpty() const { return changes.isEmpty(); }

    friend bool operator==(const DeltaPacket &, const DeltaPacket &) = default;
};

} // namespace prx

Q_DECLARE_METATYPE(prx::DeltaPacket)
