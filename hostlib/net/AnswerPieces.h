#pragma once

#include "net/Wire.h"

#include <QByteArray>

#include <vector>

// An answer of any size, in frames of bounded size. An answer that fits one
// piece travels as one frame, byte for byte what encodeAnswer() writes.
// A larger one starts with a head frame: the answer as always, except that
// its packets are open-ended maps and lists, and a packet whose rows stop
// early ends with "more": the rows it has in all. Then, for each cut packet
// in the order the head lists them, piece frames carry the rest of its rows:
//   {id, piece: index of the cut packet, rows: [...], last: bool}
// each with at least one row, the last one ending that packet. The request
// stays one frame under its limit: only answers come in pieces.
namespace prx::wire {

// The size a frame of an answer aims at (a piece may pass it by one row).
qint64 pieceBytes();
// For tests: small pieces instead of large data. Process-wide.
void setPieceBytes(qint64 bytes);

// Writes an answer frame after frame, from the answer held in memory; only
// the frame being written is held encoded.
class AnswerWriter
{
public:
    explicit AnswerWriter(Answer answer);

    // The first frame: the whole answer when it fits one piece, else the
    // head. Empty when even the head passes the largest frame.
    QByteArray first();
    bool hasMore() const { return m_cut < m_cuts.size(); }
    // The next piece; empty when a single row passes the largest frame.
    QByteArray next();

private:
    Answer m_answer;
    std::vector<std::pair<const DataPacket *, int>> m_cuts; // packet, next row to send
    size_t m_cut = 0;
};

// Puts an answer together from its frames as they arrive, each piece's rows
// read straight into its packet's columns. Anything out of place (a piece of
// another call or out of order, a count that does not add up) fails the
// whole answer: a packet is never handed over half filled.
class AnswerReader
{
public:
    enum class Step
    {
        Complete,
        More,
        Invalid
    };
    // The first frame of an answer, then each following one.
    Step take(const QByteArray &body, QString *error);
    bool started() const { return m_started; }
    // The answer read (complete, or the head so far).
    const Answer &answer() const { return m_answer; }
    Answer takeAnswer();
    void reset();

private:
    Step piece(const QByteArray &body, QString *error);
    void reserveNext();

    Answer m_answer;
    std::vector<CutPacket> m_cuts;
    size_t m_cut = 0;
    bool m_started = false;
};

} // namespace prx::wire
