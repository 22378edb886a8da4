// kernel32's global memory for the stand-in: GlobalAlloc and GlobalFree,
// with the reading and the failure switch that tests use.
#include "platform/posix/process/process_readings.h"

#include <atomic>
#include <cstdlib>

#include "platform/posix/win32/win32_api.h"

namespace {
std::atomic<std::int64_t> liveGlobalBlocks{0};
std::atomic<bool> failGlobalAlloc{false};
}  // namespace

STANDIN_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (failGlobalAlloc) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void *block = (flags & GMEM_ZEROINIT) ? std::calloc(1, bytes ? bytes : 1) : std::malloc(bytes ? bytes : 1);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ++liveGlobalBlocks;
    return block;
}

STANDIN_API HGLOBAL GlobalFree(HGLOBAL memory) {
    if (memory == nullptr) return nullptr;
    std::free(memory);
    --liveGlobalBlocks;
    return nullptr;
}

namespace standin {

std::int64_t LiveGlobalBlocks() { return liveGlobalBlocks; }
void FailGlobalAlloc(bool fail) { failGlobalAlloc = fail; }

}  // namespace standin
