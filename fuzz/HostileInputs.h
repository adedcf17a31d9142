#pragma once

// Small files made to break readers: allocation bombs, sizes that overflow,
// codes and runs that leave their tables or pictures, lying headers. The
// hostile tests check each one's outcome; the fuzz replays run them all.

#include <cstdint>
#include <string>
#include <vector>

namespace abm::fuzz {

struct HostileInput {
    std::string kind;  // the fuzz target: gif, bmp, jpeg, abm, ini, import
    std::string name;  // a file name, with the extension its reader expects
    std::vector<uint8_t> bytes;
    // The file's length when it is longer than its bytes: the rest is a hole
    // (a sparse file, all zeros).
    int64_t size = 0;
};

std::vector<HostileInput> hostileInputs();

// Small files whose headers ask for a great deal of memory or work, to be
// refused by the memory budget before the work: a 1-bit BMP 134,217,728
// pixels wide, a GIF of one 8192 × 8192 image and twenty tiny ones, a GIF of
// four 16384 × 16384 images, a 32-bit BMP of 16384 × 16384 with no pixels, a
// colour JPEG whose frame header claims 16384 × 16384, a sparse 1 GB ABM
// file, a GIF of 200,000 tiny images; then pictures at the raster cap and
// just past it.
std::vector<HostileInput> memoryBombs();

// Writes an input as a file (sparse where it has a hole).
void writeHostileInput(const std::string& path, const HostileInput& input);

}  // namespace abm::fuzz
