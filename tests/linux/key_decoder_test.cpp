// The terminal key decoder, as tables: bytes in, the key records the console
// would queue out, for every family of keys the common terminals send, and
// for cut-short and malformed input, which must lose no byte and never wait
// for ever.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/posix/keys/key_decoder.h"
#include "platform/posix/terminal/typed_ahead.h"

using standin::DecodeKeys;
using standin::KeyReports;
using standin::TerminalReplies;

namespace {

// An expected record, written the way the console's records read.
struct Key {
    bool down;
    WORD vk;
    WORD scan;
    unsigned char ch;
    DWORD state;
};
using Keys = std::vector<Key>;

constexpr DWORD SHIFT = SHIFT_PRESSED, CTRL = LEFT_CTRL_PRESSED, ALT = LEFT_ALT_PRESSED, ENH = ENHANCED_KEY;

std::string Describe(bool down, unsigned vk, unsigned scan, unsigned ch, unsigned long state) {
    char text[64];
    std::snprintf(text, sizeof text, "%s vk=%02X sc=%02X ch=%02X st=%04lX", down ? "down" : "up  ", vk, scan, ch,
                  state);
    return text;
}

std::vector<std::string> Describe(const std::vector<INPUT_RECORD> &records) {
    std::vector<std::string> lines;
    for (const INPUT_RECORD &r : records) {
        if (r.EventType != KEY_EVENT) {
            lines.push_back("event " + std::to_string(r.EventType));
            continue;
        }
        const KEY_EVENT_RECORD &k = r.Event.KeyEvent;
        lines.push_back(Describe(k.bKeyDown != 0, k.wVirtualKeyCode, k.wVirtualScanCode,
                                 static_cast<unsigned char>(k.uChar.AsciiChar), k.dwControlKeyState));
        if (k.wRepeatCount != 1) lines.push_back("repeat count " + std::to_string(k.wRepeatCount));
    }
    return lines;
}

std::vector<std::string> Describe(const Keys &keys) {
    std::vector<std::string> lines;
    for (const Key &k : keys) lines.push_back(Describe(k.down, k.vk, k.scan, k.ch, k.state));
    return lines;
}

// A key pressed and released at a terminal that reports presses only.
Keys Tap(WORD vk, WORD scan, unsigned char ch, DWORD state = 0) {
    return {{true, vk, scan, ch, state}, {false, vk, scan, ch, state}};
}

// The same with modifiers held: they go down before it and up after it, in
// the order Shift, Ctrl, Alt, and their state is in every record between.
// The lock state of the key is in the modifiers' records too.
Keys Held(DWORD modifiers, Keys keys) {
    struct M { DWORD bit; WORD vk; WORD scan; };
    const M all[] = {{SHIFT, VK_SHIFT, 0x2A}, {CTRL, VK_CONTROL, 0x1D}, {ALT, VK_MENU, 0x38}};
    Keys out;
    DWORD held = keys.empty() ? 0 : keys[0].state & (CAPSLOCK_ON | NUMLOCK_ON);
    for (const M &m : all)
        if (modifiers & m.bit) out.push_back({true, m.vk, m.scan, 0, held |= m.bit});
    for (Key k : keys) {
        k.state |= modifiers;
        out.push_back(k);
    }
    for (int i = 2; i >= 0; --i)
        if (modifiers & all[i].bit) out.push_back({false, all[i].vk, all[i].scan, 0, held &= ~all[i].bit});
    return out;
}

Keys operator+(Keys a, const Keys &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Row {
    const char *name;
    std::string bytes;
    Keys expected;
};

std::vector<INPUT_RECORD> DecodeAll(const std::string &bytes, KeyReports reports = KeyReports::PressesOnly,
                                    TerminalReplies *replies = nullptr) {
    std::vector<INPUT_RECORD> out;
    auto data = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t used = DecodeKeys(data, bytes.size(), true, reports, out, replies);
    EXPECT_EQ(used, bytes.size()) << "a final decode consumes every byte";
    return out;
}

// Feeds the bytes one at a time, as a slow terminal would deliver them, and
// keeps what the decoder leaves for the next call.
std::vector<INPUT_RECORD> DecodeByteByByte(const std::string &bytes, KeyReports reports) {
    std::vector<INPUT_RECORD> out;
    std::string pending;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        pending += bytes[i];
        bool last = i + 1 == bytes.size();
        std::size_t used = DecodeKeys(reinterpret_cast<const unsigned char *>(pending.data()), pending.size(), last,
                                      reports, out);
        pending.erase(0, used);
    }
    EXPECT_TRUE(pending.empty());
    return out;
}

void CheckTable(const std::vector<Row> &rows, KeyReports reports = KeyReports::PressesOnly) {
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Describe(DecodeAll(row.bytes, reports)), Describe(row.expected));
        EXPECT_EQ(Describe(DecodeByteByByte(row.bytes, reports)), Describe(row.expected))
            << "the same keys when the bytes arrive one at a time";
    }
}

