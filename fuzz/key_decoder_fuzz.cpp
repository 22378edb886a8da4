// Fuzz target: the stand-in's key decoder on any bytes, whole and in any
// chunks, with the pause that settles a lone Esc falling anywhere. No byte may
// be lost or decoded twice, a final decode takes every byte, and every record
// must be one the console could queue, legacy keys as balanced taps.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/posix/keys/key_decoder.h"

using standin::DecodeKeys;
using standin::KeyReports;

namespace {

using Bytes = std::vector<unsigned char>;
using Records = std::vector<INPUT_RECORD>;

constexpr DWORD kKnownStateBits = RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED | RIGHT_CTRL_PRESSED | LEFT_CTRL_PRESSED |
                                  SHIFT_PRESSED | NUMLOCK_ON | SCROLLLOCK_ON | CAPSLOCK_ON | ENHANCED_KEY;
constexpr DWORD kModifierBits = SHIFT_PRESSED | LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED;

bool Same(const Records &a, const Records &b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof a[i]) != 0) return false;
    return true;
}

Records DecodeFinal(const Bytes &bytes, KeyReports reports) {
    Records out;
    standin::TerminalReplies replies;
    std::size_t used = DecodeKeys(bytes.data(), bytes.size(), true, reports, out, &replies);
    FUZZ_CHECK(used == bytes.size(), "a final decode took %zu of %zu bytes", used, bytes.size());
    FUZZ_CHECK(replies.keyboardFlags >= -1 && replies.keyboardFlags <= 0xFFFF, "keyboard flags %d",
               replies.keyboardFlags);
    return out;
}

void CheckRecord(const INPUT_RECORD &r) {
    if (r.EventType == FOCUS_EVENT) {
        FUZZ_CHECK(r.Event.FocusEvent.bSetFocus == TRUE || r.Event.FocusEvent.bSetFocus == FALSE, "focus %d",
                   r.Event.FocusEvent.bSetFocus);
        return;
    }
    FUZZ_CHECK(r.EventType == KEY_EVENT, "event type %u", r.EventType);
    const KEY_EVENT_RECORD &k = r.Event.KeyEvent;
    FUZZ_CHECK(k.bKeyDown == TRUE || k.bKeyDown == FALSE, "bKeyDown %d", k.bKeyDown);
    FUZZ_CHECK(k.wRepeatCount == 1, "repeat count %u", k.wRepeatCount);
    FUZZ_CHECK(k.wVirtualKeyCode <= 0xFE, "virtual key %#x", k.wVirtualKeyCode);
    FUZZ_CHECK(k.wVirtualScanCode <= 0x7F, "scan code %#x: set 1 without its prefix", k.wVirtualScanCode);
    FUZZ_CHECK((k.wVirtualKeyCode == 0) == (k.wVirtualScanCode == 0), "virtual key %#x with scan code %#x",
               k.wVirtualKeyCode, k.wVirtualScanCode);
    FUZZ_CHECK((k.dwControlKeyState & ~kKnownStateBits) == 0, "control key state %#lx",
               static_cast<unsigned long>(k.dwControlKeyState));
}

bool IsImpliedModifier(const KEY_EVENT_RECORD &k, int index) {
    static const WORD vk[] = {VK_SHIFT, VK_CONTROL, VK_MENU}, scan[] = {0x2A, 0x1D, 0x38};
    return k.wVirtualKeyCode == vk[index] && k.wVirtualScanCode == scan[index] && k.uChar.AsciiChar == 0;
}

// A legacy report is a tap: the modifiers it implies go down (Shift, Ctrl,
// Alt, as many as it has), the key goes down and up, the modifiers come up in
// the opposite order. Each group is a run of presses followed by as many
// releases, and the next group begins with a press. Returns the taps.
std::size_t CheckTaps(const Records &records) {
    std::size_t i = 0, keys = 0;
    while (i < records.size()) {
        if (records[i].EventType == FOCUS_EVENT) {
            ++i;
            continue;
        }
        std::vector<KEY_EVENT_RECORD> downs, ups;
        for (; i < records.size() && records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown; ++i)
            downs.push_back(records[i].Event.KeyEvent);
        for (; i < records.size() && records[i].EventType == KEY_EVENT && !records[i].Event.KeyEvent.bKeyDown; ++i)
            ups.push_back(records[i].Event.KeyEvent);
        FUZZ_CHECK(!downs.empty() && downs.size() == ups.size(), "%zu presses and %zu releases in a tap at record %zu",
                   downs.size(), ups.size(), i);
        FUZZ_CHECK(downs.size() <= 4, "%zu presses in one tap", downs.size());
        const KEY_EVENT_RECORD &key = downs.back(), &keyUp = ups.front();
        FUZZ_CHECK(keyUp.wVirtualKeyCode == key.wVirtualKeyCode && keyUp.wVirtualScanCode == key.wVirtualScanCode &&
                       keyUp.uChar.AsciiChar == key.uChar.AsciiChar,
                   "the key released is not the key pressed");
        int next = 0;
        for (std::size_t m = 0; m + 1 < downs.size(); ++m) {
            while (next < 3 && !IsImpliedModifier(downs[m], next)) ++next;
            FUZZ_CHECK(next < 3, "press %zu of a tap is no modifier in Shift, Ctrl, Alt order", m);
            const DWORD own = downs[m].dwControlKeyState & kModifierBits;
            FUZZ_CHECK((key.dwControlKeyState & own) == own && (keyUp.dwControlKeyState & own) == own,
                       "the key lacks the state of a modifier held around it");
            const KEY_EVENT_RECORD &release = ups[ups.size() - 1 - m];
            FUZZ_CHECK(release.wVirtualKeyCode == downs[m].wVirtualKeyCode &&
                           release.wVirtualScanCode == downs[m].wVirtualScanCode,
                       "modifiers released out of order");
            ++next;
        }
        if (downs.size() > 1)
            FUZZ_CHECK((ups.back().dwControlKeyState & kModifierBits) == 0,
                       "a modifier still held after the tap's last release");
        ++keys;
    }
    return keys;
}

