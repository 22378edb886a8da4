// A key as a terminal reports it, and the console records it becomes: one
// record per reported press or release, or for a legacy report the press and
// release of the key wrapped in those of the modifiers it implies.
#pragma once

#include <vector>

#include "platform/posix/keys/key_table.h"
#include "platform/posix/win32/win32_types.h"

namespace standin {

// Tap: a legacy report, which stands for a press and a release.
enum class StrokeKind { Tap, Press, Repeat, Release };

struct Stroke {
    KeyIdentity key = kUnknownKey;
    unsigned char character = 0;  // in the console's code page; 0 for none
    unsigned modifiers = 0;       // ModifierBit
    StrokeKind kind = StrokeKind::Tap;
};

void AppendStroke(const Stroke &stroke, std::vector<INPUT_RECORD> &out);
void AppendFocus(bool focused, std::vector<INPUT_RECORD> &out);

}  // namespace standin