std::string Esc(const std::string &rest) { return "\x1b" + rest; }
std::string Csi(const std::string &rest) { return "\x1b[" + rest; }

const Keys kUp = Tap(VK_UP, 0x48, 0, ENH), kDown = Tap(VK_DOWN, 0x50, 0, ENH), kRight = Tap(VK_RIGHT, 0x4D, 0, ENH),
           kLeft = Tap(VK_LEFT, 0x4B, 0, ENH), kHome = Tap(VK_HOME, 0x47, 0, ENH), kEnd = Tap(VK_END, 0x4F, 0, ENH),
           kInsert = Tap(VK_INSERT, 0x52, 0, ENH), kDelete = Tap(VK_DELETE, 0x53, 0, ENH),
           kPageUp = Tap(VK_PRIOR, 0x49, 0, ENH), kPageDown = Tap(VK_NEXT, 0x51, 0, ENH);
const Keys kEsc = Tap(VK_ESCAPE, 0x01, 0x1B);
const Keys kUnnamed = Tap(0, 0, 0);

Keys F(int n) {
    static const WORD scans[] = {0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x57, 0x58};
    return Tap(static_cast<WORD>(VK_F1 + n - 1), scans[n - 1], 0);
}

}  // namespace

TEST(KeyDecoder, LettersTakeShiftFromTheirCase) {
    CheckTable({
        {"a", "a", Tap('A', 0x1E, 'a')},
        {"z", "z", Tap('Z', 0x2C, 'z')},
        {"q", "q", Tap('Q', 0x10, 'q')},
        {"m", "m", Tap('M', 0x32, 'm')},
        {"A is Shift with a", "A", Held(SHIFT, Tap('A', 0x1E, 'A'))},
        {"two letters", "hI", Tap('H', 0x23, 'h') + Held(SHIFT, Tap('I', 0x17, 'I'))},
    });
}

TEST(KeyDecoder, DigitsAndPunctuationAreTheirUsKeys) {
    CheckTable({
        {"1", "1", Tap('1', 0x02, '1')},
        {"0", "0", Tap('0', 0x0B, '0')},
        {"! is Shift with 1", "!", Held(SHIFT, Tap('1', 0x02, '!'))},
        {"@", "@", Held(SHIFT, Tap('2', 0x03, '@'))},
        {")", ")", Held(SHIFT, Tap('0', 0x0B, ')'))},
        {"-", "-", Tap(VK_OEM_MINUS, 0x0C, '-')},
        {"_", "_", Held(SHIFT, Tap(VK_OEM_MINUS, 0x0C, '_'))},
        {"=", "=", Tap(VK_OEM_PLUS, 0x0D, '=')},
        {"[", "[", Tap(VK_OEM_4, 0x1A, '[')},
        {"}", "}", Held(SHIFT, Tap(VK_OEM_6, 0x1B, '}'))},
        {"backslash", "\\", Tap(VK_OEM_5, 0x2B, '\\')},
        {";", ";", Tap(VK_OEM_1, 0x27, ';')},
        {"double quote", "\"", Held(SHIFT, Tap(VK_OEM_7, 0x28, '"'))},
        {",", ",", Tap(VK_OEM_COMMA, 0x33, ',')},
        {">", ">", Held(SHIFT, Tap(VK_OEM_PERIOD, 0x34, '>'))},
        {"?", "?", Held(SHIFT, Tap(VK_OEM_2, 0x35, '?'))},
        {"`", "`", Tap(VK_OEM_3, 0x29, '`')},
        {"~", "~", Held(SHIFT, Tap(VK_OEM_3, 0x29, '~'))},
    });
}

