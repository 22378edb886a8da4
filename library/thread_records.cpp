// Thread records: created on first need, released at the thread's detach.
#include "library/thread_records.h"

#include "runtime/startup.h"

ThreadRecord *GetThreadRecord() {
    auto *record = static_cast<ThreadRecord *>(TlsGetValue(Startup.threadSlot));
    if (record != nullptr) return record;
    record = static_cast<ThreadRecord *>(GlobalAlloc(GPTR, sizeof(ThreadRecord)));
    if (record == nullptr) return nullptr;
    TlsSetValue(Startup.threadSlot, record);
    return record;
}

bool ReleaseThreadRecord() {
    void *record = TlsGetValue(Startup.threadSlot);
    if (record == nullptr) return true;
    if (GlobalFree(record) != nullptr) return false;  // the slot still holds it
    TlsSetValue(Startup.threadSlot, nullptr);
    return true;
}

void RecordThreadError(std::uint32_t errorWord) {
    ThreadRecord *record = GetThreadRecord();
    if (record != nullptr) record->lastError = errorWord;
}
