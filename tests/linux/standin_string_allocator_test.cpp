// The stand-in's string allocator with large strings: freed blocks serve the
// next large strings without fresh pages, within the bound on what is kept.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/windows.h"

namespace {

constexpr UINT kMiB = 1u << 20;

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The resident size in KiB, from /proc/self/status.
unsigned char *Bytes(BSTR s) { return reinterpret_cast<unsigned char *>(s); }

long ResidentKiB() {
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmRSS: %ld kB", &kib) == 1) break;
    std::fclose(status);
    return kib;
}

}  // namespace

TEST(StandinStringAllocator, AFreedLargeStringServesTheNextWithoutFreshPages) {
    const UINT count = 64 * kMiB;
    BSTR first = SysAllocStringByteLen(nullptr, count);
    ASSERT_NE(first, nullptr);
    std::memset(first, 'a', count);
    SysFreeString(first);

    BSTR second = SysAllocStringByteLen(nullptr, count);
    ASSERT_NE(second, nullptr);
    const long before = MinorFaults();
    std::memset(second, 'b', count);
    const long faults = MinorFaults() - before;
    EXPECT_EQ(SysStringByteLen(second), count);
    EXPECT_EQ(Bytes(second)[count], 0);
    EXPECT_EQ(Bytes(second)[count + 1], 0);
    SysFreeString(second);
    // Fresh memory takes a fault per page: about 32 here even in huge pages.
    EXPECT_LT(faults, 16) << "writing a string made from a freed one faulted " << faults << " times";
}

TEST(StandinStringAllocator, WhatIsKeptOfFreedStringsStaysWithinTheBound) {
    const UINT count = 100 * kMiB;
    const long keptBoundKiB = 256 * 1024;
    std::vector<BSTR> strings;
    for (int i = 0; i < 5; ++i) {
        strings.push_back(SysAllocStringByteLen(nullptr, count));
        ASSERT_NE(strings.back(), nullptr);
        std::memset(strings.back(), 'x', count);
    }
    const long live = ResidentKiB();
    for (BSTR s : strings) SysFreeString(s);
    const long after = ResidentKiB();
    ASSERT_GT(live, 0);
    const long returned = live - after, written = 5 * long{count} / 1024;
    EXPECT_GE(returned, written - keptBoundKiB)
        << "of " << written << " KiB of freed strings only " << returned << " KiB went back to the system";
}

TEST(StandinStringAllocator, ThreadsTakingAndFreeingLargeStringsGetBlocksOfTheirOwn) {
    const UINT count = 9 * kMiB;
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, count, &wrong] {
            for (int round = 0; round < 12; ++round) {
                BSTR s = SysAllocStringByteLen(nullptr, count);
                if (s == nullptr) {
                    ++wrong[t];
                    continue;
                }
                const auto mark = static_cast<unsigned char>('A' + t);
                std::memset(s, mark, count);
                std::this_thread::yield();
                for (UINT i = 0; i < count; i += 4096)
                    if (Bytes(s)[i] != mark) {
                        ++wrong[t];
                        break;
                    }
                if (Bytes(s)[count - 1] != mark || SysStringByteLen(s) != count) ++wrong[t];
                SysFreeString(s);
            }
        });
    for (auto &thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}
