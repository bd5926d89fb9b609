#include "CliOutput.h"

#include <QByteArray>

namespace prx::cli {

void printLine(std::FILE *to, const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

int usageError(const QString &problem, const QString &usage)
{
    printLine(stderr, QStringLiteral("prx-cli: %1").arg(problem));
    printLine(stderr, QStringLiteral("Uso:\n") + usage);
    return 2;
}

} // namespace prx::cli
