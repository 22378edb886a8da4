// Recording of run-time errors in the calling function's frame.
#include "runtime/runtime_error.h"

#include "runtime/module_hooks.h"

void RaiseRuntimeError(CallFrame &frame, std::uint8_t number) {
    frame.errorWord = kErrorRaisedBit + number;
    OnRuntimeError(frame.errorWord);
}
