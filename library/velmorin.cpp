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

}  // namespace

extern "C" VelmorinString VELMORIN_CALL VELMORIN(const VelmorinString *text) {
    // Only what is read before it is written starts empty: clearing the
    // whole frame, its temporaries included, takes a string store whose
    // start-up costs more than the work on a short string.
    VelmorinFrame f;
    f.frame.errorWord = 0;
    f.frame.temporaryDepth = 0;
    f.argument = text;
    // A null reference reads as the empty string rather than faulting.
    StringBytes source = StringData(text != nullptr ? *text : nullptr);

    // The working copy, then the result as its copy: the two new strings an
    // assignment from a borrowed handle and one from a named string would
    // make, in that order. An empty or failed working copy leaves the result
    // empty too, with nothing allocated for it.
    Allocation working = AllocString(source.count);
    f.workingCopy = working.handle;
    if (working.error != 0) RaiseRuntimeError(f.frame, working.error);
    Allocation result = AllocString(working.count);
    f.result = result.handle;
    if (result.error != 0) RaiseRuntimeError(f.frame, result.error);

    // The walk and both copies in one pass over the bytes: the result gets
    // what the working copy holds after the walk. Without a result the
    // working copy is simply written twice.
    if (working.count != 0)
        CopyCapitalised(working.data, result.count != 0 ? result.data : working.data, source.data, working.count);

    ReleaseLocals(f.frame, kSlotTable);
    return f.result;
}
