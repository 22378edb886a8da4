// A small program for the terminal tests: it reads the console input the way
// a program on the stand-in does, and logs each record it gets.
//   key_probe read LOG [processed]   logs every record until q is pressed
//   key_probe wait LOG               loops on KeyWaiting, logs the waiting press and
//                                    ends, leaving it unread
// The console input mode is 0 (as the program sets it) unless "processed" is given.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "demo/console_state.h"
#include "demo/key_waiting.h"
#include "platform/windows.h"

ConsoleState Console;

namespace {

void Log(std::FILE *log, const INPUT_RECORD &r) {
    if (r.EventType == KEY_EVENT) {
        const KEY_EVENT_RECORD &k = r.Event.KeyEvent;
        std::fprintf(log, "%s vk=%02X sc=%02X ch=%02X st=%04X\n", k.bKeyDown ? "down" : "up", k.wVirtualKeyCode,
                     k.wVirtualScanCode, static_cast<unsigned char>(k.uChar.AsciiChar),
                     static_cast<unsigned>(k.dwControlKeyState));
    } else {
        std::fprintf(log, "event %u\n", r.EventType);
    }
    std::fflush(log);
}

// Looks at the input for a while, so that the terminal has answered the
// reading loop's questions before the test starts typing.
void Settle(HANDLE input) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    DWORD count = 0;
    while (std::chrono::steady_clock::now() < until) GetNumberOfConsoleInputEvents(input, &count);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: key_probe read|wait LOG [processed]\n");
        return 2;
    }
    std::FILE *log = std::fopen(argv[2], "w");
    if (log == nullptr) return 2;
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) {
        std::fprintf(log, "no console\n");
        return 3;
    }
    bool processed = argc > 3 && std::strcmp(argv[3], "processed") == 0;
    SetConsoleMode(input, processed ? ENABLE_PROCESSED_INPUT : 0);
    Settle(input);
    std::fprintf(log, "ready\n");
    std::fflush(log);

    if (std::strcmp(argv[1], "wait") == 0) {
        Console.consoleInput = input;
        while (KeyWaiting() == 0) {
        }
        INPUT_RECORD head;
        DWORD read = 0;
        PeekConsoleInputA(input, &head, 1, &read);
        Log(log, head);
        return 0;
    }
    for (;;) {
        INPUT_RECORD r;
        DWORD read = 0;
        if (!ReadConsoleInputA(input, &r, 1, &read) || read != 1) return 4;
        Log(log, r);
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown && r.Event.KeyEvent.uChar.AsciiChar == 'q') return 0;
    }
}
