// Terminal bytes to console key records: characters (UTF-8, control codes),
// Alt as an Esc prefix, CSI and SS3 sequences with xterm's modifiers, the
// keyboard protocol's CSI u reports, and the terminal's answers to queries.
#include "platform/posix/key_decoder.h"

#include <cstdint>
#include <cstring>

#include "platform/posix/key_table.h"

namespace standin {

namespace {

constexpr unsigned char kEsc = 0x1B;

enum class Event { Tap, Press, Repeat, Release };

// One key as the terminal reported it, before it becomes records.
struct Stroke {
    KeyIdentity key = kUnknownKey;
    unsigned char character = 0;
    unsigned modifiers = 0;  // ModifierBit
    Event event = Event::Tap;
};

struct ImpliedModifier {
    unsigned bit;
    KeyIdentity key;
    DWORD state;
};

// The modifier keys a legacy report implies, in the order they go down.
constexpr ImpliedModifier kImplied[] = {
    {kModShift, kShiftKey, SHIFT_PRESSED},
    {kModCtrl, kCtrlKey, LEFT_CTRL_PRESSED},
    {kModAlt, kAltKey, LEFT_ALT_PRESSED},
};

DWORD StateOf(unsigned modifiers) {
    DWORD state = 0;
    if (modifiers & kModShift) state |= SHIFT_PRESSED;
    if (modifiers & kModCtrl) state |= LEFT_CTRL_PRESSED;
    if (modifiers & kModAlt) state |= LEFT_ALT_PRESSED;
    if (modifiers & kModCapsLock) state |= CAPSLOCK_ON;
    if (modifiers & kModNumLock) state |= NUMLOCK_ON;
    return state;
}

// Both sides of the modifier that a modifier key's own state bit belongs to.
DWORD BothSides(DWORD own) {
    if (own & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) return LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED;
    if (own & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) return LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;
    return own;
}

INPUT_RECORD KeyRecord(bool down, const KeyIdentity &key, unsigned char character, DWORD state) {
    INPUT_RECORD r;
    std::memset(&r, 0, sizeof r);
    r.EventType = KEY_EVENT;
    KEY_EVENT_RECORD &k = r.Event.KeyEvent;
    k.bKeyDown = down ? TRUE : FALSE;
    k.wRepeatCount = 1;
    k.wVirtualKeyCode = key.virtualKey;
    k.wVirtualScanCode = key.scanCode;
    k.uChar.AsciiChar = static_cast<CHAR>(character);
    k.dwControlKeyState = state | (key.enhanced ? ENHANCED_KEY : 0);
    return r;
}

INPUT_RECORD FocusRecord(bool focused) {
    INPUT_RECORD r;
    std::memset(&r, 0, sizeof r);
    r.EventType = FOCUS_EVENT;
    r.Event.FocusEvent.bSetFocus = focused ? TRUE : FALSE;
    return r;
}

// Parameters of a sequence: up to four ';' fields of up to four ':' parts.
struct Params {
    static constexpr int kFields = 4;
    std::uint32_t value[kFields][kFields] = {};
    bool present[kFields][kFields] = {};
    int fields = 0;

    bool Has(int f, int p) const { return present[f][p]; }
    std::uint32_t Get(int f, int p, std::uint32_t fallback) const { return present[f][p] ? value[f][p] : fallback; }
};

Params ParseParams(const unsigned char *p, std::size_t n) {
    Params r;
    int f = 0, part = 0;
    r.fields = n > 0 ? 1 : 0;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = p[i];
        if (c == ';') {
            ++f;
            part = 0;
            ++r.fields;
        } else if (c == ':') {
            ++part;
        } else if (c >= '0' && c <= '9' && f < Params::kFields && part < Params::kFields) {
            std::uint32_t &v = r.value[f][part];
            if (v < 100000000) v = v * 10 + (c - '0');  // larger numbers name nothing anyway
            r.present[f][part] = true;
        }
    }
    return r;
}

// The modifier parameter (1 + bits) as bits.
unsigned ModifierBits(const Params &p, int field) {
    std::uint32_t m = p.Get(field, 0, 1);
    return m >= 1 ? (m - 1) & 0xFF : 0;
}

// The length of the UTF-8 character at b, 0 when it may be cut short, and
// 1 for a byte that starts none: that byte then stands for itself.
std::size_t Utf8Character(const unsigned char *b, std::size_t n, bool final, std::uint32_t &codePoint) {
    unsigned char lead = b[0];
    std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
    codePoint = lead;
    if (length == 1) return 1;
    std::uint32_t cp = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= n) return final ? 1 : 0;
        unsigned char c = b[i];
        bool ok = (c & 0xC0) == 0x80;
        if (i == 1 && lead == 0xE0) ok = ok && c >= 0xA0;  // overlong
        if (i == 1 && lead == 0xED) ok = ok && c < 0xA0;   // surrogate
        if (i == 1 && lead == 0xF0) ok = ok && c >= 0x90;  // overlong
        if (i == 1 && lead == 0xF4) ok = ok && c < 0x90;   // past U+10FFFF
        if (!ok) return 1;
        cp = cp << 6 | (c & 0x3F);
    }
    codePoint = cp;
    return length;
}

