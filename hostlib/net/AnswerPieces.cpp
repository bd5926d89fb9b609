#include "net/AnswerPieces.h"

#include "net/WireReader.h"
#include "net/WireWriter.h"

#include <QBuffer>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <limits>

namespace prx::wire {

namespace {

// Large enough that the cost of a frame is lost among its rows, small enough
// that a few of them in flight cost little memory on either side.
std::atomic<qint64> pieceSize = 4 * 1024 * 1024;

// A count announced by the head is believed for a reservation only this far;
// past it the packet grows as rows really arrive.
constexpr int MaxReservedRows = 4 * 1024 * 1024;

// Rows asked of a source at a time: few enough to cost little memory, many
// enough that asking costs nothing beside reading them.
constexpr int SourceRows = 1024;

// About what a row takes encoded, to know when enough rows were read for the
// first frame; the frame itself is then cut on the bytes really written.
qint64 encodedBytes(const DataPacket &packet, int from)
{
    qint64 bytes = 0;
    const int columns = packet.columnCount();
    for (int r = from; r < packet.rowCount(); ++r) {
        bytes += 1;
        for (int c = 0; c < columns; ++c) {
            if (packet.isNull(r, c)) {
                ++bytes;
                continue;
            }
            switch (packet.field(c).type) {
            case FieldType::String:
                bytes += 2 + packet.stringView(r, c).size();
                break;
            case FieldType::DateTime:
                bytes += 27;
                break;
            default:
                bytes += 9;
            }
        }
    }
    return bytes;
}

// Frame of an answer written by hand, its length put in front at the end;
// empty when it passes the largest frame.
template <typename Body> QByteArray frameOf(qint64 limit, Body body)
{
    QByteArray out(4, '\0');
    out.reserve(limit + limit / 4);
    {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly | QIODevice::Append);
        QCborStreamWriter writer(&buffer);
        WireWriter wire(writer);
        body(writer, wire, out);
    }
    const qsizetype size = out.size() - 4;
    if (size > qsizetype(MaxFrameBytes))
        return {};
    qToBigEndian(quint32(size), out.data());
    return out;
}

} // namespace

qint64 pieceBytes()
{
    return pieceSize.load(std::memory_order_relaxed);
}

void setPieceBytes(qint64 bytes)
{
    pieceSize.store(std::clamp<qint64>(bytes, 256, MaxFrameBytes / 2), std::memory_order_relaxed);
}

AnswerWriter::AnswerWriter(Answer answer) : m_answer(std::move(answer))
{
    if (m_answer.ok && m_answer.payload.typeId() == qMetaTypeId<RowSourcePtr>()) {
        m_source = m_answer.payload.value<RowSourcePtr>();
        m_answer.payload = QVariant();
        if (m_source) {
            // Rows here are encoded once and dropped: no dictionaries.
            m_chunk = DataPacket(m_source->fields());
            m_chunk.setPlainLayout(true);
        }
    }
}

QByteArray AnswerWriter::first()
{
    if (m_source)
        return firstFromSource();
    m_cuts.clear();
    m_cut = 0;
    const qint64 limit = 4 + pieceBytes();
    WireWriter::RowBudget trial;
    trial.limit = limit;
    QByteArray frame = encodeAnswerWith(m_answer, &trial);
    if (!trial.passed)
        return frame;
    WireWriter::RowBudget head;
    head.limit = limit;
    head.cut = true;
    frame = encodeAnswerWith(m_answer, &head);
    if (!frame.isEmpty())
        m_cuts = std::move(head.cuts);
    return frame;
}

QByteArray AnswerWriter::next()
{
    if (!hasMore())
        return {};
    if (m_source)
        return nextFromSource();
    auto &[packet, from] = m_cuts[m_cut];
    const qint64 limit = 4 + pieceBytes();
    return frameOf(limit, [&](QCborStreamWriter &writer, WireWriter &wire, const QByteArray &out) {
        writer.startMap(4);
        wire.key(QLatin1StringView("id"));
        writer.append(m_answer.id);
        wire.key(QLatin1StringView("piece"));
        writer.append(qint64(m_cut));
        wire.key(QLatin1StringView("rows"));
        from = wire.rowsFrom(*packet, from, out, limit);
        wire.key(QLatin1StringView("last"));
        const bool last = from >= packet->rowCount();
        writer.append(last);
        writer.endMap();
        if (last)
            ++m_cut;
    });
}