TEST(KeyDecoder, EditingKeysBringTheirControlCharacters) {
    CheckTable({
        {"Enter", "\r", Tap(VK_RETURN, 0x1C, 0x0D)},
        {"Tab", "\t", Tap(VK_TAB, 0x0F, 0x09)},
        {"Backspace sends DEL", "\x7f", Tap(VK_BACK, 0x0E, 0x08)},
        {"Space", " ", Tap(VK_SPACE, 0x39, ' ')},
        {"Esc alone", "\x1b", kEsc},
        {"back tab", Csi("Z"), Held(SHIFT, Tap(VK_TAB, 0x0F, '\t'))},
    });
}

TEST(KeyDecoder, CursorAndEditingKeysAreEnhancedAndBringNoCharacter) {
    CheckTable({
        {"Up", Csi("A"), kUp},
        {"Down", Csi("B"), kDown},
        {"Right", Csi("C"), kRight},
        {"Left", Csi("D"), kLeft},
        {"Up in cursor key mode", Esc("OA"), kUp},
        {"Left in cursor key mode", Esc("OD"), kLeft},
        {"Home", Csi("H"), kHome},
        {"End", Csi("F"), kEnd},
        {"Home in cursor key mode", Esc("OH"), kHome},
        {"End in cursor key mode", Esc("OF"), kEnd},
        {"Home VT220", Csi("1~"), kHome},
        {"End VT220", Csi("4~"), kEnd},
        {"Home rxvt", Csi("7~"), kHome},
        {"End rxvt", Csi("8~"), kEnd},
        {"Insert", Csi("2~"), kInsert},
        {"Delete", Csi("3~"), kDelete},
        {"Page Up", Csi("5~"), kPageUp},
        {"Page Down", Csi("6~"), kPageDown},
    });
}

TEST(KeyDecoder, XtermModifiersOnCursorKeys) {
    CheckTable({
        {"Shift+Up", Csi("1;2A"), Held(SHIFT, kUp)},
        {"Alt+Down", Csi("1;3B"), Held(ALT, kDown)},
        {"Ctrl+Right", Csi("1;5C"), Held(CTRL, kRight)},
        {"Ctrl+Shift+Left", Csi("1;6D"), Held(SHIFT | CTRL, kLeft)},
        {"Ctrl+Alt+Home", Csi("1;7H"), Held(CTRL | ALT, kHome)},
        {"Ctrl+Delete", Csi("3;5~"), Held(CTRL, kDelete)},
        {"Shift+Page Up", Csi("5;2~"), Held(SHIFT, kPageUp)},
        {"Alt+Insert", Csi("2;3~"), Held(ALT, kInsert)},
        {"Shift+Alt+Ctrl+End", Csi("1;8F"), Held(SHIFT | CTRL | ALT, kEnd)},
    });
}

TEST(KeyDecoder, FunctionKeysInEveryCommonEncoding) {
    CheckTable({
        {"F1 SS3", Esc("OP"), F(1)},
        {"application keypad 0", Esc("Op"), Tap(VK_NUMPAD0, 0x52, '0')},
        {"application keypad 9", Esc("Oy"), Tap(VK_NUMPAD9, 0x49, '9')},
        {"application keypad *", Esc("Oj"), Tap(VK_MULTIPLY, 0x37, '*')},
        {"application keypad .", Esc("On"), Tap(VK_DECIMAL, 0x53, '.')},
        {"application keypad Enter", Esc("OM"), Tap(VK_RETURN, 0x1C, '\r', ENH)},
        {"application keypad Ctrl+Enter", Esc("O5M"), Held(CTRL, Tap(VK_RETURN, 0x1C, '\r', ENH))},
        {"SS3 l is no keypad key", Esc("Ol"), kUnnamed},
        {"F2 SS3", Esc("OQ"), F(2)},
        {"F3 SS3", Esc("OR"), F(3)},
        {"F4 SS3", Esc("OS"), F(4)},
        {"F1 VT220", Csi("11~"), F(1)},
        {"F4 VT220", Csi("14~"), F(4)},
        {"F5", Csi("15~"), F(5)},
        {"F6", Csi("17~"), F(6)},
        {"F7", Csi("18~"), F(7)},
        {"F8", Csi("19~"), F(8)},
        {"F9", Csi("20~"), F(9)},
        {"F10", Csi("21~"), F(10)},
        {"F11", Csi("23~"), F(11)},
        {"F12", Csi("24~"), F(12)},
        {"F1 Linux console", Csi("[A"), F(1)},
        {"F5 Linux console", Csi("[E"), F(5)},
        {"Shift+F1 xterm", Csi("1;2P"), Held(SHIFT, F(1))},
        {"Ctrl+F3 xterm", Csi("1;5R"), Held(CTRL, F(3))},
        {"Alt+F4 old xterm", Esc("O3S"), Held(ALT, F(4))},
        {"Ctrl+F5", Csi("15;5~"), Held(CTRL, F(5))},
        {"Shift+F12", Csi("24;2~"), Held(SHIFT, F(12))},
    });
}

