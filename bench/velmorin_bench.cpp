// VELMORIN against its floor and its byte-at-a-time peer on the same text, at
// four sizes. Figures only: nothing here can fail a build or a test run.
//
//   velmorin_bench [Google Benchmark flags]     runs the suite (scripts/bench.sh)
//   velmorin_bench --write_text=DIR             writes the sample texts, for the Python peer
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/peers.h"
#include "bench/sample_text.h"
#include "include/velmorin.h"
#include "platform/windows.h"

namespace {

constexpr std::int64_t kSizes[] = {15, 4 << 10, 1 << 20, 64 << 20};

using Contestant = VelmorinString (*)(const VelmorinString *);

// The caller's argument: a string handle holding the sample text.
struct Argument {
    explicit Argument(const std::string &text)
        : handle(reinterpret_cast<VelmorinString>(
              SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size())))) {}
    ~Argument() { SysFreeString(reinterpret_cast<BSTR>(handle)); }
    Argument(const Argument &) = delete;
    Argument &operator=(const Argument &) = delete;
    VelmorinString handle;
};

struct Usage {
    long faults;
    double kernelSeconds;
};

Usage UsageNow() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Usage{usage.ru_minflt + usage.ru_majflt,
                 static_cast<double>(usage.ru_stime.tv_sec) + 1e-6 * static_cast<double>(usage.ru_stime.tv_usec)};
}

// One call as a caller makes it: the call, then the release of the result
// that the caller owns. Every contestant pays that release alike. The page
// faults and the time in the kernel per call go with the figures: fresh
// memory shows in them first.
void Measure(benchmark::State &state, Contestant contestant) {
    const auto size = static_cast<std::size_t>(state.range(0));
    Argument argument(SampleText(size));
    // One call before the measured ones: a process's first large call pays
    // for fresh memory once, and what is measured is every call after it.
    SysFreeString(reinterpret_cast<BSTR>(contestant(&argument.handle)));
    const Usage before = UsageNow();
    for (auto _ : state) {
        VelmorinString result = contestant(&argument.handle);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
        SysFreeString(reinterpret_cast<BSTR>(result));
    }
    const Usage after = UsageNow();
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
    state.counters["faults"] =
        benchmark::Counter(static_cast<double>(after.faults - before.faults), benchmark::Counter::kAvgIterations);
    state.counters["kernel_s"] =
        benchmark::Counter(after.kernelSeconds - before.kernelSeconds, benchmark::Counter::kAvgIterations);
}

void Sizes(benchmark::internal::Benchmark *b) {
    for (std::int64_t size : kSizes) b->Arg(size);
    b->ArgName("bytes")->Unit(benchmark::kMicrosecond);
}

// Defaults that make the ratios steady on a shared machine: repetitions in a
// random order, so that a burst of load elsewhere falls on every contestant
// alike, and medians. Flags given on the command line come later and win.
const char *const kDefaultFlags[] = {
    "--benchmark_repetitions=9",
    "--benchmark_enable_random_interleaving=true",
    "--benchmark_min_time=0.3",
    "--benchmark_report_aggregates_only=true",
};

BENCHMARK_CAPTURE(Measure, velmorin, &VELMORIN)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, floor, &FloorOfVelmorin)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, floor_same_width, &FloorOfSameWidth)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, byte_at_a_time, &CapitaliseByteAtATime)->Apply(Sizes);
BENCHMARK_CAPTURE(Measure, allocations, &AllocationsOnly)->Arg(kSizes[2])->Arg(kSizes[3])->ArgName("bytes")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Measure, streaming_copy, &StreamingCopy)->Arg(kSizes[3])->ArgName("bytes")->Unit(benchmark::kMicrosecond);

std::string Bytes(VelmorinString s) {
    if (s == nullptr) return std::string();
    std::uint32_t count;
    std::memcpy(&count, s - 4, sizeof count);
    return std::string(reinterpret_cast<const char *>(s), count);
}

// Figures of a contestant that gives other bytes mean nothing: say so loudly,
// but carry on, as benchmarks never fail.
void CheckContestantsAgree() {
    Argument argument(SampleText(kSizes[2]));
    VelmorinString ours = VELMORIN(&argument.handle);
    VelmorinString peer = CapitaliseByteAtATime(&argument.handle);
    if (Bytes(ours) != Bytes(peer))
        std::fprintf(stderr, "WARNING: VELMORIN and the byte-at-a-time peer disagree on the sample text\n");
    SysFreeString(reinterpret_cast<BSTR>(ours));
    SysFreeString(reinterpret_cast<BSTR>(peer));
}

// Which copy the library picks here: the widest the processor has, by the
// compiler's own check, capped as VELMORIN_WIDEST_COPY caps the library's.
const char *CapitalisingCopyInUse() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    int width = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") ? 2
                : __builtin_cpu_supports("avx2")                                      ? 1
                                                                                      : 0;
    const char *cap = std::getenv("VELMORIN_WIDEST_COPY");
    if (cap != nullptr && std::strcmp(cap, "sse2") == 0 && width > 0) width = 0;
    if (cap != nullptr && std::strcmp(cap, "avx2") == 0 && width > 1) width = 1;
    const char *const names[] = {"SSE2, 16 bytes at a time", "AVX2, 32 bytes at a time",
                                 "AVX-512 BW, 64 bytes at a time"};
    return names[width];
#else
    return "a byte at a time";
#endif
}

int WriteTexts(const std::string &folder) {
    for (std::int64_t size : kSizes) {
        std::string path = folder + "/text-" + std::to_string(size) + ".bin";
        std::string text = SampleText(static_cast<std::size_t>(size));
        std::FILE *file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            if (file != nullptr) std::fclose(file);
            return 1;
        }
        std::fclose(file);
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const char kWriteText[] = "--write_text=";
    if (argc == 2 && std::strncmp(argv[1], kWriteText, sizeof kWriteText - 1) == 0)
        return WriteTexts(argv[1] + sizeof kWriteText - 1);
    std::vector<char *> args{argv[0]};
    for (const char *flag : kDefaultFlags) args.push_back(const_cast<char *>(flag));
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchmark::AddCustomContext("capitalising_copy", CapitalisingCopyInUse());
    // Google Benchmark reports how its own library was built; this is how
    // the code under test was.
#ifdef NDEBUG
    benchmark::AddCustomContext("velmorin_build_type", "release");
#else
    benchmark::AddCustomContext("velmorin_build_type", "debug");
#endif
    CheckContestantsAgree();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
