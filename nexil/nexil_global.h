#pragma once

#include <QtCore/qglobal.h>

#if defined(NEXIL_LIBRARY)
#define NEXIL_EXPORT Q_DECL_EXPORT
#else
#define NEXIL_EXPORT Q_DECL_IMPORT
#endif
