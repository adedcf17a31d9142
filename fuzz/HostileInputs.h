#pragma once

// Small files made to break readers: allocation bombs, sizes that overflow,
// codes and runs that leave their tables or pictures, lying headers. The
// hostile tests check each one's outcome; the fuzz replays run them all.

#include <cstdint>
#include <string>
#include <vector>

namespace abm::fuzz {

struct THostileInput {
    std::string kind;  // the fuzz target: gif, bmp, jpeg, abm, ini, import
    std::string name;  // a file name, with the extension its reader expects
    std::vector<uint8_t> bytes;
};

std::vector<THostileInput> HostileInputs();

}  // namespace abm::fuzz
