#include "net/JsonText.h"

#include "net/Wire.h"

#include <cmath>

namespace prx {

namespace {

bool isContainer(const QVariant &v)
{
    const int id = v.typeId();
    return id == QMetaType::QVariantList || id == QMetaType::QStringList ||
           id == qMetaTypeId<DataPacketPtr>() || id == qMetaTypeId<DeltaPacket>();
}

void collectCounts(const QVariant &v, QList<qint64> *out)
{
    const int id = v.typeId();
    if (id == qMetaTypeId<DataPacketPtr>()) {
        if (const DataPacketPtr p = v.value<DataPacketPtr>())
            out->append(p->rowCount());
    } else if (id == qMetaTypeId<DeltaPacket>()) {
        out->append(v.value<DeltaPacket>().changes.size());
    } else if (id == QMetaType::QVariantList) {
        for (const QVariant &item : v.toList())
            collectCounts(item, out);
    }
}

} // namespace

QString JsonText::toJson(const QVariant &value)
{
    JsonText text;
    text.value(value, 0);
    return text.m_out;
}

QList<qint64> JsonText::packetCounts(const QVariant &value)
{
    QList<qint64> counts;
    collectCounts(value, &counts);
    return counts;
}

void JsonText::newline(int indent)
{
    m_out += QLatin1Char('\n');
    m_out += QString(indent, QLatin1Char(' '));
}

void JsonText::string(QStringView text)
{
    m_out += QLatin1Char('"');
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"':
            m_out += QLatin1StringView("\\\"");
            break;
        case '\\':
            m_out += QLatin1StringView("\\\\");
            break;
        case '\n':
            m_out += QLatin1StringView("\\n");
            break;
        case '\r':
            m_out += QLatin1StringView("\\r");
            break;
        case '\t':
            m_out += QLatin1StringView("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                m_out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                m_out += c;
        }
    }
    m_out += QLatin1Char('"');
}

void JsonText::real(double d)
{
    if (std::isnan(d))
        m_out += QLatin1StringView("\"NaN\"");
    else if (std::isinf(d))
        m_out += d > 0 ? QLatin1StringView("\"Infinity\"") : QLatin1StringView("\"-Infinity\"");
    else
        m_out += QString::number(d, 'g', QLocale::FloatingPointShortest);
}

void JsonText::dateTime(qint64 msecs)
{
    QByteArray text = wire::formatDateTime(msecs);
    text.chop(1); // the wire's zone marker means nothing to a reader
    m_out += QLatin1Char('"');
    m_out += QLatin1StringView(text);
    m_out += QLatin1Char('"');
}

void JsonText::value(const QVariant &v, int indent)
{
    const int id = v.typeId();
    switch (id) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        m_out += QLatin1StringView("null");
        return;
    case QMetaType::QString:
        string(v.toString());
        return;
    case QMetaType::Bool:
        m_out += v.toBool() ? QLatin1StringView("true") : QLatin1StringView("false");
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        real(v.toDouble());
        return;
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const QDateTime dt =
            id == QMetaType::QDate ? wallClock(v.toDate()) : wallClock(v.toDateTime());
        if (dt.isValid())
            dateTime(dt.toMSecsSinceEpoch());
        else
            m_out += QLatin1StringView("null");
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = v.toList();
        bool nested = false;
        for (const QVariant &item : list)
            nested = nested || isContainer(item);
        m_out += QLatin1Char('[');
        for (int i = 0; i < list.size(); ++i) {
            if (i > 0)
                m_out += nested ? QLatin1StringView(",") : QLatin1StringView(", ");
            if (nested)
                newline(indent + 2);
            value(list[i], indent + 2);
        }
        if (nested)
            newline(indent);
        m_out += QLatin1Char(']');
        return;
    }
    default:
        break;
    }
    if (id == qMetaTypeId<DataPacketPtr>()) {
        if (const DataPacketPtr p = v.value<DataPacketPtr>())
            packet(*p, indent);
        else
            m_out += QLatin1StringView("null");
    } else if (id == qMetaTypeId<DeltaPacket>()) {
        delta(v.value<DeltaPacket>(), indent);
    } else if (v.canConvert<qint64>() && id != QMetaType::QByteArray) {
        m_out += QString::number(v.toLongLong());
    } else {
        string(v.toString());
    }
}

void JsonText::packet(const DataPacket &p, int indent)
{
    m_out += QLatin1Char('[');
    for (int r = 0; r < p.rowCount(); ++r) {
        if (r > 0)
            m_out += QLatin1Char(',');
        newline(indent + 2);
        m_out += QLatin1Char('{');
        for (int c = 0; c < p.columnCount(); ++c) {
            if (c > 0)
                m_out += QLatin1StringView(", ");
            string(p.field(c).name);
            m_out += QLatin1StringView(": ");
            if (p.isNull(r, c)) {
                m_out += QLatin1StringView("null");
                continue;
            }
            switch (p.field(c).type) {
            case FieldType::String:
                string(p.stringView(r, c));
                break;
            case FieldType::Float:
                real(p.real(r, c));
                break;
            case FieldType::DateTime:
                dateTime(p.dateTimeMs(r, c));
                break;
            case FieldType::Integer:
                m_out += QString::number(p.integer(r, c));
                break;
            case FieldType::Boolean:
                m_out += p.boolean(r, c) ? QLatin1StringView("true") : QLatin1StringView("false");
                break;
            }
        }
        m_out += QLatin1Char('}');
    }
    if (p.rowCount() > 0)
        newline(indent);
    m_out += QLatin1Char(']');
}

void JsonText::keyed(const QList<FieldDef> &fields, const QVariantList &values)
{
    m_out += QLatin1Char('{');
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            m_out += QLatin1StringView(", ");
        string(i < fields.size() ? fields[i].name : QString::number(i + 1));
        m_out += QLatin1StringView(": ");
        value(values[i], 0);
    }
    m_out += QLatin1Char('}');
}

void JsonText::delta(const DeltaPacket &d, int indent)
{
    m_out += QLatin1Char('{');
    newline(indent + 2);
    m_out += QLatin1StringView("\"fields\": [");
    for (int i = 0; i < d.fields.size(); ++i) {
        if (i > 0)
            m_out += QLatin1StringView(", ");
        m_out += QLatin1StringView("{\"name\": ");
        string(d.fields[i].name);
        m_out += QLatin1StringView(", \"type\": ");
        string(fieldTypeName(d.fields[i].type));
        m_out += QStringLiteral(", \"size\": %1}").arg(d.fields[i].size);
    }
    m_out += QLatin1StringView("],");
    newline(indent + 2);
    m_out += QLatin1StringView("\"changes\": [");
    for (int i = 0; i < d.changes.size(); ++i) {
        const DeltaChange &c = d.changes[i];
        if (i > 0)
            m_out += QLatin1Char(',');
        newline(indent + 4);
        m_out += QLatin1StringView("{\"kind\": ");
        string(c.kind == ChangeKind::Insert   ? QStringLiteral("insert")
               : c.kind == ChangeKind::Delete ? QStringLiteral("delete")
                                              : QStringLiteral("update"));
        m_out += QLatin1StringView(", \"old\": ");
        keyed(d.fields, c.original);
        m_out += QLatin1StringView(", \"new\": ");
        keyed(d.fields, c.current);
        m_out += QLatin1Char('}');
    }
    if (!d.changes.isEmpty())
        newline(indent + 2);
    m_out += QLatin1Char(']');
    newline(indent);
    m_out += QLatin1Char('}');
}

} // namespace prx
