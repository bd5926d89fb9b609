#pragma once

#include <QtGlobal>

// What the module exports: the entry point, the creators and the units'
// state. Everything else stays visible too, since the tests link the module,
// but these are the names the host and other modules may rely on.
#if defined(PKG_PRX51700_BUILD)
#define PKG_PRX51700_EXPORT Q_DECL_EXPORT
#else
#define PKG_PRX51700_EXPORT Q_DECL_IMPORT
#endif
