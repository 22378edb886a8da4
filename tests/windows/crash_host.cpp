// A host whose call into VELMORIN.DLL faults: it hands VELMORIN a reference
// in a page that cannot be read, catches the access violation, writes a
// minidump of itself with MiniDumpWriteDump, and exits with 3 once the dump
// is written (anything else is a failure of the host).
//
//   crash_host VELMORIN.DLL DUMP
#include <windows.h>
#include <dbghelp.h>

#include <cstdio>

#include "include/velmorin.h"

namespace {

const wchar_t *dumpPath;

LONG WINAPI WriteDump(EXCEPTION_POINTERS *pointers) {
    if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
    HANDLE file = CreateFileW(dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), pointers, FALSE};
    BOOL written = file != INVALID_HANDLE_VALUE &&
                   MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &exception,
                                     nullptr, nullptr);
    std::fprintf(stderr, "crash_host: fault at %p, dump %s\n", pointers->ExceptionRecord->ExceptionAddress,
                 written ? "written" : "NOT written");
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    TerminateProcess(GetCurrentProcess(), written ? 3 : 4);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    if (argc != 3) return 2;
    dumpPath = argv[2];
    HMODULE library = LoadLibraryW(argv[1]);
    auto velmorin = library ? reinterpret_cast<decltype(&VELMORIN)>(GetProcAddress(library, "VELMORIN")) : nullptr;
    if (!velmorin) {
        std::fprintf(stderr, "crash_host: cannot load VELMORIN from the library (error %lu)\n", GetLastError());
        return 2;
    }
    // A reference that lies in a page reserved with no access at all.
    void *page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    AddVectoredExceptionHandler(1, WriteDump);
    velmorin(static_cast<const VelmorinString *>(page));
    std::fprintf(stderr, "crash_host: VELMORIN returned from an unreadable reference\n");
    return 1;
}
