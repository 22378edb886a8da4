// The library as the system loader runs it: loaded for real, its entry point
// notified of every thread, and VELMORIN called from many threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "library/thread_records.h"
#include "platform/windows.h"
#include "library/library_entry.h"

namespace {

using StringOf = unsigned char *;

int EnvironmentCount(const char *name, int fallback) {
    const char *value = std::getenv(name);
    return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

struct Probe {
    HMODULE module = nullptr;
    StringOf (*velmorin)(const StringOf *) = nullptr;
    void (*freeString)(StringOf) = nullptr;
    void (*failAllocations)(bool) = nullptr;
    unsigned (*liveStrings)() = nullptr;
    const LibraryStartup *(*startup)() = nullptr;
    ThreadRecord *(*threadRecord)() = nullptr;

    bool Load() {
        module = LoadLibraryA(PROBE_LIBRARY);
        if (module == nullptr) return false;
        Find(velmorin, "ProbeVelmorin");
        Find(freeString, "ProbeFreeString");
        Find(failAllocations, "ProbeFailAllocations");
        Find(liveStrings, "ProbeLiveStrings");
        Find(startup, "ProbeStartup");
        Find(threadRecord, "ProbeThreadRecord");
        return velmorin && freeString && failAllocations && liveStrings && startup && threadRecord;
    }
    template <typename F>
    void Find(F &function, const char *name) {
        function = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    }

    std::string Capitalise(const std::string &text) const {
        StringOf argument = reinterpret_cast<StringOf>(SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size())));
        StringOf result = velmorin(&argument);
        std::string out;
        if (result != nullptr) {
            std::uint32_t count = result[-4] | result[-3] << 8 | result[-2] << 16 | static_cast<std::uint32_t>(result[-1]) << 24;
            out.assign(reinterpret_cast<const char *>(result), count);
        }
        SysFreeString(reinterpret_cast<BSTR>(argument));
        freeString(result);
        return out;
    }
};

}  // namespace

TEST(LoadedLibrary, AttachesAndServesManyThreadsAtOnce) {
    Probe probe;
    ASSERT_TRUE(probe.Load()) << PROBE_LIBRARY << " error " << GetLastError();
    const LibraryStartup *startup = probe.startup();
    EXPECT_EQ(startup->attachResult, 1);
    EXPECT_NE(startup->threadSlot, TLS_OUT_OF_INDEXES);
    EXPECT_NE(probe.threadRecord(), nullptr) << "the loading thread got its record at attach";

    const int kThreads = EnvironmentCount("VELMORIN_STRESS_THREADS", 8);
    const int kCalls = EnvironmentCount("VELMORIN_STRESS_CALLS", 3000);
    std::atomic<int> wrong{0}, withRecord{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread was attached before its own code ran.
            if (probe.threadRecord() != nullptr) ++withRecord;
            std::string text = "thread " + std::to_string(t) + " zegt: dit is een zin. en nog een";
            std::string want = "Thread " + std::to_string(t) + " Zegt: Dit Is Een Zin. En Nog Een";
            for (int i = 0; i < kCalls; ++i)
                if (probe.Capitalise(text) != want) ++wrong;
        });
    }
    for (auto &t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(withRecord.load(), kThreads);
    EXPECT_EQ(probe.liveStrings(), 0u);
    EXPECT_TRUE(FreeLibrary(probe.module));
}

TEST(LoadedLibrary, ErrorsRaisedOnAThreadStayInThatThreadsRecord) {
    Probe probe;
    ASSERT_TRUE(probe.Load());
    std::thread([&] {
        ThreadRecord *record = probe.threadRecord();
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->lastError, 0u);
        probe.failAllocations(true);
        EXPECT_EQ(probe.Capitalise("dit is een zin."), "") << "exhausted memory gives the empty string";
        probe.failAllocations(false);
        EXPECT_EQ(record->lastError, 0x8007u);
        EXPECT_EQ(probe.threadRecord(), record);
    }).join();
    EXPECT_EQ(probe.threadRecord()->lastError, 0u);
    EXPECT_EQ(probe.liveStrings(), 0u);
    EXPECT_TRUE(FreeLibrary(probe.module));
}

TEST(LoadedLibrary, TheBuiltLibraryDoesNotLoadWhenNoThreadLocalIndexIsLeft) {
    std::vector<DWORD> taken;
    for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(index);
    HMODULE module = LoadLibraryA(BUILT_LIBRARY);
    DWORD error = GetLastError();
    for (DWORD index : taken) TlsFree(index);
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    if (module != nullptr) FreeLibrary(module);

    module = LoadLibraryA(BUILT_LIBRARY);
    EXPECT_NE(module, nullptr) << "with indexes free again it loads";
    if (module != nullptr) FreeLibrary(module);
}
