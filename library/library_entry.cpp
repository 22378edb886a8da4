// The library's entry point for the system loader.
#include "platform/windows.h"
#include "runtime/runtime_error.h"
#include "runtime/strings.h"

extern "C" BOOL WINAPI LibraryEntry(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) EmptyData = 0;
    return TRUE;
}

void OnRuntimeError(std::uint32_t) {}
