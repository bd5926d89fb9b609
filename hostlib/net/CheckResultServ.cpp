#include "net/CheckResultServ.h"

#include "dataset/Abort.h"

#include <QDebug>

namespace prx {

namespace {

ServerErrorReporter &reporter()
{
    static ServerErrorReporter current;
    return current;
}

} // namespace

void setServerErrorReporter(ServerErrorReporter reporter)
{
    prx::reporter() = std::move(reporter);
}

QVariant CheckResultServ(const ServerResult &result, bool raise, int helpContext)
{
    Q_UNUSED(helpContext);
    if (result.ok)
        return result.payload;
    // An error without words would abandon the command with nothing shown.
    const QString message =
        result.message.isEmpty()
            ? QStringLiteral("O servidor de aplicação recusou a operação sem informar o motivo "
                             "(código %1).")
                  .arg(result.code)
            : result.message;
    if (reporter())
        reporter()(message);
    else
        qWarning().noquote() << message;
    if (raise)
        throw Abort();
    return {};
}

} // namespace prx
