#include "ServerConnect.h"

#include "net/ClientAccess.h"
#include "net/NetConnection.h"

namespace prx::cli {

bool splitServer(const QString &text, QString *host, int *port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    *port = text.mid(colon + 1).toInt(&ok);
    *host = text.left(colon);
    if (host->startsWith(QLatin1Char('[')) && host->endsWith(QLatin1Char(']')))
        *host = host->mid(1, host->size() - 2);
    return ok && *port > 0 && *port <= 65535 && !host->isEmpty();
}

bool prepareConnection(const ServerTarget &target, NetConnection *connection, QString *error)
{
    QString host;
    int port = 0;
    if (!splitServer(target.server, &host, &port)) {
        *error = QStringLiteral("servidor inválido: %1 (use HOST:PORTA)").arg(target.server);
        return false;
    }
    ClientAccess access;
    if (!ClientAccess::load(target.keyFile, target.tls, target.caFile, &access, error))
        return false;
    connection->setAccess(access);
    if (!target.user.isEmpty())
        connection->setUserName(target.user);
    connection->setServerObject(target.object);
    connection->beforeConnect = [host, port](NetConnection &c) {
        c.setHost(host);
        c.setPort(port);
    };
    return true;
}

} // namespace prx::cli
