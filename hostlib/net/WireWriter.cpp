#include "net/WireWriter.h"

#include "net/Wire.h"

#include <QBuffer>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace prx::wire {

namespace {

// Encoded rows go to the device once this much is waiting.
constexpr qsizetype RowFlushBytes = 64 * 1024;

// Major types of CBOR items.
constexpr quint8 MajorUnsigned = 0, MajorNegative = 1, MajorText = 3, MajorArray = 4;

// The head of a CBOR item in its shortest form, as QCborStreamWriter writes
// it; at most nine bytes.
char *putHead(char *p, quint8 major, quint64 value)
{
    const auto type = char(major << 5);
    if (value < 24) {
        *p++ = char(type | char(value));
    } else if (value <= 0xff) {
        *p++ = char(type | 24);
        *p++ = char(value);
    } else if (value <= 0xffff) {
        *p++ = char(type | 25);
        qToBigEndian(quint16(value), p);
        p += 2;
    } else if (value <= 0xffffffffull) {
        *p++ = char(type | 26);
        qToBigEndian(quint32(value), p);
        p += 4;
    } else {
        *p++ = char(type | 27);
        qToBigEndian(value, p);
        p += 8;
    }
    return p;
}

QDateTime asDateTime(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate)
        return wallClock(value.toDate());
    return wallClock(value.toDateTime());
}

} // namespace

const char *WireWriter::changeKindName(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::Insert:
        return "insert";
    case ChangeKind::Update:
        return "update";
    case ChangeKind::Delete:
        return "delete";
    }
    return nullptr;
}

WireWriter::Kind WireWriter::kindOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return Kind::Null;
    case QMetaType::QString:
        return Kind::Text;
    case QMetaType::Bool:
        return Kind::Bool;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return Kind::Integer;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return value.toULongLong() <= quint64(std::numeric_limits<qint64>::max())
                   ? Kind::Integer
                   : Kind::Unsupported;
    case QMetaType::Double:
    case QMetaType::Float:
        return Kind::Real;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        // An invalid date-time is the null date of a field.
        return asDateTime(value).isValid() ? Kind::DateTime : Kind::Null;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return Kind::List;
    default:
        break;
    }
    if (value.typeId() == qMetaTypeId<DataPacketPtr>())
        return value.value<DataPacketPtr>() ? Kind::Packet : Kind::Null;
    if (value.typeId() == qMetaTypeId<DeltaPacket>())
        return Kind::Delta;
    if (value.typeId() == qMetaTypeId<RowSourcePtr>())
        return value.value<RowSourcePtr>() ? Kind::Rows : Kind::Null;
    return Kind::Unsupported;
}

bool WireWriter::fitsField(FieldType type, const QVariant &value)
{
    const Kind kind = kindOf(value);
    if (kind == Kind::Null)
        return true;
    switch (type) {
    case FieldType::String:
        return kind == Kind::Text;
    case FieldType::Float:
        return kind == Kind::Real || kind == Kind::Integer;
    case FieldType::DateTime:
        return kind == Kind::DateTime;
    case FieldType::Integer:
        return kind == Kind::Integer;
    case FieldType::Boolean:
        return kind == Kind::Bool;
    }
    return false;
}

void WireWriter::text(QStringView text)
{
    // UTF-8 never takes more than three bytes per UTF-16 unit.
    const qsizetype need = text.size() * 3;
    if (m_buffer.size() < need)
        m_buffer.resize(need);
    char *end = m_utf8.appendToBuffer(m_buffer.data(), text);
    m_writer.appendTextString(m_buffer.constData(), end - m_buffer.constData());
}

void WireWriter::dateTime(qint64 msecs)
{
    m_writer.append(QCborKnownTags::DateTimeString);
    const QByteArray text = formatDateTime(msecs);
    m_writer.appendTextString(text.constData(), text.size());
}

void WireWriter::value(const QVariant &value)
{
    switch (kindOf(value)) {
    case Kind::Null:
    case Kind::Rows:        // only AnswerWriter reads these, as a whole payload
    case Kind::Unsupported: // isWritable() keeps these from being sent
        m_writer.appendNull();
        return;
    case Kind::Text:
        text(value.toString());
        return;
    case Kind::Integer:
        m_writer.append(value.toLongLong());
        return;
    case Kind::Real:
        m_writer.append(value.toDouble());
        return;
    case Kind::Bool:
        m_writer.append(value.toBool());
        return;
    case Kind::DateTime:
        dateTime(asDateTime(value).toMSecsSinceEpoch());
        return;
    case Kind::List: {
        const QVariantList list = value.toList();
        m_writer.startArray(quint64(list.size()));
        for (const QVariant &item : list)
            this->value(item);
        m_writer.endArray();
        return;
    }
    case Kind::Packet:
        dataPacket(*value.value<DataPacketPtr>());
        return;
    case Kind::Delta:
        deltaPacket(value.value<DeltaPacket>());
        return;
    }
}

