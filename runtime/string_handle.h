// The string handle: the one string type of the system, and the frame
// bookkeeping (temporary stack, error word, slot tables) that decides who owns
// each handle at each moment.
#pragma once

#include <cstddef>
#include <cstdint>

// A string handle is null for the empty string, or the address of the first
// data byte of a counted string made by the process-wide allocator:
//
//   handle - 4   4 bytes   byte count n, unsigned 32-bit little-endian
//   handle       n bytes   the data: raw 8-bit bytes, zero bytes allowed
//   handle + n   >= 1 byte zero, written by the allocator
//
// The trailing zero lets code walk the bytes up to a zero byte without
// running past the end. Nobody changes the count of an existing handle; only
// its owner may change its bytes or release it.
using StringHandle = unsigned char *;

// The largest count a string may have; a request for more fails.
constexpr std::uint32_t kMaxStringCount = 0x7FFFFFFFu;

// A pending temporary. Owned: the frame must move the handle somewhere or
// release it. Borrowed: the handle belongs to a variable or a caller, is never
// released through this entry and is copied whenever it has to be stored.
// The flag sits beside the handle, so handles may use every address bit.
struct TempEntry {
    StringHandle handle;
    bool borrowed;
};

constexpr int kTemporaryCapacity = 5;

// The record every call of one of the system's own functions carries. A
// function's result and its locals follow it in the function's own frame
// struct, whose first member it is (see StringSlotTable).
struct CallFrame {
    TempEntry temporaries[kTemporaryCapacity];
    std::uint32_t errorWord;       // bits 0-7 error number, bit 15 set once raised
    std::uint32_t temporaryDepth;  // pending temporaries; 0 when the stack is empty
};

// A string constant in initialised data: a 16-bit little-endian count, then
// the bytes. Made at compile time by MakeLiteral, so no start-up code runs.
template <std::size_t N>
struct LiteralRecord {
    unsigned char count[2];
    unsigned char bytes[N];
};

template <std::size_t N>
constexpr LiteralRecord<N - 1> MakeLiteral(const char (&text)[N]) {
    static_assert(N - 1 <= 0xFFFF, "a literal holds at most 65535 bytes");
    LiteralRecord<N - 1> record{};
    record.count[0] = static_cast<unsigned char>((N - 1) & 0xFF);
    record.count[1] = static_cast<unsigned char>((N - 1) >> 8);
    for (std::size_t i = 0; i + 1 < N; ++i) record.bytes[i] = static_cast<unsigned char>(text[i]);
    return record;
}

// A function's string-typed slots, walked by ReleaseLocals when it returns.
// Each slot is found at a byte offset from the function's CallFrame, which
// must therefore be the first member of a standard-layout frame struct.
enum class SlotKind : std::uint8_t {
    ByReference,  // the address of a caller's handle: left alone
    OwnedLocal,   // a local variable the frame owns: released at exit
};

struct StringSlot {
    std::uint16_t offset;
    SlotKind kind;
};

struct StringSlotTable {
    const StringSlot *slots;
    std::uint32_t count;
};
