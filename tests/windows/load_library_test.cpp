// The built VELMORIN.DLL loaded the way its users load it: by file name, then
// the export found by name and by ordinal 1; and its copies, which are the
// library's own rather than a C run-time's, checked against the model.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "include/velmorin.h"
#include "platform/windows.h"
#include "tests/support/capitalising_copy_check.h"

namespace {

using VelmorinFunction = VelmorinString(VELMORIN_CALL *)(const VelmorinString *);

std::string BuiltLibraryPath() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/")) + "\\..\\out\\VELMORIN.DLL";
}

std::string Call(VelmorinFunction function, const std::string &text) {
    BSTR argument = SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size()));
    auto handle = reinterpret_cast<VelmorinString>(argument);
    VelmorinString result = function(&handle);
    std::string bytes(reinterpret_cast<const char *>(result), SysStringByteLen(reinterpret_cast<BSTR>(result)));
    SysFreeString(argument);
    SysFreeString(reinterpret_cast<BSTR>(result));
    return bytes;
}

}  // namespace

TEST(BuiltLibrary, ExportsVelmorinByNameAndByOrdinalOne) {
    HMODULE library = LoadLibraryA(BuiltLibraryPath().c_str());
    ASSERT_NE(library, nullptr) << BuiltLibraryPath() << " error " << GetLastError();
    auto byName = reinterpret_cast<VelmorinFunction>(GetProcAddress(library, "VELMORIN"));
    auto byOrdinal = reinterpret_cast<VelmorinFunction>(GetProcAddress(library, MAKEINTRESOURCEA(1)));
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byOrdinal, byName);
    EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(2)), nullptr);
    EXPECT_EQ(GetProcAddress(library, "VELMORIN@4"), nullptr) << "the export is undecorated";
    EXPECT_EQ(Call(byName, "dit is een zin."), "Dit Is Een Zin.");
    EXPECT_EQ(Call(byOrdinal, "  a\tb c"), "  A\tb C");
    // The result comes from the same process-wide allocator as the argument.
    EXPECT_EQ(Call(byName, std::string("a\0b c", 5)), std::string("A\0b c", 5));
    EXPECT_TRUE(FreeLibrary(library));
}

TEST(BuiltLibrary, GivesTheModelsBytesAtEveryLength) {
    HMODULE library = LoadLibraryA(BuiltLibraryPath().c_str());
    ASSERT_NE(library, nullptr) << BuiltLibraryPath() << " error " << GetLastError();
    auto velmorin = reinterpret_cast<VelmorinFunction>(GetProcAddress(library, "VELMORIN"));
    ASSERT_NE(velmorin, nullptr);
    std::mt19937 random(6);
    std::vector<std::uint32_t> lengths;
    for (std::uint32_t length = 0; length <= copy_check::kLongest; ++length) lengths.push_back(length);
    lengths.insert(lengths.end(), {4096 + 5, 100003});
    for (std::uint32_t length : lengths) {
        std::string text = copy_check::RandomText(random, length);
        std::string got = Call(velmorin, text);
        EXPECT_EQ(got, capitalising_model::CapitalisedWords(text)) << "length " << length;
        if (got != capitalising_model::CapitalisedWords(text)) break;
    }
    EXPECT_TRUE(FreeLibrary(library));
}
