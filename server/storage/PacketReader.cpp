#include "storage/PacketReader.h"

#include "storage/SqlDialect.h"

#include <QSqlQuery>

namespace prx::server {

PacketReader::PacketReader(QList<FieldDef> fields)
    : m_fields(std::move(fields)), m_constants(m_fields.size())
{
}

void PacketReader::setConstant(const QString &field, const QVariant &value)
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(field, Qt::CaseInsensitive) == 0) {
            // A null constant is kept as "null in every row", not as "read it".
            m_constants[i] = value.isValid() ? value : QVariant(QMetaType::fromType<QString>());
            return;
        }
    }
    Q_ASSERT_X(false, "PacketReader::setConstant", "unknown field");
}

DataPacketPtr PacketReader::read(QSqlQuery &query) const
{
    auto packet = std::make_shared<DataPacket>(m_fields);
    packet->reserve(m_reserve);

    struct Source
    {
        int field;
        int column; // in the select list
        FieldType type;
    };
    QList<Source> sources;
    QList<int> constantFields;
    int column = 0;
    for (int f = 0; f < m_fields.size(); ++f) {
        if (m_constants[f].isValid())
            constantFields << f; // the first row converts, the others copy it
        else
            sources.append({f, column++, m_fields[f].type});
    }

    QList<QString> texts(m_fields.size());
    for (int f : constantFields)
        texts[f] = m_constants[f].toString();
    DataPacket &p = *packet;
    while (query.next()) {
        const int row = p.appendRow();
        for (const Source &s : sources) {
            const QVariant v = query.value(s.column);
            if (v.isNull())
                continue;
            switch (s.type) {
            case FieldType::String:
                if (v.metaType().id() == QMetaType::QString)
                    p.setString(row, s.field, *static_cast<const QString *>(v.constData()));
                else
                    p.setString(row, s.field, v.toString());
                break;
            case FieldType::Float:
                p.setReal(row, s.field, v.toDouble());
                break;
            case FieldType::Integer:
                p.setInteger(row, s.field, v.toLongLong());
                break;
            case FieldType::Boolean:
                p.setBoolean(row, s.field, v.toBool());
                break;
            case FieldType::DateTime: {
                qint64 ms = 0;
                if (SqlDialect::parseDateTimeText(v.toString(), &ms))
                    p.setDateTimeMs(row, s.field, ms);
                break;
            }
            }
        }
        for (int f : constantFields) {
            if (row == 0 || p.isNull(0, f))
                p.setValue(row, f, m_constants[f]);
            else if (m_fields[f].type == FieldType::String)
                p.setString(row, f, texts[f]); // never a view into the arena it grows
            else if (m_fields[f].type == FieldType::Float)
                p.setReal(row, f, p.real(0, f));
            else
                p.setInteger(row, f, p.integer(0, f));
        }
    }
    return packet;
}

} // namespace prx::server
