// Opens a period of 100,000 price items the way the screen does: GetItemPreco
// through a real prx-server on loopback, the packet over the wire and loaded
// into a client dataset. Compared with the sqlite3 command-line tool selecting
// the same rows to /dev/null. Also the client memory of that dataset and the
// save of one edited item (delta, transaction, answer).
//
// Then a period with a million differentiated prices (a copy of the database
// given them): GetPrecoHora through a real server, the answer in pieces
// loaded into a client dataset, against sqlite3 selecting the same rows, with
// the client's peak resident memory.
//
// Needs PRX_BIN_DIR (where prx-server is) and PRX_BENCH_DB (a database made
// with prx-cli demo --products 100000).
#include "BenchDemo.h"
#include "DayPriceFixture.h"
#include "ItemListBaseline.h"

#include "dataset/ClientDataSet.h"
#include "net/NetConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

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

int startServerOrFail(QProcess &server, const QString &bin, const QString &db)
{
    const int port = startServer(server, bin, db);
    if (port == 0)
        fail(QStringLiteral("prx-server não iniciou"));
    return port;
}

// The peak resident memory since the last reset, in MB.
double peakMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// Every price item of the period in force gets differentiated prices for
// ten days and two hour ranges, up to a million: 10 % off its prices, so
// every rule a stored price obeys holds. The history triggers of the table
// go first: this is a fixture, not a change anybody made.
QString prepareDayPrices(const QString &file)
{
    QString error;
    std::unique_ptr<server::Storage> db = server::Storage::open(file, &error);
    if (!db)
        fail(error);
    QSqlQuery q(db->database());
    if (!q.exec(QStringLiteral("SELECT DTINIVGPREC FROM TABEVEND WHERE CDFILIAL = '0001' AND "
                               "CDTABEPREC = '001' AND DTINIVGPREC <= datetime('now', "
                               "'localtime') AND DTFINVGPREC >= date('now')")) ||
        !q.next())
        fail(QStringLiteral("sem vigência em vigor na tabela 001"));
    const QString start = q.value(0).toString();
    QStringList triggers;
    q.exec(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = 'ITEMPRECODIA'"));
    while (q.next())
        triggers << q.value(0).toString();
    q.finish();
    exec(*db, QStringLiteral("BEGIN"));
    for (const QString &t : triggers)
        exec(*db, QStringLiteral("DROP TRIGGER %1").arg(t));
    const QString period =
        QStringLiteral("I.CDFILIAL = '0001' AND I.CDTABEPREC = '001' AND I.DTINIVGPREC = '%1'")
            .arg(start);
    exec(*db, QStringLiteral("DELETE FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND CDTABEPREC "
                             "= '001' AND DTINIVGPREC = '%1'")
                  .arg(start));
    exec(*db, dayPriceFixtureSql(period, 1000000));
    exec(*db, QStringLiteral("COMMIT"));
    return start;
}

// GetPrecoHora's query with its values written in.
QString dayPriceSql(const QString &start)
{
    return QStringLiteral(
               "SELECT D.CDPRPAITABPR, D.CDPRODUTO, D.NRDIASEMANPR, D.IDPERVALORPR, "
               "D.IDDESCACREPR, D.HRINIPRECDIA, D.HRFINPRECDIA, D.VRPRECODIA, D.DTINIVALPREC, "
               "D.DTFINVALPREC, D.CDTIPOCONSPD, D.IDVISUACUPOM, T.NMTIPOCONS, D.PRECO, "
               "D.VRPRECODIADLV, D.VRPRECODIACMD, D.IDTPMODGERAL, D.IDTPMODDLV, D.IDTPMODCMD, "
               "D.PRECODLV, D.PRECOCMD FROM ITEMPRECODIA D LEFT JOIN TIPOCONS T ON "
               "T.CDTIPOCONS = D.CDTIPOCONSPD WHERE D.CDFILIAL = '0001' AND D.CDTABEPREC = '001' "
               "AND D.DTINIVGPREC = '%1' ORDER BY D.CDPRODUTO, D.CDPRPAITABPR, D.CDTIPOCONSPD, "
               "D.NRDIASEMANPR, D.HRINIPRECDIA, D.HRFINPRECDIA, D.DTINIVALPREC")
        .arg(start);
}

void openDayPrices(const QString &bin, const QString &source)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("precos.sqlite"));
    if (!QFile::copy(source, file))
        fail(QStringLiteral("não foi possível copiar a base"));
    const QString start = prepareDayPrices(file);
    QProcess server;
    NetConnection net;
    net.setHost("127.0.0.1");
    net.setPort(startServerOrFail(server, bin, file));
    net.setServerObject("Prx51700.rdmTabePreco");
    const QVariantList args{"0001", "001",
                            QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd HH:mm:ss"))};

    const int runs = 3;
    QList<double> open;
    int rows = 0;
    double peak = 0, before = 0, dataset = 0;
    for (int i = 0; i < runs; ++i) {
        malloc_trim(0);
        if (i == 0) {
            resetPeak();
            before = residentMb();
        }
        ClientDataSet prices;
        QElapsedTimer t;
        t.start();
        DataPacketPtr packet = packetOf(net, "GetPrecoHora", args);
        prices.loadPacket(std::move(*packet));
        open << t.nsecsElapsed() / 1e6;
        rows = prices.recordCount();
        if (i == 0) {
            peak = peakMb();
            dataset = prices.bytesUsed() / (1024.0 * 1024.0);
        }
    }
    const double toolMs = sqliteToolMs(file, dayPriceSql(start), runs);
    const double a = median(open);
    std::printf("abrir os preços diferenciados (GetPrecoHora em partes + rede + dataset): %d "
                "linhas, %.1f ms (mediana de %d; meta < 3000 ms)\n",
                rows, a, runs);
    std::printf("sqlite3 selecionando as mesmas linhas: %.1f ms\n", toolMs);
    std::printf("razão: %.2f (meta <= 1,3)\n", a / toolMs);
    std::printf("memória do cliente: pico de RSS %.1f MB (%.1f MB antes de abrir), dataset "
                "%.1f MB (bytesUsed)\n",
                peak, before, dataset);
    server.terminate();
    server.waitForFinished(5000);
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
    const int port = startServerOrFail(server, bin, db);

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
    std::printf("razão: %.2f (meta <= 1,3)\n", a / b);
    std::printf("memória do dataset: %.1f MB (bytesUsed), RSS +%.1f MB (meta <= 64 MB)\n",
                items.bytesUsed() / (1024.0 * 1024.0), after - before);
    std::printf("salvar um item editado: %.2f ms (mediana de %d; meta <= 5 ms)\n", median(saves),
                int(saves.size()));
    server.terminate();
    server.waitForFinished(5000);
    openDayPrices(bin, db);
    return 0;
}
