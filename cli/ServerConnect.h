#pragma once

#include <QString>

namespace prx {
class NetConnection;
}

namespace prx::cli {

// Where and how a command reaches the application server: --server HOST:PORT,
// --key-file, --tls with --ca-file, --user and --object.
struct ServerTarget
{
    QString server = QStringLiteral("127.0.0.1:7451");
    QString keyFile, caFile, user;
    bool tls = false;
    QString object = QStringLiteral("Prx51700.rdmTabePreco");
};

// Splits "host:port" (an IPv6 host in brackets); false when either part is bad.
bool splitServer(const QString &text, QString *host, int *port);

// Sets the connection up for the target; false with the reason, in
// Portuguese, in *error (a bad address, an unreadable key or certificate).
bool prepareConnection(const ServerTarget &target, NetConnection *connection, QString *error);

} // namespace prx::cli
