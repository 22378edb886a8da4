// The key-waiting test of the program: whether a key press is waiting in the
// console input, answered at once, discarding whatever is queued ahead of it.
#pragma once

#include <cstdint>

// kTrue (-1) when a key press is at the head of the console input, left
// there; kFalse (0) when none is (demo/pace.h). Releases, lone modifier
// presses and every other kind of event ahead of the first press are
// removed, oldest first. Never waits.
std::int32_t KeyWaiting();
