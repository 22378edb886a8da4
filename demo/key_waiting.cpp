// The key-waiting test: peeks at the console input through the console input
// handle and removes, one at a time, the events that are not key presses.
#include "demo/key_waiting.h"

#include "demo/console_state.h"
#include "demo/pace.h"
#include "platform/windows.h"

namespace {

// Scan codes (set 1) of the keys that do not count when pressed on their own:
// Ctrl, left Shift, right Shift, Alt, Caps Lock, Num Lock, Scroll Lock.
const std::uint8_t ModifierScanCodes[7] = {0x1D, 0x2A, 0x36, 0x38, 0x3A, 0x45, 0x46};

bool IsModifierScanCode(WORD scanCode) {
    std::uint8_t low = static_cast<std::uint8_t>(scanCode & 0xFF);
    for (std::uint8_t code : ModifierScanCodes)
        if (code == low) return true;
    return false;
}

// A press counts when it brings a character, or when its key is not one that
// modifies others: keys are told apart by scan code, never by virtual key.
bool IsCountedKeyPress(const INPUT_RECORD &event) {
    if (event.EventType != KEY_EVENT) return false;
    const KEY_EVENT_RECORD &key = event.Event.KeyEvent;
    if (!key.bKeyDown) return false;
    return key.uChar.AsciiChar != 0 || !IsModifierScanCode(key.wVirtualScanCode);
}

}  // namespace

std::int32_t KeyWaiting() {
    HANDLE input = Console.consoleInput;
    for (;;) {
        INPUT_RECORD event;
        DWORD count = 0;
        if (!PeekConsoleInputA(input, &event, 1, &count) || count == 0) return kFalse;
        if (IsCountedKeyPress(event)) return kTrue;
        // A removal that fails leaves the event at the head, and peeking again
        // would find it again for ever: answer "no key" now and let the next
        // call look afresh, so that no single call can spin.
        DWORD removed = 0;
        if (!ReadConsoleInputA(input, &event, 1, &removed) || removed != 1) return kFalse;
    }
}
