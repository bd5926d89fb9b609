// prx-server --db FILE|URL [--listen HOST:PORT]
// Opens the database (creating a SQLite file and filling it with demo data on
// its first run), registers every method and serves calls until SIGINT or
// SIGTERM.

#include "core/MethodRegistry.h"
#include "demo/DemoGenerator.h"
#include "storage/Storage.h"
#include "transport/TransportServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace prx::server;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    if (::write(signalPipe[1], &byte, 1) < 0) {
        // nothing else is safe to do inside a signal handler
    }
}

// A signal only writes a byte; the event loop reads it and quits, so that the
// database is closed the ordinary way.
bool quitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

void printErr(const QString &text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

int usage(const QString &problem = {})
{
    if (!problem.isEmpty())
        printErr(QStringLiteral("prx-server: %1").arg(problem));
    printErr(QStringLiteral("Uso: prx-server --db ARQUIVO|URL [--listen HOST:PORTA]\n"
                            "  --db      arquivo SQLite (criado com dados de demonstração se não "
                            "existir)\n"
                            "            ou URL PostgreSQL (postgresql://usuario@host:porta/base)\n"
                            "  --listen  endereço de escuta; padrão 127.0.0.1:7451; porta 0 "
                            "escolhe uma livre"));
    return 2;
}

bool parseListen(const QString &text, QHostAddress *address, quint16 *port)
{
    const int colon = int(text.lastIndexOf(QLatin1Char(':')));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint p = text.mid(colon + 1).toUInt(&ok);
    if (!ok || p > 65535)
        return false;
    if (host == QLatin1StringView("localhost"))
        *address = QHostAddress(QHostAddress::LocalHost);
    else if (host == QLatin1StringView("*"))
        *address = QHostAddress(QHostAddress::Any);
    else if (!address->setAddress(host))
        return false;
    *port = quint16(p);
    return true;
}

void removeDatabaseFile(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString db;
    QString listen = QStringLiteral("127.0.0.1:7451");
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto takeValue = [&](const QString &name, QString *out) {
            if (a == name) {
                if (i + 1 >= args.size())
                    return false;
                *out = args[++i];
                return true;
            }
            *out = a.mid(name.size() + 1);
            return true;
        };
        if (a == QLatin1StringView("--db") || a.startsWith(QLatin1StringView("--db="))) {
            if (!takeValue(QStringLiteral("--db"), &db))
                return usage(QStringLiteral("falta o valor de --db"));
        } else if (a == QLatin1StringView("--listen") ||
                   a.startsWith(QLatin1StringView("--listen="))) {
            if (!takeValue(QStringLiteral("--listen"), &listen))
                return usage(QStringLiteral("falta o valor de --listen"));
        } else if (a == QLatin1StringView("-h") || a == QLatin1StringView("--help")) {
            usage();
            return 0;
        } else {
            return usage(QStringLiteral("argumento desconhecido: %1").arg(a));
        }
    }
    if (db.isEmpty())
        return usage(QStringLiteral("informe a base de dados com --db"));
    QHostAddress address;
    quint16 port = 0;
    if (!parseListen(listen, &address, &port))
        return usage(QStringLiteral("endereço de escuta inválido: %1").arg(listen));

    const bool isFile = !db.contains(QLatin1StringView("://"));
    const bool fresh = isFile && !QFileInfo::exists(db);

    QString error;
    std::unique_ptr<Storage> storage = Storage::open(db, &error);
    if (!storage) {
        printErr(error.isEmpty() ? QStringLiteral("Não foi possível abrir a base %1.").arg(db)
                                 : error);
        return 1;
    }
    MethodRegistry registry;
    try {
        storage->createSchema();
        if (fresh) {
            printErr(QStringLiteral("Base nova em %1: gerando dados de demonstração...").arg(db));
            generateDemo(*storage, DemoOptions());
        }
        registerAllMethods(registry);
    } catch (const std::exception &e) {
        printErr(QStringLiteral("Não foi possível preparar a base %1: %2")
                     .arg(db, QString::fromUtf8(e.what())));
        if (fresh) {
            // A half-filled new file would pass for a ready one on the next start.
            storage.reset();
            removeDatabaseFile(db);
        }
        return 1;
    }

    Context context{*storage};
    TransportServer server(registry, context);
    if (!server.listen(address, port)) {
        printErr(QStringLiteral("Não foi possível escutar em %1: %2.")
                     .arg(listen, server.errorString()));
        return 1;
    }
    if (!quitOnSignals(app))
        printErr(QStringLiteral("Aviso: os sinais de término não puderam ser tratados."));

    const QString host = server.serverAddress().protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(server.serverAddress().toString())
                             : server.serverAddress().toString();
    std::printf("listening on %s:%u\n", host.toLocal8Bit().constData(),
                unsigned(server.serverPort()));
    std::fflush(stdout);

    const int status = app.exec();
    server.close();
    printErr(QStringLiteral("prx-server encerrado."));
    return status;
}
