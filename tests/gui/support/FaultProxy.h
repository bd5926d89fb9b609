#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

class QTcpServer;
class QTcpSocket;

namespace prx::test {

// Stands between the screen and the real server and passes every frame on,
// except calls of the methods told to fail: those get an error answer with
// the given message, as the server gives for a failure of its own. Lets a
// test see what the screen does with an error of a call the real server
// never fails on demand.
class FaultProxy : public QObject
{
    Q_OBJECT

public:
    explicit FaultProxy(QObject *parent = nullptr);
    ~FaultProxy() override;

    // Listens on 127.0.0.1 (a port of the system's choice) for the server at
    // host:port. False when it cannot listen.
    bool start(const QString &host, quint16 port);
    quint16 port() const;

    void failMethod(const QString &method, const QString &message);
    void clearFailures() { m_failures.clear(); }
    // How many calls of the method passed through (answered or refused).
    int callCount(const QString &method) const { return m_calls.value(method); }
    // The methods called since the last clearCalls(), in the order they came.
    const QStringList &calls() const { return m_order; }
    void clearCalls() { m_order.clear(); }
    // The arguments of the method's last call.
    QVariantList lastArgs(const QString &method) const { return m_lastArgs.value(method); }

private:
    void accept();

    QTcpServer *m_listener; // owned (child)
    QString m_host;
    quint16 m_upstreamPort = 0;
    QHash<QString, QString> m_failures;
    QHash<QString, int> m_calls;
    QStringList m_order;
    QHash<QString, QVariantList> m_lastArgs;
};

} // namespace prx::test