TEST(KeyDecoder, ControlCodesAreCtrlWithAKey) {
    CheckTable({
        // As the console queues it with processed input off: Ctrl down,
        // C down with character 3, C up, Ctrl up.
        {"Ctrl+C",
         "\x03",
         {{true, VK_CONTROL, 0x1D, 0, CTRL},
          {true, 'C', 0x2E, 0x03, CTRL},
          {false, 'C', 0x2E, 0x03, CTRL},
          {false, VK_CONTROL, 0x1D, 0, 0}}},
        {"Ctrl+A", "\x01", Held(CTRL, Tap('A', 0x1E, 0x01))},
        {"Ctrl+H", "\x08", Held(CTRL, Tap('H', 0x23, 0x08))},
        {"Ctrl+J", "\n", Held(CTRL, Tap('J', 0x24, 0x0A))},
        {"Ctrl+Z", "\x1a", Held(CTRL, Tap('Z', 0x2C, 0x1A))},
        {"Ctrl+backslash", "\x1c", Held(CTRL, Tap(VK_OEM_5, 0x2B, 0x1C))},
        {"Ctrl+]", "\x1d", Held(CTRL, Tap(VK_OEM_6, 0x1B, 0x1D))},
        {"Ctrl+^", "\x1e", Held(SHIFT | CTRL, Tap('6', 0x07, 0x1E))},
        {"Ctrl+_", "\x1f", Held(SHIFT | CTRL, Tap(VK_OEM_MINUS, 0x0C, 0x1F))},
        {"Ctrl+Space", std::string(1, '\0'), Held(CTRL, Tap(VK_SPACE, 0x39, ' '))},
    });
}

TEST(KeyDecoder, EscBeforeAKeyIsAlt) {
    CheckTable({
        {"Alt+a", Esc("a"), Held(ALT, Tap('A', 0x1E, 'a'))},
        {"Alt+A", Esc("A"), Held(SHIFT | ALT, Tap('A', 0x1E, 'A'))},
        {"Alt+1", Esc("1"), Held(ALT, Tap('1', 0x02, '1'))},
        {"Alt+Ctrl+C", Esc("\x03"), Held(CTRL | ALT, Tap('C', 0x2E, 0x03))},
        {"Alt+Backspace", Esc("\x7f"), Held(ALT, Tap(VK_BACK, 0x0E, 0x08))},
        {"Alt+Enter", Esc("\r"), Held(ALT, Tap(VK_RETURN, 0x1C, 0x0D))},
        {"Alt+[ at the end", Esc("["), Held(ALT, Tap(VK_OEM_4, 0x1A, '['))},
        {"Alt+O at the end", Esc("O"), Held(SHIFT | ALT, Tap('O', 0x18, 'O'))},
        {"Alt+e-acute", Esc("\xc3\xa9"), Held(ALT, Tap(0, 0, 0x82))},
        {"Esc then an arrow", Esc(Csi("A")), kEsc + kUp},
        {"Esc twice", Esc("\x1b"), kEsc + kEsc},
    });
}

TEST(KeyDecoder, TextBeyondAsciiComesInCodePage437) {
    CheckTable({
        {"e-acute", "\xc3\xa9", Tap(0, 0, 0x82)},
        {"pound sign", "\xc2\xa3", Tap(0, 0, 0x9C)},
        {"box drawing", "\xe2\x94\x80", Tap(0, 0, 0xC4)},
        {"euro sign has no place in it", "\xe2\x82\xac", Tap(0, 0, '?')},
        {"emoji", "\xf0\x9f\x98\x80", Tap(0, 0, '?')},
        {"a byte that is no UTF-8 stands for itself", "\xff", Tap(0, 0, 0x98)},
        {"cut-short UTF-8 then ASCII", "\xc3" "a", Tap(0, 0, '?') + Tap('A', 0x1E, 'a')},
        {"overlong encoding: each byte alone", "\xe0\x80\x80", Tap(0, 0, 0x85) + Tap(0, 0, '?') + Tap(0, 0, '?')},
    });
}

