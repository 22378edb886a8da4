// Reads a minidump as a Windows engineer's tools do: the faulting address
// from the exception stream, the module that holds it from the module list,
// and, through dbghelp with the given symbol path, the function, source file
// and line there. Prints one line per finding, "key=value", and exits 0 if
// dbghelp named a function. Given a module and an offset instead of a dump,
// names what lies there the same way.
//
//   dump_reader DUMP SYMBOL_PATH
//   dump_reader --address MODULE OFFSET SYMBOL_PATH
#include <windows.h>
#include <dbghelp.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void *Stream(void *dump, ULONG kind) {
    MINIDUMP_DIRECTORY *entry;
    void *stream = nullptr;
    ULONG size = 0;
    return MiniDumpReadDumpStream(dump, kind, &entry, &stream, &size) ? stream : nullptr;
}

}  // namespace

// Loads the module by its file name alone, found with its PDB on the symbol
// path as a debugger on another machine finds it, and names what lies at
// the address. Returns whether dbghelp named a function.
bool Name(const char *module, DWORD64 base, DWORD size, DWORD64 address, const char *symbolPath) {
    HANDLE session = reinterpret_cast<HANDLE>(0x7E1);
    SymSetOptions(SYMOPT_LOAD_LINES | SYMOPT_UNDNAME | SYMOPT_FAIL_CRITICAL_ERRORS);
    if (!SymInitialize(session, symbolPath, FALSE)) {
        std::printf("error=SymInitialize failed (%lu)\n", GetLastError());
        return false;
    }
    if (!SymLoadModuleEx(session, nullptr, module, nullptr, base, size, nullptr, 0)) {
        std::printf("error=SymLoadModuleEx failed (%lu)\n", GetLastError());
        return false;
    }
    IMAGEHLP_MODULE64 info{};
    info.SizeOfStruct = sizeof info;
    if (SymGetModuleInfo64(session, base, &info))
        std::printf("symbols=%d\npdb=%s\n", static_cast<int>(info.SymType), info.LoadedPdbName);
    char buffer[sizeof(SYMBOL_INFO) + 256] = {};
    auto *symbol = reinterpret_cast<SYMBOL_INFO *>(buffer);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = 255;
    DWORD64 displacement = 0;
    bool named = SymFromAddr(session, address, &displacement, symbol);
    if (named) std::printf("function=%s\n", symbol->Name);
    IMAGEHLP_LINE64 line{};
    line.SizeOfStruct = sizeof line;
    DWORD column = 0;
    if (SymGetLineFromAddr64(session, address, &column, &line))
        std::printf("file=%s\nline=%lu\n", line.FileName, line.LineNumber);
    SymCleanup(session);
    return named;
}

int main(int argc, char **argv) {
    if (argc == 5 && std::strcmp(argv[1], "--address") == 0) {
        constexpr DWORD64 kBase = 0x10000000;
        return Name(argv[2], kBase, 0x100000, kBase + std::strtoull(argv[3], nullptr, 16), argv[4]) ? 0 : 1;
    }

    if (argc != 3) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE mapping = file != INVALID_HANDLE_VALUE ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)
                                                  : nullptr;
    void *dump = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    auto *exception = dump ? static_cast<MINIDUMP_EXCEPTION_STREAM *>(Stream(dump, ExceptionStream)) : nullptr;
    auto *modules = dump ? static_cast<MINIDUMP_MODULE_LIST *>(Stream(dump, ModuleListStream)) : nullptr;
    if (!exception || !modules) {
        std::printf("error=no exception or module stream in %s\n", argv[1]);
        return 2;
    }
    DWORD64 address = exception->ExceptionRecord.ExceptionAddress;
    std::printf("code=%08lx\naddress=%llx\n", exception->ExceptionRecord.ExceptionCode,
                static_cast<unsigned long long>(address));

    const MINIDUMP_MODULE *faulting = nullptr;
    for (ULONG i = 0; i < modules->NumberOfModules; ++i) {
        const MINIDUMP_MODULE &m = modules->Modules[i];
        if (m.BaseOfImage <= address && address < m.BaseOfImage + m.SizeOfImage) faulting = &m;
    }
    if (!faulting) {
        std::printf("error=no module of the dump holds the address\n");
        return 1;
    }
    auto *name = reinterpret_cast<MINIDUMP_STRING *>(static_cast<char *>(dump) + faulting->ModuleNameRva);
    char path[MAX_PATH];
    WideCharToMultiByte(CP_UTF8, 0, name->Buffer, name->Length / 2, path, sizeof path - 1, nullptr, nullptr);
    path[name->Length / 2 < sizeof path ? name->Length / 2 : sizeof path - 1] = '\0';
    const char *base = path;
    for (const char *p = path; *p; ++p)
        if (*p == '\\' || *p == '/') base = p + 1;
    std::printf("module=%s\noffset=%llx\n", base, static_cast<unsigned long long>(address - faulting->BaseOfImage));

    return Name(base, faulting->BaseOfImage, faulting->SizeOfImage, address, argv[2]) ? 0 : 1;
}
