#pragma once

#include "FieldDef.h"

#include <QVariant>

namespace prx {

enum class ChangeKind : quint8
{
    Insert = 1,
    Update = 2,
    Delete = 3
};

// One pending change of a client dataset. `original` holds the values the row
// had when it was read (empty for an insert); `current` the values to store
// (empty for a delete). Both follow the order of DeltaPacket::fields.
struct DeltaChange
{
    ChangeKind kind = ChangeKind::Update;
    QVariantList original;
    QVariantList current;

    // Whether each list has one value per field, as the kind promises: a
    // saving method indexes them by field.
    bool hasValuesFor(qsizetype fieldCount) const
    {
        const qsizetype o = original.size(), c = current.size();
        switch (kind) {
        case ChangeKind::Insert:
            return o == 0 && c == fieldCount;
        case ChangeKind::Delete:
            return o == fieldCount && c == 0;
        case ChangeKind::Update:
            return o == fieldCount && c == fieldCount;
        }
        return false;
    }

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
