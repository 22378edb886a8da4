// Test-only controls and readings of the Linux stand-in. Tests that use this
// header run on the stand-in alone; on Windows there is nothing to read.
#pragma once

#include <cstdint>

extern "C" {
// How many OleInitialize calls of the calling thread are not yet undone.
__attribute__((visibility("default"))) std::int32_t StandinOleInitializeDepth(void);
// Blocks from GlobalAlloc not yet given back, in the whole process.
__attribute__((visibility("default"))) std::int64_t StandinLiveGlobalBlocks(void);
// Makes every GlobalAlloc fail (true) or work again (false).
__attribute__((visibility("default"))) void StandinFailGlobalAlloc(bool fail);
// Thread attach and detach notifications delivered so far, in the whole process.
__attribute__((visibility("default"))) std::int64_t StandinThreadNotifications(std::uint32_t reason);
// Gives the process a console without a terminal, whatever terminal it has:
// keys come only from WriteConsoleInputA and nothing is drawn. Call before
// the console's first use; the shipped programs never call it.
__attribute__((visibility("default"))) void StandinUseHeadlessConsole(void);
}
