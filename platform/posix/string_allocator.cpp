// SysAllocStringByteLen and SysFreeString for the stand-in: one allocator for
// every module of the process, with the layout of the platform's own.
#include <cstdlib>
#include <cstring>

#include "platform/posix/win32_api.h"

namespace {
constexpr std::size_t kPrefix = 4;
constexpr std::size_t kTerminator = 2;  // a whole OLECHAR of zero, as on Windows
}  // namespace

STANDIN_API BSTR SysAllocStringByteLen(LPCSTR source, UINT length) {
    // The count must fit the 32-bit prefix with room for the terminator.
    if (length > 0xFFFFFFFFu - kPrefix - kTerminator) return nullptr;
    auto *block = static_cast<unsigned char *>(std::malloc(kPrefix + length + kTerminator));
    if (block == nullptr) return nullptr;
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
