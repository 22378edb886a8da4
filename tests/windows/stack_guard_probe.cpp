// A program built as the deliverables are, which overruns a stack buffer when
// told to: "guard" prints the guard's default value, the guard the entry
// point finds and the guard after the entry point's seeding; "fit" fills the
// buffer exactly, "overrun" writes past it. Each then says it returned.
#include <cstdint>

#include "platform/windows.h"
#include "runtime/stack_guard.h"

extern "C" std::uintptr_t __stack_chk_guard;

namespace {

void Write(const char *text) {
    DWORD length = 0, written;
    while (text[length] != '\0') ++length;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr);
}

void WriteHex(std::uintptr_t value) {
    char digits[2 * sizeof value + 2];
    for (unsigned i = 0; i < 2 * sizeof value; ++i)
        digits[i] = "0123456789abcdef"[(value >> (4 * (2 * sizeof value - 1 - i))) & 0xF];
    digits[2 * sizeof value] = ' ';
    digits[2 * sizeof value + 1] = '\0';
    Write(digits);
}

// Writes count bytes into a 16-byte buffer, through a pointer that hides the
// buffer's size from the compiler's own bounds checks, and stores it may not
// drop as dead.
__attribute__((noinline)) int Fill(unsigned count) {
    char buffer[16];
    volatile char *volatile target = buffer;
    for (unsigned i = 0; i < count; ++i) target[i] = 'x';
    return target[0];
}

// Whether the command line ends with word.
bool EndsWith(const char *line, const char *word) {
    const char *end = line, *w = word;
    while (*end != '\0') ++end;
    while (end > line && end[-1] == ' ') --end;
    while (*w != '\0') ++w;
    while (w > word && end > line)
        if (*--w != *--end) return false;
    return w == word;
}

}  // namespace

extern "C" DECLSPEC_NORETURN UNPROTECTED_FRAME void WINAPI ProgramEntry() {
    std::uintptr_t at_entry = __stack_chk_guard;
    SeedStackGuard();
    const char *line = GetCommandLineA();
    if (EndsWith(line, "guard")) {
        Write("guard ");
        WriteHex(kDefaultStackGuard);
        WriteHex(at_entry);
        WriteHex(__stack_chk_guard);
        Write("\n");
    } else if (EndsWith(line, "fit")) {
        Fill(16);
    } else if (EndsWith(line, "overrun")) {
        Fill(64);
    } else {
        Write("usage: stack_guard_probe guard|fit|overrun\n");
        ExitProcess(2);
    }
    Write("returned\n");
    ExitProcess(0);
}