void WireWriter::fields(const QList<FieldDef> &fields)
{
    key(QLatin1StringView("fields"));
    m_writer.startArray(quint64(fields.size()));
    for (const FieldDef &f : fields) {
        m_writer.startMap(3);
        key(QLatin1StringView("name"));
        text(f.name);
        key(QLatin1StringView("type"));
        text(fieldTypeName(f.type));
        key(QLatin1StringView("size"));
        m_writer.append(qint64(f.size));
        m_writer.endMap();
    }
    m_writer.endArray();
}

void WireWriter::dataPacket(const DataPacket &packet)
{
    const int columns = packet.columnCount();
    std::vector<FieldType> types;
    types.reserve(columns);
    for (const FieldDef &f : packet.fields())
        types.push_back(f.type);

    // Growing the output as cells arrive would copy it over and over; a size
    // guessed from the first rows (nine bytes a cell plus the text) avoids
    // most of that.
    if (auto *buffer = qobject_cast<QBuffer *>(m_writer.device())) {
        const int sample = std::min(packet.rowCount(), 256);
        qint64 sampleText = 0;
        for (int r = 0; r < sample; ++r) {
            for (int c = 0; c < columns; ++c) {
                if (types[c] == FieldType::String)
                    sampleText += packet.stringView(r, c).size();
            }
        }
        const qint64 rows = packet.rowCount();
        qint64 estimate =
            rows * (columns * 9 + 3) + (sample ? sampleText * rows / sample * 11 / 10 : 0);
        // A frame with a budget never grows much past it.
        if (m_budget)
            estimate = std::clamp<qint64>(m_budget->limit - m_budget->out->size(), 0, estimate);
        QByteArray &out = buffer->buffer();
        if (out.capacity() < out.size() + estimate)
            out.reserve(out.size() + estimate);
    }

    if (m_budget && m_budget->cut) {
        // An open-ended map: whether "more" follows is known only at the end.
        m_writer.startMap();
        fields(packet.fields());
        key(QLatin1StringView("rows"));
        m_writer.startArray();
        const size_t cutsBefore = m_budget->cuts.size();
        budgetedRows(packet, types);
        m_writer.endArray();
        if (m_budget->cuts.size() > cutsBefore) {
            key(QLatin1StringView("more"));
            m_writer.append(qint64(packet.rowCount()));
        }
        m_writer.endMap();
        return;
    }
    m_writer.startMap(2);
    fields(packet.fields());
    key(QLatin1StringView("rows"));
    m_writer.startArray(quint64(packet.rowCount()));
    if (m_budget)
        budgetedRows(packet, types);
    else {
        for (int r = 0; r < packet.rowCount(); ++r)
            row(packet, r, types);
    }
    m_writer.endArray();
    m_writer.endMap();
}

void WireWriter::budgetedRows(const DataPacket &packet, const std::vector<FieldType> &types)
{
    RowBudget &b = *m_budget;
    const int rows = packet.rowCount();
    // A packet that cannot fit is known without writing it, from the least
    // each row takes: its list head, a byte per cell, a text's characters
    // (never more than its UTF-8 bytes) and the tag and text of a date-time.
    // The bound is only summed until it passes the budget.
    if (!b.cut && !b.passed) {
        qint64 bound = b.out->size();
        const int columns = int(types.size());
        for (int r = 0; r < rows && bound <= b.limit; ++r) {
            bound += 1 + columns;
            for (int c = 0; c < columns; ++c) {
                if (packet.isNull(r, c))
                    continue;
                if (types[c] == FieldType::String)
                    bound += packet.stringView(r, c).size();
                else if (types[c] == FieldType::DateTime)
                    bound += 20;
            }
        }
        b.passed = bound > b.limit;
    }
    for (int r = 0; r < rows; ++r) {
        if (!b.passed && b.out->size() >= b.limit)
            b.passed = true;
        if (!b.passed) {
            row(packet, r, types);
        } else if (b.cut) {
            b.cuts.emplace_back(&packet, r);
            return;
        } else {
            m_writer.appendNull();
        }
    }
}

int WireWriter::rowsFrom(const DataPacket &packet, int from, const QByteArray &out, qint64 limit)
{
    m_writer.startArray();
    // At least one row, however full the frame already is.
    const int r = rowsWhile(packet, from, out, std::max(limit, qint64(out.size()) + 1));
    m_writer.endArray();
    return r;
}

int WireWriter::rowsWhile(const DataPacket &packet, int from, const QByteArray &out, qint64 limit)
{
    std::vector<FieldType> types;
    types.reserve(packet.columnCount());
    for (const FieldDef &f : packet.fields())
        types.push_back(f.type);
    int r = from;
    // Rows waiting in m_rows count as written: the rows stop where they
    // always did.
    while (r < packet.rowCount() && out.size() + m_rowBytes < limit) {
        encodeRow(packet, r++, types);
        if (m_rowBytes >= RowFlushBytes)
            flushRows();
    }
    flushRows();
    return r;
}