TEST(KeyDecoder, ProtocolReportsInPressOnlyMode) {
    CheckTable({
        {"Esc", Csi("27u"), kEsc},
        {"Enter", Csi("13u"), Tap(VK_RETURN, 0x1C, 0x0D)},
        {"Ctrl+Enter", Csi("13;5u"), Held(CTRL, Tap(VK_RETURN, 0x1C, 0x0A))},
        {"Tab", Csi("9u"), Tap(VK_TAB, 0x0F, 0x09)},
        {"Backspace", Csi("127u"), Tap(VK_BACK, 0x0E, 0x08)},
        {"Ctrl+C", Csi("99;5u"), Held(CTRL, Tap('C', 0x2E, 0x03))},
        {"Ctrl+Shift+A", Csi("97;6u"), Held(SHIFT | CTRL, Tap('A', 0x1E, 0x01))},
        {"Alt+x", Csi("120;3u"), Held(ALT, Tap('X', 0x2D, 'x'))},
        {"Shift+a", Csi("97;2u"), Held(SHIFT, Tap('A', 0x1E, 'A'))},
        {"a with Caps Lock", Csi("97;65u"), Tap('A', 0x1E, 'A', CAPSLOCK_ON)},
        {"Shift+a with Caps Lock", Csi("97;66u"), Held(SHIFT, Tap('A', 0x1E, 'a', CAPSLOCK_ON))},
        {"1 with Num Lock", Csi("49;129u"), Tap('1', 0x02, '1', NUMLOCK_ON)},
        {"Shift+1 with its shifted key", Csi("49:33;2u"), Held(SHIFT, Tap('1', 0x02, '!'))},
        {"Shift+1 without it", Csi("49;2u"), Held(SHIFT, Tap('1', 0x02, '!'))},
        {"text given", Csi("97;2;65u"), Held(SHIFT, Tap('A', 0x1E, 'A'))},
        {"text of a key with no number", Csi("0;;233u"), Tap(0, 0, 0x82)},
        {"F3", Csi("13~"), F(3)},
        {"keypad 5 without Num Lock", Csi("E"), Tap(VK_CLEAR, 0x4C, 0)},
        {"keypad 7", Csi("57406u"), Tap(VK_NUMPAD7, 0x47, '7')},
        {"keypad Enter", Csi("57414u"), Tap(VK_RETURN, 0x1C, '\r', ENH)},
        {"F13", Csi("57376u"), Tap(VK_F13, 0x64, 0)},
        {"F24", Csi("57387u"), Tap(VK_F24, 0x76, 0)},
        {"a media key has no name", Csi("57428u"), kUnnamed},
        {"xterm's other keys", Csi("27;5;99~"), Held(CTRL, Tap('C', 0x2E, 0x03))},
    });
}

TEST(KeyDecoder, EventModeReportsEachPressRepeatAndReleaseAlone) {
    CheckTable(
        {
            {"Shift pressed alone", Csi("57441;2u"), {{true, VK_SHIFT, 0x2A, 0, SHIFT}}},
            {"Shift released", Csi("57441;1:3u"), {{false, VK_SHIFT, 0x2A, 0, 0}}},
            {"right Shift", Csi("57447;2u") + Csi("57447;1:3u"),
             {{true, VK_SHIFT, 0x36, 0, SHIFT}, {false, VK_SHIFT, 0x36, 0, 0}}},
            {"left Ctrl", Csi("57442;5u"), {{true, VK_CONTROL, 0x1D, 0, CTRL}}},
            {"right Ctrl", Csi("57448;5u"), {{true, VK_CONTROL, 0x1D, 0, RIGHT_CTRL_PRESSED | ENH}}},
            {"left Alt", Csi("57443;3u"), {{true, VK_MENU, 0x38, 0, ALT}}},
            {"right Alt", Csi("57449;3u"), {{true, VK_MENU, 0x38, 0, RIGHT_ALT_PRESSED | ENH}}},
            {"Caps Lock", Csi("57358;65u"), {{true, VK_CAPITAL, 0x3A, 0, CAPSLOCK_ON}}},
            {"Num Lock", Csi("57360u"), {{true, VK_NUMLOCK, 0x45, 0, ENH}}},
            {"Scroll Lock", Csi("57359u"), {{true, VK_SCROLL, 0x46, 0, 0}}},
            {"Shift then a letter",
             Csi("57441;2u") + Csi("97;2u") + Csi("97;2:3u") + Csi("57441;1:3u"),
             {{true, VK_SHIFT, 0x2A, 0, SHIFT},
              {true, 'A', 0x1E, 'A', SHIFT},
              {false, 'A', 0x1E, 'A', SHIFT},
              {false, VK_SHIFT, 0x2A, 0, 0}}},
            {"a held down", Csi("97u") + Csi("97;1:2u") + Csi("97;1:3u"),
             {{true, 'A', 0x1E, 'a', 0}, {true, 'A', 0x1E, 'a', 0}, {false, 'A', 0x1E, 'a', 0}}},
            {"Up released", Csi("1;1:3A"), {{false, VK_UP, 0x48, 0, ENH}}},
            {"Delete with Ctrl", Csi("3;5~"), {{true, VK_DELETE, 0x53, 0, CTRL | ENH}}},
            {"pasted text is still typed", "a", Tap('A', 0x1E, 'a')},
        },
        KeyReports::PressesAndReleases);
}

