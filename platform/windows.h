// The one seam to the operating system: every part of the system reaches the
// platform through this header, by the platform's Windows names.
// On Windows these are the system headers; elsewhere, the stand-in's declarations.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <oleauto.h>
#include <ole2.h>
#else
#include "posix/win32/win32_types.h"
#include "posix/win32/win32_api.h"
#endif
