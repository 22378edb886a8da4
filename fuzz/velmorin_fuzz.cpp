// Fuzz target: VELMORIN on any bytes, with and without exhausted memory, held
// to the plain model of its contract (bytes, length, the caller's string left
// alone, two allocations and one release), and each capitalising copy on its
// own at any alignment of source and destination.
#define VELMORIN_BUILDING
#include "include/velmorin.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/capitalising_copies.h"
#include "fuzz/fuzz_check.h"
#include "runtime/strings.h"
#include "tests/support/capitalising_model.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/error_probe.h"

namespace ca = counting_allocator;
using capitalising_model::CapitalisedWords;

namespace {

enum class Memory { Plenty, WorkingCopyFails, ResultFails, NullReference };

StringHandle MakeString(const std::string &bytes) {
    Allocation a = AllocString(static_cast<std::uint32_t>(bytes.size()));
    CopyBytes(a.data, reinterpret_cast<const unsigned char *>(bytes.data()), a.count);
    return a.handle;
}

std::string BytesOf(StringHandle handle) {
    StringBytes b = StringData(handle);
    return std::string(reinterpret_cast<const char *>(b.data), b.count);
}

void CheckVelmorin(const std::string &text, Memory memory) {
    ca::Reset();
    error_probe::Reset();
    EmptyData = 0;
    StringHandle argument = MakeString(text);
    StringHandle cell = argument;
    const std::uint32_t requestsBefore = ca::Requests();
    if (memory == Memory::WorkingCopyFails) ca::FailNth(1);
    if (memory == Memory::ResultFails) ca::FailNth(2);

    StringHandle result = VELMORIN(memory == Memory::NullReference ? nullptr : &cell);
    ca::FailNth(0);
    const std::uint32_t requests = ca::Requests() - requestsBefore;

    FUZZ_CHECK(cell == argument, "the caller's cell was written");
    FUZZ_CHECK(BytesOf(argument) == text, "the caller's bytes changed");
    if (text.empty() || memory == Memory::NullReference) {
        FUZZ_CHECK(result == nullptr, "an empty or null argument gives the empty string");
        FUZZ_CHECK(requests == 0, "%u allocations for an empty argument", requests);
        FUZZ_CHECK(error_probe::Calls() == 0, "an error for an empty argument");
    } else if (memory == Memory::Plenty) {
        FUZZ_CHECK(result != nullptr && result != argument, "the result is a new allocation");
        FUZZ_CHECK(BytesOf(result) == CapitalisedWords(text), "the result differs from the model");
        FUZZ_CHECK(result[text.size()] == 0, "no zero byte after the result");
        FUZZ_CHECK(requests == 2, "%u allocations, not the working copy and the result", requests);
        FUZZ_CHECK(ca::Releases() == 1, "%u releases, not the working copy alone", ca::Releases());
        FUZZ_CHECK(error_probe::Calls() == 0, "an error with memory to spare");
    } else {
        FUZZ_CHECK(result == nullptr, "exhausted memory gives the empty string");
        FUZZ_CHECK(error_probe::Calls() == 1 && error_probe::LastWord() == 0x8007u,
                   "error 7 once, not %u calls, last word %#x", error_probe::Calls(), error_probe::LastWord());
        FUZZ_CHECK(ca::Live() == 1, "%u live strings: the working copy must be gone", ca::Live());
    }
    FreeString(argument);
    FreeString(result);
    FUZZ_CHECK(ca::Live() == 0, "%u strings leaked", ca::Live());
    FUZZ_CHECK(ca::BadReleases() == 0, "a string released twice or never allocated");
    FUZZ_CHECK(EmptyData == 0, "EmptyData was written");
}

// The copy between guard bytes, the source followed by its zero byte as every
// string's data is.
void CheckCopy(const NamedCopy &named, const std::string &text, std::size_t toOffset, std::size_t fromOffset) {
    constexpr unsigned char kGuard = 0xA5;
    constexpr std::size_t kSlack = 64;
    const std::size_t n = text.size();
    // The second destination at the alignment the source has.
    const std::size_t alsoOffset = fromOffset;
    std::vector<unsigned char> from(fromOffset + n + kSlack, kGuard), to(toOffset + n + kSlack, kGuard),
        also(alsoOffset + n + kSlack, kGuard);
    std::copy(text.begin(), text.end(), from.begin() + static_cast<std::ptrdiff_t>(fromOffset));
    from[fromOffset + n] = 0;
    const std::vector<unsigned char> fromBefore = from;

    named.copy(to.data() + toOffset, also.data() + alsoOffset, from.data() + fromOffset, static_cast<std::uint32_t>(n));

    const std::string expected = CapitalisedWords(text);
    for (auto [bytes, offset] : {std::pair{&to, toOffset}, std::pair{&also, alsoOffset}}) {
        const std::string got(bytes->begin() + static_cast<std::ptrdiff_t>(offset),
                              bytes->begin() + static_cast<std::ptrdiff_t>(offset + n));
        FUZZ_CHECK(got == expected, "the %s copy differs from the model (to +%zu, from +%zu)", named.name, offset,
                   fromOffset);
        for (std::size_t i = 0; i < bytes->size(); ++i)
            FUZZ_CHECK(i - offset < n || (*bytes)[i] == kGuard, "the %s copy wrote outside its destination at %zd",
                       named.name, static_cast<std::ptrdiff_t>(i - offset));
    }
    FUZZ_CHECK(from == fromBefore, "the %s copy changed its source", named.name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const std::vector<NamedCopy> copies = CapitalisingCopies();
    FuzzedDataProvider in(data, size);
    // The choices come from the end of the input, the text from the rest.
    const auto memory = static_cast<Memory>(in.ConsumeIntegralInRange<int>(0, 3));
    const std::size_t toOffset = in.ConsumeIntegralInRange<std::size_t>(0, 63);
    const std::size_t fromOffset = in.ConsumeIntegralInRange<std::size_t>(0, 63);
    const std::string text = in.ConsumeRemainingBytesAsString();

    CheckVelmorin(text, memory);
    for (const NamedCopy &named : copies) CheckCopy(named, text, toOffset, fromOffset);
    return 0;
}
