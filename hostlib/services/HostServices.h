#pragma once

#include <functional>

class QWidget;

namespace prx {

// How the host shows a module's form inside its main window. The host
// installs a handler that puts the form in a child window of its workspace;
// it returns the window that holds the form.
using MdiChildHandler = std::function<QWidget *(QWidget *form)>;
void setMdiChildHandler(MdiChildHandler handler);

// Shows a module's form as a child window of the host, or brings it forward
// when it is shown already. Without a host (tests, tools) the form is shown
// as a window of its own. Returns the window holding the form.
QWidget *hostShowMdiChild(QWidget *form);

} // namespace prx
