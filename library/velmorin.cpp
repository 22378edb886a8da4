// VELMORIN, the library's one export: text in by reference, a new string with
// every word's first letter upper-cased out.
#ifndef VELMORIN_BUILDING
#define VELMORIN_BUILDING
#endif
#include "include/velmorin.h"

#include <cstddef>

#include "library/capitalising_copy.h"
#include "runtime/runtime_error.h"
#include "runtime/strings.h"

namespace {

struct VelmorinFrame {
    CallFrame frame;
    StringHandle result;
    StringHandle workingCopy;
    const StringHandle *argument;
};

constexpr StringSlot kSlots[] = {
    {offsetof(VelmorinFrame, workingCopy), SlotKind::OwnedLocal},
    {offsetof(VelmorinFrame, argument), SlotKind::ByReference},
};
constexpr StringSlotTable kSlotTable{kSlots, 2};

// AssignString of the borrowed top entry into an empty variable, which is
// always a new allocation and a copy, with the words capitalised during that
// copy: the bytes are walked once, not copied and then walked again.
void AssignCapitalised(CallFrame &frame, StringHandle &emptyVariable) {
    StringBytes source = StringData(TopEntry(frame));
    Allocation copy = AllocString(source.count);
    CopyCapitalised(copy.data, source.data, copy.count);
    emptyVariable = copy.handle;
    PopAndFree(frame);  // borrowed: nothing is released
    if (copy.error != 0) RaiseRuntimeError(frame, copy.error);
}

}  // namespace

extern "C" VelmorinString VELMORIN_CALL VELMORIN(const VelmorinString *text) {
    // Only what is read before it is written starts empty: clearing the
    // whole frame, its temporaries included, takes a string store whose
    // start-up costs more than the work on a short string.
    VelmorinFrame f;
    f.frame.errorWord = 0;
    f.frame.temporaryDepth = 0;
    f.result = nullptr;
    f.workingCopy = nullptr;
    f.argument = text;
    // A null reference reads as the empty string rather than faulting.
    PushBorrowed(f.frame, text != nullptr ? *text : nullptr);
    AssignCapitalised(f.frame, f.workingCopy);

    PushBorrowed(f.frame, f.workingCopy);
    AssignString(f.frame, f.result);
    ReleaseLocals(f.frame, kSlotTable);
    return f.result;
}
