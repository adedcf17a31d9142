#pragma once

// Integers from text, by the rules the settings file and the size fields
// have always had.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace abm {

// An optional sign and decimal digits, nothing else, within 32 bits;
// anything else raises Error NotAnInteger.
int parseInt(std::string_view text);
// As parseInt, nothing where parseInt raises.
std::optional<int> toInt(std::string_view text);

// As parseInt, or "0x"/"0X" and one to eight hexadecimal digits (taken as
// 32 bits); `fallback` for anything else.
int parseIntOr(std::string_view text, int fallback);

// 1536 as "1,536": thousands set apart by commas, as messages show counts.
std::string groupedNumber(int64_t value);

}  // namespace abm
