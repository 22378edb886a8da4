// A program that imports VELMORIN at load time and says when its own code runs.
// With --no-thread-slots the stand-in hands out no thread-local index, so the
// library's attach fails before the program's code could run.
#include <cstdio>
#include <cstring>

#include "include/velmorin.h"
#include "platform/posix/standin_testing.h"

namespace {

// Runs before any library is initialised, as the executable's own
// pre-initialisation does.
void LimitThreadSlotsWhenAsked(int argc, char **argv, char **) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no-thread-slots") == 0) StandinLimitThreadSlots(0);
}

__attribute__((section(".preinit_array"), used)) void (*const limitThreadSlots)(int, char **, char **) =
    LimitThreadSlotsWhenAsked;

}  // namespace

int main() {
    std::puts("program code ran");
    VelmorinString empty = nullptr;
    return VELMORIN(&empty) == nullptr ? 0 : 1;
}