// Feeds the bytes in chunks as reads would deliver them, keeping what the
// decoder leaves, and settles what is pending where a pause falls, as the
// reader does once the Esc wait has passed. Returns the records, and the
// pieces between pauses, each of which must decode as it would alone.
Records DecodeInChunks(const Bytes &bytes, KeyReports reports, std::minstd_rand &random, bool pauses,
                       std::vector<Bytes> &pieces) {
    Records out;
    Bytes pending;
    pieces.assign(1, Bytes{});
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t chunk = 1 + random() % 16;
        if (chunk > bytes.size() - at) chunk = bytes.size() - at;
        pending.insert(pending.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + chunk));
        pieces.back().insert(pieces.back().end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + chunk));
        at += chunk;
        const bool last = at == bytes.size();
        const bool pause = last || (pauses && random() % 4 == 0);
        std::size_t used = DecodeKeys(pending.data(), pending.size(), pause, reports, out);
        FUZZ_CHECK(used <= pending.size(), "took %zu of %zu bytes", used, pending.size());
        if (pause) {
            FUZZ_CHECK(used == pending.size(), "after a pause %zu of %zu bytes were left", pending.size() - used,
                       pending.size());
            if (!last) pieces.emplace_back();
        }
        FUZZ_CHECK(pending.size() - used <= standin::kLongestSequence, "%zu bytes held back",
                   pending.size() - used);
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(used));
    }
    return out;
}

Records Concatenated(const std::vector<Bytes> &pieces, KeyReports reports) {
    Records all;
    for (const Bytes &piece : pieces) {
        Records part = DecodeFinal(piece, reports);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

bool Contains(const Bytes &bytes, unsigned char c) { return std::find(bytes.begin(), bytes.end(), c) != bytes.end(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const KeyReports reports = in.ConsumeBool() ? KeyReports::PressesAndReleases : KeyReports::PressesOnly;
    std::minstd_rand random(in.ConsumeIntegral<std::uint32_t>());
    const Bytes bytes = in.ConsumeRemainingBytes<unsigned char>();

    const Records whole = DecodeFinal(bytes, reports);
    for (const INPUT_RECORD &r : whole) CheckRecord(r);
    // Only sequences report a press or a release on its own: they begin with
    // Esc, and where presses alone are reported they carry the event after a
    // colon. Everything else is taps.
    const bool legacyOnly = !Contains(bytes, 0x1B) || (reports == KeyReports::PressesOnly && !Contains(bytes, ':'));
    const std::size_t taps = legacyOnly ? CheckTaps(whole) : 0;
    if (!Contains(bytes, 0x1B)) {
        // Without Esc every byte, or every UTF-8 character of up to four bytes, is one key.
        FUZZ_CHECK(taps <= bytes.size() && taps >= (bytes.size() + 3) / 4, "%zu keys from %zu bytes", taps,
                   bytes.size());
    }

    // What a decode that may wait takes is decoded as a final one would, and
    // the rest follows on.
    Records waiting;
    std::size_t used = DecodeKeys(bytes.data(), bytes.size(), false, reports, waiting);
    FUZZ_CHECK(used <= bytes.size() && bytes.size() - used <= standin::kLongestSequence, "%zu of %zu bytes taken",
               used, bytes.size());
    Records rest = DecodeFinal(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(used), bytes.end()), reports);
    waiting.insert(waiting.end(), rest.begin(), rest.end());
    FUZZ_CHECK(Same(waiting, whole), "a decode that waited then finished differs from the whole");

    std::vector<Bytes> pieces;
    FUZZ_CHECK(Same(DecodeInChunks(bytes, reports, random, false, pieces), whole),
               "chunks without a pause differ from the whole");
    Records paused = DecodeInChunks(bytes, reports, random, true, pieces);
    FUZZ_CHECK(Same(paused, Concatenated(pieces, reports)),
               "chunks with pauses differ from the pieces between the pauses decoded alone");
    for (const INPUT_RECORD &r : paused) CheckRecord(r);
    if (legacyOnly) CheckTaps(paused);
    return 0;
}
