// The program velmorin: capitalises the first letter of every word of the
// files it is given, or of its standard input, onto its standard output, as
// one text and in pieces of bounded size. Its entry point, options, files and
// messages.
#include <cstdint>

#include "filter/arguments.h"
#include "filter/text_stream.h"
#include "platform/windows.h"
#include "runtime/stack_guard.h"

#ifndef ERROR_PIPE_NOT_CONNECTED
#define ERROR_PIPE_NOT_CONNECTED 233u
#endif

namespace {

constexpr UINT kFine = 0, kFailed = 1, kMisused = 2;

// The longest argument Windows can pass (a command line is at most 32767
// characters); longer ones, which Linux allows, are refused.
char argument[32768];
TextStream text;

const char kUsage[] =
    "usage: velmorin [FILE]...\n"
    "Capitalises the first letter a-z of every word of the FILEs, one after\n"
    "another as one text, onto standard output; with no FILE, or where FILE\n"
    "is -, reads standard input. A word starts at the text's first byte and\n"
    "after every space; every other byte passes unchanged, and after the\n"
    "first zero byte all of them do.\n"
    "\n"
    "  --help     show this and end\n"
    "  --version  show the version and end\n"
    "  --         what follows is a FILE, even when it starts with -\n"
    "\n"
    "Exit status: 0 when all went well, also when the reader of the output\n"
    "stopped reading; 1 when a FILE could not be read, the output could not\n"
    "be written, or memory ran out; 2 for an unknown option.\n";

std::uint32_t Length(const char *s) {
    std::uint32_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

bool Same(const char *a, const char *b) {
    while (*a != 0 && *a == *b) ++a, ++b;
    return *a == *b;
}

// Writes what it can: a message that cannot be shown has nowhere else to go.
void Show(HANDLE where, const char *s) {
    DWORD written = 0;
    if (where != nullptr && where != INVALID_HANDLE_VALUE) WriteFile(where, s, Length(s), &written, nullptr);
}

// What an error number means to the person reading the message.
const char *Reason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND: return "no such file";
    case ERROR_PATH_NOT_FOUND: return "no such folder";
    case ERROR_ACCESS_DENIED: return "access denied (or a folder)";
    case ERROR_INVALID_FUNCTION: return "not a file";
    case ERROR_NOT_ENOUGH_MEMORY: return "out of memory";
    case ERROR_DISK_FULL: return "no space left";
    case ERROR_INVALID_HANDLE: return "not open";
    default: return "input/output error";
    }
}

// "velmorin: WHAT 'NAME': REASON (error N)" on standard error, the parts
// that are null left out.
void Complain(const char *what, const char *name, const char *reason, DWORD error) {
    char line[1024];
    std::uint32_t at = 0;
    auto add = [&](const char *s) {
        while (*s != 0 && at + 1 < sizeof line) line[at++] = *s++;
    };
    add("velmorin: ");
    add(what);
    if (name != nullptr) {
        add(" '");
        add(name);
        add("'");
    }
    if (reason != nullptr) {
        add(": ");
        add(reason);
    }
    if (error != 0) {
        char digits[12];
        int n = 0;
        do digits[n++] = static_cast<char>('0' + error % 10);
        while ((error /= 10) != 0 && n < 11);
        add(" (error ");
        while (n > 0 && at + 1 < sizeof line) line[at++] = digits[--n];
        add(")");
    }
    add("\n");
    line[at] = 0;
    Show(GetStdHandle(STD_ERROR_HANDLE), line);
}

enum class Outcome { Done, ReadFailed, OutputGone, OutputFailed, NoMemory };

