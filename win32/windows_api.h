// <windows.h> as every Windows-only file of the tool includes it: without the
// min/max macros and the rarely used parts of the API. Include it after the
// project's own headers, since its macros are named like some of their constants.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