TEST(KeyDecoder, FocusReportsBecomeFocusEvents) {
    std::vector<INPUT_RECORD> records = DecodeAll(Csi("I") + Csi("O"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].EventType, FOCUS_EVENT);
    EXPECT_EQ(records[0].Event.FocusEvent.bSetFocus, TRUE);
    EXPECT_EQ(records[1].EventType, FOCUS_EVENT);
    EXPECT_EQ(records[1].Event.FocusEvent.bSetFocus, FALSE);
}

TEST(KeyDecoder, TerminalRepliesAreReportedAndAreNoKeys) {
    TerminalReplies replies;
    std::vector<INPUT_RECORD> records =
        DecodeAll("a" + Csi("?31u") + "b" + Csi("?62;22c") + Csi("12;40R") + Csi("<0;3;4M") + Csi("200~") +
                      "c" + Csi("201~"),
                  KeyReports::PressesOnly, &replies);
    EXPECT_EQ(Describe(records), Describe(Tap('A', 0x1E, 'a') + Tap('B', 0x30, 'b') + Tap('C', 0x2E, 'c')));
    EXPECT_EQ(replies.keyboardFlags, 31);
    EXPECT_TRUE(replies.deviceAttributes);

    TerminalReplies none;
    DecodeAll("x" + Csi("A"), KeyReports::PressesOnly, &none);
    EXPECT_EQ(none.keyboardFlags, -1);
    EXPECT_FALSE(none.deviceAttributes);
}

TEST(KeyDecoder, UnknownSequencesStillCountAsOneKey) {
    CheckTable({
        {"unknown final byte", Csi("99z"), kUnnamed},
        {"unknown tilde number", Csi("99~"), kUnnamed},
        {"intermediate byte", Csi("1 q"), kUnnamed},
        {"unknown SS3", Esc("Oz"), kUnnamed},
        {"a key after it", Csi("99z") + "q", kUnnamed + Tap('Q', 0x10, 'q')},
    });
}

