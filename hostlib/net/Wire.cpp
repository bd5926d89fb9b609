#include "net/Wire.h"

#include "net/WireReader.h"
#include "net/WireWriter.h"

#include <QBuffer>
#include <QtEndian>

namespace prx::wire {

namespace {

// Builds one frame: the body is written after a 4-byte placeholder that then
// receives its length, so a large packet is never copied to prepend it.
template <typename Body>
QByteArray buildFrame(Body writeBody, WireWriter::RowBudget *budget = nullptr)
{
    QByteArray out(4, '\0');
    if (budget)
        budget->out = &out;
    {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly | QIODevice::Append);
        QCborStreamWriter writer(&buffer);
        WireWriter wire(writer, budget);
        writeBody(writer, wire);
    }
    const qsizetype body = out.size() - 4;
    if (body > qsizetype(MaxFrameBytes))
        return {};
    qToBigEndian(quint32(body), out.data());
    return out;
}

bool writableAt(const QVariant &value, int depth, QString *error)
{
    switch (WireWriter::kindOf(value)) {
    case WireWriter::Kind::Unsupported:
        *error = QStringLiteral("valor do tipo %1 não pode ser enviado ao servidor")
                     .arg(QString::fromUtf8(value.typeName() ? value.typeName() : "?"));
        return false;
    case WireWriter::Kind::List: {
        if (depth >= MaxNesting) {
            *error = QStringLiteral("listas aninhadas demais");
            return false;
        }
        const QVariantList list = value.toList();
        for (const QVariant &item : list) {
            if (!writableAt(item, depth + 1, error))
                return false;
        }
        return true;
    }
    case WireWriter::Kind::Rows:
        // Read while it is written, it can only be a whole answer's payload.
        if (depth > 0) {
            *error = QStringLiteral("linhas lidas durante o envio só podem ser a resposta "
                                    "inteira");
            return false;
        }
        return true;
    case WireWriter::Kind::Packet:
        if (value.value<DataPacketPtr>()->columnCount() > MaxFields) {
            *error = QStringLiteral("um pacote não pode ter mais de %1 campos").arg(MaxFields);
            return false;
        }
        return true;
    case WireWriter::Kind::Delta: {
        const DeltaPacket delta = value.value<DeltaPacket>();
        if (delta.fields.size() > MaxFields) {
            *error = QStringLiteral("um pacote não pode ter mais de %1 campos").arg(MaxFields);
            return false;
        }
        const qsizetype n = delta.fields.size();
        for (int i = 0; i < delta.changes.size(); ++i) {
            const DeltaChange &c = delta.changes[i];
            if (!WireWriter::changeKindName(c.kind)) {
                *error = QStringLiteral("a alteração %1 tem um tipo inválido").arg(i + 1);
                return false;
            }
            if (!c.hasValuesFor(n)) {
                *error = QStringLiteral("a alteração %1 não tem um valor por campo").arg(i + 1);
                return false;
            }
            for (const QVariantList *values : {&c.original, &c.current}) {
                for (int f = 0; f < values->size(); ++f) {
                    if (!WireWriter::fitsField(delta.fields[f].type, values->at(f))) {
                        *error = QStringLiteral("o valor do campo %1 na alteração %2 não é do "
                                                "tipo do campo")
                                     .arg(delta.fields[f].name)
                                     .arg(i + 1);
                        return false;
                    }
                }
            }
        }
        return true;
    }
    default:
        return true;
    }
}

// Reads a packet that must be of the kind the caller asked for.
bool readPacketOf(QCborStreamReader &reader, bool wantDelta, DataPacket *data, DeltaPacket *delta,
                  QString *error)
{
    WireReader wire(reader);
    bool isDelta = false;
    if (wire.packet(data, delta, &isDelta) && isDelta == wantDelta)
        return true;
    if (error) {
        if (!wire.error().isEmpty())
            *error = wire.error();
        else if (wantDelta)
            *error = QStringLiteral("esperado um pacote de alterações, veio um pacote de dados");
        else
            *error = QStringLiteral("esperado um pacote de dados, veio um pacote de alterações");
    }
    return false;
}

// The whole body must be the one map: bytes after it mean the frame was
// built by something that does not speak this wire.
bool checkEnd(QCborStreamReader &reader, const QByteArray &body, WireReader &wire)
{
    if (reader.currentOffset() != body.size())
        return wire.fail(QStringLiteral("bytes a mais depois do mapa do quadro"));
    return true;
}

} // namespace

