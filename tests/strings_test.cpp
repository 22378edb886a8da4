// String handles, the temporary stack and the ownership moves, including
// every allocation that can fail.
#include <cstddef>
#include <cstring>
#include <vector>

#include "runtime/runtime_error.h"
#include "tests/support/row_label.h"
#include "tests/support/string_fixture.h"

namespace ca = counting_allocator;

namespace {

std::uint32_t PrefixCount(StringHandle h) {
    return h[-4] | h[-3] << 8 | h[-2] << 16 | static_cast<std::uint32_t>(h[-1]) << 24;
}

}  // namespace

TEST_F(StringTest, AllocatesCountedZeroTerminatedStrings) {
    // Large strings take another path through the platform's allocator.
    for (std::uint32_t count : {1u, 5u, 4096u, 9u << 20, (16u << 20) + 3}) {
        const std::string row = RowLabel(count);
        ca::Reset();
        Allocation a = AllocString(count);
        ASSERT_NE(a.handle, nullptr) << row;
        EXPECT_EQ(a.data, a.handle) << row;
        EXPECT_EQ(a.count, count) << row;
        EXPECT_EQ(a.error, 0) << row;
        EXPECT_EQ(PrefixCount(a.handle), count) << row;
        EXPECT_EQ(a.handle[count], 0) << "the data must be followed by a zero byte" << row;
        std::memset(a.data, 'x', count);  // every byte is writable
        EXPECT_EQ(a.handle[count], 0) << row;
        EXPECT_EQ(StringData(a.handle).count, count) << row;
        FreeString(a.handle);
        EXPECT_EQ(ca::Releases(), 1u) << row;
    }
}

TEST_F(StringTest, EmptyStringIsNullAndNeverTouchesTheAllocator) {
    Allocation a = AllocString(0);
    EXPECT_EQ(a.handle, nullptr);
    EXPECT_EQ(a.data, &EmptyData);
    EXPECT_EQ(a.error, 0);
    StringBytes none = StringData(static_cast<StringHandle>(nullptr));
    EXPECT_EQ(none.data, &EmptyData);
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(*none.data, 0);
    StringBytes borrowedNone = StringData(TempEntry{nullptr, true});
    EXPECT_EQ(borrowedNone.data, &EmptyData);
    EXPECT_EQ(borrowedNone.count, 0u);
    FreeString(static_cast<StringHandle>(nullptr));
    EXPECT_EQ(ca::Requests(), 0u);
    EXPECT_EQ(ca::Releases(), 0u);
}

TEST_F(StringTest, OversizedRequestsFailWithoutCallingTheAllocatorAndTheLargestIsAsked) {
    for (std::uint32_t count : {0x80000000u, 0x80000001u, 0xFFFFFFFFu}) {
        const std::string row = RowLabel(count);
        Allocation a = AllocString(count);
        EXPECT_EQ(a.handle, nullptr) << row;
        EXPECT_EQ(a.data, &EmptyData) << row;
        EXPECT_EQ(a.count, 0u) << row;
        EXPECT_EQ(a.error, kErrorOutOfMemory) << row;
    }
    EXPECT_EQ(ca::Requests(), 0u);
    EXPECT_EQ(error_probe::Calls(), 0u) << "AllocString raises nothing itself";
    // The largest count there is still goes to the allocator (made to fail
    // here, as 2 GiB may well be had).
    ca::FailAll(true);
    EXPECT_EQ(AllocString(0x7FFFFFFFu).error, kErrorOutOfMemory);
    EXPECT_EQ(ca::Requests(), 1u) << "a count of 0x7FFFFFFF is refused without asking";
}

TEST_F(StringTest, FailedAllocationGivesTheEmptyStringAndError7) {
    ca::FailAll(true);
    Allocation a = AllocString(3);
    EXPECT_EQ(a.handle, nullptr);
    EXPECT_EQ(a.data, &EmptyData);
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.error, kErrorOutOfMemory);
    EXPECT_EQ(ca::Requests(), 1u);
}

TEST_F(StringTest, BorrowedEntriesAreNeverReleased) {
    StringHandle variable = MakeString("abc");
    CallFrame frame{};
    PushBorrowed(frame, variable);
    PopAndFree(frame);
    FreeString(TempEntry{variable, true});
    EXPECT_EQ(ca::Releases(), 0u);
    EXPECT_EQ(BytesOf(variable), "abc");
    PushOwned(frame, variable);
    PopAndFree(frame);
    EXPECT_EQ(ca::Releases(), 1u);
    EXPECT_EQ(frame.temporaryDepth, 0u);
}

