#pragma once

#include "core/MethodRegistry.h"
#include "net/AnswerPieces.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace prx::server {

// An answer's frames: the first one, encoded on the worker, and, for an
// answer too large for one frame, what writes the pieces that follow it.
struct AnswerFrames
{
    QByteArray head;
    std::shared_ptr<wire::AnswerWriter> rest; // null: the head is the whole answer
};

// What one frame of a client comes to, worked out on a worker thread: the
// answer frames to send, or the reason to drop a client whose frame cannot
// even say its id; and the line for the log.
struct CallReply
{
    AnswerFrames frame;
    bool drop = false;
    QString logText;
};

// Decodes the request, runs it under the call time limit (seconds <= 0: no
// limit) and encodes the answer. Never throws.
CallReply runCall(const MethodRegistry &registry, Context &context, const QByteArray &body,
                  int callSeconds);

// A frame that answers no request (id 0): the server's word on the
// connection itself (a limit reached, access refused) before it closes it.
QByteArray noticeFrame(int code, const QString &message);

} // namespace prx::server
