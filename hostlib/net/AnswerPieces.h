#pragma once

#include "net/RowSource.h"
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
// An answer whose payload is read while it is sent (net/RowSource.h) starts
// the same way, its packet saying "more": -1, as its row count is not known
// yet; its pieces follow until one says last. A read that fails midway ends
// the answer with an error frame {id, ok: false, error} in place of a piece.
namespace prx::wire {

// The size a frame of an answer aims at (a piece may pass it by one row).
qint64 pieceBytes();
// For tests: small pieces instead of large data. Process-wide.
void setPieceBytes(qint64 bytes);

// Writes an answer frame after frame, from the answer held in memory or from
// rows read as they are written; only the frame being written is held
// encoded, and of rows being read only the next few.
class AnswerWriter
{
public:
    explicit AnswerWriter(Answer answer);

    // The first frame: the whole answer when it fits one piece, else the
    // head. Empty when even the head passes the largest frame.
    QByteArray first();
    bool hasMore() const { return m_source ? !m_ended : m_cut < m_cuts.size(); }
    // The next piece; empty when a single row passes the largest frame.
    QByteArray next();

    // Rows are read as pieces are written: first() and next() run on the
    // thread that owns the rows' source (its database connection).
    bool readsRows() const { return bool(m_source); }
    // Why the rows' source failed, when the answer ended with an error frame.
    const QString &failure() const { return m_failure; }

private:
    QByteArray firstFromSource();
    QByteArray nextFromSource();
    // Makes sure rows wait in m_chunk, reading the next ones when every row
    // there was sent; false when none are left (m_ended) or the read failed.
    bool rowsWaiting(bool keepSent);
    // Appends the next rows read to m_chunk (first dropping those sent when
    // `dropSent`): how many, 0 at the end, -1 when the read failed.
    int readMore(bool dropSent);
    QByteArray failed();
    QByteArray wholeInMemory();

    Answer m_answer;
    std::vector<std::pair<const DataPacket *, int>> m_cuts; // packet, next row to send
    size_t m_cut = 0;

    RowSourcePtr m_source; // null once every row was read
    DataPacket m_chunk;    // rows read and not yet sent start at m_sent
    int m_sent = 0;
    bool m_ended = false;
    bool m_failed = false;
    QString m_failure;
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
