// One-time initialisation of a module's run-time state.
#include "runtime/startup.h"

#include "platform/fpu.h"
#include "runtime/module_hooks.h"
#include "runtime/strings.h"

void InitialiseRuntime(std::uint32_t startReason) {
    if (startReason != kStartReasonProcessStart) return;
    EmptyData = 0;
    InitialiseModuleState();
    SetFloatingPointControl();
}
