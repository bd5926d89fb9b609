#include "net/NetConnection.h"

#include "net/AccessKey.h"
#include "net/AnswerPieces.h"
#include "net/Wire.h"

#include <QEventLoop>
#include <QMutex>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace prx {

namespace {

QMutex defaultAccessMutex;
ClientAccess &defaultAccessValue()
{
    static ClientAccess access;
    return access;
}

QString &defaultUserNameValue()
{
    static QString name;
    return name;
}

} // namespace

void NetConnection::setDefaultUserName(const QString &name)
{
    QMutexLocker lock(&defaultAccessMutex);
    defaultUserNameValue() = name;
}

QString NetConnection::defaultUserName()
{
    {
        QMutexLocker lock(&defaultAccessMutex);
        if (!defaultUserNameValue().isEmpty())
            return defaultUserNameValue();
    }
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

QString NetConnection::userName() const
{
    return m_userName.isEmpty() ? defaultUserName() : m_userName;
}

NetConnection::NetConnection(QObject *parent) : QObject(parent), m_socket(new QSslSocket(this))
{
    // A server that sends pieces faster than this side reads them into their
    // packet must wait in the network, not in this process: unbounded, the
    // socket would take in whatever the kernel holds (tens of MB on loopback)
    // on top of the rows being read.
    m_socket->setReadBufferSize(1024 * 1024);
}

void NetConnection::setDefaultAccess(const ClientAccess &access)
{
    QMutexLocker lock(&defaultAccessMutex);
    defaultAccessValue() = access;
}

ClientAccess NetConnection::defaultAccess()
{
    QMutexLocker lock(&defaultAccessMutex);
    return defaultAccessValue();
}

void NetConnection::setAccess(const ClientAccess &access)
{
    m_access = access;
}

ClientAccess NetConnection::access() const
{
    return m_access ? *m_access : defaultAccess();
}

NetConnection::~NetConnection()
{
    m_socket->abort();
}

QString NetConnection::address() const
{
    return QStringLiteral("%1:%2").arg(m_host).arg(m_port);
}

ServerResult NetConnection::failure(int code, const QString &message)
{
    m_lastError = message;
    ServerResult result;
    result.code = code;
    result.message = message;
    return result;
}

bool NetConnection::connected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void NetConnection::setConnected(bool connected)
{
    if (!connected) {
        drop();
        return;
    }
    if (this->connected())
        return;
    QString error;
    int code = 0;
    if (!open(&error, &code))
        m_lastError = error;
}

void NetConnection::drop()
{
    m_socket->abort();
    m_buffer.clear();
}

bool NetConnection::open(QString *error, int *code)
{
    drop();
    *code = NetErrorConnect;
    if (beforeConnect) {
        try {
            beforeConnect(*this);
        } catch (const std::exception &e) {
            *error =
                QStringLiteral("Não foi possível preparar a conexão ao servidor de aplicação: %1")
                    .arg(QString::fromUtf8(e.what()));
            return false;
        }
    }
    if (m_host.isEmpty()) {
        *error = QStringLiteral("O endereço do servidor de aplicação não foi informado.");
        return false;
    }
    if (m_port <= 0 || m_port > 65535) {
        *error = QStringLiteral("A porta do servidor de aplicação é inválida: %1.").arg(m_port);
        return false;
    }

    const ClientAccess how = access();
    QList<QSslError> tlsErrors;
    if (how.tls) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        if (!how.trusted.isEmpty())
            tls.addCaCertificates(how.trusted);
        m_socket->setSslConfiguration(tls);
        m_socket->connectToHostEncrypted(m_host, quint16(m_port));
    } else {
        m_socket->connectToHost(m_host, quint16(m_port));
    }
    auto ready = [&] {
        return m_socket->state() == QAbstractSocket::ConnectedState &&
               (!how.tls || m_socket->isEncrypted());
    };
    if (!ready() && m_socket->state() != QAbstractSocket::UnconnectedState) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(m_socket, how.tls ? &QSslSocket::encrypted : &QSslSocket::connected, &loop,
                &QEventLoop::quit);
        connect(m_socket, &QSslSocket::errorOccurred, &loop, &QEventLoop::quit);
        connect(m_socket, &QSslSocket::sslErrors, &loop,
                [&](const QList<QSslError> &errors) { tlsErrors = errors; });
        timer.start(m_connectTimeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (ready()) {
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (how.key.isEmpty() || proveKey(how.key, error, code))
            return true;
        m_socket->abort();
        return false;
    }
    QString reason = m_socket->error() == QAbstractSocket::UnknownSocketError
                         ? QStringLiteral("tempo esgotado")
                         : m_socket->errorString();
    if (!tlsErrors.isEmpty()) {
        *code = NetErrorAccess;
        reason = QStringLiteral("o certificado do servidor não é confiável (%1)")
                     .arg(tlsErrors.first().errorString());
    }
    *error = QStringLiteral("Não foi possível conectar ao servidor de aplicação em %1: %2.")
                 .arg(address(), reason);
    m_socket->abort();
    return false;
}

bool NetConnection::nextFrame(QByteArray *body, quint32 limit, int timeoutMs)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.start(timeoutMs);
    for (;;) {
        m_buffer.append(m_socket->readAll());
        const wire::FrameStatus status = wire::takeFrame(m_buffer, body, limit);
        if (status == wire::FrameStatus::Ready)
            return true;
        if (status == wire::FrameStatus::TooLarge || !connected() || !timer.isActive())
            return false;
        QEventLoop loop;
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(m_socket, &QSslSocket::readyRead, &loop, &QEventLoop::quit);
        connect(m_socket, &QSslSocket::disconnected, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

bool NetConnection::proveKey(const QByteArray &key, QString *error, int *code)
{
    *code = NetErrorAccess;
    QByteArray body;
    QByteArray challenge;
    if (!nextFrame(&body, access::HandshakeFrameLimit, m_connectTimeoutMs) ||
        !access::readChallenge(body, &challenge)) {
        *error = QStringLiteral("O servidor de aplicação em %1 não pediu a chave de acesso; "
                                "confira o endereço e a configuração.")
                     .arg(address());
        return false;
    }
    const QByteArray nonce = access::newNonce();
    m_socket->write(access::answerFrame(access::clientAnswer(key, challenge, nonce), nonce));
    // A refusal comes as an answer of id 0 after a pause.
    if (!nextFrame(&body, wire::MaxFrameBytes, m_connectTimeoutMs + 5000)) {
        *error = QStringLiteral("O servidor de aplicação em %1 encerrou a conexão durante a prova "
                                "da chave de acesso.")
                     .arg(address());
        return false;
    }
    QByteArray proof;
    if (access::readProof(body, &proof)) {
        if (access::sameBytes(proof, access::serverProof(key, challenge, nonce)))
            return true;
        *error = QStringLiteral("O servidor de aplicação em %1 não comprovou ter a chave de "
                                "acesso; a conexão foi encerrada.")
                     .arg(address());
        return false;
    }
    wire::Answer refusal;
    if (wire::decodeAnswer(body, &refusal, error) && !refusal.ok) {
        *code = refusal.errorCode;
        *error = refusal.errorMessage;
        return false;
    }
    *error = QStringLiteral("O servidor de aplicação em %1 respondeu à prova da chave de acesso "
                            "de forma inválida.")
                 .arg(address());
    return false;
}

bool NetConnection::stillConnected()
{
    if (!connected())
        return false;
    // A server that went away between two calls has closed its end already;
    // looking now, without waiting, lets this call connect again instead of
    // failing on a dead connection. Bytes nobody asked for are dropped.
    if (m_socket->bytesAvailable() > 0 || m_socket->waitForReadyRead(0))
        m_socket->readAll();
    m_buffer.clear();
    return connected();
}

ServerResult NetConnection::call(const QString &method, const QVariantList &args)
{
    if (m_busy) {
        return failure(NetErrorBusy,
                       QStringLiteral("A chamada de %1 não pôde ser feita: outra chamada ao "
                                      "servidor de aplicação ainda aguarda resposta.")
                           .arg(method));
    }
    QScopedValueRollback<bool> busy(m_busy, true);

    for (int i = 0; i < args.size(); ++i) {
        QString why;
        if (!wire::isWritable(args[i], &why)) {
            return failure(NetErrorArguments,
                           QStringLiteral("O argumento %1 de %2 não pode ser enviado: %3.")
                               .arg(i + 1)
                               .arg(method, why));
        }
    }
    wire::Request request;
    request.id = ++m_nextId;
    request.object = m_serverObject;
    request.method = method;
    request.args = args;
    request.user = userName();
    const QByteArray frame = wire::encodeRequest(request);
    if (frame.isEmpty()) {
        return failure(NetErrorArguments,
                       QStringLiteral("Os argumentos de %1 passam do tamanho máximo de uma "
                                      "mensagem ao servidor.")
                           .arg(method));
    }

    if (!stillConnected()) {
        QString error;
        int code = 0;
        if (!open(&error, &code))
            return failure(code, error);
    }

    enum class Outcome
    {
        Waiting,
        Answered,
        Lost,
        Invalid,
        TimedOut,
        KeyWanted
    };
    Outcome outcome = Outcome::Waiting;
    wire::Answer answer;
    // A large answer comes in pieces, each read into its packet on arrival.
    wire::AnswerReader pieces;
    QString detail;
    QPointer<NetConnection> self(this);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    auto finish = [&](Outcome o) {
        if (outcome == Outcome::Waiting) {
            outcome = o;
            loop.quit();
        }
    };
    connect(&timer, &QTimer::timeout, &loop, [&] { finish(Outcome::TimedOut); });
    connect(m_socket, &QSslSocket::readyRead, &loop, [&] {
        m_buffer.append(m_socket->readAll());
        QByteArray body;
        while (outcome == Outcome::Waiting) {
            const wire::FrameStatus status = wire::takeFrame(m_buffer, &body);
            if (status == wire::FrameStatus::Incomplete)
                return;
            if (status == wire::FrameStatus::TooLarge) {
                detail = QStringLiteral("mensagem maior que o limite");
                finish(Outcome::Invalid);
                return;
            }
            const bool head = !pieces.started();
            const wire::AnswerReader::Step step = pieces.take(body, &detail);
            if (step == wire::AnswerReader::Step::Invalid) {
                QByteArray challenge;
                finish(head && access::readChallenge(body, &challenge) ? Outcome::KeyWanted
                                                                       : Outcome::Invalid);
                return;
            }
            // An older id can only be a leftover: skip it. Id 0 is the
            // server's word on the connection itself (a limit reached).
            const wire::Answer &a = pieces.answer();
            if (head && a.id != request.id && !(a.id == 0 && !a.ok)) {
                if (step == wire::AnswerReader::Step::More) {
                    // Its pieces would follow: nothing on this connection
                    // can be trusted to belong to this call.
                    detail = QStringLiteral("resposta em partes de outra chamada");
                    finish(Outcome::Invalid);
                    return;
                }
                pieces.reset();
                continue;
            }
            if (step == wire::AnswerReader::Step::Complete) {
                answer = pieces.takeAnswer();
                finish(Outcome::Answered);
            }
        }
    });
    connect(m_socket, &QSslSocket::disconnected, &loop, [&] { finish(Outcome::Lost); });
    connect(m_socket, &QSslSocket::errorOccurred, &loop, [&] {
        detail = m_socket->errorString();
        finish(Outcome::Lost);
    });

    m_socket->write(frame);
    timer.start(m_timeoutMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!self) {
        ServerResult gone;
        gone.code = NetErrorLost;
        gone.message = QStringLiteral("A conexão ao servidor de aplicação foi encerrada durante a "
                                      "chamada de %1.")
                           .arg(method);
        return gone;
    }

    switch (outcome) {
    case Outcome::Answered: {
        ServerResult result;
        result.ok = answer.ok;
        result.payload = std::move(answer.payload);
        result.code = answer.errorCode;
        result.message = answer.errorMessage;
        if (!result.ok)
            m_lastError = result.message;
        // The server's word on the connection itself comes just before it
        // closes it: the next call must not be written into that socket.
        if (answer.id == 0)
            drop();
        return result;
    }
    case Outcome::TimedOut:
        // The late answer must not be taken for the next call's.
        drop();
        return failure(NetErrorTimeout,
                       QStringLiteral("O servidor de aplicação em %1 não respondeu à chamada de %2 "
                                      "em %3 segundos.")
                           .arg(address(), method)
                           .arg(m_timeoutMs / 1000.0, 0, 'f', m_timeoutMs % 1000 ? 1 : 0));
    case Outcome::Invalid:
        drop();
        return failure(NetErrorProtocol,
                       QStringLiteral("O servidor de aplicação em %1 enviou uma resposta inválida "
                                      "à chamada de %2: %3")
                           .arg(address(), method, detail));
    case Outcome::KeyWanted:
        drop();
        return failure(NetErrorAccess,
                       QStringLiteral("O servidor de aplicação em %1 exige a chave de acesso; "
                                      "informe o arquivo da chave na configuração.")
                           .arg(address()));
    case Outcome::Lost:
    case Outcome::Waiting:
        break;
    }
    drop();
    return failure(
        NetErrorLost,
        QStringLiteral("A conexão com o servidor de aplicação em %1 foi perdida durante "
                       "a chamada de %2%3.")
            .arg(address(), method, detail.isEmpty() ? QString() : QStringLiteral(": ") + detail));
}

} // namespace prx
