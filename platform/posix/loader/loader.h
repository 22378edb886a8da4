// The stand-in's part of the system loader, as the libraries see it: a
// library registers its entry point when it is loaded and gets the process
// attach, thread attach and detach for threads that start afterwards, and
// the process detach when it is unloaded or the process ends.
#pragma once

#include <cstdint>

#include "platform/posix/win32/win32_types.h"

typedef BOOL(WINAPI *LibraryEntryFunction)(HINSTANCE module, DWORD reason, LPVOID reserved);

extern "C" {
// Runs the process attach. When it fails during the program's start-up the
// process ends with a message; during LoadLibraryA, the load fails instead.
__attribute__((visibility("default"))) void StandinAttachLibrary(LibraryEntryFunction entry, HINSTANCE module,
                                                                 const char *name);
// Runs the process detach of a library whose attach succeeded.
__attribute__((visibility("default"))) void StandinDetachLibrary(LibraryEntryFunction entry);

// Called on a new thread before its own code runs, and when it ends.
__attribute__((visibility("default"))) void StandinThreadStarted(void);
__attribute__((visibility("default"))) void StandinThreadEnding(void);
}

namespace standin {
// The calling thread keeps something of a library's (a thread-local value),
// so it gets its thread detach when it ends, however it was started: also a
// thread of a host program (a plain C program, Python) that the program-side
// thread start never saw.
void ThreadNeedsDetach();
// Thread attach (DLL_THREAD_ATTACH) or detach notifications delivered so
// far, in the whole process.
std::int64_t ThreadNotifications(std::uint32_t reason);
}  // namespace standin
