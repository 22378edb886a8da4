// Realistic text for the benchmarks: the same bytes on every run, for every
// contestant, including the Python one, which reads them from a file.
#pragma once

#include <cstddef>
#include <string>

// size bytes of words of 1 to 12 letters between spaces, with punctuation,
// capitals, digits and some bytes 0x80 and above; never a zero byte.
std::string SampleText(std::size_t size);
