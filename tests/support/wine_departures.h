// Every place where Wine's console departs from Windows, with the reason, in
// one list; tests of such behaviour skip themselves on Wine by naming the
// departure. Windows is the reference, and the stand-in follows it, so these
// tests still run there.
#pragma once

#include <gtest/gtest.h>

enum class WineDeparture {
    FillStartOutsideBuffer,
    BlockWriteLeftOfBuffer,
    BlockWriteBadRegionAccepted,
    ScrollSourceOutsideBuffer,
    ScrollNulFill,
    LimitsNotChecked,
    ActiveBufferKeptWhenClosed,
    MouseMovesNotMerged,
    CtrlCEndsWithExitCodeZero,
    ConsoleCallsOutweighPauses,
};

inline const char *WineDepartureReason(WineDeparture departure) {
    switch (departure) {
    case WineDeparture::FillStartOutsideBuffer:
        return "Wine fills from the linear offset y*width+x, so a start at x >= width or x < 0 writes into "
               "another row; Windows writes nothing and reports 0 cells";
    case WineDeparture::BlockWriteLeftOfBuffer:
        return "Wine writes nothing for a WriteConsoleOutput region with a negative left or top edge; "
               "Windows clamps the edge to 0 and writes the overlap";
    case WineDeparture::BlockWriteBadRegionAccepted:
        return "Wine's WriteConsoleOutputA returns TRUE for an inverted region or an origin outside the "
               "caller's cells (and reads before the array for a negative origin); Windows, like Wine's "
               "WriteConsoleOutputW, refuses them with ERROR_INVALID_PARAMETER";
    case WineDeparture::ScrollSourceOutsideBuffer:
        return "Wine fails ScrollConsoleScreenBuffer with ERROR_INVALID_PARAMETER when the scroll rectangle "
               "pokes outside the buffer or is empty; Windows clips it and succeeds";
    case WineDeparture::ScrollNulFill:
        return "Wine fills with a zero character and attribute 0 as given; Windows takes that fill to mean "
               "a space in the buffer's own attributes";
    case WineDeparture::LimitsNotChecked:
        return "Wine accepts any SetConsoleMode bits and a buffer side of 32767; Windows refuses them with "
               "ERROR_INVALID_PARAMETER";
    case WineDeparture::ActiveBufferKeptWhenClosed:
        return "Wine keeps a closed active screen buffer active; Windows makes the buffer active before it "
               "active again";
    case WineDeparture::MouseMovesNotMerged:
        return "Wine queues every mouse move written; Windows merges a move written alone into a move "
               "queued last";
    case WineDeparture::CtrlCEndsWithExitCodeZero:
        return "Wine 8's default Ctrl+C handling ends the process with exit code 0; Windows ends it with "
               "STATUS_CONTROL_C_EXIT (later Wine does too)";
    case WineDeparture::ConsoleCallsOutweighPauses:
        return "Wine's console takes 9 to 19 ms over one clear of a 640-cell buffer, more for a wide one than "
               "a narrow one, which hides the 2 ms of pauses a timing can look for; the stand-in takes "
               "microseconds";
    }
    return "";
}

// True when the test runs on Wine rather than on Windows or the stand-in.
bool RunningOnWine();

#define SKIP_ON_WINE(departure)                                                                   \
    do {                                                                                          \
        if (RunningOnWine()) GTEST_SKIP() << "Wine departs: " << WineDepartureReason(departure); \
    } while (0)
