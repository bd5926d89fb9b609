// Opens a period of 100,000 price items the way the screen does: GetItemPreco
// through a real prx-server on loopback, the packet over the wire and loaded
// into a client dataset. Compared with the sqlite3 command-line tool selecting
// the same rows to /dev/null. Also the client memory of that dataset and the
// save of one edited item (delta, transaction, answer).
//
// Needs PRX_BIN_DIR (where prx-server is) and PRX_BENCH_DB (a database made
// with prx-cli demo --products 100000).
#include "ItemListBaseline.h"

#include "dataset/ClientDataSet.h"
#include "net/NetConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <malloc.h>

using namespace prx;
using namespace prx::bench;

namespace {

double residentMb()
{
    return double(residentBytes()) / (1024.0 * 1024.0);
}

DataPacketPtr packetOf(NetConnection &net, const QString &method, const QVariantList &args)
{
    const ServerResult r = net.call(method, args);
    if (!r.ok) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(r.message));
        std::exit(1);
    }
    return r.payload.value<DataPacketPtr>();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString bin = qEnvironmentVariable("PRX_BIN_DIR");
    const QString db = qEnvironmentVariable("PRX_BENCH_DB");
    if (bin.isEmpty() || db.isEmpty() || !QFile::exists(db)) {
        std::fprintf(stderr, "defina PRX_BIN_DIR e PRX_BENCH_DB (veja scripts/run-bench.sh)\n");
        return 2;
    }
    QProcess server;
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start(bin + "/prx-server", {"--db", db, "--listen", "127.0.0.1:0"});
    int port = 0;
    while (port == 0 && server.waitForReadyRead(30000)) {
        const QString line = QString::fromUtf8(server.readLine()).trimmed();
        if (line.startsWith("listening on "))
            port = line.section(':', -1).toInt();
    }
    if (port == 0) {
        std::fprintf(stderr, "prx-server não iniciou\n");
        return 1;
    }

    NetConnection net;
    net.setHost("127.0.0.1");
    net.setPort(port);
    net.setServerObject("Prx51700.rdmTabePreco");

    // The period of table 001 of branch 0001 in force today, else its first.
    const DataPacketPtr branch = packetOf(net, "GetFilial", {"0001", ""});
    const QString segment = branch->string(0, branch->indexOf(u"CDSEGMER"));
    const DataPacketPtr periods = packetOf(net, "GetTabeVend", {"0001", "001"});
    const int startCol = periods->indexOf(u"DTINIVGPREC");
    const int endCol = periods->indexOf(u"DTFINVGPREC");
    QDateTime start = periods->dateTime(0, startCol);
    const QDate today = QDate::currentDate();
    for (int r = 0; r < periods->rowCount(); ++r) {
        if (periods->dateTime(r, startCol).date() <= today &&
            periods->dateTime(r, endCol).date() >= today)
            start = periods->dateTime(r, startCol);
    }
    const QVariantList args{"0001", "001", segment, "3", start, "", "T"};

    const int runs = 7;
    QList<double> open;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        ClientDataSet items;
        QElapsedTimer t;
        t.start();
        DataPacketPtr packet = packetOf(net, "GetItemPreco", args);
        items.loadPacket(std::move(*packet));
        open << t.nsecsElapsed() / 1e6;
        rows = items.recordCount();
    }

    const double toolMs = sqliteToolMs(db, itemListSqlFor("0001", "001", segment, start), runs);

    // Memory of one loaded period, and saving single edits of it.
    // Memory the timed runs freed goes back to the system first, or the new
    // dataset would reuse it and look free.
    malloc_trim(0);
    const double before = residentMb();
    ClientDataSet items;
    items.loadPacket(std::move(*packetOf(net, "GetItemPreco", args)));
    const double after = residentMb();
    QList<double> saves;
    for (int i = 0; i < 30; ++i) {
        items.moveTo(1000 + i * 997);
        items.edit();
        items.fieldByName(u"VRPRECITEM").setAsFloat(10.0 + i);
        items.post();
        QElapsedTimer t;
        t.start();
        const ServerResult r = net.call("SetItemPreco", {QVariant::fromValue(items.delta()), ""});
        if (!r.ok) {
            std::fprintf(stderr, "SetItemPreco: %s\n", qPrintable(r.message));
            return 1;
        }
        items.mergeChangeLog();
        saves << t.nsecsElapsed() / 1e6;
    }

    const double a = median(open), b = toolMs;
    std::printf(
        "abrir vigência (GetItemPreco + rede + dataset): %d linhas, %.1f ms (mediana de %d)\n",
        rows, a, runs);
    std::printf("sqlite3 selecionando as mesmas linhas: %.1f ms\n", b);
    std::printf("razão: %.2f (meta <= 2,0)\n", a / b);
    std::printf("memória do dataset: %.1f MB (bytesUsed), RSS +%.1f MB (meta <= 64 MB)\n",
                items.bytesUsed() / (1024.0 * 1024.0), after - before);
    std::printf("salvar um item editado: %.2f ms (mediana de %d; meta <= 5 ms)\n", median(saves),
                int(saves.size()));
    server.terminate();
    server.waitForFinished(5000);
    return 0;
}
