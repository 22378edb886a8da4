// A small program on the stand-in for tests that need a real terminal: it
// runs the program's screen operations, or holds the console in use until a
// signal ends it, so a driver can watch what reaches the terminal.
//
// usage: console_probe clear|sentence|line-end     the screen steps up to that one
//        console_probe hold [processed]            draw "held", then wait
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "demo/console.h"
#include "runtime/runtime_error.h"
#include "runtime/strings.h"

void OnRuntimeError(std::uint32_t) {}

namespace {

const auto kSentence = MakeLiteral("Dit Is Een Zin.");
const auto kHeld = MakeLiteral("held");

void Write(const unsigned char *literal) {
    CallFrame frame{};
    PushLiteral(frame, literal);
    WriteText(frame);
}

}  // namespace

int main(int argc, char **argv) {
    const char *mode = argc > 1 ? argv[1] : "line-end";
    SetUpConsole();
    InitialiseConsoleState();
    if (std::strcmp(mode, "hold") == 0) {
        if (argc > 2 && std::strcmp(argv[2], "processed") == 0) SetConsoleMode(Console.standardInput, ENABLE_PROCESSED_INPUT);
        ClearScreen();
        Write(kHeld.count);
        for (;;) pause();
    }
    ClearScreen();
    if (std::strcmp(mode, "clear") == 0) return 0;
    Write(kSentence.count);
    if (std::strcmp(mode, "sentence") == 0) return 0;
    WriteLineEnd();
    return 0;
}