// The shape of an escape sequence after its introducer.
struct Shape {
    enum Status { Complete, Incomplete, Malformed } status;
    std::size_t length;          // of the whole sequence, introducer included
    unsigned char marker;        // private marker < = > ?, or 0
    std::size_t paramsStart, paramsEnd;
    bool intermediates;
    unsigned char finalByte;
};

// Measures a sequence whose parameters start at b[start]: parameter bytes,
// intermediate bytes, then one final byte.
Shape MeasureSequence(const unsigned char *b, std::size_t n, std::size_t start, bool allowMarker) {
    Shape s{Shape::Incomplete, 0, 0, start, start, false, 0};
    std::size_t i = start;
    if (allowMarker && i < n && b[i] >= '<' && b[i] <= '?') s.marker = b[i++];
    s.paramsStart = i;
    while (i < n && b[i] >= 0x30 && b[i] <= 0x3F) ++i;
    s.paramsEnd = i;
    while (i < n && b[i] >= 0x20 && b[i] <= 0x2F) {
        s.intermediates = true;
        ++i;
    }
    if (i >= kLongestSequence) {
        s.status = Shape::Malformed;
    } else if (i < n) {
        s.status = b[i] >= 0x40 && b[i] <= 0x7E ? Shape::Complete : Shape::Malformed;
        s.finalByte = b[i];
        s.length = i + 1;
    }
    return s;
}

class Decoder {
public:
    Decoder(KeyReports reports, std::vector<INPUT_RECORD> &out, TerminalReplies *replies)
        : reports_(reports), out_(out), replies_(replies) {}

    // Decodes what starts at b; returns the bytes used, 0 if it may be incomplete.
    std::size_t Step(const unsigned char *b, std::size_t n, bool final) {
        if (b[0] == kEsc) return Escape(b, n, final);
        return Character(b, n, final, 0);
    }

private:
    std::size_t Character(const unsigned char *b, std::size_t n, bool final, unsigned modifiers) {
        if (b[0] < 0x80) {
            Ascii(b[0], modifiers);
            return 1;
        }
        std::uint32_t codePoint = 0;
        std::size_t used = Utf8Character(b, n, final, codePoint);
        if (used == 0) return 0;
        Stroke s;
        s.character = ConsoleCharFromCodePoint(codePoint);
        s.modifiers = modifiers;
        Emit(s);
        return used;
    }

    // A byte as typed at a legacy terminal: control codes are Ctrl with a key.
    void Ascii(unsigned char c, unsigned modifiers) {
        Stroke s;
        s.modifiers = modifiers;
        s.character = c;
        bool shifted = false;
        if (c == '\r') {
            s.key = kEnterKey;
        } else if (c == '\t') {
            s.key = kTabKey;
        } else if (c == 0x7F) {
            s.key = kBackspaceKey;
            s.character = 0x08;
        } else if (c == kEsc) {
            s.key = kEscKey;
        } else if (c == 0) {
            s.key = kSpaceKey;  // Ctrl+Space
            s.character = ' ';
            s.modifiers |= kModCtrl;
        } else if (c < 0x20) {
            // 1 to 26 are Ctrl with a letter; 28 to 31 Ctrl with \ ] ^ _.
            static constexpr unsigned char kControlBase[] = {'\\', ']', '^', '_'};
            unsigned char base = c <= 26 ? static_cast<unsigned char>('a' + c - 1) : kControlBase[c - 28];
            KeyForAscii(base, s.key, shifted);
            s.modifiers |= kModCtrl | (shifted ? unsigned{kModShift} : 0u);
        } else {
            KeyForAscii(c, s.key, shifted);
            if (shifted) s.modifiers |= kModShift;
        }
        Emit(s);
    }

    std::size_t Escape(const unsigned char *b, std::size_t n, bool final) {
        if (n == 1) {
            if (!final) return 0;
            Ascii(kEsc, 0);
            return 1;
        }
        if (b[1] == '[') return ControlSequence(b, n, final);
        if (b[1] == 'O') return SingleShift(b, n, final);
        if (b[1] == kEsc) {
            Ascii(kEsc, 0);  // the second Esc starts afresh
            return 1;
        }
        std::size_t used = Character(b + 1, n - 1, final, kModAlt);
        return used == 0 ? 0 : used + 1;
    }

