// A test fixture for code that handles strings: every test starts with a fresh
// counting allocator and ends with nothing leaked and nothing released twice.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/strings.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/error_probe.h"

class StringTest : public ::testing::Test {
protected:
    void SetUp() override {
        counting_allocator::Reset();
        error_probe::Reset();
        EmptyData = 0;
    }
    void TearDown() override {
        EXPECT_EQ(counting_allocator::Live(), 0u) << "strings leaked";
        EXPECT_EQ(counting_allocator::BadReleases(), 0u) << "a handle was released twice or never allocated";
        EXPECT_EQ(EmptyData, 0) << "EmptyData was written";
        counting_allocator::Reset();
    }
};

// A new handle holding the bytes; the caller owns it.
inline StringHandle MakeString(const std::string &bytes) {
    Allocation a = AllocString(static_cast<std::uint32_t>(bytes.size()));
    CopyBytes(a.data, reinterpret_cast<const unsigned char *>(bytes.data()), a.count);
    return a.handle;
}

inline std::string BytesOf(StringHandle handle) {
    StringBytes b = StringData(handle);
    return std::string(reinterpret_cast<const char *>(b.data), b.count);
}
