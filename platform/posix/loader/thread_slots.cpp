// Thread-local storage slots: TlsAlloc, TlsGetValue, TlsSetValue, TlsFree.
// Each slot carries a generation, so a freed and re-allocated index reads 0
// on every thread, as on Windows.
#include "platform/posix/loader/thread_slots.h"

#include <mutex>

#include "platform/posix/loader/loader.h"
#include "platform/posix/win32/win32_api.h"

namespace {

// As many indexes as Windows offers a process.
constexpr DWORD kSlotCount = 1088;

struct Slot {
    bool used;
    std::uint64_t generation;
};

struct Value {
    std::uint64_t generation;
    void *value;
};

std::mutex slotLock;
Slot slots[kSlotCount];
DWORD slotLimit = kSlotCount;
// Plain data, so it is still readable while a thread's other thread-locals
// are being destroyed at its exit.
thread_local Value values[kSlotCount];

bool Valid(DWORD index) {
    return index < kSlotCount && slots[index].used;
}

}  // namespace

namespace standin {

void LimitThreadSlots(DWORD count) {
    std::lock_guard<std::mutex> guard(slotLock);
    slotLimit = count < kSlotCount ? count : kSlotCount;
}

}  // namespace standin

STANDIN_API DWORD TlsAlloc(void) {
    std::lock_guard<std::mutex> guard(slotLock);
    for (DWORD i = 0; i < slotLimit; ++i) {
        if (slots[i].used) continue;
        slots[i].used = true;
        ++slots[i].generation;
        SetLastError(ERROR_SUCCESS);
        return i;
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return TLS_OUT_OF_INDEXES;
}

STANDIN_API LPVOID TlsGetValue(DWORD index) {
    std::uint64_t generation;
    {
        std::lock_guard<std::mutex> guard(slotLock);
        if (!Valid(index)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        generation = slots[index].generation;
    }
    SetLastError(ERROR_SUCCESS);
    return values[index].generation == generation ? values[index].value : nullptr;
}

STANDIN_API BOOL TlsSetValue(DWORD index, LPVOID value) {
    {
        std::lock_guard<std::mutex> guard(slotLock);
        if (!Valid(index)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        values[index] = Value{slots[index].generation, value};
    }
    // Whatever the value points to is released at the thread's detach.
    if (value != nullptr) standin::ThreadNeedsDetach();
    return TRUE;
}

STANDIN_API BOOL TlsFree(DWORD index) {
    std::lock_guard<std::mutex> guard(slotLock);
    if (!Valid(index)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    slots[index].used = false;
    return TRUE;
}
