// Every capitalising copy this build has and this processor runs: the one
// VELMORIN picks, and on x86 each wide copy on its own.
#pragma once

#include <cstdint>
#include <vector>

struct NamedCopy {
    const char *name;
    void (*copy)(unsigned char *to, unsigned char *also, const unsigned char *from, std::uint32_t count);
};

std::vector<NamedCopy> CapitalisingCopies();
