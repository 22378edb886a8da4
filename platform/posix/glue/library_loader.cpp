// Linked into each library: hands the library's entry point to the
// stand-in's loader when the library is loaded, and takes it back when the
// library is unloaded or the process ends.
#include <dlfcn.h>

#include "platform/posix/loader/loader.h"

extern "C" BOOL WINAPI LibraryEntry(HINSTANCE module, DWORD reason, LPVOID reserved);

namespace {

__attribute__((constructor)) void AttachToProcess() {
    Dl_info info{};
    dladdr(reinterpret_cast<void *>(&AttachToProcess), &info);
    StandinAttachLibrary(LibraryEntry, info.dli_fbase, info.dli_fname ? info.dli_fname : "library");
}

__attribute__((destructor)) void DetachFromProcess() {
    StandinDetachLibrary(LibraryEntry);
}

}  // namespace
