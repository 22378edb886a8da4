// The readings of ole32's initialisation and kernel32's global memory, and
// the switch that makes GlobalAlloc fail, for the stand-in's test interface.
#pragma once

#include <cstdint>

namespace standin {

// How many OleInitialize calls of the calling thread are not yet undone.
std::int32_t OleInitializeDepth();
// Blocks from GlobalAlloc not yet given back, in the whole process.
std::int64_t LiveGlobalBlocks();
// Makes every GlobalAlloc fail (true) or work again (false).
void FailGlobalAlloc(bool fail);

}  // namespace standin
