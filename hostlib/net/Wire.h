#pragma once

#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"

#include <QByteArray>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QVariant>

#include <vector>

// The wire between client and server. A frame is a 4-byte big-endian length
// followed by one CBOR map.
//   request: {id, object, method, args: [...], user?} (user: who works at
//            the client, for the server's records; older clients omit it)
//   answer:  {id, ok: true, payload} or {id, ok: false, error: {code, message}}
// Values inside args and payload:
//   text, double, integer, bool, null, array, date-time (tag 0 text
//   "yyyy-MM-ddTHH:mm:ss[.zzz]Z", a wall-clock value, never shifted),
//   data packet {fields: [{name, type, size}], rows: [[...], ...]},
//   delta packet {fields: [...], changes: [{kind, old: [...], new: [...]}]}.
// In C++ these are QString, double, qint64, bool, a null QVariant, QVariantList,
// QDateTime, prx::DataPacketPtr and prx::DeltaPacket.
//
// Readers trust nothing they read: every type is checked, counts only bound a
// reservation, nesting is limited, and "fields" must come before "rows" or
// "changes" so that rows stream straight into typed columns.
namespace prx::wire {

// No frame may be larger than this; a bigger one closes the connection.
constexpr quint32 MaxFrameBytes = 128u * 1024u * 1024u;
// Arrays nested deeper than this are refused rather than read recursively.
constexpr int MaxNesting = 32;
// A packet with more fields than this is refused.
constexpr int MaxFields = 1024;

struct Request
{
    qint64 id = 0;
    QString object;
    QString method;
    QVariantList args;
    QString user = {}; // empty: not sent
};

// A packet of an answer whose rows did not all fit the first frame: the rest
// follow in pieces until it holds `total` rows, or, with a total of -1 (rows
// read while they are sent), until a piece says it is the last.
struct CutPacket
{
    DataPacket *packet = nullptr; // owned by the answer's payload
    int total = 0;
};

struct Answer
{
    qint64 id = 0;
    bool ok = false;
    QVariant payload;
    int errorCode = 0;
    QString errorMessage;
};

void writeValue(QCborStreamWriter &writer, const QVariant &value);
bool readValue(QCborStreamReader &reader, QVariant *value, QString *error);

// True when writeValue can carry the value without loss; otherwise *error
// names what cannot travel. Callers check before sending, so that nothing is
// silently turned into a null on the way.
bool isWritable(const QVariant &value, QString *error);

void writeDataPacket(QCborStreamWriter &writer, const DataPacket &packet);
bool readDataPacket(QCborStreamReader &reader, DataPacket *packet, QString *error);
void writeDeltaPacket(QCborStreamWriter &writer, const DeltaPacket &delta);
bool readDeltaPacket(QCborStreamReader &reader, DeltaPacket *delta, QString *error);

// Whole frames, length prefix included.
QByteArray encodeRequest(const Request &request);
QByteArray encodeAnswer(const Answer &answer);

enum class FrameStatus
{
    Incomplete,
    Ready,
    TooLarge
};
// Takes the first complete frame's body (without its prefix) off the front of
// buffer.
FrameStatus takeFrame(QByteArray &buffer, QByteArray *body, quint32 limit = MaxFrameBytes);

// On failure request->id still holds the id when it could be read, and *idRead
// says so, so that the server can answer the caller instead of hanging up.
bool decodeRequest(const QByteArray &body, Request *request, QString *error,
                   bool *idRead = nullptr);
// With `cuts`, a first frame whose packets continue in pieces is accepted and
// the cut packets listed (net/AnswerPieces.h reads the pieces); without, such
// a frame is refused.
bool decodeAnswer(const QByteArray &body, Answer *answer, QString *error,
                  std::vector<CutPacket> *cuts = nullptr);

// The date-time text of the wire, from and to milliseconds since the epoch of
// the wall clock.
QByteArray formatDateTime(qint64 msecs);
bool parseDateTime(QByteArrayView text, qint64 *msecs);

} // namespace prx::wire