    // Esc and the introducer's letter, when what follows is no sequence: Alt
    // with that letter, and the rest is decoded as typed.
    std::size_t AltIntroducer(unsigned char letter) {
        Ascii(letter, kModAlt);
        return 2;
    }

    std::size_t ControlSequence(const unsigned char *b, std::size_t n, bool final) {
        if (n >= 3 && b[2] == '[') {  // the Linux console's F1 to F5: CSI [ A to E
            if (n == 3) return final ? AltIntroducer('[') : 0;
            KeyIdentity key;
            if (b[3] < 'A' || b[3] > 'E' || !KeyForTildeNumber(11u + (b[3] - 'A'), key)) return AltIntroducer('[');
            Stroke s;
            s.key = key;
            Emit(s);
            return 4;
        }
        Shape shape = MeasureSequence(b, n, 2, true);
        if (shape.status == Shape::Incomplete && !final) return 0;
        if (shape.status != Shape::Complete) return AltIntroducer('[');
        Params p = ParseParams(b + shape.paramsStart, shape.paramsEnd - shape.paramsStart);
        if (shape.marker != 0)
            Reply(shape.marker, p, shape.finalByte);
        else if (shape.intermediates)
            Emit(Stroke{});
        else
            ControlKey(p, shape.finalByte);
        return shape.length;
    }

    void ControlKey(const Params &p, unsigned char finalByte) {
        KeyIdentity key;
        switch (finalByte) {
        case 'u':
            ProtocolKey(p.Get(0, 0, 0), p.Get(0, 1, 0), p.Get(0, 2, 0), p.Get(2, 0, 0), p);
            return;
        case '~': {
            std::uint32_t number = p.Get(0, 0, 0);
            if (number == 27 && p.Has(2, 0)) {  // xterm's other keys: CSI 27 ; m ; code ~
                ProtocolKey(p.Get(2, 0, 0), 0, 0, 0, p);
            } else if (number == 200 || number == 201) {
                // Bracketed paste marks; the pasted text between them is typed keys.
            } else if (KeyForTildeNumber(number, key)) {
                FunctionKey(key, p, 1);
            } else {
                Emit(Stroke{});
            }
            return;
        }
        case 'Z': {  // back tab
            Stroke s = Modified(kTabKey, p, 1);
            s.modifiers |= kModShift;
            s.character = '\t';
            Emit(s);
            return;
        }
        case 'I':
        case 'O':
            if (p.fields == 0) {
                out_.push_back(FocusRecord(finalByte == 'I'));
                return;
            }
            break;
        case 'R':
            if (p.Get(0, 0, 1) != 1) return;  // a cursor position report, not F3
            break;
        default:
            break;
        }
        if (KeyForFinalLetter(finalByte, key))
            FunctionKey(key, p, 1);
        else
            Emit(Stroke{});
    }

    std::size_t SingleShift(const unsigned char *b, std::size_t n, bool final) {
        Shape shape = MeasureSequence(b, n, 2, false);
        if (shape.status == Shape::Incomplete && !final) return 0;
        if (shape.status != Shape::Complete || shape.intermediates) return AltIntroducer('O');
        Params p = ParseParams(b + shape.paramsStart, shape.paramsEnd - shape.paramsStart);
        int modifierField = p.fields >= 2 ? 1 : 0;  // SS3 1;5P, or the older SS3 5P
        KeyIdentity key;
        unsigned char character = 0;
        unsigned char f = shape.finalByte;
        if (KeyForFinalLetter(f, key)) {
            FunctionKey(key, p, modifierField);
        } else if ((f == 'M' && KeyForProtocolCode(57414, key, character)) ||
                   (f >= 'j' && f <= 'y' && KeyForProtocolCode(KeypadCode(f), key, character))) {
            Stroke s = Modified(key, p, modifierField);
            s.character = character;
            Emit(s);
        } else {
            Emit(Stroke{});
        }
        return shape.length;
    }

    // The application keypad's SS3 letters as the keyboard protocol's keypad numbers.
    static std::uint32_t KeypadCode(unsigned char f) {
        switch (f) {
        case 'j': return 57411;
        case 'k': return 57413;
        case 'm': return 57412;
        case 'n': return 57409;
        case 'o': return 57410;
        default: return f >= 'p' ? 57399u + (f - 'p') : 0;
        }
    }

    Stroke Modified(const KeyIdentity &key, const Params &p, int field) {
        Stroke s;
        s.key = key;
        s.modifiers = ModifierBits(p, field);
        if (p.Has(field, 1)) {
            std::uint32_t type = p.Get(field, 1, 1);
            s.event = type == 3 ? Event::Release : type == 2 ? Event::Repeat : Event::Press;
        } else {
            s.event = reports_ == KeyReports::PressesAndReleases ? Event::Press : Event::Tap;
        }
        return s;
    }

