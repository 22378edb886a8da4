// The console input's reading loop: keys typed at the terminal go into the
// console input buffer whenever the input functions look, Ctrl+C interrupts
// while processed input is on, and at exit the text typed ahead that nothing
// read goes back to the terminal's own input, for whatever reads it next.
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "platform/posix/console/console_core.h"
#include "platform/posix/console/console_input.h"
#include "platform/posix/terminal/terminal.h"
#include "platform/posix/terminal/terminal_input.h"
#include "platform/posix/terminal/terminal_reader.h"
#include "platform/posix/terminal/typed_ahead.h"
#include "platform/posix/win32/win32_api.h"

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

// How long an input function waits for the terminal when nothing is queued:
// a program that polls for keys then sleeps between looks instead of
// spinning, and a key still reaches it at once.
constexpr int kIdleWaitMs = 5;

// Keys typed as text, by the number of their press in the console input, in
// the order typed; dropped once read, and given back at exit otherwise.
std::deque<QueuedText> typedAhead;

// The signal a key record stands for while processed input is on: Ctrl+C,
// and the terminal's own interrupt, quit and suspend keys, all from the
// main keyboard. 0 for none.
int SignalOf(const INPUT_RECORD &r) {
    if (IsCtrlC(r)) return SIGINT;
    if (r.EventType != KEY_EVENT || (r.Event.KeyEvent.dwControlKeyState & ENHANCED_KEY)) return 0;
    return SignalOfKey(static_cast<unsigned char>(r.Event.KeyEvent.uChar.AsciiChar));
}

// Takes the records of the signal keys out, keeping the typed text's record
// numbers right; returns the signal of the first one pressed, or 0.
int TakeSignalKeys(std::vector<INPUT_RECORD> &records, std::vector<TypedText> &typed) {
    int pressed = 0;
    std::vector<std::size_t> newIndex(records.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        newIndex[i] = kept;
        if (int signal = SignalOf(records[i])) {
            if (pressed == 0 && records[i].Event.KeyEvent.bKeyDown) pressed = signal;
            continue;
        }
        records[kept++] = records[i];
    }
    records.resize(kept);
    for (TypedText &t : typed) t.record = newIndex[t.record];
    return pressed;
}

// At exit: the keyboard as it was found, and what the person typed ahead
// that nothing read pushed back into the terminal's input, oldest first.
// Only text goes back, byte for byte as the terminal sent it, with Enter,
// and Backspace applied to it; never a key the shell would take as an
// order: Ctrl with a key (Ctrl+D would end it), Esc, Alt with a key, the
// cursor, editing and function keys, or any other sequence (a history
// recall, an edit, an answer from the terminal). The key that ended a
// program's wait for a key counts as typed ahead. Pushing input needs
// TIOCSTI, which a kernel may refuse (dev.tty.legacy_tiocsti = 0); the text
// is then lost, as it would be without this. It goes back after the user's
// own settings do, so that the terminal echoes it, its erase key reaches it
// and its Enter ends a line, as for text typed at the prompt; and no more
// than the terminal's input holds, which the kernel would cut anywhere.
void GiveBackUnreadKeys() {
    while (busy.exchange(true)) sched_yield();
    std::vector<INPUT_RECORD> late;
    std::vector<TypedText> lateText;
    reader->Leave(late, &lateText);
    SetKeyboardMode("", "");
    SetRepliesOwed(0);
    std::uint64_t head = InputHead();
    std::vector<QueuedText> typed(typedAhead.begin(), typedAhead.end());
    for (TypedText &t : lateText) typed.push_back(QueuedText{head, std::move(t.text)});
    int waiting = 0;
    if (ioctl(reader->fd(), FIONREAD, &waiting) != 0 || waiting < 0) waiting = 0;
    std::size_t room = kTerminalInputRoom - std::min<std::size_t>(static_cast<std::size_t>(waiting), kTerminalInputRoom);
    std::string bytes = TextToGiveBack(typed, head, room);
    RestoreTerminal();
    for (char c : bytes)
        if (ioctl(reader->fd(), TIOCSTI, &c) != 0) break;
}

}  // namespace

bool IsCtrlC(const INPUT_RECORD &r) {
    return r.EventType == KEY_EVENT && r.Event.KeyEvent.uChar.AsciiChar == 0x03 &&
           !(r.Event.KeyEvent.dwControlKeyState & ENHANCED_KEY);
}

// The keyboard protocol sends the signal keys as sequences, which the line
// discipline never turns into signals, so processed input would otherwise
// differ by terminal.
void SendSignalKey(int signal) {
    int fd = TerminalInputFd();
    pid_t group = fd >= 0 ? tcgetpgrp(fd) : -1;
    if (group > 0)
        kill(-group, signal);
    else
        kill(getpid(), signal);
}

void PumpTerminalInput() {
    HoldTerminal();
    // A program that only waits for keys still has its screen redrawn.
    RedrawIfDisturbed();
    if (busy.exchange(true)) return;
    // Running out of memory fails the input function that pumps, and the keys
    // of that one pump are lost; the next call pumps again.
    int signal = 0;
    try {
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
        std::vector<TypedText> typed;
        reader->Pump(records, &typed);
        if (records.empty() && !InputQueued()) {
            reader->Wait(kIdleWaitMs);
            reader->Pump(records, &typed);
        }
        if (!protocolIsKeyboardMode && reader->protocol() == TerminalReader::Protocol::On) {
            // A stop or an ending signal switches it off too; a continue back on.
            SetKeyboardMode(TerminalReader::kProtocolOn, TerminalReader::kProtocolOff);
            protocolIsKeyboardMode = true;
        }
        SetRepliesOwed(reader->owed());
        signal = (InputMode() & ENABLE_PROCESSED_INPUT) ? TakeSignalKeys(records, typed) : 0;
        if (!records.empty()) {
            std::uint64_t first = QueueInput(records.data(), records.size());
            std::uint64_t head = InputHead();
            while (!typedAhead.empty() && typedAhead.front().record < head) typedAhead.pop_front();
            for (TypedText &t : typed) typedAhead.push_back(QueuedText{first + t.record, std::move(t.text)});
        }
    } catch (...) {
        busy = false;
        throw;
    }
    bool gone = reader->gone();
    busy = false;
    if (signal != 0) SendSignalKey(signal);
    // The terminal has gone and no key can come any more: as with a console
    // that has no input, the program goes on to its end. Where the hang-up
    // did not end the process (nohup, an ignored SIGHUP) that end is here,
    // the same as its own: the exit status 0, the libraries' detach.
    if (gone && !InputQueued()) std::exit(0);
}

}  // namespace standin
