// The library's entry point for the system loader: OLE on every calling
// thread, the thread-local slot and records, and the library's run-time state.
#include "library/library_entry.h"

#include "library/thread_records.h"
#include "runtime/stack_guard.h"
#include "runtime/startup.h"

LibraryStartup LibraryStart;

namespace {

// The process attach proper; false when the library cannot serve the process.
bool AttachProcess() {
    LibraryStart.attachResult = 0;
    LibraryStart.threadSlot = TlsAlloc();
    if (LibraryStart.threadSlot == TLS_OUT_OF_INDEXES) return false;
    // A slot obtained before this failure is not given back.
    if (GetThreadRecord() == nullptr) return false;
    LibraryStart.attachResult = 1;
    return true;
}

}  // namespace

extern "C" UNPROTECTED_FRAME BOOL WINAPI LibraryEntry(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) SeedStackGuard();
    OleInitialize(nullptr);
    if (reason == DLL_PROCESS_ATTACH && !AttachProcess()) return LibraryStart.attachResult;

    LibraryStart.startReason = reason;
    if (reason == DLL_THREAD_ATTACH) GetThreadRecord();  // on failure, made on first need
    if (reason == DLL_THREAD_DETACH) ReleaseThreadRecord();
    InitialiseRuntime(LibraryStart.startReason);
    // The loader passes null for an unload (FreeLibrary, dlclose) and
    // anything else at the process's end.
    if (reason == DLL_PROCESS_DETACH && ReleaseThreadRecords(reserved == nullptr)) TlsFree(LibraryStart.threadSlot);
    if (reason == DLL_THREAD_DETACH) OleUninitialize();
    return LibraryStart.attachResult;
}
