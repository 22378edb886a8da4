// Key records back to terminal bytes, which is how unread keys go back to the
// terminal at exit: each family of keys, and the round trip through the
// decoder, which must give the same keys again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/key_decoder.h"
#include "platform/posix/key_encoder.h"

using standin::DecodeKeys;
using standin::EncodeKeys;
using standin::KeyReports;

namespace {

std::vector<INPUT_RECORD> Decode(const std::string &bytes, KeyReports reports = KeyReports::PressesOnly) {
    std::vector<INPUT_RECORD> out;
    DecodeKeys(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), true, reports, out);
    return out;
}

std::string Encode(const std::vector<INPUT_RECORD> &records) { return EncodeKeys(records.data(), records.size()); }

INPUT_RECORD Key(bool down, WORD vk, WORD scan, unsigned char ch, DWORD state = 0, WORD repeat = 1) {
    INPUT_RECORD r{};
    r.EventType = KEY_EVENT;
    r.Event.KeyEvent = {down, repeat, vk, scan, {}, state};
    r.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(ch);
    return r;
}

}  // namespace

TEST(KeyEncoder, PressesBecomeTheBytesOfTheirKeys) {
    struct Case {
        const char *name;
        std::vector<INPUT_RECORD> records;
        std::string bytes;
    };
    INPUT_RECORD focus{};
    focus.EventType = FOCUS_EVENT;
    const Case cases[] = {
        {"letter", {Key(true, 'A', 0x1E, 'a'), Key(false, 'A', 0x1E, 'a')}, "a"},
        {"release alone", {Key(false, 'A', 0x1E, 'a')}, ""},
        {"Shift alone", {Key(true, VK_SHIFT, 0x2A, 0, SHIFT_PRESSED)}, ""},
        {"Caps Lock", {Key(true, 0x14, 0x3A, 0, CAPSLOCK_ON)}, ""},
        {"focus", {focus}, ""},
        {"a key with no name", {Key(true, 0, 0, 0)}, ""},
        {"held down", {Key(true, 'X', 0x2D, 'x', 0, 3)}, "xxx"},
        {"Enter", {Key(true, VK_RETURN, 0x1C, '\r')}, "\r"},
        {"Esc", {Key(true, VK_ESCAPE, 0x01, 0x1B)}, "\x1b"},
        {"Backspace is DEL", {Key(true, VK_BACK, 0x0E, 0x08)}, "\x7f"},
        {"Ctrl+Backspace", {Key(true, VK_BACK, 0x0E, 0x7F, LEFT_CTRL_PRESSED)}, "\x08"},
        {"back tab", {Key(true, VK_TAB, 0x0F, '\t', SHIFT_PRESSED)}, "\x1b[Z"},
        {"Ctrl+C", {Key(true, 'C', 0x2E, 0x03, LEFT_CTRL_PRESSED)}, "\x03"},
        {"Ctrl+Space", {Key(true, VK_SPACE, 0x39, ' ', LEFT_CTRL_PRESSED)}, std::string(1, '\0')},
        {"Alt+x", {Key(true, 'X', 0x2D, 'x', LEFT_ALT_PRESSED)}, "\x1bx"},
        {"AltGr character", {Key(true, 'Q', 0x10, '@', LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED)}, "@"},
        {"code page character", {Key(true, 0, 0, 0x82)}, "\xc3\xa9"},
        {"box drawing", {Key(true, 0, 0, 0xC4)}, "\xe2\x94\x80"},
        {"Up", {Key(true, VK_UP, 0x48, 0, ENHANCED_KEY)}, "\x1b[A"},
        {"Ctrl+Left", {Key(true, VK_LEFT, 0x4B, 0, ENHANCED_KEY | LEFT_CTRL_PRESSED)}, "\x1b[1;5D"},
        {"Home", {Key(true, VK_HOME, 0x47, 0, ENHANCED_KEY)}, "\x1b[H"},
        {"End", {Key(true, VK_END, 0x4F, 0, ENHANCED_KEY)}, "\x1b[F"},
        {"Insert", {Key(true, VK_INSERT, 0x52, 0, ENHANCED_KEY)}, "\x1b[2~"},
        {"Shift+Delete", {Key(true, VK_DELETE, 0x53, 0, ENHANCED_KEY | SHIFT_PRESSED)}, "\x1b[3;2~"},
        {"Page Up", {Key(true, VK_PRIOR, 0x49, 0, ENHANCED_KEY)}, "\x1b[5~"},
        {"Page Down", {Key(true, VK_NEXT, 0x51, 0, ENHANCED_KEY)}, "\x1b[6~"},
        {"F1", {Key(true, VK_F1, 0x3B, 0)}, "\x1bOP"},
        {"Alt+F2", {Key(true, VK_F1 + 1, 0x3C, 0, LEFT_ALT_PRESSED)}, "\x1b[1;3Q"},
        {"F5", {Key(true, VK_F1 + 4, 0x3F, 0)}, "\x1b[15~"},
        {"F12", {Key(true, VK_F12, 0x58, 0)}, "\x1b[24~"},
        {"in order", {Key(true, 'A', 0x1E, 'a'), Key(true, VK_DOWN, 0x50, 0, ENHANCED_KEY), Key(true, 'B', 0x30, 'b')},
         "a\x1b[Bb"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(testing::PrintToString(Encode(c.records)), testing::PrintToString(c.bytes));
    }
}

TEST(KeyEncoder, DecodingTheBytesAgainGivesTheSameKeys) {
    const std::string inputs[] = {
        "hello, World!", "\r\t\x7f", "\x1b", "\x03\x01\x1a", std::string(1, '\0'), "\x1c\x1d\x1e\x1f",
        "\x1b" "a", "\x1b" "\x03", "\x1b[A\x1b[B\x1b[C\x1b[D", "\x1b[1;5A\x1b[1;2H\x1b[1;7F", "\x1bOP\x1bOQ\x1bOR\x1bOS",
        "\x1b[2~\x1b[3;5~\x1b[5;3~\x1b[6~", "\x1b[15~\x1b[17;2~\x1b[24;8~", "\xc3\xa9\xc2\xa3", "\x1b[Z",
    };
    for (const std::string &bytes : inputs) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        std::vector<INPUT_RECORD> keys = Decode(bytes);
        std::vector<INPUT_RECORD> again = Decode(Encode(keys));
        ASSERT_EQ(again.size(), keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(again[i].Event.KeyEvent.bKeyDown, keys[i].Event.KeyEvent.bKeyDown);
            EXPECT_EQ(again[i].Event.KeyEvent.wVirtualKeyCode, keys[i].Event.KeyEvent.wVirtualKeyCode);
            EXPECT_EQ(again[i].Event.KeyEvent.wVirtualScanCode, keys[i].Event.KeyEvent.wVirtualScanCode);
            EXPECT_EQ(again[i].Event.KeyEvent.uChar.AsciiChar, keys[i].Event.KeyEvent.uChar.AsciiChar);
            EXPECT_EQ(again[i].Event.KeyEvent.dwControlKeyState, keys[i].Event.KeyEvent.dwControlKeyState);
        }
    }
}

TEST(KeyEncoder, ProtocolReportsGoBackInTheLegacyEncoding) {
    // Keys read while the keyboard protocol was on go back to a terminal that
    // has it off again, so they must read as any terminal sends them.
    std::string protocol = "\x1b[57441;2u\x1b[97;2u\x1b[97;2:3u\x1b[57441;1:3u\x1b[99;5u\x1b[99;5:3u\x1b[1;5A";
    EXPECT_EQ(testing::PrintToString(Encode(Decode(protocol, KeyReports::PressesAndReleases))),
              testing::PrintToString(std::string("A\x03\x1b[1;5A")));
}
