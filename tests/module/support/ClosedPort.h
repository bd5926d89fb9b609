#pragma once

#include <QtGlobal>

// A loopback port nobody listens on, so that the screen's server calls fail
// at once instead of reaching a server someone else started.
quint16 closedPort();
