// OLE initialisation, counted per thread, and GlobalAlloc/GlobalFree, with
// the readings and the failure switch that tests use.
#include "platform/posix/process/ole_and_memory.h"

#include <atomic>
#include <cstdlib>

#include "platform/posix/win32/win32_api.h"

namespace {
thread_local std::int32_t oleDepth;
std::atomic<std::int64_t> liveGlobalBlocks{0};
std::atomic<bool> failGlobalAlloc{false};
}  // namespace

STANDIN_API HRESULT OleInitialize(LPVOID) {
    return oleDepth++ == 0 ? S_OK : S_FALSE;  // S_FALSE: already initialised on this thread
}

STANDIN_API void OleUninitialize(void) {
    if (oleDepth > 0) --oleDepth;
}

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

std::int32_t OleInitializeDepth() { return oleDepth; }
std::int64_t LiveGlobalBlocks() { return liveGlobalBlocks; }
void FailGlobalAlloc(bool fail) { failGlobalAlloc = fail; }

}  // namespace standin
