// The user's terminal under the stand-in's console: which descriptors it is
// on, its size, the raw mode the console needs while in use, and giving the
// user's own settings back however the process ends.
#pragma once

#include <string>

namespace standin {

// The console is the controlling terminal, whichever standard streams are
// redirected. Without one the process has no console, unless a test asked
// for a console without a terminal (UseHeadlessConsole).
struct TerminalFds {
    bool console = false;  // the process has a console at all
    int display = -1;      // standard output, else standard error, when the terminal; else our own descriptor
    int keyboard = -1;     // standard input when the terminal, else our own descriptor on it
};

// Finds the terminal, readies the raw mode without echo (with the interrupt
// keys on or off) that its keyboard side is put in once the console draws or
// reads keys, and arranges for the restore at exit and on the signals that
// end or stop the process. Called once per process.
TerminalFds AttachTerminal(bool signalKeys);
// The console is in use: puts the terminal in raw mode, once; the drawing
// and the key reading call it. Until then the terminal keeps its own
// settings, and bytes pass through it as through any file.
void HoldTerminal();
bool TerminalHeld();

bool TerminalSize(int fd, int &columns, int &rows);
// The interrupt, quit and suspend keys: on, or delivered as plain bytes.
void SetSignalKeys(bool on);
// The signal the user's settings give a key's character (the terminal's
// interrupt, quit and suspend keys), or 0.
int SignalOfKey(unsigned char character);
// Answers the terminal still owes to the reading loop's questions: an ending
// signal waits briefly for them, so that they do not reach the next program.
void SetRepliesOwed(int count);
void WriteTerminal(const std::string &bytes);
// The bytes to write when the terminal is given back; kept current by the
// console after each update of the mirror.
void SetHandBack(const std::string &bytes);
// The keyboard's own mode while the console is in use, such as a keyboard
// protocol the reading loop switched on: off is written whenever the
// terminal is given back, on again when it is taken back after a stop. At
// most 15 bytes each; empty when there is none.
void SetKeyboardMode(const char *on, const char *off);
// Gives the terminal back its settings and plain drawing state for good: the
// process is ending. Idempotent and async-signal-safe.
void RestoreTerminal();
// Gives the process a console without a terminal, whatever terminal it has;
// for tests, before the console's first use.
void UseHeadlessConsole();
// True once after each change of the terminal's size.
bool TakeResize();
// True once after the process was stopped and continued: the terminal must
// be redrawn, as someone else has drawn on it meanwhile.
bool TakeRedraw();
// True while a change of size or a continue waits for the next redraw.
bool TerminalDisturbed();

}  // namespace standin
