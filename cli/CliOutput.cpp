#include "CliOutput.h"

#include "dataset/FieldDef.h"

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

QDateTime parseMoment(const QString &text)
{
    for (const char *format :
         {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm", "yyyy-MM-dd HH:mm", "dd/MM/yyyy HH:mm:ss",
          "dd/MM/yyyy HH:mm", "yyyy-MM-dd", "dd/MM/yyyy"}) {
        const QDateTime at = QDateTime::fromString(text, QString::fromLatin1(format));
        if (at.isValid())
            return wallClock(at);
    }
    return {};
}

} // namespace prx::cli
