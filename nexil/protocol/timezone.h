#pragma once

#include "nexil/nexil_global.h"

// With TZ unset, the C library looks at /etc/localtime again on every
// local-time conversion, which makes decoding a year of memory ten times
// slower. Programs call this first thing in main(), before any thread starts:
// it names the system zone explicitly when TZ is unset, changing nothing else.
NEXIL_EXPORT void pinLocalTimeZone();
