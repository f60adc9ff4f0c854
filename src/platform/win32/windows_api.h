// Windows side of the platform split: the one way the backend includes the
// system headers, with the trimmed and macro-free settings applied first.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
