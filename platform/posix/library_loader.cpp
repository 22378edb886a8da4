// The stand-in's part of the system loader, linked into a library: the
// library's entry point gets the process attach when the library is loaded
// and the process detach when the process ends. A failed attach stops the
// process before the program's own code runs, as on Windows.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "platform/windows.h"

extern "C" BOOL WINAPI LibraryEntry(HINSTANCE module, DWORD reason, LPVOID reserved);

namespace {

HINSTANCE ThisModule() {
    Dl_info info{};
    dladdr(reinterpret_cast<void *>(&ThisModule), &info);
    return info.dli_fbase;
}

__attribute__((constructor)) void AttachToProcess() {
    if (LibraryEntry(ThisModule(), DLL_PROCESS_ATTACH, nullptr) == FALSE) {
        Dl_info info{};
        dladdr(reinterpret_cast<void *>(&ThisModule), &info);
        std::fprintf(stderr, "%s: the library failed to initialise; the program cannot start\n",
                     info.dli_fname ? info.dli_fname : "library");
        _exit(66);
    }
}

__attribute__((destructor)) void DetachFromProcess() {
    LibraryEntry(ThisModule(), DLL_PROCESS_DETACH, reinterpret_cast<LPVOID>(1));
}

}  // namespace
