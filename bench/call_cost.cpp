// A fixed number of VELMORIN calls on one text, for counting instructions
// per call with callgrind rather than timing them (counts do not move with
// the machine's load). Built by hand against a linux build, for example:
//   g++ -O2 -I. bench/call_cost.cpp -Lbuild/linux/out -lvelmorin -lwinstandin \
//       -Wl,-rpath,$PWD/build/linux/out -o /tmp/call_cost
//   valgrind --tool=callgrind /tmp/call_cost 15 1000
// and the instructions of 1000 calls less those of 0 calls, divided by 1000.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "include/velmorin.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: call_cost BYTES CALLS\n");
        return 2;
    }
    const auto bytes = static_cast<unsigned>(std::atoi(argv[1]));
    const long calls = std::atol(argv[2]);
    std::string text;
    while (text.size() < bytes) text += "the quick brown fox jumps over the lazy dog ";
    text.resize(bytes);
    BSTR argument = SysAllocStringByteLen(text.data(), bytes);
    auto *handle = reinterpret_cast<VelmorinString *>(&argument);
    for (long i = 0; i < calls; ++i) SysFreeString(reinterpret_cast<BSTR>(VELMORIN(handle)));
    SysFreeString(argument);
    return 0;
}
