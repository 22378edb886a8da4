// oleaut32 for the stand-in: the string allocator, SysAllocStringByteLen,
// SysStringByteLen and SysFreeString, which the library's contract with its
// callers rests on. One allocator for every module of the process, with the
// layout of the platform's own.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/posix/win32/win32_api.h"

namespace {
constexpr std::size_t kPrefix = 4;
constexpr std::size_t kTerminator = 2;  // a whole OLECHAR of zero, as on Windows

// From this size on a string gets memory of its own from the system, which
// the first touch faults in page by page. Huge pages make that one fault per
// 2 MiB instead of 512; where the system does not offer them, nothing changes.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeString = 4 * kHugePage;

void PreferHugePages(unsigned char *block, std::size_t size) {
    auto start = (reinterpret_cast<std::uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
    auto end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(kHugePage - 1);
    if (end > start) madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
}
}  // namespace

STANDIN_API BSTR SysAllocStringByteLen(LPCSTR source, UINT length) {
    // The count must fit the 32-bit prefix with room for the terminator.
    if (length > 0xFFFFFFFFu - kPrefix - kTerminator) return nullptr;
    auto *block = static_cast<unsigned char *>(std::malloc(kPrefix + length + kTerminator));
    if (block == nullptr) return nullptr;
    if (length >= kLargeString) PreferHugePages(block, kPrefix + length + kTerminator);
    std::uint32_t count = length;
    std::memcpy(block, &count, kPrefix);
    unsigned char *data = block + kPrefix;
    if (source != nullptr) std::memcpy(data, source, length);
    data[length] = 0;
    data[length + 1] = 0;
    return reinterpret_cast<BSTR>(data);
}

STANDIN_API void SysFreeString(BSTR string) {
    if (string == nullptr) return;
    std::free(reinterpret_cast<unsigned char *>(string) - kPrefix);
}

STANDIN_API UINT SysStringByteLen(BSTR string) {
    if (string == nullptr) return 0;
    std::uint32_t count;
    std::memcpy(&count, reinterpret_cast<unsigned char *>(string) - kPrefix, kPrefix);
    return count;
}
