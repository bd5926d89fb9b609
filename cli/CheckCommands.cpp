#include "CheckCommands.h"
#include "CliOutput.h"

#include "core/MethodRegistry.h"
#include "methods/ConsistencyCheck.h"
#include "storage/Storage.h"

#include <cstdio>

namespace prx::cli {

namespace {

int usageError(const QString &problem)
{
    return cli::usageError(problem, checkUsage());
}

} // namespace

QString checkUsage()
{
    return QStringLiteral(
        "  prx-cli check --db ARQUIVO|URL\n"
        "      verifica a base inteira: uma linha por registro que fere uma regra do\n"
        "      servidor e a contagem por regra; sai com 1 quando encontra algo, 0 se nada");
}

int runCheck(const QStringList &args)
{
    QString db;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--db") {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("falta o valor de --db"));
            db = args[++i];
        } else if (a.startsWith(QStringLiteral("--db="))) {
            db = a.mid(5);
        } else {
            return usageError(QStringLiteral("argumento desconhecido: %1").arg(a));
        }
    }
    if (db.isEmpty())
        return usageError(QStringLiteral("informe a base de dados com --db"));

    QString error;
    std::unique_ptr<server::Storage> storage = server::Storage::open(db, &error);
    if (!storage) {
        printLine(stderr, error.isEmpty()
                              ? QStringLiteral("Não foi possível abrir a base %1.").arg(db)
                              : error);
        return 1;
    }
    QList<server::Finding> findings;
    try {
        findings = server::checkConsistency(*storage);
    } catch (const server::ServerError &e) {
        printLine(stderr,
                  QStringLiteral("Não foi possível verificar a base %1: %2").arg(db, e.message()));
        return 1;
    } catch (const std::exception &e) {
        printLine(stderr, QStringLiteral("Não foi possível verificar a base %1: %2")
                              .arg(db, QString::fromUtf8(e.what())));
        return 1;
    }
    for (const server::Finding &f : findings)
        printLine(stdout, server::findingLine(f));
    printLine(stdout,
              findings.isEmpty()
                  ? QStringLiteral("Nenhuma inconsistência encontrada.")
                  : QStringLiteral("%1 inconsistência(s) encontrada(s):").arg(findings.size()));
    for (const QString &count : server::findingCounts(findings))
        printLine(stdout, QStringLiteral("  ") + count);
    return findings.isEmpty() ? 0 : 1;
}

} // namespace prx::cli
