// What VELMORIN is measured against, with its contract: a string handle in by
// reference, a new string handle of the same length out, owned by the caller.
#pragma once

#include "include/velmorin.h"

// The least any implementation of the contract must do: two allocations from
// the process-wide string allocator, two copies of the bytes, one release.
// It capitalises nothing.
VelmorinString FloorOfVelmorin(const VelmorinString *text);

// The everyday implementation: copy, walk a byte at a time up to the first
// zero byte, copy again, written the plain way and left to the compiler.
VelmorinString CapitaliseByteAtATime(const VelmorinString *text);
