// The console input's reading loop: keys typed at the terminal go into the
// console input buffer whenever the input functions look, Ctrl+C interrupts
// while processed input is on, and at exit the keys nothing read go back to
// the terminal's own input, for whatever reads the terminal next.
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/console_internal.h"
#include "platform/posix/key_encoder.h"
#include "platform/posix/terminal.h"
#include "platform/posix/terminal_reader.h"
#include "platform/posix/win32_api.h"

namespace standin {

namespace {

// Made on first use and never destroyed, so that the exit can still use it.
TerminalReader *reader = nullptr;
// Held while one caller pumps: another caller, or the input functions called
// from inside the pump, go on without pumping. Kept for good at exit.
std::atomic<bool> busy{false};
bool protocolIsKeyboardMode = false;

TerminalReader::Millis MonotonicMillis() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    using Millis = TerminalReader::Millis;
    return static_cast<Millis>(now.tv_sec) * 1000 + static_cast<Millis>(now.tv_nsec) / 1000000;
}

bool IsCtrlC(const INPUT_RECORD &r) { return r.EventType == KEY_EVENT && r.Event.KeyEvent.uChar.AsciiChar == 0x03; }

// Takes the Ctrl+C records out; true when one of them was a press.
bool TakeCtrlC(std::vector<INPUT_RECORD> &records) {
    bool pressed = std::any_of(records.begin(), records.end(),
                               [](const INPUT_RECORD &r) { return IsCtrlC(r) && r.Event.KeyEvent.bKeyDown; });
    records.erase(std::remove_if(records.begin(), records.end(), IsCtrlC), records.end());
    return pressed;
}

// Ctrl+C as the terminal's own interrupt key delivers it: SIGINT to the
// terminal's foreground process group. The keyboard protocol sends Ctrl+C as
// a sequence, which the terminal's line discipline never turns into a signal.
void Interrupt(int fd) {
    pid_t group = tcgetpgrp(fd);
    if (group > 0)
        kill(-group, SIGINT);
    else
        raise(SIGINT);
}

std::vector<INPUT_RECORD> UnreadInput() {
    std::vector<INPUT_RECORD> records;
    HANDLE input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) return records;
    DWORD count = 0;
    if (GetNumberOfConsoleInputEvents(input, &count) && count > 0) {
        records.resize(count);
        DWORD read = 0;
        if (!PeekConsoleInputA(input, records.data(), count, &read)) read = 0;
        records.resize(read);
    }
    CloseHandle(input);
    return records;
}

// At exit: the keyboard as it was found, and the keys that were typed but
// never read pushed back into the terminal's input, oldest first, in the
// encoding any program expects. Pushing input needs TIOCSTI, which a kernel
// may refuse (dev.tty.legacy_tiocsti = 0); the keys are then lost, as they
// would be without this.
void GiveBackUnreadKeys() {
    while (busy.exchange(true)) sched_yield();
    std::vector<INPUT_RECORD> late;
    reader->Leave(late);
    SetKeyboardMode("", "");
    if (InputMode() & ENABLE_PROCESSED_INPUT) TakeCtrlC(late);
    std::vector<INPUT_RECORD> unread = UnreadInput();
    std::string bytes = EncodeKeys(unread.data(), unread.size()) + EncodeKeys(late.data(), late.size());
    for (char c : bytes)
        if (ioctl(reader->fd(), TIOCSTI, &c) != 0) break;
}

}  // namespace

void PumpTerminalInput() {
    // A program that only waits for keys still has its screen redrawn.
    RedrawIfDisturbed();
    if (busy.exchange(true)) return;
    if (reader == nullptr) {
        int fd = TerminalInputFd();
        if (fd < 0) {
            busy = false;
            return;
        }
        reader = new TerminalReader(fd, MonotonicMillis);
        std::atexit(GiveBackUnreadKeys);
    }
    std::vector<INPUT_RECORD> records;
    reader->Pump(records);
    if (!protocolIsKeyboardMode && reader->protocol() == TerminalReader::Protocol::On) {
        // A stop or an ending signal switches it off too; a continue back on.
        SetKeyboardMode(TerminalReader::kProtocolOn, TerminalReader::kProtocolOff);
        protocolIsKeyboardMode = true;
    }
    bool interrupt = (InputMode() & ENABLE_PROCESSED_INPUT) && TakeCtrlC(records);
    if (!records.empty()) QueueInput(records.data(), records.size());
    busy = false;
    if (interrupt) Interrupt(reader->fd());
}

}  // namespace standin
