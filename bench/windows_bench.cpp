// VELMORIN from a built VELMORIN.DLL against its floor and the byte-at-a-time
// peer on oleaut32's string allocator, in one Windows process. Built with
// MinGW by scripts/bench.sh and run under Wine; figures only.
//
//   velmorin_bench_windows DLL OUT.json [REPETITIONS MIN_SECONDS]
//
// Writes the figures in the shape of Google Benchmark's JSON (medians and
// coefficients of variation per contestant and size), so that one report
// reads the native and the Windows runs alike. The CPU time is the thread's,
// which Wine counts in 10 ms ticks: each repetition runs for many ticks.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/peers.h"
#include "bench/sample_text.h"

namespace {

constexpr std::int64_t kSizes[] = {15, 4 << 10, 1 << 20, 64 << 20};

// The peers share the library's calling convention only on x86-64; each is
// called through a plain function of the bench's own.
VelmorinString(VELMORIN_CALL *velmorinEntry)(const VelmorinString *);
VelmorinString CallVelmorin(const VelmorinString *text) { return velmorinEntry(text); }

struct Named {
    const char *name;
    VelmorinString (*call)(const VelmorinString *);
    // The index of the smallest size it runs at: the plain copy measures
    // memory throughput, at the largest size alone; the allocations alone
    // matter where the allocator's fresh pages do, from 1 MiB.
    std::size_t fromSize = 0;
};
const Named kContestants[] = {
    {"velmorin", &CallVelmorin},
    {"floor", &FloorOfVelmorin},
    {"byte_at_a_time", &CapitaliseByteAtATime},
    {"floor_same_width", &FloorOfSameWidth},
    {"streaming_copy", &StreamingCopy, 3},
    {"allocations", &AllocationsOnly, 2},
};
constexpr std::size_t kContestantCount = sizeof kContestants / sizeof *kContestants;
constexpr std::size_t kSizeCount = sizeof kSizes / sizeof *kSizes;

// Seconds of wall clock.
double Now() {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct CpuTime {
    double total, kernel;  // seconds
};

// This thread's CPU time, user and system, and the system's part alone.
CpuTime CpuNow() {
    FILETIME created, exited, system, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &system, &user);
    auto ticks = [](FILETIME t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return CpuTime{static_cast<double>(ticks(system) + ticks(user)) * 1e-7, static_cast<double>(ticks(system)) * 1e-7};
}

struct Timing {
    double cpu, real, kernel;  // nanoseconds per call
};

// One repetition: calls in batches that double until the repetition has
// used min_seconds of CPU time.
Timing TimeOneRepetition(const Named &contestant, VelmorinString argument, double minSeconds) {
    std::uint64_t calls = 0;
    std::uint64_t batch = 1;
    double start = Now(), cpu = 0;
    const CpuTime cpuStart = CpuNow();
    while (cpu < minSeconds) {
        for (std::uint64_t i = 0; i < batch; ++i) {
            VelmorinString result = contestant.call(&argument);
            __asm__ volatile("" : : "r"(result) : "memory");
            SysFreeString(reinterpret_cast<BSTR>(result));
        }
        calls += batch;
        cpu = CpuNow().total - cpuStart.total;
        if (batch < (1u << 20)) batch *= 2;
    }
    const double n = static_cast<double>(calls);
    return Timing{cpu * 1e9 / n, (Now() - start) * 1e9 / n, (CpuNow().kernel - cpuStart.kernel) * 1e9 / n};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double CoefficientOfVariation(const std::vector<double> &values) {
    double mean = 0;
    for (double v : values) mean += v;
    mean /= static_cast<double>(values.size());
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    return values.size() < 2 ? 0 : std::sqrt(squares / static_cast<double>(values.size() - 1)) / mean;
}

std::string Bytes(VelmorinString s) {
    if (s == nullptr) return std::string();
    std::uint32_t count;
    std::memcpy(&count, s - 4, sizeof count);
    return std::string(reinterpret_cast<const char *>(s), count);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: velmorin_bench_windows DLL OUT.json [REPETITIONS MIN_SECONDS]\n");
        return 2;
    }
    const int repetitions = argc == 5 ? std::atoi(argv[3]) : 9;
    const double minSeconds = argc == 5 ? std::atof(argv[4]) : 0.3;
    HMODULE library = LoadLibraryA(argv[1]);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    velmorinEntry = reinterpret_cast<decltype(velmorinEntry)>(
        reinterpret_cast<void *>(GetProcAddress(library, "VELMORIN")));
    if (velmorinEntry == nullptr) {
        std::fprintf(stderr, "%s has no VELMORIN\n", argv[1]);
        return 1;
    }

    std::vector<VelmorinString> arguments;
    for (std::int64_t size : kSizes) {
        std::string text = SampleText(static_cast<std::size_t>(size));
        arguments.push_back(reinterpret_cast<VelmorinString>(
            SysAllocStringByteLen(text.data(), static_cast<UINT>(text.size()))));
    }
    // Figures of a library that gives other bytes mean nothing: say so.
    VelmorinString ours = CallVelmorin(&arguments[2]);
    VelmorinString peer = CapitaliseByteAtATime(&arguments[2]);
    if (Bytes(ours) != Bytes(peer))
        std::fprintf(stderr, "WARNING: VELMORIN and the byte-at-a-time peer disagree on the sample text\n");
    SysFreeString(reinterpret_cast<BSTR>(ours));
    SysFreeString(reinterpret_cast<BSTR>(peer));

    // Every repetition of every contestant and size in a random order, so
    // that a burst of load elsewhere falls on all of them alike.
    struct Run {
        std::size_t contestant, size;
    };
    std::vector<Run> runs;
    for (int r = 0; r < repetitions; ++r)
        for (std::size_t c = 0; c < kContestantCount; ++c)
            for (std::size_t s = kContestants[c].fromSize; s < kSizeCount; ++s) runs.push_back(Run{c, s});
    std::shuffle(runs.begin(), runs.end(), std::mt19937(20240611));
    std::vector<double> cpuTimes[kContestantCount][kSizeCount], realTimes[kContestantCount][kSizeCount],
        kernelTimes[kContestantCount][kSizeCount];
    for (const Run &run : runs) {
        // The largest size is slow for the byte-at-a-time peer: fewer repetitions of it.
        if (run.contestant == 2 && run.size == 3 && cpuTimes[2][3].size() >= 3) continue;
        Timing t = TimeOneRepetition(kContestants[run.contestant], arguments[run.size], minSeconds);
        cpuTimes[run.contestant][run.size].push_back(t.cpu);
        realTimes[run.contestant][run.size].push_back(t.real);
        kernelTimes[run.contestant][run.size].push_back(t.kernel);
    }

    std::FILE *out = std::fopen(argv[2], "w");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    std::fprintf(out, "{\n  \"context\": {\"timer\": \"thread CPU time\", \"pointer_bits\": %u},\n  \"benchmarks\": [\n",
                 static_cast<unsigned>(8 * sizeof(void *)));
    bool first = true;
    for (std::size_t c = 0; c < kContestantCount; ++c)
        for (std::size_t s = 0; s < kSizeCount; ++s) {
            const std::vector<double> &t = cpuTimes[c][s];
            if (t.empty()) continue;
            double real = Median(realTimes[c][s]), realCv = CoefficientOfVariation(realTimes[c][s]);
            const char *name = kContestants[c].name;
            long long bytes = static_cast<long long>(kSizes[s]);
            double median = Median(t), cv = CoefficientOfVariation(t);
            std::fprintf(out,
                         "%s    {\"name\": \"Measure/%s/bytes:%lld_median\", \"run_type\": \"aggregate\", "
                         "\"aggregate_name\": \"median\", \"repetitions\": %u, \"cpu_time\": %.3f, "
                         "\"real_time\": %.3f, \"time_unit\": \"ns\", \"kernel_s\": %.6g},\n"
                         "    {\"name\": \"Measure/%s/bytes:%lld_cv\", \"run_type\": \"aggregate\", "
                         "\"aggregate_name\": \"cv\", \"repetitions\": %u, \"cpu_time\": %.5f, "
                         "\"real_time\": %.5f, \"time_unit\": \"ns\"}",
                         first ? "" : ",\n", name, bytes, static_cast<unsigned>(t.size()), median, real,
                         Median(kernelTimes[c][s]) * 1e-9, name,
                         bytes, static_cast<unsigned>(t.size()), cv, realCv);
            first = false;
        }
    std::fprintf(out, "\n  ]\n}\n");
    std::fclose(out);
    for (VelmorinString a : arguments) SysFreeString(reinterpret_cast<BSTR>(a));
    FreeLibrary(library);
    return 0;
}
