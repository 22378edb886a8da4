// The library's entry point, called by the system loader with one
// notification at a time: process attach and detach, thread attach and detach.
#pragma once

#include "platform/windows.h"

extern "C" BOOL WINAPI LibraryEntry(HINSTANCE module, DWORD reason, LPVOID reserved);
