#pragma once

// File names (and the messages that carry them) as abmtool prints them. A
// name may hold any byte but "/" and NUL: escape sequences that would drive
// the terminal, line breaks that would forge output lines, and bytes that
// are not UTF-8.

#include <string>
#include <string_view>

namespace abm {

// For text output: control characters (C0, DEL and C1) and bytes that are
// not part of valid UTF-8 as \xHH, one escape a byte, and a backslash as
// \\, so that the escapes can be read back; `quote` also escapes '"'.
// Everything else, Cyrillic included, stays as it is.
std::string escapedText(std::string_view text, bool quote = false);

// A JSON string with its quotes, itself valid UTF-8: valid UTF-8 kept as it
// is, control characters as \uXXXX, and each byte 0x80-0xFF that is not
// part of valid UTF-8 as the lone surrogate \udcXX, which Python reads back
// to the original bytes with the "surrogateescape" error handler.
std::string jsonString(std::string_view text);

}  // namespace abm
