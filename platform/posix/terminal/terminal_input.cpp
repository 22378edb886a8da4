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
struct QueuedText {
    std::uint64_t record;
    std::string text;
};
std::deque<QueuedText> typedAhead;

bool IsCtrlC(const INPUT_RECORD &r) { return r.EventType == KEY_EVENT && r.Event.KeyEvent.uChar.AsciiChar == 0x03; }

// Takes the Ctrl+C records out, keeping the typed text's record numbers
// right; true when one of them was a press.
bool TakeCtrlC(std::vector<INPUT_RECORD> &records, std::vector<TypedText> &typed) {
    bool pressed = false;
    std::vector<std::size_t> newIndex(records.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        newIndex[i] = kept;
        if (IsCtrlC(records[i])) {
            pressed = pressed || records[i].Event.KeyEvent.bKeyDown;
            continue;
        }
        records[kept++] = records[i];
    }
    records.resize(kept);
    for (TypedText &t : typed) t.record = newIndex[t.record];
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

void AppendTyped(std::string &out, const std::string &text) {
    if (!text.empty()) {
        out += text;
        return;
    }
    // Backspace: the last character goes, all of its UTF-8 bytes.
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
    if (!out.empty()) out.pop_back();
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
// is then lost, as it would be without this.
void GiveBackUnreadKeys() {
    while (busy.exchange(true)) sched_yield();
    std::vector<INPUT_RECORD> late;
    std::vector<TypedText> lateText;
    reader->Leave(late, &lateText);
    SetKeyboardMode("", "");
    std::uint64_t head = InputHead();
    std::string bytes;
    for (const QueuedText &t : typedAhead)
        if (t.record >= head) AppendTyped(bytes, t.text);
    for (const TypedText &t : lateText) AppendTyped(bytes, t.text);
    for (char c : bytes)
        if (ioctl(reader->fd(), TIOCSTI, &c) != 0) break;
}

}  // namespace

void PumpTerminalInput() {
    HoldTerminal();
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
    bool interrupt = (InputMode() & ENABLE_PROCESSED_INPUT) && TakeCtrlC(records, typed);
    if (!records.empty()) {
        std::uint64_t first = QueueInput(records.data(), records.size());
        std::uint64_t head = InputHead();
        while (!typedAhead.empty() && typedAhead.front().record < head) typedAhead.pop_front();
        for (TypedText &t : typed) typedAhead.push_back(QueuedText{first + t.record, std::move(t.text)});
    }
    busy = false;
    if (interrupt) Interrupt(reader->fd());
}

}  // namespace standin
