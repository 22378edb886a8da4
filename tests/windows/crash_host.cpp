// A host whose call into VELMORIN.DLL faults: it hands VELMORIN a reference
// in a page that cannot be read, catches the access violation, writes a
// minidump of itself with MiniDumpWriteDump, and exits with 3 once the dump
// is written (anything else is a failure of the host). Prints the fault's
// offset in the library first, as "offset=HEX".
//
//   crash_host VELMORIN.DLL DUMP
#include <windows.h>
#include <dbghelp.h>

#include <cstdio>

#include "include/velmorin.h"

namespace {

const wchar_t *dumpPath;
LONG writing = 0;
// Where the library lies: only a fault there is the one to dump. The system
// raises and handles faults of its own (32-bit Wine's ntdll does while a
// library loads), which are left to it.
const char *libraryStart, *libraryEnd;

struct Fault {
    EXCEPTION_POINTERS *pointers;
    DWORD thread;
};

// Writes the dump on a thread of its own, as crash reporters do: the
// faulting thread's stack may be short of room (on 32-bit Wine, dbghelp
// overran what the faulting thread had left).
DWORD WINAPI WriteDumpOf(void *parameter) {
    auto *fault = static_cast<Fault *>(parameter);
    HANDLE file = CreateFileW(dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    MINIDUMP_EXCEPTION_INFORMATION exception{fault->thread, fault->pointers, FALSE};
    BOOL written = file != INVALID_HANDLE_VALUE &&
                   MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &exception,
                                     nullptr, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return written;
}

LONG WINAPI WriteDump(EXCEPTION_POINTERS *pointers) {
    auto *at = static_cast<const char *>(pointers->ExceptionRecord->ExceptionAddress);
    if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || at < libraryStart ||
        at >= libraryEnd)
        return EXCEPTION_CONTINUE_SEARCH;
    if (InterlockedExchange(&writing, 1) != 0) return EXCEPTION_CONTINUE_SEARCH;
    // Said before the dump is written, for where it cannot be.
    std::printf("offset=%lx\n", static_cast<unsigned long>(at - libraryStart));
    std::fflush(stdout);
    Fault fault{pointers, GetCurrentThreadId()};
    HANDLE writer = CreateThread(nullptr, 1 << 20, WriteDumpOf, &fault, 0, nullptr);
    DWORD written = 0;
    if (writer) {
        WaitForSingleObject(writer, INFINITE);
        GetExitCodeThread(writer, &written);
    }
    std::fprintf(stderr, "crash_host: fault at %p, dump %s\n", pointers->ExceptionRecord->ExceptionAddress,
                 written ? "written" : "NOT written");
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
    libraryStart = reinterpret_cast<const char *>(library);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(library);
    libraryEnd = libraryStart +
                 reinterpret_cast<const IMAGE_NT_HEADERS *>(libraryStart + dos->e_lfanew)->OptionalHeader.SizeOfImage;
    // A reference that lies in a page reserved with no access at all.
    void *page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    AddVectoredExceptionHandler(1, WriteDump);
    velmorin(static_cast<const VelmorinString *>(page));
    std::fprintf(stderr, "crash_host: VELMORIN returned from an unreadable reference\n");
    return 1;
}
