#pragma once

#include "dataset/ColumnTable.h"
#include "net/NetConnection.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

// What the server load benchmarks share: a prx-server of PRX_BIN_DIR started
// on a free port, and a connection to it.
namespace prx::bench {

// Starts prx-server with these arguments; its port, 0 when it did not start.
inline int startServer(QProcess &server, const QStringList &args)
{
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(qEnvironmentVariable("PRX_BIN_DIR") + QStringLiteral("/prx-server"),
                 args + QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    int port = 0;
    while (port == 0 && server.waitForReadyRead(120000)) {
        const QString line = QString::fromUtf8(server.readLine()).trimmed();
        if (line.startsWith(QStringLiteral("listening on ")))
            port = line.section(QLatin1Char(':'), -1).toInt();
    }
    return port;
}

inline void stopServer(QProcess &server)
{
    server.terminate();
    if (!server.waitForFinished(10000))
        server.kill();
    server.waitForFinished(5000);
}

inline void connectTo(NetConnection &net, int port)
{
    net.setHost(QStringLiteral("127.0.0.1"));
    net.setPort(port);
    net.setServerObject(QStringLiteral("Prx51700.rdmTabePreco"));
}

inline DataPacketPtr packetOf(NetConnection &net, const QString &method, const QVariantList &args)
{
    const ServerResult r = net.call(method, args);
    if (!r.ok) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(r.message));
        std::exit(1);
    }
    return r.payload.value<DataPacketPtr>();
}

// The arguments of GetItemPreco for the first period of table 001 of branch
// 0001, as the screen sends them.
inline QVariantList itemListArgs(NetConnection &net)
{
    const DataPacketPtr branch =
        packetOf(net, QStringLiteral("GetFilial"), {QStringLiteral("0001"), QString()});
    const QString segment = branch->string(0, branch->indexOf(u"CDSEGMER"));
    const DataPacketPtr periods = packetOf(net, QStringLiteral("GetTabeVend"),
                                           {QStringLiteral("0001"), QStringLiteral("001")});
    const QDateTime start = periods->dateTime(0, periods->indexOf(u"DTINIVGPREC"));
    return {QStringLiteral("0001"), QStringLiteral("001"), segment, QStringLiteral("3"),
            start, QString(), QStringLiteral("T")};
}

} // namespace prx::bench
