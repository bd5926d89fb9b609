#pragma once

#include "core/MethodRegistry.h"
#include "net/AnswerPieces.h"

#include <QByteArray>
#include <QString>

#include <functional>
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

// Sends an answer whose rows are read as it is written (rest->readsRows()):
// called on the worker, under the call's time limit, with the head encoded;
// it writes every piece (or gives up on a client gone) before it returns;
// the rows' statement then ends on the worker whose connection runs it.
using SendWhileReading = std::function<void(AnswerFrames &frames)>;

// Decodes the request, runs it under the call time limit (seconds <= 0: no
// limit) and encodes the answer. Never throws. Without `sendWhileReading`,
// rows a method reads as they are sent are read whole before the answer.
CallReply runCall(const MethodRegistry &registry, Context &context, const QByteArray &body,
                  int callSeconds, const SendWhileReading &sendWhileReading = {});

// A frame that answers no request (id 0): the server's word on the
// connection itself (a limit reached, access refused) before it closes it.
QByteArray noticeFrame(int code, const QString &message);

} // namespace prx::server
