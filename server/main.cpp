// prx-server --db FILE|URL [--listen HOST:PORT] [--workers N] [--short-workers N]
//            [--key-file FILE]
//            [--tls-cert FILE --tls-key FILE] [--max-connections N] [--max-frame-mb N]
//            [--idle-timeout S] [--call-timeout S]
// Opens the database (creating a SQLite file and filling it with demo data on
// its first run), registers every method and serves calls until SIGINT or
// SIGTERM. Nothing of a client lives in the process between calls, so several
// servers on one PostgreSQL database serve as one.

#include "core/MethodRegistry.h"
#include "demo/DemoGenerator.h"
#include "net/AccessKey.h"
#include "storage/Storage.h"
#include "transport/TransportServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslKey>
#include <QThread>

#include <algorithm>
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
    printErr(QStringLiteral(
        "Uso: prx-server --db ARQUIVO|URL [--listen HOST:PORTA] [opções]\n"
        "  --db               arquivo SQLite (criado com dados de demonstração se não existir)\n"
        "                     ou URL PostgreSQL (postgresql://usuario@host:porta/base)\n"
        "  --listen           endereço de escuta; padrão 127.0.0.1:7451; porta 0 escolhe uma "
        "livre\n"
        "  --workers N        chamadas atendidas ao mesmo tempo, uma conexão à base cada;\n"
        "                     padrão: o dobro dos núcleos, de 8 a 32\n"
        "  --short-workers N  quantas delas só atendem chamadas curtas, que as leituras de\n"
        "                     vigências inteiras e os processamentos em lote não ocupam;\n"
        "                     padrão: um quarto; 0: todas atendem qualquer chamada\n"
        "  --key-file ARQ     chave de acesso que os clientes devem provar ter; obrigatória\n"
        "                     fora do endereço local (127.0.0.1, ::1)\n"
        "  --tls-cert ARQ     certificado (PEM) para conexões TLS; com --tls-key\n"
        "  --tls-key ARQ      chave privada (PEM) do certificado\n"
        "  --max-connections N   conexões simultâneas; padrão 256\n"
        "  --max-frame-mb N      tamanho máximo de uma mensagem em MB; padrão 128\n"
        "  --idle-timeout S      encerra conexões sem uso há S segundos; padrão 1800; 0 "
        "desliga\n"
        "  --call-timeout S      cancela a chamada que passa de S segundos; padrão 600; 0 "
        "desliga"));
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

struct Options
{
    QString db;
    QString listen = QStringLiteral("127.0.0.1:7451");
    // Two per core keeps both cores busy while calls wait on the database; at
    // least 8 so that a small machine still serves several long reads at once.
    int workers = std::clamp(2 * QThread::idealThreadCount(), 8, 32);
    int shortWorkers = -1; // the pool's default
    QString keyFile;
    QString tlsCert;
    QString tlsKey;
    TransportLimits limits;
};

// 0 when the arguments are good; otherwise the exit status (usage shown).
int parseArguments(const QStringList &args, Options *o, bool *help)
{
    QString maxConnections, maxFrame, idle, call, workers, shortWorkers;
    const std::pair<const char *, QString *> options[] = {
        {"--db", &o->db},
        {"--listen", &o->listen},
        {"--workers", &workers},
        {"--short-workers", &shortWorkers},
        {"--key-file", &o->keyFile},
        {"--tls-cert", &o->tlsCert},
        {"--tls-key", &o->tlsKey},
        {"--max-connections", &maxConnections},
        {"--max-frame-mb", &maxFrame},
        {"--idle-timeout", &idle},
        {"--call-timeout", &call},
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1StringView("-h") || a == QLatin1StringView("--help")) {
            *help = true;
            return 0;
        }
        bool known = false;
        for (const auto &[name, target] : options) {
            const QString option = QLatin1StringView(name);
            if (a == option) {
                if (i + 1 >= args.size())
                    return usage(QStringLiteral("falta o valor de %1").arg(option));
                *target = args[++i];
            } else if (a.startsWith(option + QLatin1Char('='))) {
                *target = a.mid(option.size() + 1);
            } else {
                continue;
            }
            known = true;
            break;
        }
        if (!known)
            return usage(QStringLiteral("argumento desconhecido: %1").arg(a));
    }
    // Every number is a whole one; the bounds keep a typo from disabling a limit.
    const struct
    {
        const char *name;
        const QString &text;
        int min, max;
        int *out;
    } numbers[] = {
        {"--workers", workers, 1, 256, &o->workers},
        {"--short-workers", shortWorkers, 0, 255, &o->shortWorkers},
        {"--max-connections", maxConnections, 1, 100000, &o->limits.maxConnections},
        {"--idle-timeout", idle, 0, 7 * 24 * 3600, &o->limits.idleSeconds},
        {"--call-timeout", call, 0, 24 * 3600, &o->limits.callSeconds},
    };
    for (const auto &n : numbers) {
        if (n.text.isEmpty())
            continue;
        bool ok = false;
        const int value = n.text.toInt(&ok);
        if (!ok || value < n.min || value > n.max)
            return usage(QStringLiteral("%1 pede um número inteiro de %2 a %3")
                             .arg(QLatin1StringView(n.name))
                             .arg(n.min)
                             .arg(n.max));
        *n.out = value;
    }
    if (!maxFrame.isEmpty()) {
        bool ok = false;
        const uint mb = maxFrame.toUInt(&ok);
        if (!ok || mb < 1 || mb > prx::wire::MaxFrameBytes / (1024 * 1024))
            return usage(QStringLiteral("--max-frame-mb pede um número inteiro de 1 a %1")
                             .arg(prx::wire::MaxFrameBytes / (1024 * 1024)));
        o->limits.frameBytes = mb * 1024u * 1024u;
    }
    // Long calls need a worker of their own lane.
    if (o->shortWorkers >= o->workers)
        return usage(
            QStringLiteral("--short-workers pede menos que --workers (%1)").arg(o->workers));
    if (o->db.isEmpty())
        return usage(QStringLiteral("informe a base de dados com --db"));
    if (o->tlsCert.isEmpty() != o->tlsKey.isEmpty())
        return usage(QStringLiteral("--tls-cert e --tls-key vão juntos"));
    return 0;
}

