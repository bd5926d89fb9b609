#pragma once

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"
#include "net/RowSource.h"

#include <QCborStreamWriter>
#include <QStringEncoder>
#include <QVariant>

namespace prx::wire {

struct Answer;

// Writes wire values through one QCborStreamWriter. Packets go cell by cell
// straight from the typed columns; text is converted to UTF-8 in one reused
// buffer, so a large packet costs no allocation per cell.
class WireWriter
{
public:
    // What a QVariant travels as.
    enum class Kind
    {
        Null,
        Text,
        Integer,
        Real,
        Bool,
        DateTime,
        List,
        Packet,
        Delta,
        Rows, // a packet read while it is sent (net/RowSource.h): a whole payload only
        Unsupported
    };
    static Kind kindOf(const QVariant &value);

    // Whether a delta cell already has its field's type; the writer sends any
    // other value as it is, and the reader refuses it.
    static bool fitsField(FieldType type, const QVariant &value);

    // "insert", "update", "delete"; nullptr for a value out of range.
    static const char *changeKindName(ChangeKind kind);

    // How many rows of each packet an answer's first frame may carry. The
    // writer checks the bytes written so far before each row: once they pass
    // `limit`, no more rows go into this frame.
    //  - trial (cut == false): the answer as one frame, exactly as always;
    //    once the limit is passed the rest of each packet is written as
    //    nulls, only to close the arrays cheaply: the frame is thrown away.
    //  - head (cut == true): packets are written with open-ended maps and
    //    row lists; a packet whose rows stop early says how many it has in
    //    all ("more"), and is listed in `cuts` with its first row not sent.
    struct RowBudget
    {
        const QByteArray *out = nullptr;
        qint64 limit = 0;
        bool cut = false;
        bool passed = false;
        std::vector<std::pair<const DataPacket *, int>> cuts = {};
    };

    explicit WireWriter(QCborStreamWriter &writer, RowBudget *budget = nullptr)
        : m_writer(writer), m_budget(budget)
    {
    }

    void value(const QVariant &value);
    void dataPacket(const DataPacket &packet);
    // Rows [from, ...) of the packet as one open-ended list, stopping before
    // the first row that would start past `limit` bytes of `out` (at least
    // one row is written). Returns the row after the last one written.
    int rowsFrom(const DataPacket &packet, int from, const QByteArray &out, qint64 limit);
    // Rows [from, ...) of the packet without a list around them, while `out`
    // stays under `limit` bytes (none when it is there already). Returns the
    // row after the last one written.
    int rowsWhile(const DataPacket &packet, int from, const QByteArray &out, qint64 limit);
    // The "fields" entry of a packet's map.
    void fields(const QList<FieldDef> &fields);
    void deltaPacket(const DeltaPacket &delta);

    void text(QStringView text);
    void key(QLatin1StringView key) { m_writer.append(key); }
    void dateTime(qint64 msecs);

private:
    void cells(const QList<FieldDef> &fields, const QVariantList &values);
    void row(const DataPacket &packet, int r, const std::vector<FieldType> &types);
    void budgetedRows(const DataPacket &packet, const std::vector<FieldType> &types);
    // The same bytes as row(), put together here and handed to the device in
    // large writes: through the stream writer every cell is a device write
    // of its own. Only inside a list of open-ended length, where the stream
    // writer counts no items.
    void encodeRow(const DataPacket &packet, int r, const std::vector<FieldType> &types);
    char *rowRoom(qsizetype bytes);
    void flushRows();

    QCborStreamWriter &m_writer;
    RowBudget *m_budget; // not owned; null: every row, as always
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    QByteArray m_buffer;
    QByteArray m_rows; // rows encoded and not yet written: the first m_rowBytes
    qsizetype m_rowBytes = 0;
    // Per column, the date-time written last and its text: the dates of a
    // period repeat from row to row.
    std::vector<std::pair<qint64, QByteArray>> m_dates;
};

// The answer frame as encodeAnswer() writes it, its rows under the budget
// (net/AnswerPieces.h); empty when it passes the largest frame.
QByteArray encodeAnswerWith(const Answer &answer, WireWriter::RowBudget *budget);

} // namespace prx::wire
