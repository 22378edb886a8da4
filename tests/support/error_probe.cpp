// The test build's module step of RaiseRuntimeError: it records the word.
#include "tests/support/error_probe.h"

#include <atomic>

#include "runtime/module_hooks.h"

namespace {
std::atomic<std::uint32_t> calls{0}, lastWord{0};
}

void OnRuntimeError(std::uint32_t errorWord) {
    lastWord = errorWord;
    ++calls;
}

void InitialiseModuleState() {}

namespace error_probe {
void Reset() { calls = 0, lastWord = 0; }
std::uint32_t Calls() { return calls; }
std::uint32_t LastWord() { return lastWord; }
}  // namespace error_probe
