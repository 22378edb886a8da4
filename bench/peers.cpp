// The floor and the byte-at-a-time peer, on the same string allocator as the
// library, so that only the work on the bytes differs.
#include "bench/peers.h"

#include <cstdint>
#include <cstring>

#include "platform/windows.h"

namespace {

std::uint32_t CountOf(const unsigned char *data) {
    std::uint32_t count;
    std::memcpy(&count, data - 4, sizeof count);
    return count;
}

unsigned char *NewString(std::uint32_t count) {
    return reinterpret_cast<unsigned char *>(SysAllocStringByteLen(nullptr, count));
}

void Release(unsigned char *data) {
    SysFreeString(reinterpret_cast<BSTR>(data));
}

}  // namespace

VelmorinString FloorOfVelmorin(const VelmorinString *text) {
    const unsigned char *source = *text;
    if (source == nullptr) return nullptr;
    std::uint32_t count = CountOf(source);
    unsigned char *work = NewString(count);
    if (work == nullptr) return nullptr;
    std::memcpy(work, source, count);
    unsigned char *result = NewString(count);
    if (result != nullptr) std::memcpy(result, work, count);
    Release(work);
    return result;
}

VelmorinString CapitaliseByteAtATime(const VelmorinString *text) {
    const unsigned char *source = *text;
    if (source == nullptr) return nullptr;
    std::uint32_t count = CountOf(source);
    unsigned char *work = NewString(count);
    if (work == nullptr) return nullptr;
    for (std::uint32_t i = 0; i < count; ++i) work[i] = source[i];
    unsigned char previous = ' ';
    for (unsigned char *p = work; *p != 0; ++p) {
        if (previous == ' ' && *p >= 'a' && *p <= 'z') *p = static_cast<unsigned char>(*p - 'a' + 'A');
        previous = *p;
    }
    unsigned char *result = NewString(count);
    if (result != nullptr)
        for (std::uint32_t i = 0; i < count; ++i) result[i] = work[i];
    Release(work);
    return result;
}
