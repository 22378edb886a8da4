// What VELMORIN is measured against, with its contract: a string handle in by
// reference, a new string handle of the same length out, owned by the caller.
#pragma once

#include "include/velmorin.h"

// The least any implementation of the contract must do: two allocations from
// the process-wide string allocator, two copies of the bytes, one release.
// It capitalises nothing.
VelmorinString FloorOfVelmorin(const VelmorinString *text);

// The same, copying with vectors no wider than the capitalising copy in use
// (VELMORIN_WIDEST_COPY, as the library reads it): the floor of a forced
// narrower copy, whatever width the C library's memcpy would take.
VelmorinString FloorOfSameWidth(const VelmorinString *text);

// One allocation and one memcpy into it: the memory throughput a plain copy
// into a fresh string of the same allocator reaches (2N bytes moved).
VelmorinString StreamingCopy(const VelmorinString *text);

// The contract's allocations alone: the two strings allocated, the first
// released, no byte copied. The part of every implementation's time that the
// allocator decides; under Wine it includes oleaut32's zeroing of each new
// string.
VelmorinString AllocationsOnly(const VelmorinString *text);

// The everyday implementation: copy, walk a byte at a time up to the first
// zero byte, copy again, written the plain way and left to the compiler.
VelmorinString CapitaliseByteAtATime(const VelmorinString *text);