void writeValue(QCborStreamWriter &writer, const QVariant &value)
{
    WireWriter(writer).value(value);
}

bool readValue(QCborStreamReader &reader, QVariant *value, QString *error)
{
    WireReader wire(reader);
    if (wire.value(value))
        return true;
    if (error)
        *error = wire.error();
    return false;
}

bool isWritable(const QVariant &value, QString *error)
{
    QString reason;
    if (writableAt(value, 0, &reason))
        return true;
    if (error)
        *error = reason;
    return false;
}

void writeDataPacket(QCborStreamWriter &writer, const DataPacket &packet)
{
    WireWriter(writer).dataPacket(packet);
}

bool readDataPacket(QCborStreamReader &reader, DataPacket *packet, QString *error)
{
    DeltaPacket unused;
    return readPacketOf(reader, false, packet, &unused, error);
}

void writeDeltaPacket(QCborStreamWriter &writer, const DeltaPacket &delta)
{
    WireWriter(writer).deltaPacket(delta);
}

bool readDeltaPacket(QCborStreamReader &reader, DeltaPacket *delta, QString *error)
{
    DataPacket unused;
    return readPacketOf(reader, true, &unused, delta, error);
}

QByteArray encodeRequest(const Request &request)
{
    return buildFrame([&](QCborStreamWriter &writer, WireWriter &wire) {
        writer.startMap(request.user.isEmpty() ? 4 : 5);
        wire.key(QLatin1StringView("id"));
        writer.append(request.id);
        if (!request.user.isEmpty()) {
            wire.key(QLatin1StringView("user"));
            wire.text(request.user);
        }
        wire.key(QLatin1StringView("object"));
        wire.text(request.object);
        wire.key(QLatin1StringView("method"));
        wire.text(request.method);
        wire.key(QLatin1StringView("args"));
        writer.startArray(quint64(request.args.size()));
        for (const QVariant &arg : request.args)
            wire.value(arg);
        writer.endArray();
        writer.endMap();
    });
}

QByteArray encodeAnswer(const Answer &answer)
{
    return encodeAnswerWith(answer, nullptr);
}

QByteArray encodeAnswerWith(const Answer &answer, WireWriter::RowBudget *budget)
{
    return buildFrame(
        [&](QCborStreamWriter &writer, WireWriter &wire) {
            writer.startMap(3);
            wire.key(QLatin1StringView("id"));
            writer.append(answer.id);
            wire.key(QLatin1StringView("ok"));
            writer.append(answer.ok);
            if (answer.ok) {
                wire.key(QLatin1StringView("payload"));
                wire.value(answer.payload);
            } else {
                wire.key(QLatin1StringView("error"));
                writer.startMap(2);
                wire.key(QLatin1StringView("code"));
                writer.append(qint64(answer.errorCode));
                wire.key(QLatin1StringView("message"));
                wire.text(answer.errorMessage);
                writer.endMap();
            }
            writer.endMap();
        },
        budget);
}

FrameStatus takeFrame(QByteArray &buffer, QByteArray *body, quint32 limit)
{
    if (buffer.size() < 4)
        return FrameStatus::Incomplete;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > limit)
        return FrameStatus::TooLarge;
    if (quint64(buffer.size()) < 4 + quint64(length))
        return FrameStatus::Incomplete;
    if (buffer.size() == 4 + qsizetype(length)) {
        // The usual case, one whole frame: the buffer becomes the body, so a
        // large packet is not copied once more. Dropping bytes at the front
        // of a QByteArray moves no data.
        *body = std::move(buffer);
        buffer = QByteArray();
        body->remove(0, 4);
        return FrameStatus::Ready;
    }
    *body = buffer.mid(4, length);
    buffer.remove(0, 4 + qsizetype(length));
    return FrameStatus::Ready;
}

