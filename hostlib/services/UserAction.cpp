#include "UserAction.h"

#include "dataset/Abort.h"

#include <exception>

namespace prx {

void MensErro(const QString &text, bool abandon)
{
    HostUi::instance().errorBox(text);
    if (abandon)
        throw Abort();
}

bool runUserAction(const std::function<void()> &work)
{
    try {
        work();
        return true;
    } catch (const Abort &) {
    } catch (const std::exception &e) {
        HostUi::instance().errorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        HostUi::instance().errorBox(QStringLiteral("Erro inesperado."));
    }
    return false;
}

void ActiveShowAvi(QWidget *mainWindow, int kind, const QString &text)
{
    Q_UNUSED(mainWindow); // the host knows its own main window
    HostUi::instance().busyOn(kind, text);
}

void DeactiveShowAvi()
{
    HostUi::instance().busyOff();
}

BusyScope::BusyScope(int kind, const QString &text)
{
    ActiveShowAvi(HostUi::instance().mainWindow(), kind, text);
}

BusyScope::~BusyScope()
{
    DeactiveShowAvi();
}

} // namespace prx
