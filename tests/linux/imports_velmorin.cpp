// A program that imports VELMORIN at load time and says when its own code runs.
#include <cstdio>

#include "include/velmorin.h"

int main() {
    std::puts("program code ran");
    VelmorinString empty = nullptr;
    return VELMORIN(&empty) == nullptr ? 0 : 1;
}