bool decodeRequest(const QByteArray &body, Request *request, QString *error, bool *idRead)
{
    QCborStreamReader reader(body);
    WireReader wire(reader, body.size());
    if (idRead)
        *idRead = false;
    request->args.clear();
    request->user.clear();

    auto readArgs = [&]() -> bool {
        if (!wire.enterArray("'args'"))
            return false;
        while (wire.hasNext()) {
            QVariant arg;
            if (!wire.value(&arg))
                return false;
            request->args.append(std::move(arg));
        }
        return wire.leave();
    };
    auto run = [&]() -> bool {
        enum
        {
            Id,
            Object,
            Method,
            Args,
            User
        };
        bool seen[5];
        const bool read = wire.keyedMap(
            "o quadro",
            {QLatin1StringView("id"), QLatin1StringView("object"), QLatin1StringView("method"),
             QLatin1StringView("args"), QLatin1StringView("user")},
            "chave inesperada ou repetida no pedido", seen, [&](size_t key) {
                switch (key) {
                case Id:
                    if (!wire.integer(&request->id, "'id'"))
                        return false;
                    if (idRead)
                        *idRead = true;
                    return true;
                case Object:
                    return wire.text(&request->object, "'object'");
                case Method:
                    return wire.text(&request->method, "'method'");
                case User:
                    return wire.text(&request->user, "'user'");
                default:
                    return readArgs();
                }
            });
        if (!read)
            return false;
        if (!seen[Id] || !seen[Object] || !seen[Method] || !seen[Args])
            return wire.fail(
                QStringLiteral("o pedido precisa de 'id', 'object', 'method' e 'args'"));
        return wire.leave() && checkEnd(reader, body, wire);
    };
    if (run())
        return true;
    if (error)
        *error = QStringLiteral("Pedido inválido: %1.").arg(wire.error());
    return false;
}

bool decodeAnswer(const QByteArray &body, Answer *answer, QString *error,
                  std::vector<CutPacket> *cuts)
{
    QCborStreamReader reader(body);
    WireReader wire(reader, body.size());
    if (cuts) {
        cuts->clear();
        wire.acceptCuts(cuts);
    }

    auto readCode = [&]() -> bool {
        qint64 code;
        if (!wire.integer(&code, "'code'"))
            return false;
        if (code < std::numeric_limits<int>::min() || code > std::numeric_limits<int>::max())
            return wire.fail(QStringLiteral("código de erro fora do intervalo"));
        answer->errorCode = int(code);
        return true;
    };
    auto readError = [&]() -> bool {
        bool seen[2];
        const bool read = wire.keyedMap(
            "'error'", {QLatin1StringView("code"), QLatin1StringView("message")},
            "chave inesperada ou repetida no erro", seen, [&](size_t key) {
                return key == 0 ? readCode() : wire.text(&answer->errorMessage, "'message'");
            });
        if (!read)
            return false;
        if (!seen[0] || !seen[1])
            return wire.fail(QStringLiteral("o erro precisa de 'code' e 'message'"));
        return wire.leave();
    };

    auto run = [&]() -> bool {
        enum
        {
            Id,
            Ok,
            Payload,
            Error
        };
        bool seen[4];
        const bool read =
            wire.keyedMap("a resposta",
                          {QLatin1StringView("id"), QLatin1StringView("ok"),
                           QLatin1StringView("payload"), QLatin1StringView("error")},
                          "chave inesperada ou repetida na resposta", seen, [&](size_t key) {
                              switch (key) {
                              case Id:
                                  return wire.integer(&answer->id, "'id'");
                              case Ok:
                                  return wire.boolean(&answer->ok, "'ok'");
                              case Payload:
                                  return wire.value(&answer->payload);
                              default:
                                  return readError();
                              }
                          });
        if (!read)
            return false;
        if (!seen[Id] || !seen[Ok])
            return wire.fail(QStringLiteral("a resposta precisa de 'id' e 'ok'"));
        const bool hasPayload = seen[Payload], hasError = seen[Error];
        if (answer->ok ? (!hasPayload || hasError) : (!hasError || hasPayload))
            return wire.fail(
                QStringLiteral("uma resposta traz 'payload' quando ok, 'error' quando não"));
        return wire.leave() && checkEnd(reader, body, wire);
    };
    if (run())
        return true;
    if (error)
        *error = QStringLiteral("Resposta inválida: %1.").arg(wire.error());
    return false;
}

} // namespace prx::wire