TEST_F(StringTest, TemporaryStackIsLastInFirstOut) {
    StringHandle s[5];
    CallFrame frame{};
    for (int i = 0; i < 5; ++i) {
        s[i] = MakeString(std::string(1, static_cast<char>('a' + i)));
        PushOwned(frame, s[i]);
    }
    EXPECT_EQ(frame.temporaryDepth, 5u);
    for (int i = 4; i >= 0; --i) {
        StringHandle cell = nullptr;
        PopInto(frame, cell);
        EXPECT_EQ(cell, s[i]);
        FreeString(cell);
    }
    EXPECT_EQ(frame.temporaryDepth, 0u);
}

// Past its bounds the stack ends the process rather than touch memory
// outside the frame.
TEST_F(StringTest, APushOntoAFullStackOrALookAtAnEmptyOneEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CallFrame frame{};
    EXPECT_DEATH(TopEntry(frame), "");
    for (int i = 0; i < kTemporaryCapacity; ++i) PushOwned(frame, nullptr);
    EXPECT_EQ(TopEntry(frame).handle, nullptr) << "a full stack still shows its top";
    EXPECT_DEATH(PushOwned(frame, nullptr), "");
    EXPECT_EQ(frame.temporaryDepth, static_cast<std::uint32_t>(kTemporaryCapacity));
}

TEST_F(StringTest, LiteralsAreCopiedWhole) {
    static constexpr auto kEmpty = MakeLiteral("");
    static constexpr auto kSentence = MakeLiteral("dit is een zin.");
    CallFrame frame{};

    PushLiteral(frame, kEmpty);
    EXPECT_EQ(TopEntry(frame).handle, nullptr);
    EXPECT_FALSE(TopEntry(frame).borrowed);
    PopAndFree(frame);
    EXPECT_EQ(ca::Requests(), 0u);

    PushLiteral(frame, kSentence);
    StringHandle cell = nullptr;
    PopInto(frame, cell);
    EXPECT_EQ(BytesOf(cell), "dit is een zin.");
    FreeString(cell);

    // The longest literal a 16-bit count allows, with a byte after it that
    // must not be read.
    std::vector<unsigned char> record(2 + 65535 + 1, 'x');
    record[0] = 0xFF;
    record[1] = 0xFF;
    record[2] = 'a';
    record[2 + 65534] = 'z';
    record.back() = '!';
    PushLiteral(frame, record.data());
    PopInto(frame, cell);
    StringBytes b = StringData(cell);
    ASSERT_EQ(b.count, 65535u);
    EXPECT_EQ(b.data[0], 'a');
    EXPECT_EQ(b.data[65534], 'z');
    EXPECT_EQ(b.data[65535], 0);
    FreeString(cell);
    EXPECT_EQ(frame.errorWord, 0u);
}

TEST_F(StringTest, AssignmentOfABorrowedStringOfTheSameLengthReusesTheBuffer) {
    StringHandle source = MakeString("12345");
    StringHandle variable = MakeString("abcde");
    StringHandle before = variable;
    CallFrame frame{};
    ca::FailAll(true);  // the in-place branch never allocates, so it cannot fail
    PushBorrowed(frame, source);
    AssignString(frame, variable);
    ca::FailAll(false);
    EXPECT_EQ(variable, before);
    EXPECT_EQ(BytesOf(variable), "12345");
    EXPECT_EQ(ca::Releases(), 0u);
    EXPECT_EQ(frame.errorWord, 0u);
    FreeString(source);
    FreeString(variable);
}

TEST_F(StringTest, AssignmentOfABorrowedStringOfAnotherLengthCopiesAndReleasesTheOld) {
    StringHandle source = MakeString("longer text");
    StringHandle variable = MakeString("short");
    CallFrame frame{};
    PushBorrowed(frame, source);
    AssignString(frame, variable);
    EXPECT_NE(variable, source);
    EXPECT_EQ(BytesOf(variable), "longer text");
    EXPECT_EQ(ca::Releases(), 1u);
    FreeString(source);
    EXPECT_EQ(BytesOf(variable), "longer text") << "the copy outlives its source";
    FreeString(variable);
}

TEST_F(StringTest, AssignmentOfAnOwnedStringMovesIt) {
    StringHandle owned = MakeString("moved");
    StringHandle variable = MakeString("old!!");
    CallFrame frame{};
    PushOwned(frame, owned);
    AssignString(frame, variable);
    EXPECT_EQ(variable, owned);
    EXPECT_EQ(ca::Allocations(), 2u);
    EXPECT_EQ(ca::Releases(), 1u);
    FreeString(variable);
}

TEST_F(StringTest, AssignmentOfTheEmptyStringReleasesTheVariable) {
    for (bool borrowed : {false, true}) {
        const std::string row = RowLabel(borrowed ? "borrowed" : "owned");
        StringHandle variable = MakeString("gone");
        CallFrame frame{};
        if (borrowed)
            PushBorrowed(frame, nullptr);
        else
            PushOwned(frame, nullptr);
        AssignString(frame, variable);
        EXPECT_EQ(variable, nullptr) << row;
        EXPECT_EQ(frame.errorWord, 0u) << row;
    }
    EXPECT_EQ(ca::Releases(), 2u);
}

