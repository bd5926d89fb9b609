#pragma once

#include "net/ClientAccess.h"
#include "net/ServerResult.h"

#include <QByteArray>
#include <QObject>
#include <QVariant>

#include <functional>
#include <optional>

class QSslSocket;

namespace prx {

// The client's connection to one object of the application server. Calls are
// synchronous: call() sends the request and waits in a local event loop that
// takes no user input, so painting (the busy animation) goes on while the user
// cannot start anything else. Nothing here throws: a failed connect, a timeout
// or a dropped connection become a failed ServerResult with a Portuguese
// message, and the next call connects again. A connection proves the access
// key and talks TLS as its ClientAccess says (by default, the process-wide
// one the host sets from its configuration).
class NetConnection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString host READ host WRITE setHost)
    Q_PROPERTY(int port READ port WRITE setPort)
    Q_PROPERTY(QString serverObject READ serverObject WRITE setServerObject)
    Q_PROPERTY(bool connected READ connected WRITE setConnected)

public:
    static constexpr int DefaultTimeoutMs = 10 * 60 * 1000;
    static constexpr int DefaultConnectTimeoutMs = 30 * 1000;

    explicit NetConnection(QObject *parent = nullptr);
    ~NetConnection() override;

    // Runs before every connect, so that the owner sets host and port there.
    std::function<void(NetConnection &)> beforeConnect;

    QString host() const { return m_host; }
    void setHost(const QString &host) { m_host = host; }
    int port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    QString serverObject() const { return m_serverObject; }
    void setServerObject(const QString &name) { m_serverObject = name; }

    int timeout() const { return m_timeoutMs; }
    void setTimeout(int ms) { m_timeoutMs = ms; }
    int connectTimeout() const { return m_connectTimeoutMs; }
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }

    // What every connection without an access of its own uses.
    static void setDefaultAccess(const ClientAccess &access);
    static ClientAccess defaultAccess();
    void setAccess(const ClientAccess &access);
    ClientAccess access() const;

    // The user name every call carries, for the server's records: this
    // connection's own, else the process-wide one the host sets from its
    // configuration, else the operating system's user.
    static void setDefaultUserName(const QString &name);
    static QString defaultUserName();
    void setUserName(const QString &name) { m_userName = name; }
    QString userName() const;

    // Connecting never raises; a failure is kept in lastError() and reported
    // by the first call.
    void setConnected(bool connected);
    bool connected() const;
    QString lastError() const { return m_lastError; }

    ServerResult call(const QString &method, const QVariantList &args);

private:
    bool open(QString *error, int *code);
    bool proveKey(const QByteArray &key, QString *error, int *code);
    // Waits for the next whole frame; false on timeout or a lost connection.
    bool nextFrame(QByteArray *body, quint32 limit, int timeoutMs);
    void drop();
    bool stillConnected();
    QString address() const;
    ServerResult failure(int code, const QString &message);

    QSslSocket *m_socket; // owned (child); plain TCP unless TLS is asked for
    std::optional<ClientAccess> m_access;
    QString m_userName;
    QString m_host;
    int m_port = 0;
    QString m_serverObject;
    int m_timeoutMs = DefaultTimeoutMs;
    int m_connectTimeoutMs = DefaultConnectTimeoutMs;
    QByteArray m_buffer;
    qint64 m_nextId = 0;
    bool m_busy = false;
    QString m_lastError;
};

} // namespace prx
