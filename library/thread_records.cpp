// Thread records: created on first need, released at the thread's detach,
// and at an unload all at once.
#include "library/thread_records.h"

#include "library/library_entry.h"

namespace {

// Every record not yet released, newest first. The lock is held only for a
// link or an unlink: threads make and release records at their own pace,
// outside the loader's one-at-a-time notifications.
ThreadRecord *liveRecords = nullptr;
int recordsLock = 0;

void LockRecords() {
    while (__atomic_exchange_n(&recordsLock, 1, __ATOMIC_ACQUIRE) != 0) {
#if defined(__i386__) || defined(__x86_64__)
        __builtin_ia32_pause();
#endif
    }
}

void UnlockRecords() { __atomic_store_n(&recordsLock, 0, __ATOMIC_RELEASE); }

// Frees one record and takes it out of the list; under the lock. A record
// whose release fails stays where it is.
bool FreeRecord(ThreadRecord *record) {
    ThreadRecord *next = record->next, *previous = record->previous;
    if (GlobalFree(record) != nullptr) return false;
    if (previous != nullptr) previous->next = next;
    else liveRecords = next;
    if (next != nullptr) next->previous = previous;
    return true;
}

}  // namespace

ThreadRecord *GetThreadRecord() {
    auto *record = static_cast<ThreadRecord *>(TlsGetValue(LibraryStart.threadSlot));
    if (record != nullptr) return record;
    record = static_cast<ThreadRecord *>(GlobalAlloc(GPTR, sizeof(ThreadRecord)));
    if (record == nullptr) return nullptr;
    LockRecords();
    record->next = liveRecords;
    if (liveRecords != nullptr) liveRecords->previous = record;
    liveRecords = record;
    UnlockRecords();
    TlsSetValue(LibraryStart.threadSlot, record);
    return record;
}

bool ReleaseThreadRecord() {
    auto *record = static_cast<ThreadRecord *>(TlsGetValue(LibraryStart.threadSlot));
    if (record == nullptr) return true;
    LockRecords();
    bool freed = FreeRecord(record);
    UnlockRecords();
    if (!freed) return false;  // the slot still holds it
    TlsSetValue(LibraryStart.threadSlot, nullptr);
    return true;
}

bool ReleaseThreadRecords(bool unloading) {
    bool released = ReleaseThreadRecord();
    if (!unloading) return released;
    LockRecords();
    for (ThreadRecord *record = liveRecords, *next; record != nullptr; record = next) {
        next = record->next;
        released = FreeRecord(record) && released;
    }
    UnlockRecords();
    return released;
}

void RecordThreadError(std::uint32_t errorWord) {
    ThreadRecord *record = GetThreadRecord();
    if (record != nullptr) record->lastError = errorWord;
}