int AnswerWriter::readMore(bool dropSent)
{
    if (m_ended || m_failed)
        return 0; // a source is not asked again once it said so
    if (dropSent) {
        m_chunk.clear();
        m_sent = 0;
    }
    const int read = m_source->fetch(m_chunk, SourceRows);
    if (read < 0)
        m_failed = true;
    else if (read == 0)
        m_ended = true;
    return read;
}

bool AnswerWriter::rowsWaiting(bool keepSent)
{
    return m_sent < m_chunk.rowCount() || readMore(!keepSent) > 0;
}

QByteArray AnswerWriter::failed()
{
    m_ended = true;
    const RowSource::Failure why = m_source->failure();
    m_failure = why.message;
    Answer failure;
    failure.id = m_answer.id;
    failure.errorCode = why.code;
    failure.errorMessage = why.message;
    return encodeAnswer(failure);
}

// Every row was read before the first frame filled up: the answer goes out
// exactly as one read into memory would.
QByteArray AnswerWriter::wholeInMemory()
{
    m_answer.payload = QVariant::fromValue(std::make_shared<DataPacket>(std::move(m_chunk)));
    m_chunk = DataPacket();
    m_source.reset();
    m_ended = false;
    return first();
}

QByteArray AnswerWriter::firstFromSource()
{
    const qint64 limit = 4 + pieceBytes();
    qint64 read = 0;
    while (read < limit) {
        const int before = m_chunk.rowCount();
        if (readMore(false) <= 0)
            return m_failed ? failed() : wholeInMemory();
        read += encodedBytes(m_chunk, before);
    }
    bool more = true;
    QByteArray head =
        frameOf(limit, [&](QCborStreamWriter &writer, WireWriter &wire, const QByteArray &out) {
            writer.startMap(3);
            wire.key(QLatin1StringView("id"));
            writer.append(m_answer.id);
            wire.key(QLatin1StringView("ok"));
            writer.append(true);
            wire.key(QLatin1StringView("payload"));
            writer.startMap();
            wire.fields(m_chunk.fields());
            wire.key(QLatin1StringView("rows"));
            writer.startArray();
            m_sent = wire.rowsWhile(m_chunk, 0, out, limit);
            writer.endArray();
            // The rows read so far fit after all: the head may say "more" only
            // when at least one row is known to follow.
            more = rowsWaiting(true);
            if (more) {
                wire.key(QLatin1StringView("more"));
                writer.append(qint64(-1));
            }
            writer.endMap();
            writer.endMap();
        });
    if (m_failed)
        return failed();
    if (!more)
        return wholeInMemory();
    return head;
}

QByteArray AnswerWriter::nextFromSource()
{
    const qint64 limit = 4 + pieceBytes();
    QByteArray piece =
        frameOf(limit, [&](QCborStreamWriter &writer, WireWriter &wire, const QByteArray &out) {
            writer.startMap(4);
            wire.key(QLatin1StringView("id"));
            writer.append(m_answer.id);
            wire.key(QLatin1StringView("piece"));
            writer.append(qint64(0));
            wire.key(QLatin1StringView("rows"));
            writer.startArray();
            // A piece starts with rows waiting (the head or the piece before made
            // sure), so it never goes out empty.
            while (out.size() < limit && rowsWaiting(false))
                m_sent = wire.rowsWhile(m_chunk, m_sent, out, limit);
            writer.endArray();
            const bool last = !m_failed && !rowsWaiting(false);
            wire.key(QLatin1StringView("last"));
            writer.append(last);
            writer.endMap();
        });
    // The rows of a failed read are never handed over as if they were all:
    // the piece being written is dropped for the error.
    if (m_failed)
        return failed();
    return piece;
}

void AnswerReader::reset()
{
    m_answer = Answer();
    m_cuts.clear();
    m_cut = 0;
    m_started = false;
}

