#pragma once

// The readers that take a file name get the fuzz input through a file in
// memory-backed storage, reused for every run.

#include <cstddef>
#include <cstdint>
#include <string>

namespace abm::fuzz {

// Lowers the raster cap for the fuzzers: pictures near the real cap are
// refused or decoded correctly (the hostile tests show both), but slowly.
void limitForFuzzing();

// Writes the bytes to a per-process scratch file with the given extension
// and returns its name.
std::string scratchFile(const uint8_t* data, size_t size, const std::string& extension);

}  // namespace abm::fuzz
