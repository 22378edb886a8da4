// The library's own steps in the shared run-time: a raised error is copied
// into the calling thread's record, and there is no module state to set up.
#include "library/thread_records.h"
#include "runtime/module_hooks.h"

void OnRuntimeError(std::uint32_t errorWord) {
    RecordThreadError(errorWord);
}

void InitialiseModuleState() {}
