// The key tables behind the terminal key decoder: a US PC keyboard's
// virtual-key and scan codes, and typed characters in the console's code page.
#include "platform/posix/keys/key_table.h"

#include <cstddef>

#include "platform/posix/screen/cp437.h"

namespace standin {

namespace {

// Scan codes of the letters a to z.
constexpr unsigned char kLetterScan[26] = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
};

// The other keys that type ASCII: the unshifted and shifted character.
struct PrintingKey {
    unsigned char plain;
    unsigned char shifted;
    WORD virtualKey;
    WORD scanCode;
};

constexpr PrintingKey kPrintingKeys[] = {
    {'`', '~', 0xC0, 0x29},  {'1', '!', 0x31, 0x02},  {'2', '@', 0x32, 0x03}, {'3', '#', 0x33, 0x04},
    {'4', '$', 0x34, 0x05},  {'5', '%', 0x35, 0x06},  {'6', '^', 0x36, 0x07}, {'7', '&', 0x37, 0x08},
    {'8', '*', 0x38, 0x09},  {'9', '(', 0x39, 0x0A},  {'0', ')', 0x30, 0x0B}, {'-', '_', 0xBD, 0x0C},
    {'=', '+', 0xBB, 0x0D},  {'[', '{', 0xDB, 0x1A},  {']', '}', 0xDD, 0x1B}, {'\\', '|', 0xDC, 0x2B},
    {';', ':', 0xBA, 0x27},  {'\'', '"', 0xDE, 0x28}, {',', '<', 0xBC, 0x33}, {'.', '>', 0xBE, 0x34},
    {'/', '?', 0xBF, 0x35},  {' ', ' ', kVkSpace, 0x39},
};

struct NumberedKey {
    std::uint32_t number;
    KeyIdentity key;
};

constexpr KeyIdentity kF1{0x70, 0x3B, false}, kF2{0x71, 0x3C, false}, kF3{0x72, 0x3D, false},
    kF4{0x73, 0x3E, false}, kHome{0x24, 0x47, true}, kEnd{0x23, 0x4F, true};

// CSI n ~: VT220 numbering, with rxvt's 7 and 8 for Home and End.
constexpr NumberedKey kTildeKeys[] = {
    {1, kHome},  {2, {0x2D, 0x52, true}}, {3, {0x2E, 0x53, true}}, {4, kEnd},
    {5, {0x21, 0x49, true}}, {6, {0x22, 0x51, true}}, {7, kHome}, {8, kEnd},
    {11, kF1},   {12, kF2},  {13, kF3},  {14, kF4},
    {15, {0x74, 0x3F, false}}, {17, {0x75, 0x40, false}}, {18, {0x76, 0x41, false}},
    {19, {0x77, 0x42, false}}, {20, {0x78, 0x43, false}}, {21, {0x79, 0x44, false}},
    {23, {0x7A, 0x57, false}}, {24, {0x7B, 0x58, false}},
    {57427, {kVkClear, 0x4C, false}},
};

struct ProtocolKey {
    std::uint32_t code;
    KeyIdentity key;
    unsigned char character;
};

// The keyboard protocol's private-use key numbers that the console can name.
constexpr ProtocolKey kProtocolKeys[] = {
    {57358, {0x14, 0x3A, false}, 0},  // Caps Lock
    {57359, {0x91, 0x46, false}, 0},  // Scroll Lock
    {57360, {0x90, 0x45, true}, 0},   // Num Lock
    {57361, {0x2C, 0x37, true}, 0},   // Print Screen
    {57362, {0x13, 0x45, false}, 0},  // Pause: the console reports Num Lock's scan code
    {57363, {0x5D, 0x5D, true}, 0},   // Menu
    {57399, {0x60, 0x52, false}, '0'}, {57400, {0x61, 0x4F, false}, '1'}, {57401, {0x62, 0x50, false}, '2'},
    {57402, {0x63, 0x51, false}, '3'}, {57403, {0x64, 0x4B, false}, '4'}, {57404, {0x65, 0x4C, false}, '5'},
    {57405, {0x66, 0x4D, false}, '6'}, {57406, {0x67, 0x47, false}, '7'}, {57407, {0x68, 0x48, false}, '8'},
    {57408, {0x69, 0x49, false}, '9'},
    {57409, {0x6E, 0x53, false}, '.'},   {57410, {0x6F, 0x35, true}, '/'},
    {57411, {0x6A, 0x37, false}, '*'},   {57412, {0x6D, 0x4A, false}, '-'},
    {57413, {0x6B, 0x4E, false}, '+'},   {57414, {kVkReturn, 0x1C, true}, '\r'},
    {57417, {0x25, 0x4B, false}, 0}, {57418, {0x27, 0x4D, false}, 0},  // keypad Left, Right
    {57419, {0x26, 0x48, false}, 0}, {57420, {0x28, 0x50, false}, 0},  // keypad Up, Down
    {57421, {0x21, 0x49, false}, 0}, {57422, {0x22, 0x51, false}, 0},  // keypad Page Up, Down
    {57423, {0x24, 0x47, false}, 0}, {57424, {0x23, 0x4F, false}, 0},  // keypad Home, End
    {57425, {0x2D, 0x52, false}, 0}, {57426, {0x2E, 0x53, false}, 0},  // keypad Insert, Delete
    {57427, {kVkClear, 0x4C, false}, 0},                               // keypad 5 without Num Lock
    {57441, kShiftKey, 0},                   {57447, {kVkShift, 0x36, false}, 0},
    {57442, kCtrlKey, 0},                    {57448, {kVkControl, 0x1D, true}, 0},
    {57443, kAltKey, 0},                     {57449, {kVkMenu, 0x38, true}, 0},
    {57453, {kVkMenu, 0x38, true}, 0},  // ISO level 3 shift is the right Alt key (AltGr)
    {57444, {0x5B, 0x5B, true}, 0},          {57450, {0x5C, 0x5C, true}, 0},  // the Windows keys
};

// F13 to F24: the keyboard protocol numbers them 57376 on; scan codes 64 to 6E, then 76.
constexpr std::uint32_t kF13Code = 57376;

const PrintingKey *FindPrintingKey(unsigned char c) {
    for (const PrintingKey &k : kPrintingKeys)
        if (k.plain == c || k.shifted == c) return &k;
    return nullptr;
}

bool IsLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

}  // namespace

