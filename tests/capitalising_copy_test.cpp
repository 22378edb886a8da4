// Every capitalising copy of this build, and the byte-at-a-time form, against
// the model.
#include "library/capitalising_copy.h"

#include "tests/support/capitalising_copy_check.h"

namespace check = copy_check;

namespace {

void CopyBytesAfterASpace(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count) {
    CopyCapitalisedBytes(to, also, from, count, 0x20);
}

// The first destination's bytes; the second must hold the same.
std::string Copied(const std::string &text) {
    std::string out(text.size(), '\0'), also(text.size(), '\0');
    CopyCapitalised(reinterpret_cast<unsigned char *>(&out[0]), reinterpret_cast<unsigned char *>(&also[0]),
                    reinterpret_cast<const unsigned char *>(text.data()), static_cast<std::uint32_t>(text.size()));
    EXPECT_EQ(also, out);
    return out;
}

}  // namespace

TEST(CapitalisingCopy, EveryCopyThisProcessorRunsGivesTheModelsBytesAtEveryLengthAndAlignment) {
    std::uint32_t seed = 1;
    for (const NamedCopy &copy : CapitalisingCopies()) {
        check::ExpectSameAsTheModel(copy, seed++);
        ASSERT_FALSE(HasFailure()) << "the failures above are the " << copy.name << " copy's";
    }
}

TEST(CapitalisingCopy, ByteAtATimeFormGivesTheModelsBytes) {
    check::ExpectSameAsTheModel({"byte at a time", &CopyBytesAfterASpace}, 2);
}

TEST(CapitalisingCopy, ByteAtATimeFormContinuesFromThePreviousByte) {
    struct Case {
        unsigned char previous;
        const char *in, *out;
    } cases[] = {
        {' ', "abc d", "Abc D"},
        {'x', "abc d", "abc D"},
        {0x00, "abc d", "abc D"},  // a zero before is no space
        {0xA0, "abc", "abc"},
        {' ', " a", " A"},
    };
    for (const Case &c : cases) {
        const std::string row = " [" + (testing::Message() << (c.in)).GetString() + "]";
        std::string out(std::string(c.in).size(), '\0'), also = out;
        CopyCapitalisedBytes(reinterpret_cast<unsigned char *>(&out[0]), reinterpret_cast<unsigned char *>(&also[0]),
                             reinterpret_cast<const unsigned char *>(c.in), static_cast<std::uint32_t>(out.size()),
                             c.previous);
        EXPECT_EQ(out, c.out) << row;
        EXPECT_EQ(also, c.out) << row;
    }
}

TEST(CapitalisingCopy, LongTextsMatchTheModelWhereverTheirZeroByteLies) {
    std::mt19937 random(3);
    for (std::uint32_t length : {1000u, 4096u + 13, 65536u + 3}) {
        std::string text = check::RandomText(random, length);
        for (char &c : text)
            if (c == 0) c = 'q';
        for (std::uint32_t zeroAt : {length, length - 1, length / 2 + 1, 64u, 17u}) {
            const std::string row = " [" + (testing::Message() << "length " << length << ", zero at " << zeroAt).GetString() + "]";
            std::string withZero = text;
            if (zeroAt < length) withZero[zeroAt] = '\0';
            EXPECT_EQ(Copied(withZero), capitalising_model::CapitalisedWords(withZero)) << row;
        }
    }
}

TEST(CapitalisingCopy, WordsStartAcrossEveryBlockEdge) {
    // A space as the last byte of a block and a letter as the first of the
    // next, at every position: the byte before comes from the block before.
    for (std::uint32_t space = 0; space < 200; ++space) {
        const std::string row = " [" + (testing::Message() << (space)).GetString() + "]";
        std::string text(210, 'b');
        text[space] = ' ';
        std::string expected = text;
        expected[space + 1] = 'B';
        if (space != 0) expected[0] = 'B';
        EXPECT_EQ(Copied(text), expected) << row;
    }
}
