// The key-waiting test of the program: whether a key press is waiting in the
// console input, answered at once, discarding whatever is queued ahead of it.
#pragma once

#include <cstdint>

// -1 when a key press is at the head of the console input, left there; 0 when
// none is. Releases, lone modifier presses and every other kind of event ahead
// of the first press are removed, oldest first. Never waits.
std::int32_t KeyWaiting();
