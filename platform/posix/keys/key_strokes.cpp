// Turning reported keys into console records, with the control-key state the
// console keeps: held modifiers, lock keys and the enhanced flag.
#include "platform/posix/keys/key_strokes.h"

#include <cstring>

namespace standin {

namespace {

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

bool Implies(const Stroke &s, const ImpliedModifier &m) {
    return (s.modifiers & m.bit) && m.key.virtualKey != s.key.virtualKey;
}

}  // namespace

void AppendStroke(const Stroke &s, std::vector<INPUT_RECORD> &out) {
    // A modifier key's own bit follows the key: set by its press, clear after its release.
    DWORD own = ModifierKeyState(s.key);
    DWORD state = StateOf(s.modifiers) & ~BothSides(own);
    if (s.kind != StrokeKind::Tap) {
        bool down = s.kind != StrokeKind::Release;
        out.push_back(KeyRecord(down, s.key, s.character, down ? state | own : state));
        return;
    }
    DWORD held = state & (CAPSLOCK_ON | NUMLOCK_ON);
    for (const ImpliedModifier &m : kImplied)
        if (Implies(s, m)) out.push_back(KeyRecord(true, m.key, 0, held |= m.state));
    out.push_back(KeyRecord(true, s.key, s.character, state | own));
    out.push_back(KeyRecord(false, s.key, s.character, state));
    for (std::size_t i = sizeof kImplied / sizeof kImplied[0]; i-- > 0;)
        if (Implies(s, kImplied[i])) out.push_back(KeyRecord(false, kImplied[i].key, 0, held &= ~kImplied[i].state));
}

void AppendFocus(bool focused, std::vector<INPUT_RECORD> &out) {
    INPUT_RECORD r;
    std::memset(&r, 0, sizeof r);
    r.EventType = FOCUS_EVENT;
    r.Event.FocusEvent.bSetFocus = focused ? TRUE : FALSE;
    out.push_back(r);
}

}  // namespace standin
