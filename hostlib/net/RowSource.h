#pragma once

#include "dataset/ColumnTable.h"

#include <QMetaType>
#include <QString>

#include <memory>

namespace prx::wire {

// The rows of a packet read while it is sent. A server method whose answer
// may be large hands one back as its whole payload instead of a packet; the
// answer's writer asks it for the next rows only as each piece is written,
// so the whole answer never sits in memory. It travels as an ordinary packet
// (net/AnswerPieces.h); it cannot be nested in a list.
class RowSource
{
public:
    struct Failure
    {
        int code = 0;
        QString message;
    };

    virtual ~RowSource() = default;
    virtual const QList<FieldDef> &fields() const = 0;
    // Appends up to `rows` rows to `packet` (a packet of fields()) and says
    // how many: 0 once every row was read, -1 when the read failed midway
    // (failure() says why); the rows read so far must then not be taken for
    // the whole answer.
    virtual int fetch(DataPacket &packet, int rows) = 0;
    virtual Failure failure() const = 0;
};

using RowSourcePtr = std::shared_ptr<RowSource>;

} // namespace prx::wire

Q_DECLARE_METATYPE(prx::wire::RowSourcePtr)
