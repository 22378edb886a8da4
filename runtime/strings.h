// The string module: allocation and release of handles, the temporary stack
// of a frame, assignment with its copy-or-move rules, and release of a
// function's locals. Failures record run-time error 7 and leave the empty
// string in place.
#pragma once

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

Allocation AllocString(std::uint32_t count);
void FreeString(StringHandle handle);
void FreeString(TempEntry entry);  // a borrowed entry is left alone
StringBytes StringData(StringHandle handle);
StringBytes StringData(TempEntry entry);
unsigned char *StringDataPointer(StringHandle variable);

void PushLiteral(CallFrame &frame, const unsigned char *literal);
template <std::size_t N>
void PushLiteral(CallFrame &frame, const LiteralRecord<N> &literal) {
    PushLiteral(frame, literal.count);
}
void PushOwned(CallFrame &frame, StringHandle handle);
void PushBorrowed(CallFrame &frame, StringHandle handle);
const TempEntry &TopEntry(const CallFrame &frame);

// Pops into a fresh cell whose previous content is not looked at.
void PopInto(CallFrame &frame, StringHandle &cell);
// Pops into a variable that owns its current value; that value is released.
void AssignString(CallFrame &frame, StringHandle &variable);
void PopAndFree(CallFrame &frame);
void ReleaseLocals(CallFrame &frame, const StringSlotTable &table);

// Copies count bytes; the regions do not overlap.
void CopyBytes(unsigned char *to, const unsigned char *from, std::uint32_t count);
