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

} // namespace

qint64 pieceBytes()
{
    return pieceSize.load(std::memory_order_relaxed);
}

void setPieceBytes(qint64 bytes)
{
    pieceSize.store(std::clamp<qint64>(bytes, 256, MaxFrameBytes / 2), std::memory_order_relaxed);
}

AnswerWriter::AnswerWriter(Answer answer) : m_answer(std::move(answer)) {}

QByteArray AnswerWriter::first()
{
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
    auto &[packet, from] = m_cuts[m_cut];
    const qint64 limit = 4 + pieceBytes();
    QByteArray out(4, '\0');
    out.reserve(limit + limit / 4);
    {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly | QIODevice::Append);
        QCborStreamWriter writer(&buffer);
        WireWriter wire(writer);
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
    }
    const qsizetype body = out.size() - 4;
    if (body > qsizetype(MaxFrameBytes))
        return {};
    qToBigEndian(quint32(body), out.data());
    return out;
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
    if (m_cut < m_cuts.size())
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
