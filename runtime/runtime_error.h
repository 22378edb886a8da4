// Run-time errors: an operation that cannot do its work records an error
// number in its caller's frame and returns normally; nothing is unwound.
#pragma once

#include <cstdint>

#include "runtime/string_handle.h"

constexpr std::uint8_t kErrorOutOfMemory = 7;
constexpr std::uint32_t kErrorRaisedBit = 0x8000u;

void RaiseRuntimeError(CallFrame &frame, std::uint8_t number);
