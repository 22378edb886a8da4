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
    {'`', '~', VK_OEM_3, 0x29},       {'1', '!', '1', 0x02},           {'2', '@', '2', 0x03},
    {'3', '#', '3', 0x04},            {'4', '$', '4', 0x05},           {'5', '%', '5', 0x06},
    {'6', '^', '6', 0x07},            {'7', '&', '7', 0x08},           {'8', '*', '8', 0x09},
    {'9', '(', '9', 0x0A},            {'0', ')', '0', 0x0B},           {'-', '_', VK_OEM_MINUS, 0x0C},
    {'=', '+', VK_OEM_PLUS, 0x0D},    {'[', '{', VK_OEM_4, 0x1A},      {']', '}', VK_OEM_6, 0x1B},
    {'\\', '|', VK_OEM_5, 0x2B},      {';', ':', VK_OEM_1, 0x27},      {'\'', '"', VK_OEM_7, 0x28},
    {',', '<', VK_OEM_COMMA, 0x33},   {'.', '>', VK_OEM_PERIOD, 0x34}, {'/', '?', VK_OEM_2, 0x35},
    {' ', ' ', VK_SPACE, 0x39},
};

struct NumberedKey {
    std::uint32_t number;
    KeyIdentity key;
};

constexpr KeyIdentity kF1{VK_F1, 0x3B, false}, kF2{VK_F2, 0x3C, false}, kF3{VK_F3, 0x3D, false},
    kF4{VK_F4, 0x3E, false}, kHome{VK_HOME, 0x47, true}, kEnd{VK_END, 0x4F, true};

// CSI n ~: VT220 numbering, with rxvt's 7 and 8 for Home and End.
constexpr NumberedKey kTildeKeys[] = {
    {1, kHome},  {2, {VK_INSERT, 0x52, true}}, {3, {VK_DELETE, 0x53, true}}, {4, kEnd},
    {5, {VK_PRIOR, 0x49, true}}, {6, {VK_NEXT, 0x51, true}}, {7, kHome}, {8, kEnd},
    {11, kF1},   {12, kF2},  {13, kF3},  {14, kF4},
    {15, {VK_F5, 0x3F, false}}, {17, {VK_F6, 0x40, false}}, {18, {VK_F7, 0x41, false}},
    {19, {VK_F8, 0x42, false}}, {20, {VK_F9, 0x43, false}}, {21, {VK_F10, 0x44, false}},
    {23, {VK_F11, 0x57, false}}, {24, {VK_F12, 0x58, false}},
    {57427, {VK_CLEAR, 0x4C, false}},
};

struct ProtocolKey {
    std::uint32_t code;
    KeyIdentity key;
    unsigned char character;
};

// The keyboard protocol's private-use key numbers that the console can name.
constexpr ProtocolKey kProtocolKeys[] = {
    {57358, {VK_CAPITAL, 0x3A, false}, 0},   // Caps Lock
    {57359, {VK_SCROLL, 0x46, false}, 0},    // Scroll Lock
    {57360, {VK_NUMLOCK, 0x45, true}, 0},    // Num Lock
    {57361, {VK_SNAPSHOT, 0x37, true}, 0},   // Print Screen
    {57362, {VK_PAUSE, 0x45, false}, 0},     // Pause: the console reports Num Lock's scan code
    {57363, {VK_APPS, 0x5D, true}, 0},       // Menu
    {57399, {VK_NUMPAD0, 0x52, false}, '0'}, {57400, {VK_NUMPAD1, 0x4F, false}, '1'},
    {57401, {VK_NUMPAD2, 0x50, false}, '2'}, {57402, {VK_NUMPAD3, 0x51, false}, '3'},
    {57403, {VK_NUMPAD4, 0x4B, false}, '4'}, {57404, {VK_NUMPAD5, 0x4C, false}, '5'},
    {57405, {VK_NUMPAD6, 0x4D, false}, '6'}, {57406, {VK_NUMPAD7, 0x47, false}, '7'},
    {57407, {VK_NUMPAD8, 0x48, false}, '8'}, {57408, {VK_NUMPAD9, 0x49, false}, '9'},
    {57409, {VK_DECIMAL, 0x53, false}, '.'}, {57410, {VK_DIVIDE, 0x35, true}, '/'},
    {57411, {VK_MULTIPLY, 0x37, false}, '*'}, {57412, {VK_SUBTRACT, 0x4A, false}, '-'},
    {57413, {VK_ADD, 0x4E, false}, '+'},     {57414, {VK_RETURN, 0x1C, true}, '\r'},
    {57417, {VK_LEFT, 0x4B, false}, 0},      {57418, {VK_RIGHT, 0x4D, false}, 0},   // keypad Left, Right
    {57419, {VK_UP, 0x48, false}, 0},        {57420, {VK_DOWN, 0x50, false}, 0},    // keypad Up, Down
    {57421, {VK_PRIOR, 0x49, false}, 0},     {57422, {VK_NEXT, 0x51, false}, 0},    // keypad Page Up, Down
    {57423, {VK_HOME, 0x47, false}, 0},      {57424, {VK_END, 0x4F, false}, 0},     // keypad Home, End
    {57425, {VK_INSERT, 0x52, false}, 0},    {57426, {VK_DELETE, 0x53, false}, 0},  // keypad Insert, Delete
    {57427, {VK_CLEAR, 0x4C, false}, 0},                                            // keypad 5 without Num Lock
    {57441, kShiftKey, 0},                   {57447, {VK_SHIFT, 0x36, false}, 0},
    {57442, kCtrlKey, 0},                    {57448, {VK_CONTROL, 0x1D, true}, 0},
    {57443, kAltKey, 0},                     {57449, {VK_MENU, 0x38, true}, 0},
    {57453, {VK_MENU, 0x38, true}, 0},  // ISO level 3 shift is the right Alt key (AltGr)
    {57444, {VK_LWIN, 0x5B, true}, 0},       {57450, {VK_RWIN, 0x5C, true}, 0},  // the Windows keys
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
        key = {static_cast<WORD>(lower - 'a' + 'A'), kLetterScan[lower - 'a'], false};
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
    case 'A': key = {VK_UP, 0x48, true}; return true;
    case 'B': key = {VK_DOWN, 0x50, true}; return true;
    case 'C': key = {VK_RIGHT, 0x4D, true}; return true;
    case 'D': key = {VK_LEFT, 0x4B, true}; return true;
    case 'E': key = {VK_CLEAR, 0x4C, false}; return true;
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
        key = {static_cast<WORD>(VK_F13 + n), static_cast<WORD>(n < 11 ? 0x64 + n : 0x76), false};
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

// The letter is the character the key types, moved up by 0x40: 'p' is the
// keypad's 0, 'n' its '.', 'j' its '*', 'M' its Enter. The keypad's keys
// are the protocol's keys that type a character.
bool KeyForKeypadLetter(unsigned char letter, KeyIdentity &key, unsigned char &character) {
    if (letter <= 0x40) return false;
    for (const ProtocolKey &k : kProtocolKeys)
        if (k.character != 0 && k.character == letter - 0x40) {
            key = k.key;
            character = k.character;
            return true;
        }
    return false;
}

DWORD ModifierKeyState(const KeyIdentity &key) {
    switch (key.virtualKey) {
    case VK_SHIFT: return SHIFT_PRESSED;
    case VK_CONTROL: return key.enhanced ? RIGHT_CTRL_PRESSED : LEFT_CTRL_PRESSED;
    case VK_MENU: return key.enhanced ? RIGHT_ALT_PRESSED : LEFT_ALT_PRESSED;
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

}  // namespace standin