// What goes back to the shell for keys nothing read: the text, byte for
// byte as typed, and nothing a shell takes as an order. A Backspace is an
// entry with no text; the entry points at the key's own press.
TEST(KeyDecoder, OnlyKeysThatTypeTextGiveTextBack) {
    struct Case {
        std::string bytes;
        KeyReports reports;
        std::vector<std::string> texts;
    };
    const auto P = KeyReports::PressesOnly;
    const Case cases[] = {
        {"ls \xe6\x97\xa5\xe6\x9c\xac*.txt\r", P,
         {"l", "s", " ", "\xe6\x97\xa5", "\xe6\x9c\xac", "*", ".", "t", "x", "t", "\r"}},
        {"A\xf0\x9f\x98\x80\xc3\xa9", P, {"A", "\xf0\x9f\x98\x80", "\xc3\xa9"}},
        {"\xe9", P, {"\xe9"}},  // a Latin-1 terminal's byte, as it came
        // Malformed UTF-8: every byte goes back, decoded or not; a C1 control does not.
        {"x\xe6\x97", P, {"x", "\xe6", "\x97"}},
        {"x\xed\xa0\x80y", P, {"x", "\xed", "\xa0", "\x80", "y"}},
        {"x\xf4\x90\x80\x80y", P, {"x", "\xf4", "\x90", "\x80", "\x80", "y"}},
        {"\xc2\x85", P, {}},
        {"a\x7f\x08", P, {"a", "", ""}},
        {"\x04\x03\x1a\t\n\x1b", P, {"\n"}},           // Ctrl+D, Ctrl+C, Ctrl+Z, Tab, a line feed (Enter), Esc
        {"\x1b[A\x1bOP\x1b[3~\x1b" "b", P, {}},        // Up, F1, Delete, Alt+b
        {"\x1b[99;99;99zq", P, {"q"}},                 // an unknown sequence, then a letter
        {"\x1b[?62;c\x1b[?0u", P, {}},                 // the terminal's answers
        {"\x1b[97;;97u\x1b[13u\x1b[127u\x1b[100;5u", P, {"a", "\r", ""}},  // protocol: a, Enter, Backspace, Ctrl+d
        {"\x1b[97;1:1;97u\x1b[97;1:3u\x1b[26085;1:1;26085u", KeyReports::PressesAndReleases, {"a", "\xe6\x97\xa5"}},
        {"\x1b[0;;233u\x1b[0;;128512u", P, {"\xc3\xa9", "\xf0\x9f\x98\x80"}},  // protocol text past U+FFFF too
    };
    for (const Case &c : cases) {
        std::vector<INPUT_RECORD> out;
        std::vector<standin::TypedText> typed;
        DecodeKeys(reinterpret_cast<const unsigned char *>(c.bytes.data()), c.bytes.size(), true, c.reports, out,
                   nullptr, &typed);
        std::vector<std::string> texts;
        for (const standin::TypedText &t : typed) {
            texts.push_back(t.text);
            ASSERT_LT(t.record, out.size()) << c.bytes;
            const INPUT_RECORD &r = out[t.record];
            EXPECT_TRUE(r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown &&
                        r.Event.KeyEvent.wVirtualKeyCode != VK_SHIFT)
                << "not the key's own press, for " << c.bytes;
        }
        EXPECT_EQ(texts, c.texts) << "for the bytes " << ::testing::PrintToString(c.bytes);
    }
}

