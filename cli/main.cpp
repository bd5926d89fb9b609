// prx-cli call [--server HOST:PORT] [--object NAME] [--count] [--key-file FILE]
//              [--tls] [--ca-file FILE] METHOD [ARG...]
// prx-cli demo --db FILE|URL [--products N] [--branches N] [--seed N]
// prx-cli check --db FILE|URL: see CheckCommands.h
// prx-cli price ... | prx-cli holiday ...: see PriceCommands.h
// prx-cli review ...: see ReviewCommands.h
// prx-cli changes ...: see ShelfCommands.h

#include "CheckCommands.h"
#include "CliOutput.h"
#include "HistoryCommands.h"
#include "PriceCommands.h"
#include "ReviewCommands.h"
#include "ServerConnect.h"
#include "SheetCommands.h"
#include "ShelfCommands.h"
#include "demo/DemoGenerator.h"
#include "net/JsonText.h"
#include "net/NetConnection.h"
#include "net/TypedArgument.h"
#include "storage/Storage.h"

#include <QCoreApplication>

#include <cstdio>

using namespace prx;
using prx::cli::printLine;

namespace {

const char *const DefaultServer = "127.0.0.1:7451";
const char *const DefaultObject = "Prx51700.rdmTabePreco";

// UTF-8 whatever the locale: the answers hold accented names.
void printOut(const QString &text)
{
    printLine(stdout, text);
}

void printErr(const QString &text)
{
    printLine(stderr, text);
}

int usage(const QString &problem = {})
{
    if (!problem.isEmpty())
        printErr(QStringLiteral("prx-cli: %1").arg(problem));
    printErr(QStringLiteral(
                 "Uso:\n"
                 "  prx-cli call [--server HOST:PORTA] [--object NOME] [--count] [--user NOME]\n"
                 "               MÉTODO [ARG...]\n"
                 "      chama MÉTODO no servidor de aplicação e mostra a resposta em JSON\n"
                 "      ARG é texto como digitado, ou com prefixo de tipo: d:2026-12-07 (data),\n"
                 "      t:2026-12-07T10:30 (data-hora), n:1.5 (número), i:3 (inteiro),\n"
                 "      b:true (lógico), null (nulo)\n"
                 "      --server  padrão %1; --object  padrão %2\n"
                 "      --count   mostra só o número de linhas de cada pacote\n"
                 "      --key-file ARQUIVO  prova ao servidor que tem a chave de acesso\n"
                 "      --tls     conexão TLS; --ca-file ARQUIVO confia no certificado dado\n"
                 "      --user NOME  o usuário registrado pelo servidor (padrão: o do sistema)\n"
                 "  prx-cli demo --db ARQUIVO|URL [--products N] [--branches N] [--seed N]\n"
                 "      cria as tabelas e gera uma rede de demonstração\n%3")
                 .arg(QLatin1StringView(DefaultServer), QLatin1StringView(DefaultObject),
                      cli::priceUsage() + QLatin1Char('\n') + cli::sheetUsage() +
                          QLatin1Char('\n') + cli::historyUsage() + QLatin1Char('\n') +
                          cli::checkUsage() + QLatin1Char('\n') + cli::changesUsage() +
                          QLatin1Char('\n') + cli::reviewUsage()));
    return 2;
}

// Reads "--name value" or "--name=value" at args[*i]; false when args[*i] is
// not that option. A missing value leaves *missing set.
bool takeOption(const QStringList &args, int *i, const QString &name, QString *value, bool *missing)
{
    const QString &a = args[*i];
    if (a == name) {
        if (*i + 1 >= args.size()) {
            *missing = true;
            return true;
        }
        *value = args[++*i];
        return true;
    }
    if (a.startsWith(name + QLatin1Char('='))) {
        *value = a.mid(name.size() + 1);
        return true;
    }
    return false;
}

int runCall(const QStringList &args)
{
    QString server = QLatin1StringView(DefaultServer);
    QString object = QLatin1StringView(DefaultObject);
    QString keyFile;
    QString caFile;
    QString user;
    bool countOnly = false;
    bool tls = false;
    int i = 0;
    for (; i < args.size(); ++i) {
        bool missing = false;
        if (takeOption(args, &i, QStringLiteral("--server"), &server, &missing) ||
            takeOption(args, &i, QStringLiteral("--object"), &object, &missing) ||
            takeOption(args, &i, QStringLiteral("--key-file"), &keyFile, &missing) ||
            takeOption(args, &i, QStringLiteral("--ca-file"), &caFile, &missing) ||
            takeOption(args, &i, QStringLiteral("--user"), &user, &missing)) {
            if (missing)
                return usage(QStringLiteral("falta o valor de %1").arg(args[i]));
        } else if (args[i] == QLatin1StringView("--count")) {
            countOnly = true;
        } else if (args[i] == QLatin1StringView("--tls")) {
            tls = true;
        } else if (args[i] == QLatin1StringView("--")) {
            ++i;
            break;
        } else if (args[i].startsWith(QLatin1StringView("--"))) {
            return usage(QStringLiteral("opção desconhecida: %1").arg(args[i]));
        } else {
            break;
        }
    }
    if (i >= args.size())
        return usage(QStringLiteral("informe o método"));
    const QString method = args[i++];
    QVariantList callArgs;
    for (; i < args.size(); ++i) {
        QVariant value;
        QString error;
        if (!parseTypedArgument(args[i], &value, &error))
            return usage(error);
        callArgs.append(value);
    }
    QString host;
    int port = 0;
    if (!cli::splitServer(server, &host, &port))
        return usage(QStringLiteral("servidor inválido: %1 (use HOST:PORTA)").arg(server));
    NetConnection connection;
    QString connectError;
    if (!cli::prepareConnection({server, keyFile, caFile, user, tls, object}, &connection,
                                &connectError)) {
        printErr(connectError);
        return 1;
    }
    const ServerResult result = connection.call(method, callArgs);
    if (!result.ok) {
        printErr(result.message);
        return 1;
    }
    if (countOnly) {
        const QList<qint64> counts = JsonText::packetCounts(result.payload);
        if (!counts.isEmpty()) {
            for (qint64 n : counts)
                printOut(QString::number(n));
            return 0;
        }
    }
    printOut(JsonText::toJson(result.payload));
    return 0;
}

int runDemo(const QStringList &args)
{
    QString db;
    server::DemoOptions options;
    for (int i = 0; i < args.size(); ++i) {
        QString value;
        bool missing = false;
        if (takeOption(args, &i, QStringLiteral("--db"), &db, &missing)) {
            if (missing)
                return usage(QStringLiteral("falta o valor de --db"));
            continue;
        }
        int *target = nullptr;
        QString name;
        for (const auto &[option, field] :
             {std::pair{QStringLiteral("--products"), &options.products},
              std::pair{QStringLiteral("--branches"), &options.branches}}) {
            if (takeOption(args, &i, option, &value, &missing)) {
                name = option;
                target = field;
                break;
            }
        }
        if (target) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (missing || !ok || n <= 0)
                return usage(QStringLiteral("%1 pede um número inteiro positivo").arg(name));
            *target = n;
        } else if (takeOption(args, &i, QStringLiteral("--seed"), &value, &missing)) {
            bool ok = false;
            const uint seed = value.toUInt(&ok);
            if (missing || !ok)
                return usage(QStringLiteral("--seed pede um número inteiro não negativo"));
            options.seed = seed;
        } else {
            return usage(QStringLiteral("argumento desconhecido: %1").arg(args[i]));
        }
    }
    if (db.isEmpty())
        return usage(QStringLiteral("informe a base de dados com --db"));