    void FunctionKey(const KeyIdentity &key, const Params &p, int field) { Emit(Modified(key, p, field)); }

    // CSI code : shifted : base ; modifiers : event ; text u. A text of 0 is none.
    void ProtocolKey(std::uint32_t code, std::uint32_t shiftedCode, std::uint32_t baseCode, std::uint32_t text,
                     const Params &p) {
        Stroke s = Modified(kUnknownKey, p, 1);
        bool ctrl = (s.modifiers & (kModCtrl | kModAlt)) == kModCtrl;
        bool shift = (s.modifiers & kModShift) != 0;
        bool shifted = false;
        unsigned char c = 0;
        switch (code) {
        case 13: s.key = kEnterKey; c = ctrl ? 0x0A : 0x0D; break;
        case 9: s.key = kTabKey; c = '\t'; break;
        case 8:
        case 127: s.key = kBackspaceKey; c = ctrl ? 0x7F : 0x08; break;
        case 27: s.key = kEscKey; c = kEsc; break;
        default:
            if (code >= 0x20 && code < 0x7F) {
                KeyForAscii(static_cast<unsigned char>(code), s.key, shifted);
                c = TextCharacter(static_cast<unsigned char>(code), shiftedCode, s.modifiers, shifted);
            } else if (!KeyForProtocolCode(code, s.key, c)) {
                if (baseCode >= 0x20 && baseCode < 0x7F) KeyForAscii(static_cast<unsigned char>(baseCode), s.key, shifted);
                bool privateUse = code >= 0xE000 && code <= 0xF8FF;
                if (code >= 0xA0 && !privateUse) c = ConsoleCharFromCodePoint(shift && shiftedCode ? shiftedCode : code);
            }
        }
        if (text != 0) c = ConsoleCharFromCodePoint(text);
        s.character = c;
        Emit(s);
    }

    static unsigned char TextCharacter(unsigned char code, std::uint32_t shiftedCode, unsigned modifiers,
                                       bool codeIsShifted) {
        bool shift = (modifiers & kModShift) != 0;
        if ((modifiers & (kModCtrl | kModAlt)) == kModCtrl) return CtrlCharacter(code, shift);
        if (codeIsShifted) return code;
        if (code >= 'a' && code <= 'z') {
            bool upper = shift != ((modifiers & kModCapsLock) != 0);
            return upper ? code - 0x20 : code;
        }
        if (!shift) return code;
        return shiftedCode != 0 ? ConsoleCharFromCodePoint(shiftedCode) : ShiftedAscii(code);
    }

    void Reply(unsigned char marker, const Params &p, unsigned char finalByte) {
        if (replies_ == nullptr || marker != '?') return;  // mouse and other reports carry no key
        if (finalByte == 'u') replies_->keyboardFlags = static_cast<int>(p.Get(0, 0, 0) & 0xFFFF);
        if (finalByte == 'c') replies_->deviceAttributes = true;
    }

    void Emit(const Stroke &s) {
        DWORD own = ModifierKeyState(s.key);
        DWORD state = StateOf(s.modifiers) & ~BothSides(own);
        if (s.event != Event::Tap) {
            bool down = s.event != Event::Release;
            out_.push_back(KeyRecord(down, s.key, s.character, down ? state | own : state));
            return;
        }
        // A legacy report: the implied modifiers go down first and up last.
        DWORD held = state & (CAPSLOCK_ON | NUMLOCK_ON);
        for (const ImpliedModifier &m : kImplied)
            if ((s.modifiers & m.bit) && m.key.virtualKey != s.key.virtualKey) {
                held |= m.state;
                out_.push_back(KeyRecord(true, m.key, 0, held));
            }
        out_.push_back(KeyRecord(true, s.key, s.character, state | own));
        out_.push_back(KeyRecord(false, s.key, s.character, state));
        for (std::size_t i = sizeof kImplied / sizeof kImplied[0]; i-- > 0;) {
            const ImpliedModifier &m = kImplied[i];
            if ((s.modifiers & m.bit) && m.key.virtualKey != s.key.virtualKey) {
                held &= ~m.state;
                out_.push_back(KeyRecord(false, m.key, 0, held));
            }
        }
    }

    KeyReports reports_;
    std::vector<INPUT_RECORD> &out_;
    TerminalReplies *replies_;
};

}  // namespace

std::size_t DecodeKeys(const unsigned char *bytes, std::size_t count, bool final, KeyReports reports,
                       std::vector<INPUT_RECORD> &out, TerminalReplies *replies) {
    Decoder decoder(reports, out, replies);
    std::size_t used = 0;
    while (used < count) {
        std::size_t step = decoder.Step(bytes + used, count - used, final);
        if (step == 0) break;
        used += step;
    }
    return used;
}

}  // namespace standin