Answer AnswerReader::takeAnswer()
{
    Answer answer = std::move(m_answer);
    reset();
    return answer;
}

void AnswerReader::reserveNext()
{
    // A packet read while it was sent has no count: it grows as rows come.
    if (m_cut < m_cuts.size() && m_cuts[m_cut].total > 0)
        m_cuts[m_cut].packet->reserve(std::min(m_cuts[m_cut].total, MaxReservedRows));
}

AnswerReader::Step AnswerReader::take(const QByteArray &body, QString *error)
{
    if (m_started)
        return piece(body, error);
    m_started = true;
    if (!decodeAnswer(body, &m_answer, error, &m_cuts))
        return Step::Invalid;
    m_cut = 0;
    reserveNext();
    return m_cuts.empty() ? Step::Complete : Step::More;
}

AnswerReader::Step AnswerReader::piece(const QByteArray &body, QString *error)
{
    if (m_cut >= m_cuts.size()) {
        *error = QStringLiteral("Resposta inválida: parte a mais depois da última.");
        return Step::Invalid;
    }
    const CutPacket &cut = m_cuts[m_cut];
    const int before = cut.packet->rowCount();
    QCborStreamReader reader(body);
    WireReader wire(reader, body.size());
    bool last = false;
    auto expectKey = [&](const char *name) {
        QString k;
        if (wire.hasNext() && wire.key(&k) && k == QLatin1StringView(name))
            return true;
        return wire.fail(QStringLiteral("uma parte traz 'id', 'piece', 'rows' e 'last', "
                                        "nessa ordem"));
    };
    auto run = [&]() -> bool {
        qint64 id = 0, index = 0;
        if (!wire.enterMap("uma parte") || !expectKey("id") || !wire.integer(&id, "'id'"))
            return false;
        if (id != m_answer.id)
            return wire.fail(QStringLiteral("veio uma parte da chamada %1 durante a resposta da "
                                            "chamada %2")
                                 .arg(id)
                                 .arg(m_answer.id));
        if (!expectKey("piece") || !wire.integer(&index, "'piece'"))
            return false;
        if (index != qint64(m_cut))
            return wire.fail(QStringLiteral("parte fora de ordem: veio a do pacote %1 quando se "
                                            "esperava a do pacote %2")
                                 .arg(index + 1)
                                 .arg(m_cut + 1));
        if (!expectKey("rows") || !wire.appendRows(cut.packet) || !expectKey("last") ||
            !wire.boolean(&last, "'last'"))
            return false;
        if (wire.hasNext())
            return wire.fail(QStringLiteral("chave a mais em uma parte"));
        if (!wire.leave())
            return false;
        if (reader.currentOffset() != body.size())
            return wire.fail(QStringLiteral("bytes a mais depois do mapa do quadro"));
        const int rows = cut.packet->rowCount();
        if (rows == before)
            return wire.fail(QStringLiteral("uma parte sem linhas"));
        if (cut.total < 0) // read while sent: the last piece ends it
            return true;
        if (rows > cut.total || last != (rows == cut.total))
            return wire.fail(
                QStringLiteral("o pacote %1 anunciou %2 linhas e as partes trazem "
                               "%3%4")
                    .arg(m_cut + 1)
                    .arg(cut.total)
                    .arg(rows)
                    .arg(last || rows > cut.total ? QString() : QStringLiteral(" sem terminar")));
        return true;
    };
    if (!run()) {
        // The server may end an answer it cannot finish with an error of its
        // own in place of the next piece.
        Answer failure;
        QString ignored;
        if (decodeAnswer(body, &failure, &ignored) && !failure.ok &&
            (failure.id == m_answer.id || failure.id == 0)) {
            m_answer = std::move(failure);
            m_cuts.clear();
            m_cut = 0;
            return Step::Complete;
        }
        *error = QStringLiteral("Resposta inválida: %1.").arg(wire.error());
        return Step::Invalid;
    }
    if (last) {
        ++m_cut;
        reserveNext();
    }
    return m_cut == m_cuts.size() ? Step::Complete : Step::More;
}

} // namespace prx::wire
