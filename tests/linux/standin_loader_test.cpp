// What only the stand-in lets a test see: the global memory of thread
// records, the notifications delivered, and a failing GlobalAlloc.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "library/library_entry.h"
#include "platform/posix/standin_testing.h"
#include "runtime/startup.h"

TEST(StandinLoader, EveryThreadRecordIsFreedAtItsThreadsEnd) {
    HMODULE probe = LoadLibraryA(PROBE_LIBRARY);
    ASSERT_NE(probe, nullptr);
    std::int64_t blocks = StandinLiveGlobalBlocks();
    std::int64_t attaches = StandinThreadNotifications(DLL_THREAD_ATTACH);
    std::int64_t detaches = StandinThreadNotifications(DLL_THREAD_DETACH);
    std::vector<std::thread> threads;
    for (int i = 0; i < 16; ++i) threads.emplace_back([] {});
    for (auto &t : threads) t.join();
    EXPECT_EQ(StandinThreadNotifications(DLL_THREAD_ATTACH) - attaches, 16);
    EXPECT_EQ(StandinThreadNotifications(DLL_THREAD_DETACH) - detaches, 16);
    EXPECT_EQ(StandinLiveGlobalBlocks(), blocks);
    FreeLibrary(probe);
    EXPECT_EQ(StandinLiveGlobalBlocks(), blocks - 1) << "process detach frees the loading thread's record";
}

TEST(StandinLoader, AttachFailsWithoutMemoryForTheAttachingThreadsRecord) {
    LibraryStart = LibraryStartup{};
    StandinFailGlobalAlloc(true);
    BOOL result = LibraryEntry(nullptr, DLL_PROCESS_ATTACH, nullptr);
    StandinFailGlobalAlloc(false);
    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(LibraryStart.attachResult, 0);
    TlsFree(LibraryStart.threadSlot);  // a failed attach keeps the slot it took
    OleUninitialize();
}

// A thread's detaches run in the reverse of its attaches: a library gets
// its detach before those it depends on, which may still serve it.
TEST(StandinLoader, ThreadDetachesRunLastLoadedFirst) {
    HMODULE second = LoadLibraryA(ORDER_SECOND_LIBRARY);  // loads the first before it
    HMODULE first = LoadLibraryA(ORDER_FIRST_LIBRARY);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first, nullptr);
    auto notes = reinterpret_cast<const char *(*)()>(GetProcAddress(first, "OrderNotes"));
    auto clear = reinterpret_cast<void (*)()>(GetProcAddress(first, "OrderClearNotes"));
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(clear, nullptr);
    clear();
    std::thread([] {}).join();
    EXPECT_STREQ(notes(), "F2S2S3F3");
    FreeLibrary(second);
    FreeLibrary(first);
}

TEST(StandinLoader, OleDepthFollowsTheEntryPointsCalls) {
    std::thread([] {
        std::int32_t before = StandinOleInitializeDepth();
        HMODULE probe = LoadLibraryA(PROBE_LIBRARY);
        ASSERT_NE(probe, nullptr);
        EXPECT_EQ(StandinOleInitializeDepth(), before + 1);
        std::thread([] { EXPECT_EQ(StandinOleInitializeDepth(), 1); }).join();
        FreeLibrary(probe);
        EXPECT_EQ(StandinOleInitializeDepth(), before + 2) << "process detach initialises once more";
    }).join();
}
