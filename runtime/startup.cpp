// One-time initialisation of a module's run-time state.
#include "runtime/startup.h"

#include "platform/fpu.h"
#include "runtime/module_hooks.h"
#include "runtime/strings.h"

StartupRecord Startup;

void InitialiseRuntime(const StartupRecord &record) {
    if (record.startReason != kStartReasonProcessStart) return;
    EmptyData = 0;
    InitialiseModuleState();
    SetFloatingPointControl();
}
