#include "WireSamples.h"

#include "net/Wire.h"

#include <QCborMap>
#include <QDebug>

using namespace prx;
using namespace prx::wire;

QByteArray bodyOf(const QByteArray &frame)
{
    return frame.mid(4);
}

QVariant throughRequest(const QVariant &value)
{
    Request out{7, QStringLiteral("Obj"), QStringLiteral("M"), {value}};
    Request in;
    QString error;
    if (!decodeRequest(bodyOf(encodeRequest(out)), &in, &error)) {
        qWarning() << error;
        return QStringLiteral("<decode failed>");
    }
    if (in.args.size() != 1)
        return QStringLiteral("<wrong arg count>");
    return in.args.first();
}

QVariant throughAnswer(const QVariant &value)
{
    Answer out{9, true, value, 0, {}};
    Answer in;
    QString error;
    if (!decodeAnswer(bodyOf(encodeAnswer(out)), &in, &error)) {
        qWarning() << error;
        return QStringLiteral("<decode failed>");
    }
    return in.payload;
}

QList<FieldDef> allTypes()
{
    return {{QStringLiteral("TEXTO"), FieldType::String, 50},
            {QStringLiteral("VALOR"), FieldType::Float, 0},
            {QStringLiteral("QUANDO"), FieldType::DateTime, 0},
            {QStringLiteral("QTDE"), FieldType::Integer, 0},
            {QStringLiteral("ATIVO"), FieldType::Boolean, 0}};
}

DataPacketPtr smallPacket()
{
    auto packet = std::make_shared<DataPacket>(allTypes());
    packet->setRowValues(packet->appendRow(), {QStringLiteral("Água"), 2.5,
                                               wallClock(QDate(2026, 2, 1)), qint64(7), false});
    packet->appendRow();
    return packet;
}

QByteArray cbor(const std::function<void(QCborStreamWriter &)> &write)
{
    QByteArray out;
    QCborStreamWriter w(&out);
    write(w);
    return out;
}

QByteArray cborMap(const QList<std::pair<QString, QCborValue>> &entries)
{
    return cbor([&](QCborStreamWriter &w) {
        w.startMap(quint64(entries.size()));
        for (const auto &[key, value] : entries) {
            w.append(key);
            value.toCbor(w);
        }
        w.endMap();
    });
}

QByteArray requestWith(const std::function<void(QCborStreamWriter &)> &args)
{
    return cbor([&](QCborStreamWriter &w) {
        w.startMap(4);
        w.append(QLatin1StringView("id"));
        w.append(qint64(42));
        w.append(QLatin1StringView("object"));
        w.append(QLatin1StringView("O"));
        w.append(QLatin1StringView("method"));
        w.append(QLatin1StringView("M"));
        w.append(QLatin1StringView("args"));
        args(w);
        w.endMap();
    });
}

QByteArray packetRequest(const std::function<void(QCborStreamWriter &)> &afterFields,
                         int fieldCount)
{
    return requestWith([&](QCborStreamWriter &w) {
        w.startArray(1);
        w.startMap(2);
        w.append(QLatin1StringView("fields"));
        w.startArray(quint64(fieldCount));
        for (int i = 0; i < fieldCount; ++i) {
            w.startMap(3);
            w.append(QLatin1StringView("name"));
            w.append(QStringLiteral("F%1").arg(i));
            w.append(QLatin1StringView("type"));
            w.append(QLatin1StringView("float"));
            w.append(QLatin1StringView("size"));
            w.append(qint64(0));
            w.endMap();
        }
        w.endArray();
        afterFields(w);
        w.endMap();
        w.endArray();
    });
}

QByteArray changeRequest(const QString &kind, const QCborArray &oldCells,
                         const QCborArray &newCells)
{
    return packetRequest([&](QCborStreamWriter &w) {
        w.append(QLatin1StringView("changes"));
        w.startArray(1);
        QCborValue(QCborMap{{QStringLiteral("kind"), kind},
                            {QStringLiteral("old"), oldCells},
                            {QStringLiteral("new"), newCells}})
            .toCbor(w);
        w.endArray();
    });
}