    QString error;
    std::unique_ptr<server::Storage> storage = server::Storage::open(db, &error);
    if (!storage) {
        printErr(error.isEmpty() ? QStringLiteral("Não foi possível abrir a base %1.").arg(db)
                                 : error);
        return 1;
    }
    try {
        storage->createSchema();
        server::generateDemo(*storage, options);
    } catch (const std::exception &e) {
        printErr(QStringLiteral("Não foi possível gerar os dados de demonstração em %1: %2")
                     .arg(db, QString::fromUtf8(e.what())));
        return 1;
    }
    printOut(QStringLiteral("Dados de demonstração gerados em %1: %2 produtos, %3 filiais, "
                            "semente %4.")
                 .arg(db)
                 .arg(options.products)
                 .arg(options.branches)
                 .arg(options.seed));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.first();
    if (command == QLatin1StringView("call"))
        return runCall(args.mid(1));
    if (command == QLatin1StringView("demo"))
        return runDemo(args.mid(1));
    if (command == QLatin1StringView("check"))
        return cli::runCheck(args.mid(1));
    if (command == QLatin1StringView("history"))
        return cli::runHistory(args.mid(1));
    if (command == QLatin1StringView("export-period"))
        return cli::runExportPeriod(args.mid(1));
    if (command == QLatin1StringView("import-period"))
        return cli::runImportPeriod(args.mid(1));
    if (command == QLatin1StringView("price"))
        return cli::runPrice(args.mid(1));
    if (command == QLatin1StringView("holiday"))
        return cli::runHoliday(args.mid(1));
    if (command == QLatin1StringView("review"))
        return cli::runReview(args.mid(1));
    if (command == QLatin1StringView("changes"))
        return cli::runChanges(args.mid(1));
    if (command == QLatin1StringView("-h") || command == QLatin1StringView("--help")) {
        usage();
        return 0;
    }
    return usage(QStringLiteral("comando desconhecido: %1").arg(command));
}
