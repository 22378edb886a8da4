// ole32 for the stand-in: OLE initialisation, counted per thread, with the
// reading that tests use.
#include "platform/posix/process/process_readings.h"
#include "platform/posix/win32/win32_api.h"

namespace {
thread_local std::int32_t oleDepth;
}  // namespace

STANDIN_API HRESULT OleInitialize(LPVOID) {
    return oleDepth++ == 0 ? S_OK : S_FALSE;  // S_FALSE: already initialised on this thread
}

STANDIN_API void OleUninitialize(void) {
    if (oleDepth > 0) --oleDepth;
}

namespace standin {

std::int32_t OleInitializeDepth() { return oleDepth; }

}  // namespace standin
