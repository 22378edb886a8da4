// The allocation seam as tests see it: every string allocation and release is
// counted, a chosen allocation can be made to fail, and a release of a handle
// that is not live (a double or foreign release) is caught instead of done.
#pragma once

#include <cstdint>

namespace counting_allocator {

void Reset();
// Fail the k-th allocation request from now on (1-based); 0 fails none.
void FailNth(std::uint32_t k);
// Fail every allocation request until told otherwise.
void FailAll(bool fail);

std::uint32_t Requests();     // calls that reached the seam, failed ones included
std::uint32_t Allocations();  // successful ones
std::uint32_t Releases();
std::uint32_t Live();
std::uint32_t BadReleases();  // releases of a handle that was not live

}  // namespace counting_allocator