// Reads the key file and the TLS pair; false with the reason in *error.
bool loadAccess(const Options &o, TransportAccess *access, QString *error)
{
    if (!o.keyFile.isEmpty()) {
        access->key = prx::access::readKeyFile(o.keyFile, error);
        if (access->key.isEmpty())
            return false;
    }
    if (o.tlsCert.isEmpty())
        return true;
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(o.tlsCert);
    if (chain.isEmpty()) {
        *error = QStringLiteral("Certificado TLS ilegível: %1.").arg(o.tlsCert);
        return false;
    }
    QFile keyFile(o.tlsKey);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Chave TLS ilegível: %1.").arg(o.tlsKey);
        return false;
    }
    const QByteArray pem = keyFile.readAll();
    QSslKey key(pem, QSsl::Rsa);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Ec);
    if (key.isNull()) {
        *error = QStringLiteral("Chave TLS ilegível (PEM RSA ou EC sem senha): %1.").arg(o.tlsKey);
        return false;
    }
    access->tls = QSslConfiguration::defaultConfiguration();
    access->tls.setLocalCertificateChain(chain);
    access->tls.setPrivateKey(key);
    access->tls.setPeerVerifyMode(QSslSocket::VerifyNone); // clients prove the key instead
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    bool help = false;
    if (const int status = parseArguments(app.arguments().mid(1), &options, &help))
        return status;
    if (help) {
        usage();
        return 0;
    }
    QHostAddress address;
    quint16 port = 0;
    if (!parseListen(options.listen, &address, &port))
        return usage(QStringLiteral("endereço de escuta inválido: %1").arg(options.listen));
    if (!address.isLoopback() && options.keyFile.isEmpty()) {
        return usage(QStringLiteral("para escutar em %1, fora da própria máquina, informe a chave "
                                    "de acesso com --key-file")
                         .arg(options.listen));
    }
    TransportAccess access;
    QString error;
    if (!loadAccess(options, &access, &error)) {
        printErr(error);
        return 1;
    }

    const QString db = options.db;
    const bool isFile = !db.contains(QLatin1StringView("://"));
    const bool fresh = isFile && !QFileInfo::exists(db);
    MethodRegistry registry;
    {
        // Schema and demo data once, before the workers open their own
        // connections.
        std::unique_ptr<Storage> storage = Storage::open(db, &error);
        if (!storage) {
            printErr(error.isEmpty() ? QStringLiteral("Não foi possível abrir a base %1.").arg(db)
                                     : error);
            return 1;
        }
        try {
            storage->createSchema();
            if (fresh) {
                printErr(
                    QStringLiteral("Base nova em %1: gerando dados de demonstração...").arg(db));
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
    }

    TransportServer server(registry);
    server.setLimits(options.limits);
    server.setAccess(access);
    const int callSeconds = options.limits.callSeconds;
    const WorkerPool::OpenContext open = [db, callSeconds](QString *why) {
        std::shared_ptr<Storage> storage = Storage::open(db, why);
        if (!storage)
            return std::shared_ptr<Context>();
        storage->limitStatementTime(callSeconds);
        // The context holds its storage: both go when the worker lets go.
        return std::shared_ptr<Context>(new Context{*storage}, [storage](Context *c) mutable {
            delete c;
            storage.reset();
        });
    };
    if (!server.startWorkers(options.workers, open, &error, options.shortWorkers)) {
        printErr(error);
        return 1;
    }
    if (!server.listen(address, port)) {
        printErr(QStringLiteral("Não foi possível escutar em %1: %2.")
                     .arg(options.listen, server.errorString()));
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