// The text that goes back at exit, from the bytes typed: keys the program
// read stay its own, Backspace takes back a whole key but no line already
// ended, and no more than the terminal's input holds, cut between keys.
TEST(KeyDecoder, TextGivenBackIsTheUnreadTextWithBackspaceAppliedAndRoomKept) {
    struct Case {
        const char *what;
        std::string bytes;
        std::size_t keysRead;  // of the keys that typed text
        std::size_t room;
        std::string back;
    };
    std::string wide;  // 5,002 bytes: two letters, then 2,500 two-byte characters
    for (int i = 0; i < 2500; ++i) wide += "\xc3\xa9";
    const std::size_t R = standin::kTerminalInputRoom;
    const Case cases[] = {
        {"backspace over a multi-byte character", "ab\x7f\xe6\x97\xa5\x7f" "c\r", 0, R, "ac\r"},
        {"keys already read", "abc", 2, R, "c"},
        {"backspace never reaches a key that was read", "ab\x7f\x7f" "d", 1, R, "d"},
        {"backspace never reaches a line already ended", "x\r\x7fy", 0, R, "x\ry"},
        {"text after an unknown sequence", "\x1b[99;99;99zq", 0, R, "q"},
        {"malformed UTF-8 as it came", "x\xed\xa0\x80y", 0, R, "x\xed\xa0\x80y"},
        {"the cut falls between characters", "xy" + wide, 0, R, "xy" + wide.substr(0, 4092)},
        {"a cut exactly at the room", "x" + wide, 0, R, "x" + wide.substr(0, 4094)},
        {"room already taken", "abc", 0, 2, "ab"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<INPUT_RECORD> out;
        std::vector<standin::TypedText> typed;
        DecodeKeys(reinterpret_cast<const unsigned char *>(c.bytes.data()), c.bytes.size(), true,
                   KeyReports::PressesOnly, out, nullptr, &typed);
        std::vector<standin::QueuedText> queued;
        for (const standin::TypedText &t : typed) queued.push_back({100 + t.record, t.text});
        std::uint64_t firstUnread = c.keysRead < queued.size() ? queued[c.keysRead].record : 100 + out.size();
        std::string back = standin::TextToGiveBack(queued, firstUnread, c.room);
        EXPECT_EQ(back, c.back) << ::testing::PrintToString(back.substr(0, 40));
        EXPECT_LE(back.size(), c.room);
    }
}

TEST(KeyDecoder, IncompleteSequencesWaitUnlessTheInputIsFinal) {
    struct Case {
        const char *name;
        std::string bytes;
        std::size_t usedWhileWaiting;
    };
    const Case cases[] = {
        {"Esc", "\x1b", 0},
        {"CSI", Csi(""), 0},
        {"CSI with parameters", Csi("1;5"), 0},
        {"SS3", Esc("O"), 0},
        {"Linux console prefix", Csi("["), 0},
        {"UTF-8 lead byte", "\xe2\x94", 0},
        {"Alt with UTF-8 lead byte", Esc("\xc3"), 0},
        {"a key before an Esc", "k\x1b", 1},
        {"a key before a CSI", "k" + Csi("2"), 1},
        {"protocol report cut short", Csi("57441;1:"), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<INPUT_RECORD> out;
        auto data = reinterpret_cast<const unsigned char *>(c.bytes.data());
        EXPECT_EQ(DecodeKeys(data, c.bytes.size(), false, KeyReports::PressesOnly, out), c.usedWhileWaiting);
        EXPECT_EQ(out.size(), c.usedWhileWaiting * 2) << "only the whole keys before it are decoded";
        std::vector<INPUT_RECORD> rest;
        EXPECT_EQ(DecodeKeys(data, c.bytes.size(), true, KeyReports::PressesOnly, rest), c.bytes.size());
        EXPECT_FALSE(rest.empty()) << "cut-short bytes still count as keys";
    }
}

TEST(KeyDecoder, MalformedSequencesFallBackToTheTypedCharacters) {
    CheckTable({
        {"CSI interrupted by Ctrl+C", Csi("1;\x03"),
         Held(ALT, Tap(VK_OEM_4, 0x1A, '[')) + Tap('1', 0x02, '1') + Tap(VK_OEM_1, 0x27, ';') +
             Held(CTRL, Tap('C', 0x2E, 0x03))},
        {"CSI cut short at the end", Csi("1;5"),
         Held(ALT, Tap(VK_OEM_4, 0x1A, '[')) + Tap('1', 0x02, '1') + Tap(VK_OEM_1, 0x27, ';') + Tap('5', 0x06, '5')},
        {"SS3 followed by Esc", Esc("O") + "\x1b",
         Held(SHIFT | ALT, Tap('O', 0x18, 'O')) + kEsc},
        {"Linux console prefix with a wrong letter", Csi("[z"),
         Held(ALT, Tap(VK_OEM_4, 0x1A, '[')) + Tap(VK_OEM_4, 0x1A, '[') + Tap('Z', 0x2C, 'z')},
    });
}

TEST(KeyDecoder, OverlongSequencesAreGivenUpWithoutWaiting) {
    std::string bytes = Csi(std::string(100, '1'));
    std::vector<INPUT_RECORD> out;
    std::size_t used = DecodeKeys(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), false,
                                  KeyReports::PressesOnly, out);
    EXPECT_GE(used, bytes.size() - standin::kLongestSequence) << "at most one sequence's worth is held back";
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(Describe({out[0], out[1], out[2], out[3]}), Describe(Held(ALT, Tap(VK_OEM_4, 0x1A, '['))));
    EXPECT_EQ(out.size(), 4 + 2 * (used - 2)) << "each digit after it is a key of its own";
}

TEST(KeyDecoder, RandomBytesAreAllAccountedForInBalancedRecords) {
    std::mt19937 random(20240601);
    const char alphabet[] = "\x1b[O;:0123456789~uABCDPQRS?<>\x03\x7f\xc3\xa9\xe2\x94 az";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        std::size_t length = random() % 40;
        for (std::size_t i = 0; i < length; ++i)
            bytes += random() % 4 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % (sizeof alphabet - 1)];
        SCOPED_TRACE(testing::PrintToString(bytes));

        std::vector<INPUT_RECORD> whole;
        auto data = reinterpret_cast<const unsigned char *>(bytes.data());
        std::size_t waiting = bytes.size() - DecodeKeys(data, bytes.size(), false, KeyReports::PressesOnly, whole);
        EXPECT_LE(waiting, standin::kLongestSequence);

        std::vector<INPUT_RECORD> all = DecodeAll(bytes);
        EXPECT_EQ(Describe(DecodeByteByByte(bytes, KeyReports::PressesOnly)), Describe(all));
        int downs = 0;
        for (const INPUT_RECORD &r : all)
            if (r.EventType == KEY_EVENT) downs += r.Event.KeyEvent.bKeyDown ? 1 : -1;
        EXPECT_EQ(downs, 0) << "every key that goes down comes up again";
    }
}
