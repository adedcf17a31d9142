#pragma once

// Integers from text, by the rules the settings file and the size fields
// have always had.

#include <optional>
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

}  // namespace abm
