// String handles: allocation, the temporary stack and the ownership moves.
#include "runtime/strings.h"

#include <cstring>

#include "runtime/allocator.h"
#include "runtime/fast_fail.h"
#include "runtime/runtime_error.h"

unsigned char EmptyData;

namespace {

// A push past the stack's capacity or a look at an empty stack is a fault
// of the calling code, never of the input: the process ends at once rather
// than write or read outside the frame.
void Push(CallFrame &frame, TempEntry entry) {
    if (frame.temporaryDepth >= kTemporaryCapacity) FailFast(kFastFailRangeCheck);
    frame.temporaries[frame.temporaryDepth++] = entry;
}

TempEntry Pop(CallFrame &frame) {
    return frame.temporaries[--frame.temporaryDepth];
}

// A new handle holding a copy of the bytes; null for the count 0 and on
// failure, which the caller reports once its destination is in place.
StringHandle CopyOf(StringBytes bytes, bool &failed) {
    Allocation copy = AllocString(bytes.count);
    failed = copy.error != 0;
    CopyBytes(copy.data, bytes.data, copy.count);
    return copy.handle;
}

}  // namespace

void FreeString(TempEntry entry) {
    if (!entry.borrowed) FreeString(entry.handle);
}

StringBytes StringData(TempEntry entry) {
    return StringData(entry.handle);
}

void CopyBytes(unsigned char *to, const unsigned char *from, std::uint32_t count) {
    std::memcpy(to, from, count);
}

void PushLiteral(CallFrame &frame, const unsigned char *literal) {
    std::uint32_t count = literal[0] | (static_cast<std::uint32_t>(literal[1]) << 8);
    Allocation string = AllocString(count);
    CopyBytes(string.data, literal + 2, string.count);
    Push(frame, TempEntry{string.handle, false});
    if (string.error != 0) RaiseRuntimeError(frame, string.error);
}

void PushOwned(CallFrame &frame, StringHandle handle) {
    Push(frame, TempEntry{handle, false});
}

void PushBorrowed(CallFrame &frame, StringHandle handle) {
    Push(frame, TempEntry{handle, true});
}

const TempEntry &TopEntry(const CallFrame &frame) {
    if (frame.temporaryDepth == 0 || frame.temporaryDepth > kTemporaryCapacity) FailFast(kFastFailRangeCheck);
    return frame.temporaries[frame.temporaryDepth - 1];
}

void PopInto(CallFrame &frame, StringHandle &cell) {
    TempEntry entry = Pop(frame);
    if (!entry.borrowed) {
        cell = entry.handle;
        return;
    }
    bool failed;
    cell = CopyOf(StringData(entry), failed);
    if (failed) RaiseRuntimeError(frame, kErrorOutOfMemory);
}

void AssignString(CallFrame &frame, StringHandle &variable) {
    TempEntry entry = Pop(frame);
    StringHandle previous = variable;
    if (!entry.borrowed || entry.handle == nullptr) {
        // Store first, so the variable never holds a released handle.
        variable = entry.handle;
        FreeString(previous);
        return;
    }
    StringBytes source = StringData(entry);
    if (previous != nullptr && CountOf(previous) == source.count) {
        // Same length: reuse the buffer. A self-assignment lands here too;
        // memmove keeps its bytes as they are.
        std::memmove(previous, source.data, source.count);
        return;
    }
    bool failed;
    variable = CopyOf(source, failed);
    FreeString(previous);
    if (failed) RaiseRuntimeError(frame, kErrorOutOfMemory);
}

void PopAndFree(CallFrame &frame) {
    FreeString(Pop(frame));
}