// Reads the handle to its end and writes it capitalised.
Outcome Copy(HANDLE input, HANDLE output, DWORD &error) {
    for (;;) {
        DWORD read = 0;
        unsigned char *buffer = text.PieceBuffer();
        if (buffer == nullptr) return Outcome::NoMemory;
        if (!ReadFile(input, buffer, TextStream::kPieceMax, &read, nullptr)) {
            error = GetLastError();
            // A pipe whose writer has finished: the end of its text.
            return error == ERROR_BROKEN_PIPE ? Outcome::Done : Outcome::ReadFailed;
        }
        if (read == 0) return Outcome::Done;
        const unsigned char *bytes = text.Capitalise(read);
        if (bytes == nullptr) return Outcome::NoMemory;
        DWORD written = 0;
        BOOL wrote = WriteFile(output, bytes, read, &written, nullptr);
        error = wrote ? ERROR_SUCCESS : GetLastError();
        text.Release();
        if (!wrote) {
            // The reader went away (Windows says "being closed", Wine "not
            // connected"): nobody wants the rest.
            bool gone = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
            return gone ? Outcome::OutputGone : Outcome::OutputFailed;
        }
    }
}

// Checks the options; kFine when the files may be read.
UINT ReadOptions(const char *tail, bool &done) {
    done = false;
    const char *cursor = tail;
    for (;;) {
        ArgumentRead got = NextArgument(cursor, argument, sizeof argument);
        if (got == ArgumentRead::End || Same(argument, "--")) return kFine;
        if (Same(argument, "--help")) {
            Show(GetStdHandle(STD_OUTPUT_HANDLE), kUsage);
            done = true;
            return kFine;
        }
        if (Same(argument, "--version")) {
            Show(GetStdHandle(STD_OUTPUT_HANDLE), "velmorin " VELMORIN_VERSION "\n");
            done = true;
            return kFine;
        }
        if (argument[0] == '-' && argument[1] != 0) {
            Complain("unknown option", argument, "try 'velmorin --help'", 0);
            return kMisused;
        }
    }
}

// Kept out of the entry point, which must not read the stack guard before
// it is seeded: inlined there, Run's protected frame would.
__attribute__((noinline)) UINT Run() {
    const char *tail = SkipProgramName(GetCommandLineA());
    bool done = false;
    UINT status = ReadOptions(tail, done);
    if (status != kFine || done) return status;

    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    bool optionsOver = false, anyFile = false;
    const char *cursor = tail;
    for (;;) {
        ArgumentRead got = NextArgument(cursor, argument, sizeof argument);
        if (got == ArgumentRead::End && anyFile) break;
        const char *name = argument;
        if (got == ArgumentRead::End) {
            name = "-";
        } else if (!optionsOver && Same(argument, "--")) {
            optionsOver = true;
            continue;
        }
        anyFile = true;
        if (got == ArgumentRead::TooLong) {
            Complain("cannot read", nullptr, "a file name longer than 32767 bytes", 0);
            status = kFailed;
            continue;
        }
        bool standardInput = Same(name, "-");
        HANDLE input = standardInput ? GetStdHandle(STD_INPUT_HANDLE)
                                     : CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_EXISTING, 0, nullptr);
        const char *shown = standardInput ? "standard input" : name;
        DWORD error = 0;
        Outcome outcome = Outcome::ReadFailed;
        if (input == INVALID_HANDLE_VALUE || input == nullptr) {
            error = input == nullptr ? ERROR_INVALID_HANDLE : GetLastError();
        } else {
            outcome = Copy(input, output, error);
            if (!standardInput) CloseHandle(input);
        }
        switch (outcome) {
        case Outcome::Done: break;
        case Outcome::ReadFailed:
            Complain("cannot read", shown, Reason(error), error);
            status = kFailed;
            break;
        case Outcome::OutputGone: return status;
        case Outcome::OutputFailed:
            Complain("cannot write the output", nullptr, Reason(error), error);
            return kFailed;
        case Outcome::NoMemory:
            Complain("out of memory", nullptr, nullptr, 0);
            return kFailed;
        }
        if (got == ArgumentRead::End) break;
    }
    return status;
}

}  // namespace

extern "C" DECLSPEC_NORETURN UNPROTECTED_FRAME void WINAPI ProgramEntry() {
    SeedStackGuard();
    ExitProcess(Run());
}
