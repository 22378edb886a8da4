// The terminal key decoder: bytes from a terminal in, the key records the
// Windows console would queue for the same keys out. A pure function with no
// state between calls; the reading loop keeps the bytes it leaves unconsumed.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/posix/keys/escape_sequence.h"
#include "platform/posix/win32/win32_types.h"

namespace standin {

// How the terminal reports keys. Ordinary terminals send one report per key
// press (xterm, VT220 and Linux console sequences, with modifiers), so the
// decoder makes the press and the release and the presses and releases of the
// modifiers it implies. A terminal in the keyboard protocol's event mode
// reports every press, repeat and release itself, modifier keys included.
enum class KeyReports { PressesOnly, PressesAndReleases };

// Answers to the stand-in's own questions to the terminal, which arrive in
// among the keys and are no keys themselves.
struct TerminalReplies {
    int keyboardFlags = -1;         // CSI ? flags u, the keyboard protocol's state; -1 when none came
    bool deviceAttributes = false;  // CSI ? ... c, which every terminal sends when asked
};

// A key that typed text, for giving it back to the terminal's input when
// nothing read it: text is the bytes the terminal sent for a character or
// Enter, unchanged (for a keyboard protocol report, the text it carries, as
// UTF-8); an empty text is Backspace, which takes back the character before
// it. Keys that type no text (control characters, Esc, Alt with a key, the
// cursor, editing and function keys, sequences of any kind) have no entry:
// given back, they would make a shell end, signal, edit or recall. A line
// feed counts as Enter: it is what Enter became in text typed while the
// terminal was still in its line mode.
struct TypedText {
    std::size_t record;  // in out: the record of the key's press
    std::string text;
};

// Decodes keys from the start of bytes and appends their records to out.
// Returns how many bytes it consumed. A sequence that may still be incomplete
// at the end is left unconsumed unless final is set; with final set, every
// byte is consumed (a lone Esc is the Esc key). Nothing is dropped: a byte
// that starts no known sequence is decoded as the character it is, and a
// well-formed sequence naming no known key becomes a key with no name, so
// every key pressed at the terminal counts as a key press.
std::size_t DecodeKeys(const unsigned char *bytes, std::size_t count, bool final, KeyReports reports,
                       std::vector<INPUT_RECORD> &out, TerminalReplies *replies = nullptr,
                       std::vector<TypedText> *typed = nullptr);

}  // namespace standin
