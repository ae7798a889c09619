// The Windows API as the program uses it. On Windows this is the real
// <windows.h>; everywhere else it is our stand-in with the same names, types
// and constants (platform/standin/), backed by a POSIX file layer and one of
// three window back ends: SDL2 for a real window, the browser's canvas, and
// headless for tests.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/standin/windows_standin.h"
#endif