bool KeyForAscii(unsigned char c, KeyIdentity &key, bool &shifted) {
    if (IsLetter(c)) {
        unsigned char lower = c | 0x20;
        key = {static_cast<WORD>(lower - 0x20), kLetterScan[lower - 'a'], false};
        shifted = c != lower;
        return true;
    }
    const PrintingKey *k = FindPrintingKey(c);
    if (k == nullptr) return false;
    key = {k->virtualKey, k->scanCode, false};
    shifted = c != k->plain;
    return true;
}

unsigned char ShiftedAscii(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    const PrintingKey *k = FindPrintingKey(c);
    return k != nullptr && k->plain == c ? k->shifted : c;
}

unsigned char CtrlCharacter(unsigned char c, bool shift) {
    if (shift) c = ShiftedAscii(c);
    if (IsLetter(c)) return c & 0x1F;
    switch (c) {
    case '[': return 0x1B;
    case '\\': return 0x1C;
    case ']': return 0x1D;
    case '^': return 0x1E;
    case '_': return 0x1F;
    case ' ': return ' ';
    default: return 0;  // Ctrl+@ included: the zero character is no character
    }
}

bool KeyForFinalLetter(unsigned char letter, KeyIdentity &key) {
    switch (letter) {
    case 'A': key = {0x26, 0x48, true}; return true;
    case 'B': key = {0x28, 0x50, true}; return true;
    case 'C': key = {0x27, 0x4D, true}; return true;
    case 'D': key = {0x25, 0x4B, true}; return true;
    case 'E': key = {kVkClear, 0x4C, false}; return true;
    case 'F': key = kEnd; return true;
    case 'H': key = kHome; return true;
    case 'P': key = kF1; return true;
    case 'Q': key = kF2; return true;
    case 'R': key = kF3; return true;
    case 'S': key = kF4; return true;
    default: return false;
    }
}

bool KeyForTildeNumber(std::uint32_t number, KeyIdentity &key) {
    for (const NumberedKey &k : kTildeKeys)
        if (k.number == number) {
            key = k.key;
            return true;
        }
    return false;
}

bool KeyForProtocolCode(std::uint32_t code, KeyIdentity &key, unsigned char &character) {
    character = 0;
    if (code >= kF13Code && code < kF13Code + 12) {
        std::uint32_t n = code - kF13Code;
        key = {static_cast<WORD>(0x7C + n), static_cast<WORD>(n < 11 ? 0x64 + n : 0x76), false};
        return true;
    }
    for (const ProtocolKey &k : kProtocolKeys)
        if (k.code == code) {
            key = k.key;
            character = k.character;
            return true;
        }
    return false;
}

DWORD ModifierKeyState(const KeyIdentity &key) {
    switch (key.virtualKey) {
    case kVkShift: return SHIFT_PRESSED;
    case kVkControl: return key.enhanced ? RIGHT_CTRL_PRESSED : LEFT_CTRL_PRESSED;
    case kVkMenu: return key.enhanced ? RIGHT_ALT_PRESSED : LEFT_ALT_PRESSED;
    default: return 0;
    }
}

// Below 0x80 a typed character is its own byte; the code page's glyphs for
// control bytes are for showing them, not for typing.
unsigned char ConsoleCharFromCodePoint(std::uint32_t codePoint) {
    if (codePoint < 0x80) return static_cast<unsigned char>(codePoint);
    for (unsigned c = 0x80; c <= 0xFF; ++c)
        if (Cp437Glyph(static_cast<unsigned char>(c)) == codePoint) return static_cast<unsigned char>(c);
    return '?';
}

std::uint32_t CodePointFromConsoleChar(unsigned char c) { return c < 0x80 ? c : Cp437Glyph(c); }

}  // namespace standin
