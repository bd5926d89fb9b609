#pragma once

#include <QtGlobal>

// What the price list module exports to the host: its entry point and creator.
#if defined(PRX51701_BUILD)
#define PRX51701_EXPORT Q_DECL_EXPORT
#else
#define PRX51701_EXPORT Q_DECL_IMPORT
#endif
