#include "transport/CallRunner.h"

#include "core/CallDeadline.h"
#include "net/Wire.h"
#include "storage/DroppedRows.h"
#include "storage/HistoryTriggers.h"

#include <QElapsedTimer>

namespace prx::server {

namespace {

// An answer of any size goes out in pieces; only one whose head alone
// passes the largest frame (a huge list of plain values) is refused.
AnswerFrames encodeOrShrink(wire::Answer answer, QString *failure = nullptr)
{
    const qint64 id = answer.id;
    auto writer = std::make_shared<wire::AnswerWriter>(std::move(answer));
    AnswerFrames frames;
    frames.head = writer->first();
    if (failure)
        *failure = writer->failure(); // rows read for the head failed: the head is the error
    if (!frames.head.isEmpty()) {
        if (writer->hasMore())
            frames.rest = std::move(writer);
        return frames;
    }
    wire::Answer tooLarge;
    tooLarge.id = id;
    tooLarge.errorCode = ErrorInternal;
    tooLarge.errorMessage = QStringLiteral("A resposta passa do tamanho máximo de uma mensagem "
                                           "(%1 MB); restrinja a consulta.")
                                .arg(wire::MaxFrameBytes / (1024 * 1024));
    frames.head = wire::encodeAnswer(tooLarge);
    return frames;
}

} // namespace

QByteArray noticeFrame(int code, const QString &message)
{
    wire::Answer notice;
    notice.id = 0;
    notice.errorCode = code;
    notice.errorMessage = message;
    return wire::encodeAnswer(notice);
}

CallReply runCall(const MethodRegistry &registry, Context &context, const QByteArray &body,
                  int callSeconds, const SendWhileReading &sendWhileReading)
{
    CallReply reply;
    wire::Request request;
    QString error;
    bool idRead = false;
    if (!wire::decodeRequest(body, &request, &error, &idRead)) {
        if (!idRead) {
            reply.drop = true;
            reply.logText = error;
            return reply;
        }
        wire::Answer answer;
        answer.id = request.id;
        answer.errorCode = ErrorBadFrame;
        answer.errorMessage = error;
        reply.frame = encodeOrShrink(answer);
        reply.logText = QStringLiteral("pedido %1 recusado: %2").arg(request.id).arg(error);
        return reply;
    }

    QElapsedTimer timer;
    timer.start();
    Outcome outcome;
    // Rows read while they are sent are read under the call's limit too.
    CallDeadline::Scope limit(callSeconds);
    {
        // Whatever the call changes in prices is recorded under its user and
        // the method's own name, however the client spelled it.
        const Method *known = registry.find(request.object, request.method);
        const HistoryCaller caller(request.user, known ? known->name : request.method);
        takeDroppedRows();
        outcome = dispatch(registry, context, request.object, request.method, request.args,
                           sendWhileReading ? StreamedRows::Kept : StreamedRows::Collected);
        // A read the driver cut short gave the method part of its rows: its
        // answer would be short without saying so.
        if (outcome.ok && takeDroppedRows()) {
            outcome.ok = false;
            outcome.code = ErrorInternal;
            outcome.message = QStringLiteral("Erro interno do servidor: uma leitura da base foi "
                                             "interrompida por outra consulta.");
            outcome.payload = QVariant();
        }
        // However the database put it, a call stopped at its limit is told so.
        if (!outcome.ok && CallDeadline::expired()) {
            outcome.code = ErrorLimit;
            outcome.message = CallDeadline::message();
        }
    }
    wire::Answer answer;
    answer.id = request.id;
    answer.ok = outcome.ok;
    answer.errorCode = outcome.code;
    answer.errorMessage = outcome.message;
    if (outcome.ok) {
        // A payload that cannot travel must not reach the client as a null.
        QString why;
        if (wire::isWritable(outcome.payload, &why)) {
            answer.payload = std::move(outcome.payload);
        } else {
            answer.ok = false;
            answer.errorCode = ErrorInternal;
            answer.errorMessage =
                QStringLiteral(
                    "Erro interno do servidor: a resposta de %1 não pode ser enviada (%2).")
                    .arg(request.method, why);
        }
    }
    bool ok = answer.ok;
    int errorCode = answer.errorCode;
    QString errorMessage = answer.errorMessage;
    QString failure;
    reply.frame = encodeOrShrink(std::move(answer), &failure);
    if (reply.frame.rest && reply.frame.rest->readsRows()) {
        const std::shared_ptr<wire::AnswerWriter> rest = reply.frame.rest;
        sendWhileReading(reply.frame);
        reply.frame.rest.reset();
        failure = rest->failure();
    }
    if (!failure.isEmpty()) {
        ok = false;
        errorCode = ErrorInternal;
        errorMessage = failure;
    }
    reply.logText = QStringLiteral("%1.%2 %3 ms %4")
                        .arg(request.object, request.method)
                        .arg(double(timer.nsecsElapsed()) / 1e6, 0, 'f', 1)
                        .arg(ok ? QStringLiteral("ok")
                                : QStringLiteral("erro %1: %2").arg(errorCode).arg(errorMessage));
    return reply;
}

} // namespace prx::server
