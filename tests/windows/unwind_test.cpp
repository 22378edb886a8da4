// A host of the built x86-64 VELMORIN.DLL walking the stack from inside it, as
// a debugger, a crash dump or an exception raised in a callback would: each
// library frame found in its function table and unwound, back to the host.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "include/velmorin.h"

namespace {

using VelmorinFunction = VelmorinString(VELMORIN_CALL *)(const VelmorinString *);
using AllocFunction = BSTR(WINAPI *)(LPCSTR, UINT);

struct Walk {
    HMODULE library;
    DWORD64 callerBegin;    // the host function that called VELMORIN
    DWORD64 callerRsp;      // its stack pointer at that call
    int libraryFrames;      // unwound through the library's own table
    int unlistedFrames;     // in the library but absent from its table
    bool reachedCaller;
    DWORD64 rspAtCaller;
    bool done;
};

Walk walk{};
AllocFunction realAlloc;

bool InLibrary(DWORD64 address) {
    auto base = reinterpret_cast<const unsigned char *>(walk.library);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    return address >= reinterpret_cast<DWORD64>(base) &&
           address < reinterpret_cast<DWORD64>(base) + nt->OptionalHeader.SizeOfImage;
}

// Called by the library in place of SysAllocStringByteLen, from inside its
// frames: walks from here outwards until the host's calling function.
__attribute__((noinline)) BSTR WINAPI AllocFromInside(LPCSTR bytes, UINT count) {
    if (!walk.done) {
        walk.done = true;
        CONTEXT context;
        RtlCaptureContext(&context);
        for (int depth = 0; depth < 64; ++depth) {
            DWORD64 imageBase = 0;
            PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
            if (function && imageBase + function->BeginAddress == walk.callerBegin) {
                walk.reachedCaller = true;
                walk.rspAtCaller = context.Rsp;
                break;
            }
            bool inLibrary = InLibrary(context.Rip);
            if (!function) {
                // A leaf, as the unwinder takes a function it cannot find:
                // the return address on top of the stack.
                if (inLibrary) ++walk.unlistedFrames;
                context.Rip = *reinterpret_cast<DWORD64 *>(context.Rsp);
                context.Rsp += 8;
            } else {
                if (inLibrary) ++walk.libraryFrames;
                PVOID handlerData;
                DWORD64 establisher;
                RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                                 &establisher, nullptr);
            }
            if (context.Rip == 0) break;
        }
    }
    return realAlloc(bytes, count);
}

// Points the library's import of SysAllocStringByteLen at the hook.
bool HookLibraryImport(HMODULE library) {
    auto base = reinterpret_cast<unsigned char *>(library);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &table = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
    auto slots = reinterpret_cast<void **>(base + table.VirtualAddress);
    for (DWORD i = 0; i < table.Size / sizeof(void *); ++i) {
        if (slots[i] != reinterpret_cast<void *>(realAlloc)) continue;
        DWORD old;
        if (!VirtualProtect(&slots[i], sizeof(void *), PAGE_READWRITE, &old)) return false;
        slots[i] = reinterpret_cast<void *>(&AllocFromInside);
        VirtualProtect(&slots[i], sizeof(void *), old, &old);
        return true;
    }
    return false;
}

// The host's frame the walk must come back to.
__attribute__((noinline)) std::string CallLibrary(VelmorinFunction velmorin, VelmorinString text) {
    DWORD64 rsp;
    __asm__ volatile("mov %%rsp, %0" : "=r"(rsp));
    walk.callerRsp = rsp;
    VelmorinString result = velmorin(&text);
    std::string bytes(reinterpret_cast<const char *>(result), SysStringByteLen(reinterpret_cast<BSTR>(result)));
    SysFreeString(reinterpret_cast<BSTR>(result));
    return bytes;
}

std::string LibraryPath() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/")) + "\\..\\out\\VELMORIN.DLL";
}

}  // namespace

int main() {
    realAlloc = reinterpret_cast<AllocFunction>(
        reinterpret_cast<void *>(GetProcAddress(LoadLibraryA("oleaut32.dll"), "SysAllocStringByteLen")));
    walk.library = LoadLibraryA(LibraryPath().c_str());
    if (!walk.library || !realAlloc) {
        std::printf("FAIL: cannot load %s (error %lu)\n", LibraryPath().c_str(), GetLastError());
        return 1;
    }
    auto velmorin =
        reinterpret_cast<VelmorinFunction>(reinterpret_cast<void *>(GetProcAddress(walk.library, "VELMORIN")));
    if (!velmorin || !HookLibraryImport(walk.library)) {
        std::printf("FAIL: no VELMORIN export, or no import of SysAllocStringByteLen to hook\n");
        return 1;
    }
    DWORD64 imageBase;
    PRUNTIME_FUNCTION caller = RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(&CallLibrary), &imageBase, nullptr);
    if (!caller) {
        std::printf("FAIL: the host's own function is not in its function table\n");
        return 1;
    }
    walk.callerBegin = imageBase + caller->BeginAddress;

    const char text[] = "stack walks through every frame";
    BSTR argument = realAlloc(text, sizeof text - 1);
    std::string result = CallLibrary(velmorin, reinterpret_cast<VelmorinString>(argument));
    SysFreeString(argument);

    std::printf("library frames unwound: %d, library frames without a table entry: %d, back at the caller: %s, "
                "stack pointer there %#llx (at the call %#llx)\n",
                walk.libraryFrames, walk.unlistedFrames, walk.reachedCaller ? "yes" : "no",
                static_cast<unsigned long long>(walk.rspAtCaller), static_cast<unsigned long long>(walk.callerRsp));
    int failures = 0;
    auto check = [&](bool ok, const char *what) {
        if (!ok) {
            std::printf("FAIL: %s\n", what);
            ++failures;
        }
    };
    check(walk.done, "the library never called SysAllocStringByteLen");
    check(walk.libraryFrames >= 1, "no frame of the library was found in its function table");
    check(walk.unlistedFrames == 0, "a frame inside the library has no function-table entry");
    check(walk.reachedCaller, "the walk did not come back to the host's calling function");
    check(walk.rspAtCaller == walk.callerRsp, "the walk came back with the wrong stack pointer");
    check(result == "Stack Walks Through Every Frame", "VELMORIN's result changed under the hook");
    if (failures == 0) std::printf("ok: unwound from inside VELMORIN.DLL back to the host\n");
    return failures == 0 ? 0 : 1;
}
