// Terminal bytes to console key records: characters (UTF-8, control codes),
// Alt as an Esc prefix, CSI and SS3 sequences with xterm's modifiers, the
// keyboard protocol's CSI u reports, and the terminal's answers to queries.
#include "platform/posix/keys/key_decoder.h"

#include <cstdint>
#include <string>

#include "platform/posix/keys/escape_sequence.h"
#include "platform/posix/keys/key_strokes.h"
#include "platform/posix/keys/key_table.h"
#include "platform/posix/screen/cp437.h"

namespace standin {

namespace {

constexpr unsigned char kEsc = 0x1B;

class Decoder {
public:
    Decoder(KeyReports reports, std::vector<INPUT_RECORD> &out, TerminalReplies *replies)
        : reports_(reports), out_(out), replies_(replies) {}

    // Decodes what starts at b; returns the bytes used, 0 if it may be incomplete.
    std::size_t Step(const unsigned char *b, std::size_t n, bool final) {
        typed_ = false;
        text_.clear();
        if (b[0] == kEsc) return Escape(b, n, final);
        return Character(b, n, final, 0);
    }

    // Whether the last step typed text, and which (empty: Backspace).
    bool typed() const { return typed_; }
    const std::string &text() const { return text_; }

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
        // A byte that starts no whole UTF-8 character is text as it came (a
        // Latin-1 terminal's, or a broken sequence's): it goes back as it
        // is. Only a well-formed C1 control is no text.
        bool decoded = used > 1;
        if (modifiers == 0 && (!decoded || codePoint >= 0xA0)) Typed(std::string(b, b + used));
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
        if (modifiers != 0) return;
        if ((c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n') Typed(std::string(1, static_cast<char>(c)));
        if (c == 0x7F || c == 0x08) Typed("");
    }

    void Typed(std::string text) {
        typed_ = true;
        text_ = std::move(text);
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
                AppendFocus(finalByte == 'I', out_);
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
        } else if (KeyForKeypadLetter(f, key, character)) {
            Stroke s = Modified(key, p, modifierField);
            s.character = character;
            Emit(s);
        } else {
            Emit(Stroke{});
        }
        return shape.length;
    }

    Stroke Modified(const KeyIdentity &key, const Params &p, int field) {
        Stroke s;
        s.key = key;
        s.modifiers = ModifierBits(p, field);
        if (p.Has(field, 1)) {
            std::uint32_t type = p.Get(field, 1, 1);
            s.kind = type == 3 ? StrokeKind::Release : type == 2 ? StrokeKind::Repeat : StrokeKind::Press;
        } else {
            s.kind = reports_ == KeyReports::PressesAndReleases ? StrokeKind::Press : StrokeKind::Tap;
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
        if (s.kind == StrokeKind::Release || (s.modifiers & (kModCtrl | kModAlt | kModSuper | kModHyper | kModMeta)))
            return;
        if (code == 13) Typed("\r");
        else if (code == 8 || code == 127) Typed("");
        else if (text >= 0xA0 || (text >= 0x20 && text < 0x7F)) Typed(Utf8(text));
    }

    static std::string Utf8(std::uint32_t cp) {
        char bytes[4];
        return std::string(bytes, static_cast<std::size_t>(AppendUtf8(cp, bytes)));
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

    void Emit(const Stroke &s) { AppendStroke(s, out_); }

    KeyReports reports_;
    std::vector<INPUT_RECORD> &out_;
    TerminalReplies *replies_;
    bool typed_ = false;
    std::string text_;
};

// The press among a key's records: the last key-down, after any modifiers'.
bool PressRecord(const std::vector<INPUT_RECORD> &out, std::size_t first, std::size_t &press) {
    for (std::size_t i = out.size(); i > first; --i) {
        const INPUT_RECORD &r = out[i - 1];
        if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown) {
            press = i - 1;
            return true;
        }
    }
    return false;
}

}  // namespace

std::size_t DecodeKeys(const unsigned char *bytes, std::size_t count, bool final, KeyReports reports,
                       std::vector<INPUT_RECORD> &out, TerminalReplies *replies, std::vector<TypedText> *typed) {
    Decoder decoder(reports, out, replies);
    std::size_t used = 0;
    while (used < count) {
        std::size_t first = out.size();
        std::size_t step = decoder.Step(bytes + used, count - used, final);
        if (step == 0) break;
        used += step;
        std::size_t press;
        if (typed != nullptr && decoder.typed() && PressRecord(out, first, press))
            typed->push_back(TypedText{press, decoder.text()});
    }
    return used;
}

}  // namespace standin
