// VELMORIN: the capitalising rules, the ownership of argument and result, and
// the empty result when any of its allocations fails.
#define VELMORIN_BUILDING
#include "include/velmorin.h"

#include "tests/support/capitalising_copy_check.h"
#include "tests/support/row_label.h"
#include "tests/support/string_fixture.h"

namespace ca = counting_allocator;

namespace {

constexpr std::uint32_t kOutOfMemoryWord = 0x8007;

struct Case {
    const char *name;
    std::string in, out;
};

const Case kCases[] = {
    {"the sentence", "dit is een zin.", "Dit Is Een Zin."},
    {"leading and doubled spaces", "  twee  spaties", "  Twee  Spaties"},
    {"tab does not start a word", "een\ttab", "Een\ttab"},
    {"hyphen and apostrophe do not", "jean-luc o'neil", "Jean-luc O'neil"},
    {"upper case and digits stay", "ABC def", "ABC Def"},
    {"a digit ends the word start", "123abc", "123abc"},
    {"high bytes are kept and end the start", "\xE9" "a b", "\xE9" "a B"},
    {"0xA0 is no space", "a\xA0" "b", "A\xA0" "b"},
    {"line ends are no spaces", "a\nb\rc", "A\nb\rc"},
    {"only a-z change", "` { @ [ a z", "` { @ [ A Z"},
    {"walk stops at a zero byte", std::string("a\0b c", 5), std::string("A\0b c", 5)},
    {"a single letter", "q", "Q"},
    {"only spaces", "   ", "   "},
};

// VELMORIN's own tests, on the string fixture: no string leaked or released
// twice.
class Velmorin : public StringTest {};

}  // namespace

TEST_F(Velmorin, CapitalisesTheFirstLetterOfEveryWord) {
    for (const Case &c : kCases) {
        const std::string row = RowLabel(c.name);
        StringHandle argument = MakeString(c.in);
        StringHandle result = VELMORIN(&argument);
        EXPECT_EQ(BytesOf(result), c.out) << row;
        EXPECT_EQ(BytesOf(argument), c.in) << "the caller's bytes must not change" << row;
        FreeString(argument);
        FreeString(result);
    }
}

TEST_F(Velmorin, ReturnsADistinctStringTheCallerOwns) {
    for (bool argumentFirst : {true, false}) {
        const std::string row = RowLabel(argumentFirst ? "argument released first" : "result released first");
        ca::Reset();
        StringHandle argument = MakeString("dit is een zin.");
        StringHandle cell = argument;
        StringHandle result = VELMORIN(&cell);
        EXPECT_EQ(cell, argument) << "the argument cell is never written" << row;
        ASSERT_NE(result, argument) << row;
        EXPECT_EQ(StringData(result).count, 15u) << row;
        EXPECT_EQ(result[15], 0) << row;
        // The working copy and the result were allocated; the working copy released.
        EXPECT_EQ(ca::Allocations(), 3u) << row;
        EXPECT_EQ(ca::Releases(), 1u) << row;
        FreeString(argumentFirst ? argument : result);
        FreeString(argumentFirst ? result : argument);
        EXPECT_EQ(ca::Live(), 0u) << row;
    }
}

TEST_F(Velmorin, GivesTheModelsBytesOnLongTextsWithTwoAllocations) {
    std::mt19937 random(7);
    for (std::uint32_t length : {16u, 63u, 64u, 65u, 1000u, 4096u + 7}) {
        for (int trial = 0; trial < 4; ++trial) {
            const std::string row = RowLabel("length ", length, ", trial ", trial);
            std::string text = copy_check::RandomText(random, length);
            ca::Reset();
            StringHandle argument = MakeString(text);
            StringHandle result = VELMORIN(&argument);
            EXPECT_EQ(BytesOf(result), capitalising_model::CapitalisedWords(text)) << row;
            EXPECT_EQ(BytesOf(argument), text) << row;
            EXPECT_EQ(ca::Allocations(), 3u) << "the argument, the working copy and the result" << row;
            EXPECT_EQ(ca::Releases(), 1u) << "the working copy" << row;
            FreeString(argument);
            FreeString(result);
        }
    }
}

TEST_F(Velmorin, OfTheEmptyStringAllocatesNothing) {
    StringHandle empty = nullptr;
    EXPECT_EQ(VELMORIN(&empty), nullptr);
    EXPECT_EQ(VELMORIN(nullptr), nullptr) << "a null reference reads as the empty string";
    EXPECT_EQ(ca::Requests(), 0u);
    EXPECT_EQ(error_probe::Calls(), 0u);
}

TEST_F(Velmorin, FailingAtEachOfItsAllocationsGivesTheEmptyStringAndError7) {
    for (const std::string text : {std::string("dit is een zin."), std::string("q"), std::string(4096 + 3, 'a')}) {
        const std::string row = RowLabel(text.size(), " bytes");
        StringHandle argument = MakeString(text);
        std::uint32_t before = ca::Requests();
        FreeString(VELMORIN(&argument));
        std::uint32_t requests = ca::Requests() - before;
        EXPECT_EQ(requests, 2u) << "the working copy and the result" << row;
        for (std::uint32_t k = 1; k <= requests + 1; ++k) {
            const std::string at = row + " [request " + std::to_string(k) + "]";
            error_probe::Reset();
            std::uint32_t live = ca::Live();
            ca::FailNth(k);
            StringHandle result = VELMORIN(&argument);
            ca::FailNth(0);
            if (k <= requests) {
                EXPECT_EQ(result, nullptr) << at;
                EXPECT_EQ(error_probe::Calls(), 1u) << at;
                EXPECT_EQ(error_probe::LastWord(), kOutOfMemoryWord) << at;
                EXPECT_EQ(ca::Live(), live) << "a failed call keeps nothing" << at;
            } else {
                EXPECT_NE(result, nullptr) << "past the last request nothing fails" << at;
                EXPECT_EQ(error_probe::Calls(), 0u) << at;
            }
            EXPECT_EQ(BytesOf(argument), text) << at;
            FreeString(result);
            EXPECT_EQ(ca::BadReleases(), 0u) << at;
        }
        FreeString(argument);
    }
}
