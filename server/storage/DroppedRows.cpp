#include "storage/DroppedRows.h"

#include "core/MethodRegistry.h"

#include <QString>
#include <QtGlobal>

#include <mutex>
#include <utility>

namespace prx::server {

namespace {

thread_local bool rowsDropped = false;
QtMessageHandler previousHandler = nullptr;

void noteDroppedRows(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.contains(u"Query results lost"))
        rowsDropped = true;
    if (previousHandler)
        previousHandler(type, context, text);
}

} // namespace

void watchDroppedRows()
{
    static std::once_flag once;
    std::call_once(once, [] { previousHandler = qInstallMessageHandler(noteDroppedRows); });
}

bool takeDroppedRows()
{
    return std::exchange(rowsDropped, false);
}

void checkNoRowsDropped()
{
    if (!takeDroppedRows())
        return;
    throw ServerError(QStringLiteral("Erro interno do servidor: uma leitura da base foi "
                                     "interrompida por outra consulta; nada foi gravado."),
                      ErrorInternal);
}

} // namespace prx::server
