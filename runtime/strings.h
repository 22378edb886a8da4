// The string module: allocation and release of handles, the temporary stack
// of a frame, assignment with its copy-or-move rules, and release of a
// function's locals. Failures record run-time error 7 and leave the empty
// string in place.
//
// The module is the whole ownership model of a function with strings, more
// than the deliverables call today. VELMORIN does by hand, in one pass, what
// AssignString from a borrowed handle and PopInto would do (two new strings,
// in that order); the program pops only owned entries, and nothing pushes a
// borrowed one. AssignString, PushBorrowed and PopInto's borrowed path stay,
// with their tests, as the rules those hand-made paths must keep: a change
// to what VELMORIN allocates, or a new function with a string local or
// parameter, is checked against them. VELMORIN also releases its one local
// through a slot table (ReleaseLocals), as every function with string locals
// is to, so that adding a local is a line in its table rather than a release
// on each way out.
#pragma once

#include "runtime/allocator.h"
#include "runtime/runtime_error.h"
#include "runtime/string_handle.h"

// A zero byte of this module's own; the data of every empty string. Set by the
// module's start-up before any string operation runs.
extern unsigned char EmptyData;

struct Allocation {
    StringHandle handle;  // null on failure and for the count 0
    unsigned char *data;  // the handle, or &EmptyData
    std::uint32_t count;  // 0 on failure
    std::uint8_t error;   // 7 on failure, else 0; nothing is raised
};

struct StringBytes {
    unsigned char *data;  // never null: &EmptyData for the empty string
    std::uint32_t count;
};

// Makes a new string of count bytes, contents unset. The caller owns the
// handle and must store it or release it with FreeString. count 0 gives the
// empty string: a null handle and &EmptyData, not an error. A count over
// kMaxStringCount or an allocator failure gives the same null handle and
// &EmptyData with error 7; nothing is raised, so the caller decides where the
// error is recorded.
inline Allocation AllocString(std::uint32_t count);
// Releases an owned handle; null (the empty string) is left alone. The
// handle must not be used afterwards.
inline void FreeString(StringHandle handle);
// Releases an owned entry; a borrowed entry is left alone, as its handle
// belongs to someone else.
void FreeString(TempEntry entry);
// Reads without taking anything: the pointer lives as long as the handle.
inline StringBytes StringData(StringHandle handle);
StringBytes StringData(TempEntry entry);

// Pushes a new owned copy of a literal record (2-byte count, then bytes).
// The frame owns the entry. On allocation failure the pushed entry is the
// empty string and error 7 is raised in the frame; the stack still grows by
// one, so the caller's pops stay balanced.
void PushLiteral(CallFrame &frame, const unsigned char *literal);
template <std::size_t N>
void PushLiteral(CallFrame &frame, const LiteralRecord<N> &literal) {
    PushLiteral(frame, literal.count);
}
// Moves an owned handle onto the stack: the caller gives it up, and the frame
// must later pop it into a cell or release it. Cannot fail. Every push onto
// a full stack (kTemporaryCapacity entries) ends the process at once, as a
// fast fail: it is a fault of the caller, and the frame must not be overrun.
void PushOwned(CallFrame &frame, StringHandle handle);
// Pushes a handle the frame does not own (a variable's or a caller's). It is
// never released through the stack, and is copied wherever it is stored; its
// owner must keep it alive until the entry is popped. Cannot fail.
void PushBorrowed(CallFrame &frame, StringHandle handle);
// The entry on top, still on the stack and still owned by the frame. The
// reference is valid until the next push or pop. On an empty stack the
// process ends at once, as a push onto a full one does.
const TempEntry &TopEntry(const CallFrame &frame);

// Pops into a fresh cell whose previous content is not looked at (and so
// not released). An owned entry moves into the cell; a borrowed one is copied
// and the cell owns the copy. On a failed copy the cell holds the empty string
// and error 7 is raised; nothing leaks.
void PopInto(CallFrame &frame, StringHandle &cell);
// Pops into a variable that owns its current value. An owned entry (or the
// empty string) moves in and the previous value is released after the store,
// so the variable never holds a released handle. A borrowed entry is copied:
// into the previous buffer when the counts match (self-assignment included),
// otherwise into a new string, and the previous value is released. On a
// failed copy the variable holds the empty string, the previous value is
// released and error 7 is raised.
void AssignString(CallFrame &frame, StringHandle &variable);
// Pops the top entry and releases it if the frame owns it.
void PopAndFree(CallFrame &frame);
// Releases every local the slot table marks as owned by the frame; slots
// that refer to a caller's handle are left alone. The locals must not be used
// afterwards.
inline void ReleaseLocals(CallFrame &frame, const StringSlotTable &table);

// Copies count bytes; the regions do not overlap.
void CopyBytes(unsigned char *to, const unsigned char *from, std::uint32_t count);

// The operations every call of a function with strings runs, defined here so
// that they compile into their callers: in the Windows deliverables, which
// are built file by file, a call to each would cost more than its body.

// The count in the four bytes before the data. A fixed-size copy the compiler
// makes one load of even where it may not assume the C library's memcpy.
inline std::uint32_t CountOf(StringHandle handle) {
    std::uint32_t count;
    __builtin_memcpy(&count, handle - 4, sizeof count);
    return count;
}

inline Allocation AllocString(std::uint32_t count) {
    Allocation none{nullptr, &EmptyData, 0, 0};
    if (count == 0) return none;
    none.error = kErrorOutOfMemory;
    if (count > kMaxStringCount) return none;
    StringHandle handle = AllocateStringMemory(count);
    if (handle == nullptr) return none;
    return Allocation{handle, handle, count, 0};
}

inline void FreeString(StringHandle handle) {
    if (handle != nullptr) ReleaseStringMemory(handle);
}

inline StringBytes StringData(StringHandle handle) {
    if (handle == nullptr) return StringBytes{&EmptyData, 0};
    return StringBytes{handle, CountOf(handle)};
}

inline void ReleaseLocals(CallFrame &frame, const StringSlotTable &table) {
    unsigned char *base = reinterpret_cast<unsigned char *>(&frame);
    for (std::uint32_t i = 0; i < table.count; ++i) {
        const StringSlot &slot = table.slots[i];
        if (slot.kind != SlotKind::OwnedLocal) continue;
        StringHandle *local = reinterpret_cast<StringHandle *>(base + slot.offset);
        FreeString(*local);
    }
}
