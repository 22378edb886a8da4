// VELMORIN, the library's one export: text in by reference, a new string with
// every word's first letter upper-cased out.
#define VELMORIN_BUILDING
#include "include/velmorin.h"

#include <cstddef>

#include "library/capitalise.h"
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
    VelmorinFrame f{};
    f.argument = text;
    // A null reference reads as the empty string rather than faulting.
    PushBorrowed(f.frame, text != nullptr ? *text : nullptr);
    AssignString(f.frame, f.workingCopy);

    CapitaliseWords(StringDataPointer(f.workingCopy));

    PushBorrowed(f.frame, f.workingCopy);
    AssignString(f.frame, f.result);
    ReleaseLocals(f.frame, kSlotTable);
    return f.result;
}
