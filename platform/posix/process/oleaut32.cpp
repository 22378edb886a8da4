// oleaut32 for the stand-in: the string allocator, SysAllocStringByteLen,
// SysStringByteLen and SysFreeString, which the library's contract with its
// callers rests on. One allocator for every module of the process, with the
// layout of the platform's own, and a few freed large blocks kept for the
// next large string.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/posix/win32/win32_api.h"

namespace {
constexpr std::size_t kPrefix = 4;
constexpr std::size_t kTerminator = 2;  // a whole OLECHAR of zero, as on Windows

// From this count on a string gets a mapping of its own, aligned to a huge
// page so that huge pages cover all of it where the system offers them (one
// fault per 2 MiB instead of 512). Its data starts a cache line into the
// mapping, the count just before it; the count alone tells SysFreeString
// which kind of block it has, since nothing changes a string's count.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeString = 4 * kHugePage;
constexpr std::size_t kLargeDataOffset = 64;

// A fresh mapping costs a fault and the zeroing of every page on first touch,
// a quarter to a half of a large call's time, and far more where the memory
// is new to the machine (a virtual machine backs its memory on first touch):
// a freed large block is kept for the next large string instead. At most
// kKeptBlocks blocks of kKeptBytes in all are kept; a block that would pass
// the bound goes back to the system, the largest kept ones first.
constexpr std::size_t kKeptBlocks = 4;
constexpr std::size_t kKeptBytes = std::size_t{256} << 20;

struct Block {
    void *base;
    std::size_t size;
};

std::mutex keptLock;
Block kept[kKeptBlocks];  // size 0: a free entry
std::size_t keptBytes;

std::size_t LargeBlockSize(std::size_t length) {
    return (kLargeDataOffset + length + kTerminator + kHugePage - 1) & ~(kHugePage - 1);
}

// The smallest kept block that holds size bytes, taken out of the keep.
void *TakeKept(std::size_t size, std::size_t &got) {
    std::lock_guard<std::mutex> hold(keptLock);
    Block *best = nullptr;
    for (Block &b : kept)
        if (b.size >= size && (best == nullptr || b.size < best->size)) best = &b;
    if (best == nullptr) return nullptr;
    void *base = best->base;
    got = best->size;
    keptBytes -= got;
    *best = Block{nullptr, 0};
    return base;
}

void *MapLarge(std::size_t size) {
    // Mapped a huge page larger, then trimmed to a huge-page boundary.
    void *raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    auto start = reinterpret_cast<std::uintptr_t>(raw);
    auto aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) munmap(raw, aligned - start);
    std::uintptr_t end = start + size + kHugePage;
    if (end > aligned + size) munmap(reinterpret_cast<void *>(aligned + size), end - (aligned + size));
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<void *>(aligned);
}

// Keeps a freed block within the bound, or gives it back, with whatever
// larger kept blocks must go to make room.
void Keep(void *base, std::size_t size) {
    Block out[kKeptBlocks + 1];
    std::size_t outCount = 0;
    if (size > kKeptBytes) {
        out[outCount++] = Block{base, size};
    } else {
        std::lock_guard<std::mutex> hold(keptLock);
        while (true) {
            Block *freeEntry = nullptr, *largest = nullptr;
            for (Block &b : kept) {
                if (b.size == 0) freeEntry = freeEntry != nullptr ? freeEntry : &b;
                else if (largest == nullptr || b.size > largest->size) largest = &b;
            }
            if (freeEntry != nullptr && keptBytes + size <= kKeptBytes) {
                *freeEntry = Block{base, size};
                keptBytes += size;
                break;
            }
            // Full: the larger of the freed block and the largest kept one goes.
            if (largest == nullptr || largest->size < size) {
                out[outCount++] = Block{base, size};
                break;
            }
            out[outCount++] = *largest;
            keptBytes -= largest->size;
            *largest = Block{nullptr, 0};
        }
    }
    for (std::size_t i = 0; i < outCount; ++i) munmap(out[i].base, out[i].size);
}
}  // namespace

STANDIN_API BSTR SysAllocStringByteLen(LPCSTR source, UINT length) {
    // The count must fit the 32-bit prefix with room for the terminator.
    if (length > 0xFFFFFFFFu - kPrefix - kTerminator) return nullptr;
    unsigned char *data;
    if (length >= kLargeString) {
        std::size_t size = LargeBlockSize(length), got = size;
        void *base = TakeKept(size, got);
        if (base == nullptr) base = MapLarge(size);
        if (base == nullptr) return nullptr;
        // The block's size lies at its start, for its release.
        std::memcpy(base, &got, sizeof got);
        data = static_cast<unsigned char *>(base) + kLargeDataOffset;
    } else {
        auto *block = static_cast<unsigned char *>(std::malloc(kPrefix + length + kTerminator));
        if (block == nullptr) return nullptr;
        data = block + kPrefix;
    }
    std::uint32_t count = length;
    std::memcpy(data - kPrefix, &count, kPrefix);
    if (source != nullptr) std::memcpy(data, source, length);
    data[length] = 0;
    data[length + 1] = 0;
    return reinterpret_cast<BSTR>(data);
}

STANDIN_API void SysFreeString(BSTR string) {
    if (string == nullptr) return;
    auto *data = reinterpret_cast<unsigned char *>(string);
    if (SysStringByteLen(string) >= kLargeString) {
        unsigned char *base = data - kLargeDataOffset;
        std::size_t size;
        std::memcpy(&size, base, sizeof size);
        Keep(base, size);
        return;
    }
    std::free(data - kPrefix);
}

STANDIN_API UINT SysStringByteLen(BSTR string) {
    if (string == nullptr) return 0;
    std::uint32_t count;
    std::memcpy(&count, reinterpret_cast<unsigned char *>(string) - kPrefix, kPrefix);
    return count;
}
