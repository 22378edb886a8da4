// The library's entry point driven directly, notification by notification,
// with the platform's real thread-local slots, OLE and global memory.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "library/library_entry.h"
#include "library/thread_records.h"
#include "platform/fpu.h"
#include "runtime/startup.h"
#include "runtime/strings.h"

namespace {

constexpr std::uint16_t kX87ReservedBit = 0x40;  // reads back as set whatever was loaded

// Runs f on a new thread and waits for it.
template <typename F>
void OnNewThread(F f) {
    std::thread(f).join();
}

// True when OLE is initialised on the calling thread; leaves it as it was.
bool OleInitialisedHere() {
    HRESULT result = OleInitialize(nullptr);
    OleUninitialize();
    return result == S_FALSE;  // already initialised
}

class LibraryEntryTest : public ::testing::Test {
protected:
    void SetUp() override { LibraryStart = LibraryStartup{}; }
};

}  // namespace

TEST_F(LibraryEntryTest, ProcessAttachPreparesTheLibraryAndEveryLaterCallReturnsOne) {
    EmptyData = 0xAA;
    ASSERT_EQ(LibraryEntry(nullptr, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_EQ(LibraryStart.attachResult, 1);
    EXPECT_EQ(LibraryStart.startReason, static_cast<std::uint32_t>(DLL_PROCESS_ATTACH));
    EXPECT_EQ(EmptyData, 0) << "the string module's empty data is set at attach";
    EXPECT_EQ(X87ControlWord() & ~kX87ReservedBit, 0x133F);
    auto *record = static_cast<ThreadRecord *>(TlsGetValue(LibraryStart.threadSlot));
    ASSERT_NE(record, nullptr) << "the attaching thread gets its record";
    EXPECT_EQ(record->lastError, 0u);
    EXPECT_TRUE(OleInitialisedHere());

    OnNewThread([] {
        EXPECT_EQ(LibraryEntry(nullptr, DLL_THREAD_ATTACH, nullptr), TRUE);
        EXPECT_EQ(LibraryStart.startReason, static_cast<std::uint32_t>(DLL_THREAD_ATTACH));
        EXPECT_NE(TlsGetValue(LibraryStart.threadSlot), nullptr);
        EXPECT_TRUE(OleInitialisedHere());
        EXPECT_EQ(LibraryEntry(nullptr, DLL_THREAD_DETACH, nullptr), TRUE);
        EXPECT_EQ(TlsGetValue(LibraryStart.threadSlot), nullptr) << "thread detach frees the record";
        // The detach initialises and uninitialises once; the attach's initialisation stays.
        EXPECT_TRUE(OleInitialisedHere());
        OleUninitialize();
        EXPECT_FALSE(OleInitialisedHere());
    });

    EXPECT_EQ(LibraryEntry(nullptr, DLL_PROCESS_DETACH, nullptr), TRUE);
    EXPECT_EQ(LibraryStart.startReason, static_cast<std::uint32_t>(DLL_PROCESS_DETACH));
    EXPECT_EQ(LibraryStart.attachResult, 1);
    // The attach and the detach each initialised OLE on this thread; no call undoes it.
    OleUninitialize();
    OleUninitialize();
}

TEST_F(LibraryEntryTest, AttachFailsWhenNoThreadLocalIndexIsLeft) {
    std::vector<DWORD> taken;
    for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(index);
    ASSERT_FALSE(taken.empty());
    LibraryStart.startReason = 0x77;
    EXPECT_EQ(LibraryEntry(nullptr, DLL_PROCESS_ATTACH, nullptr), FALSE);
    EXPECT_EQ(LibraryStart.attachResult, 0);
    EXPECT_EQ(LibraryStart.startReason, 0x77u) << "a failed attach does not write the reason";
    for (DWORD index : taken) TlsFree(index);
    OleUninitialize();  // the failed attach initialised OLE and does not undo it
}

TEST_F(LibraryEntryTest, ThreadDetachWithoutARecordStillBalancesOle) {
    ASSERT_EQ(LibraryEntry(nullptr, DLL_PROCESS_ATTACH, nullptr), TRUE);
    OnNewThread([] {
        ASSERT_EQ(TlsGetValue(LibraryStart.threadSlot), nullptr);
        EXPECT_EQ(LibraryEntry(nullptr, DLL_THREAD_DETACH, nullptr), TRUE);
        EXPECT_EQ(TlsGetValue(LibraryStart.threadSlot), nullptr);
        EXPECT_FALSE(OleInitialisedHere());
    });
    LibraryEntry(nullptr, DLL_PROCESS_DETACH, nullptr);
    OleUninitialize();
    OleUninitialize();
}

TEST_F(LibraryEntryTest, RaisedErrorsReachTheThreadsOwnRecord) {
    ASSERT_EQ(LibraryEntry(nullptr, DLL_PROCESS_ATTACH, nullptr), TRUE);
    OnNewThread([] {
        // No thread attach: the record is made on first need.
        RecordThreadError(0x8007);
        auto *record = static_cast<ThreadRecord *>(TlsGetValue(LibraryStart.threadSlot));
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->lastError, 0x8007u);
        RecordThreadError(0x8003);
        EXPECT_EQ(record->lastError, 0x8003u) << "the latest error word is kept";
        LibraryEntry(nullptr, DLL_THREAD_DETACH, nullptr);
        EXPECT_EQ(TlsGetValue(LibraryStart.threadSlot), nullptr);
    });
    auto *own = static_cast<ThreadRecord *>(TlsGetValue(LibraryStart.threadSlot));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->lastError, 0u) << "another thread's error stays in that thread's record";
    LibraryEntry(nullptr, DLL_PROCESS_DETACH, nullptr);
    OleUninitialize();
    OleUninitialize();
}