char *WireWriter::rowRoom(qsizetype bytes)
{
    if (m_rowBytes + bytes > m_rows.size())
        m_rows.resize(std::max(m_rows.size() * 2, m_rowBytes + bytes));
    return m_rows.data() + m_rowBytes;
}

void WireWriter::flushRows()
{
    if (m_rowBytes == 0)
        return;
    m_writer.device()->write(m_rows.constData(), m_rowBytes);
    m_rowBytes = 0;
}

void WireWriter::encodeRow(const DataPacket &packet, int r, const std::vector<FieldType> &types)
{
    const int columns = int(types.size());
    if (m_dates.size() < size_t(columns))
        m_dates.resize(size_t(columns), {std::numeric_limits<qint64>::min(), QByteArray()});
    // Each write below asks for room first; `p` is the end of the rows.
    char *p = putHead(rowRoom(9), MajorArray, quint64(columns));
    m_rowBytes = p - m_rows.constData();
    for (int c = 0; c < columns; ++c) {
        if (packet.isNull(r, c)) {
            *rowRoom(1) = char(0xf6);
            ++m_rowBytes;
            continue;
        }
        switch (types[c]) {
        case FieldType::String: {
            const QStringView text = packet.stringView(r, c);
            const qsizetype need = text.size() * 3;
            if (m_buffer.size() < need)
                m_buffer.resize(need);
            const char *end = m_utf8.appendToBuffer(m_buffer.data(), text);
            const qsizetype bytes = end - m_buffer.constData();
            p = putHead(rowRoom(9 + bytes), MajorText, quint64(bytes));
            if (bytes > 0)
                std::memcpy(p, m_buffer.constData(), size_t(bytes));
            p += bytes;
            break;
        }
        case FieldType::Float:
            p = rowRoom(9);
            *p++ = char(0xfb); // double precision, always: as append(double)
            qToBigEndian(std::bit_cast<quint64>(packet.real(r, c)), p);
            p += 8;
            break;
        case FieldType::DateTime: {
            const qint64 ms = packet.dateTimeMs(r, c);
            auto &[lastMs, text] = m_dates[size_t(c)];
            if (text.isEmpty() || lastMs != ms) {
                lastMs = ms;
                text = formatDateTime(ms);
            }
            p = rowRoom(10 + text.size());
            *p++ = char(0xc0); // tag 0: a date-time as text
            p = putHead(p, MajorText, quint64(text.size()));
            std::memcpy(p, text.constData(), size_t(text.size()));
            p += text.size();
            break;
        }
        case FieldType::Integer: {
            const qint64 v = packet.integer(r, c);
            p = v < 0 ? putHead(rowRoom(9), MajorNegative, ~quint64(v))
                      : putHead(rowRoom(9), MajorUnsigned, quint64(v));
            break;
        }
        case FieldType::Boolean:
            p = rowRoom(1);
            *p++ = packet.boolean(r, c) ? char(0xf5) : char(0xf4);
            break;
        }
        m_rowBytes = p - m_rows.constData();
    }
}

void WireWriter::row(const DataPacket &packet, int r, const std::vector<FieldType> &types)
{
    const int columns = int(types.size());
    m_writer.startArray(quint64(columns));
    for (int c = 0; c < columns; ++c) {
        if (packet.isNull(r, c)) {
            m_writer.appendNull();
            continue;
        }
        switch (types[c]) {
        case FieldType::String:
            text(packet.stringView(r, c));
            break;
        case FieldType::Float:
            m_writer.append(packet.real(r, c));
            break;
        case FieldType::DateTime:
            dateTime(packet.dateTimeMs(r, c));
            break;
        case FieldType::Integer:
            m_writer.append(packet.integer(r, c));
            break;
        case FieldType::Boolean:
            m_writer.append(packet.boolean(r, c));
            break;
        }
    }
    m_writer.endArray();
}

void WireWriter::cells(const QList<FieldDef> &fields, const QVariantList &values)
{
    m_writer.startArray(quint64(values.size()));
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &v = values[i];
        if (i < fields.size() && fields[i].type == FieldType::Float && kindOf(v) == Kind::Integer)
            m_writer.append(v.toDouble()); // a whole price still travels as a double
        else
            value(v);
    }
    m_writer.endArray();
}

void WireWriter::deltaPacket(const DeltaPacket &delta)
{
    m_writer.startMap(2);
    fields(delta.fields);
    key(QLatin1StringView("changes"));
    m_writer.startArray(quint64(delta.changes.size()));
    for (const DeltaChange &change : delta.changes) {
        m_writer.startMap(3);
        key(QLatin1StringView("kind"));
        if (const char *name = changeKindName(change.kind))
            key(QLatin1StringView(name));
        else
            m_writer.appendNull(); // isWritable() keeps a kind out of range from being sent
        key(QLatin1StringView("old"));
        cells(delta.fields, change.original);
        key(QLatin1StringView("new"));
        cells(delta.fields, change.current);
        m_writer.endMap();
    }
    m_writer.endArray();
    m_writer.endMap();
}

} // namespace prx::wire
