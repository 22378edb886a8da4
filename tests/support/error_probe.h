// What the module-level step of RaiseRuntimeError saw, for tests.
#pragma once

#include <cstdint>

namespace error_probe {
void Reset();
std::uint32_t Calls();
std::uint32_t LastWord();
}  // namespace error_probe