TEST_F(StringTest, SelfAssignmentLeavesTheVariableAlone) {
    StringHandle variable = MakeString("same");
    StringHandle before = variable;
    CallFrame frame{};
    PushBorrowed(frame, variable);
    AssignString(frame, variable);
    EXPECT_EQ(variable, before);
    EXPECT_EQ(BytesOf(variable), "same");
    EXPECT_EQ(ca::Releases(), 0u);
    FreeString(variable);
}

TEST_F(StringTest, PopIntoOfABorrowedStringStoresADistinctCopy) {
    StringHandle source = MakeString("kopie");
    CallFrame frame{};
    PushBorrowed(frame, source);
    StringHandle cell = reinterpret_cast<StringHandle>(0x1234);  // never looked at
    PopInto(frame, cell);
    ASSERT_NE(cell, source);
    FreeString(cell);
    EXPECT_EQ(BytesOf(source), "kopie");
    PushBorrowed(frame, nullptr);
    PopInto(frame, cell);
    EXPECT_EQ(cell, nullptr);
    FreeString(source);
    EXPECT_EQ(frame.errorWord, 0u);
}

TEST_F(StringTest, EveryFailingOperationLeavesTheEmptyStringAndError7) {
    StringHandle source = MakeString("bron");
    ca::FailAll(true);

    CallFrame frame{};
    static constexpr auto kLiteral = MakeLiteral("literal");
    PushLiteral(frame, kLiteral);
    EXPECT_EQ(frame.temporaryDepth, 1u) << "the null handle is pushed on failure";
    EXPECT_EQ(TopEntry(frame).handle, nullptr);
    EXPECT_EQ(frame.errorWord, 0x8007u);
    PopAndFree(frame);

    CallFrame copyFrame{};
    StringHandle cell = source;
    PushBorrowed(copyFrame, source);
    PopInto(copyFrame, cell);
    EXPECT_EQ(cell, nullptr);
    EXPECT_EQ(copyFrame.errorWord, 0x8007u);

    CallFrame assignFrame{};
    StringHandle variable = nullptr;
    ca::FailAll(false);
    variable = MakeString("a different length");
    ca::FailAll(true);
    PushBorrowed(assignFrame, source);
    AssignString(assignFrame, variable);
    EXPECT_EQ(variable, nullptr);
    EXPECT_EQ(assignFrame.errorWord, 0x8007u);
    EXPECT_EQ(ca::Releases(), 1u) << "the variable's previous string is still released";

    EXPECT_EQ(error_probe::Calls(), 3u);
    EXPECT_EQ(error_probe::LastWord(), 0x8007u);
    ca::FailAll(false);
    FreeString(source);
}

TEST_F(StringTest, ARepeatedErrorKeepsOnlyTheLatestWord) {
    CallFrame frame{};
    frame.errorWord = 0xFFFF0000u;
    RaiseRuntimeError(frame, 7);
    EXPECT_EQ(frame.errorWord, 0x8007u) << "the upper 16 bits become 0";
    RaiseRuntimeError(frame, 7);
    EXPECT_EQ(frame.errorWord, 0x8007u);
    RaiseRuntimeError(frame, 255);
    EXPECT_EQ(frame.errorWord, 0x80FFu);
    EXPECT_EQ(error_probe::Calls(), 3u);
}

namespace {

struct TwoLocalsFrame {
    CallFrame frame;
    StringHandle first;
    const StringHandle *parameter;
    StringHandle second;
};

constexpr StringSlot kTwoLocalsSlots[] = {
    {offsetof(TwoLocalsFrame, first), SlotKind::OwnedLocal},
    {offsetof(TwoLocalsFrame, parameter), SlotKind::ByReference},
    {offsetof(TwoLocalsFrame, second), SlotKind::OwnedLocal},
};

}  // namespace

TEST_F(StringTest, ReleaseLocalsReleasesOwnedLocalsAndLeavesParametersAlone) {
    StringHandle callers = MakeString("caller's");
    TwoLocalsFrame f{};
    f.first = MakeString("one");
    f.parameter = &callers;
    f.second = MakeString("two");
    ReleaseLocals(f.frame, StringSlotTable{kTwoLocalsSlots, 3});
    EXPECT_EQ(ca::Releases(), 2u);
    EXPECT_EQ(BytesOf(callers), "caller's");
    FreeString(callers);

    TwoLocalsFrame empty{};  // empty locals release nothing
    ReleaseLocals(empty.frame, StringSlotTable{kTwoLocalsSlots, 3});
    EXPECT_EQ(ca::Releases(), 3u);
}
