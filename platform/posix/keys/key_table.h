// Which key a terminal's report names, in the console's own terms: the
// virtual-key code, the set-1 scan code and the enhanced flag of a US PC
// keyboard, and the character a key gives in the console's code page 437.
#pragma once

#include <cstdint>

#include "platform/posix/win32/win32_types.h"

namespace standin {

struct KeyIdentity {
    WORD virtualKey;  // 0 for a key the console has no name for
    WORD scanCode;    // set 1, without the E0 prefix
    bool enhanced;    // E0-prefixed: the navigation block, right Ctrl and Alt, keypad / and Enter
};

// Modifier bits as terminals send them: xterm's and the keyboard protocol's
// modifier parameter is 1 plus these.
enum ModifierBit : unsigned {
    kModShift = 1,
    kModAlt = 2,
    kModCtrl = 4,
    kModSuper = 8,
    kModHyper = 16,
    kModMeta = 32,
    kModCapsLock = 64,
    kModNumLock = 128,
};

constexpr KeyIdentity kShiftKey{VK_SHIFT, 0x2A, false};
constexpr KeyIdentity kCtrlKey{VK_CONTROL, 0x1D, false};
constexpr KeyIdentity kAltKey{VK_MENU, 0x38, false};
constexpr KeyIdentity kEnterKey{VK_RETURN, 0x1C, false};
constexpr KeyIdentity kEscKey{VK_ESCAPE, 0x01, false};
constexpr KeyIdentity kBackspaceKey{VK_BACK, 0x0E, false};
constexpr KeyIdentity kTabKey{VK_TAB, 0x0F, false};
constexpr KeyIdentity kSpaceKey{VK_SPACE, 0x39, false};
constexpr KeyIdentity kUnknownKey{0, 0, false};

// The key that types an ASCII character (0x20 to 0x7E) on a US keyboard, and
// whether it takes Shift. False for anything else.
bool KeyForAscii(unsigned char c, KeyIdentity &key, bool &shifted);

// The character a US key gives with Shift: 'a' -> 'A', '1' -> '!'. Others unchanged.
unsigned char ShiftedAscii(unsigned char c);

// The character Ctrl gives with the key of an ASCII character, Shift held or
// not (Ctrl+A is 1, Ctrl+[ is 27, Ctrl+Shift+6 is 30), or 0 when it gives none.
unsigned char CtrlCharacter(unsigned char c, bool shift);

// The keys of the terminal sequences: the final letter of CSI 1;m X and SS3 X,
// and the number of CSI n ~. False when the sequence names no key.
bool KeyForFinalLetter(unsigned char letter, KeyIdentity &key);
bool KeyForTildeNumber(std::uint32_t number, KeyIdentity &key);

// A key numbered in the keyboard protocol's private-use range (modifiers,
// locks, keypad, F13 and up), with the character it types (0 if none).
bool KeyForProtocolCode(std::uint32_t code, KeyIdentity &key, unsigned char &character);
// A key of the application keypad by the final letter of its SS3 sequence,
// with the character it types. False for any other letter.
bool KeyForKeypadLetter(unsigned char letter, KeyIdentity &key, unsigned char &character);

// What a modifier key adds to the control-key state, or 0 for any other key.
DWORD ModifierKeyState(const KeyIdentity &key);

// A Unicode character as the console's code page 437 has it; '?' when it has
// none, as the platform's conversion gives.
unsigned char ConsoleCharFromCodePoint(std::uint32_t codePoint);

}  // namespace standin
