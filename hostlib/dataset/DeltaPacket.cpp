#include "DeltaPacket.h"

namespace prx {

int DeltaPacket::indexOf(QStringView name) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (name.compare(fields[i].name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace prx
