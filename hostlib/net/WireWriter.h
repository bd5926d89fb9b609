#pragma once

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"

#include <QCborStreamWriter>
#include <QStringEncoder>
#include <QVariant>

namespace prx::wire {

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
        Unsupported
    };
    static Kind kindOf(const QVariant &value);

    // Whether a delta cell already has its field's type; the writer sends any
    // other value as it is, and the reader refuses it.
    static bool fitsField(FieldType type, const QVariant &value);

    // "insert", "update", "delete"; nullptr for a value out of range.
    static const char *changeKindName(ChangeKind kind);

    explicit WireWriter(QCborStreamWriter &writer) : m_writer(writer) {}

    void value(const QVariant &value);
    void dataPacket(const DataPacket &packet);
    void deltaPacket(const DeltaPacket &delta);

    void text(QStringView text);
    void key(QLatin1StringView key) { m_writer.append(key); }
    void dateTime(qint64 msecs);

private:
    void fields(const QList<FieldDef> &fields);
    void cells(const QList<FieldDef> &fields, const QVariantList &values);

    QCborStreamWriter &m_writer;
    QStringEncoder m_utf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    QByteArray m_buffer;
};

} // namespace prx::wire
