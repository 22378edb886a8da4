// Key records to terminal bytes: characters as UTF-8, Alt as an Esc prefix,
// the cursor, editing and function keys as xterm's sequences with modifiers.
#include "platform/posix/key_encoder.h"

#include <cstdint>

#include "platform/posix/key_table.h"

namespace standin {

namespace {

constexpr WORD kVkLeftWin = 0x5B, kVkRightWin = 0x5C, kVkCapsLock = 0x14, kVkNumLock = 0x90, kVkScrollLock = 0x91;

bool IsModifierOrLock(WORD vk) {
    return vk == kVkShift || vk == kVkControl || vk == kVkMenu || vk == kVkCapsLock || vk == kVkNumLock ||
           vk == kVkScrollLock || vk == kVkLeftWin || vk == kVkRightWin;
}

void AppendUtf8(std::uint32_t cp, std::string &out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// xterm's modifier parameter: 1 plus Shift 1, Alt 2, Ctrl 4.
unsigned ModifierParameter(DWORD state) {
    unsigned m = 1;
    if (state & SHIFT_PRESSED) m += 1;
    if (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) m += 2;
    if (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) m += 4;
    return m;
}

// A key without a character: CSI [1;m] letter, SS3 letter for F1 to F4, or CSI n[;m] ~.
bool AppendFunctionKey(WORD vk, unsigned m, std::string &out) {
    KeyIdentity key;
    for (unsigned char letter : {'A', 'B', 'C', 'D', 'H', 'F', 'E', 'P', 'Q', 'R', 'S'}) {
        if (!KeyForFinalLetter(letter, key) || key.virtualKey != vk) continue;
        bool functionKey = letter >= 'P';
        if (m > 1)
            out += "\x1b[1;" + std::to_string(m);
        else
            out += functionKey ? "\x1bO" : "\x1b[";
        out += static_cast<char>(letter);
        return true;
    }
    for (std::uint32_t n = 2; n <= 24; ++n) {
        if (n == 4 || n == 7 || n == 8 || (n >= 11 && n <= 14)) continue;  // covered by the letters
        if (!KeyForTildeNumber(n, key) || key.virtualKey != vk) continue;
        out += "\x1b[" + std::to_string(n);
        if (m > 1) out += ";" + std::to_string(m);
        out += '~';
        return true;
    }
    return false;
}

void AppendPress(const KEY_EVENT_RECORD &k, std::string &out) {
    WORD vk = k.wVirtualKeyCode;
    DWORD state = k.dwControlKeyState;
    auto c = static_cast<unsigned char>(k.uChar.AsciiChar);
    bool ctrl = (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    // Ctrl+Alt with a printing character is AltGr, which the character says all about.
    bool alt = (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0 && !(ctrl && c >= 0x20);
    if (c == 0) {
        AppendFunctionKey(vk, ModifierParameter(state), out);
        return;
    }
    if (alt) out += '\x1b';
    if (vk == kVkBack)
        out += ctrl ? '\x08' : '\x7f';  // the terminal's erase key is DEL
    else if (vk == kVkTab && (state & SHIFT_PRESSED))
        out += "\x1b[Z";
    else if (vk == kVkSpace && ctrl)
        out += '\0';
    else
        AppendUtf8(CodePointFromConsoleChar(c), out);
}

}  // namespace

std::string EncodeKeys(const INPUT_RECORD *records, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (records[i].EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD &k = records[i].Event.KeyEvent;
        if (!k.bKeyDown || IsModifierOrLock(k.wVirtualKeyCode)) continue;
        for (WORD n = 0; n < (k.wRepeatCount > 0 ? k.wRepeatCount : 1); ++n) AppendPress(k, out);
    }
    return out;
}

}  // namespace standin
