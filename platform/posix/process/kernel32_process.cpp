// kernel32's process services for the stand-in: the command line, quoted as Windows
// would quote it; the start-up information; the program's module; the end of
// the process.
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/process/process_start.h"
#include "platform/posix/win32/win32_api.h"

namespace {

std::string commandLine;

// One argument as Windows' own command-line parser reads it back: quoted
// when it is empty or holds a space, tab or quote; backslashes doubled only
// before a quote.
void AppendQuoted(std::string &out, const char *arg) {
    if (*arg != 0 && std::strpbrk(arg, " \t\n\v\"") == nullptr) {
        out += arg;
        return;
    }
    out += '"';
    for (const char *p = arg;; ++p) {
        std::size_t backslashes = 0;
        while (*p == '\\') ++p, ++backslashes;
        if (*p == 0) {
            out.append(backslashes * 2, '\\');
            break;
        }
        if (*p == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        out += *p;
    }
    out += '"';
}

int FirstObject(dl_phdr_info *info, std::size_t, void *base) {
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_LOAD) {
            *static_cast<std::uintptr_t *>(base) = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
            break;
        }
    }
    return 1;  // the first object is the program itself
}

// The arguments as one command line.
std::string QuoteCommandLine(int argc, char **argv) {
    std::string out;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) out += ' ';
        AppendQuoted(out, argv[i]);
    }
    return out;
}

}  // namespace

void StandinProcessStarting(int argc, char **argv) {
    commandLine = QuoteCommandLine(argc, argv);
}

STANDIN_API LPSTR GetCommandLineA(void) {
    return commandLine.data();
}

// The value and its length without the zero byte when it fits; the size it
// needs, zero byte included, when it does not; 0 when the name is unset.
STANDIN_API DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
    const char *value = std::getenv(name);
    if (value == nullptr) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    std::size_t length = std::strlen(value);
    if (length >= size) return static_cast<DWORD>(length + 1);
    std::memcpy(buffer, value, length + 1);
    return static_cast<DWORD>(length);
}

// A null value removes the name.
STANDIN_API BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value) {
    int failed = value == nullptr ? unsetenv(name) : setenv(name, value, 1);
    if (failed != 0) SetLastError(ERROR_INVALID_PARAMETER);
    return failed == 0 ? TRUE : FALSE;
}

STANDIN_API void GetStartupInfoA(LPSTARTUPINFOA info) {
    std::memset(info, 0, sizeof *info);
    info->cb = sizeof *info;
}

STANDIN_API HMODULE GetModuleHandleA(LPCSTR name) {
    if (name != nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    std::uintptr_t base = 0;
    dl_iterate_phdr(FirstObject, &base);
    return reinterpret_cast<HMODULE>(base);
}

STANDIN_API void ExitProcess(UINT exitCode) {
    // exit() runs the libraries' process detach, as the system does.
    std::exit(static_cast<int>(exitCode & 0xFF));
}
