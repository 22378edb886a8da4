// How the program paces the console, gathered here. None of these changes a
// cell the console holds or a key the program reads, so no reading of the
// console can tell them apart from plainer code; they keep the order and the
// timing of the program's calls as whatever watches the console sees them:
// a screen reader, a recording of the session, a terminal that draws as the
// calls come. Each is kept on purpose; none is an accident to tidy away.
#pragma once

#include <cstdint>

#include "platform/windows.h"

// After an upward move of the cursor the program gives up the processor
// twice, about a millisecond each, before it writes again: the console shows
// the cursor in its new place before text lands above the row it left.
constexpr int kPausesAfterUpwardMove = 2;
constexpr DWORD kPauseMilliseconds = 1;

inline void PauseAfterUpwardMove() {
    for (int i = 0; i < kPausesAfterUpwardMove; ++i) Sleep(kPauseMilliseconds);
}

// After the fills of a clear, the first 64 cells are written again through
// the text writer, four spaces at a time, so that the clear ends as writing
// from the top left does: with the writer's wrap and, on a buffer of fewer
// than 64 cells, its scroll, and with the pauses of the cursor's move back
// up when the spaces took it below the first row. The watcher sees the top
// of the screen written, not only filled; the cells stay blank and the
// cursor home either way, so only a record of the calls can tell.
constexpr int kClearRewrites = 16;
constexpr std::uint32_t kClearRewriteSpaces = 4;

// The program's truth values, as its answers carry them: -1 for true, 0 for
// false. KeyWaiting answers -1 for a key, and the main sequence waits for
// exactly that value, not for any nonzero one.
constexpr std::int32_t kTrue = -1;
constexpr std::int32_t kFalse = 0;
