// The user's terminal under the stand-in's console: which descriptors it is
// on, its size, the raw mode the console needs while in use, and giving the
// user's own settings back however the process ends.
#pragma once

#include <string>

namespace standin {

struct TerminalFds {
    int display = -1;   // standard output, else standard error, when a terminal
    int keyboard = -1;  // standard input when a terminal, else the controlling terminal
};

// Finds the terminal, puts its keyboard side in raw mode without echo (with
// the interrupt keys on or off), and arranges for the restore at exit and on
// the signals that end or stop the process. Called once per process.
TerminalFds AttachTerminal(bool signalKeys);
bool TerminalSize(int fd, int &columns, int &rows);
// The interrupt, quit and suspend keys: on, or delivered as plain bytes.
void SetSignalKeys(bool on);
void WriteTerminal(const std::string &bytes);
// The bytes to write when the terminal is given back; kept current by the
// console after each update of the mirror.
void SetHandBack(const std::string &bytes);
// The bytes to write to the keyboard's side when the terminal is given back:
// what switches off a keyboard mode the reading loop switched on. Empty for
// none; at most 15 bytes.
void SetKeyboardHandBack(const char *bytes);
// Gives the terminal back its settings and plain drawing state for good: the
// process is ending. Idempotent and async-signal-safe.
void RestoreTerminal();
// True once after each change of the terminal's size.
bool TakeResize();
// True once after the process was stopped and continued: the terminal must
// be redrawn, as someone else has drawn on it meanwhile.
bool TakeRedraw();

}  // namespace standin
