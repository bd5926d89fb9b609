#pragma once

#include "HostUi.h"

#include <functional>

class QWidget;

namespace prx {

// Shows the error box; with abandon true the current command then ends with a
// silent abort.
void MensErro(const QString &text, bool abandon);

// Runs one piece of user work (a click, a key, a column exit): a silent abort
// ends it quietly, any other exception is shown in an error box. Nothing ever
// escapes into the event loop. Returns false when the work did not finish.
bool runUserAction(const std::function<void()> &work);

// Busy indicator over the host's main window.
void ActiveShowAvi(QWidget *mainWindow, int kind, const QString &text = {});
void DeactiveShowAvi();

// Switches the busy indicator on for its lifetime, so that it goes off also
// when the work inside fails.
class BusyScope
{
public:
    explicit BusyScope(int kind, const QString &text = {});
    ~BusyScope();
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;
};

} // namespace prx
