#pragma once

#include "net/ServerResult.h"

#include <functional>

namespace prx {

using ServerErrorReporter = std::function<void(const QString &message)>;

// Where the message of a failed call goes. The host installs one that shows
// an error box; without one the message is logged. An empty function restores
// the default.
void setServerErrorReporter(ServerErrorReporter reporter);

// The payload of a successful call. A failed one has its message reported and,
// when raise is true, abandons the user's command with a silent Abort (the
// message has been shown already); with raise false it yields a null value.
// helpContext is accepted for the callers' sake; no help topic is attached.
QVariant CheckResultServ(const ServerResult &result, bool raise = true, int helpContext = 0);

} // namespace prx
