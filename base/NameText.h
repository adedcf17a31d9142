#pragma once

// File names (and the messages that carry them) as the programs show them.
// A name may hold any byte but "/" and NUL: escape sequences that would drive
// the terminal, line breaks that would forge output lines, bytes that are not
// UTF-8, and the bidirectional controls (U+202A-U+202E, U+2066-U+2069,
// U+200E, U+200F, U+061C) that would make "x\u202EFIG.abm" read "xmba.GIF".

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace abm {

// For text output: control characters (C0, DEL and C1) and bytes that are
// not part of valid UTF-8 as \xHH, one escape a byte, bidirectional
// controls as \uXXXX (\u202E), and a backslash as \\, so that the escapes
// can be read back; `quote` also escapes '"'. Everything else, Cyrillic
// included, stays as it is.
std::string escapedText(std::string_view text, bool quote = false);

// A JSON string with its quotes, itself valid UTF-8: valid UTF-8 kept as it
// is, control characters and bidirectional controls as \uXXXX, and each
// byte 0x80-0xFF that is not part of valid UTF-8 as the lone surrogate
// \udcXX, which Python reads back to the original bytes with the
// "surrogateescape" error handler.
std::string jsonString(std::string_view text);

// A name to stand inside a sentence of the window: escaped as escapedText
// does, and, unless it is plain ASCII (which cannot reorder anything),
// isolated (U+2068 … U+2069), so that neither its right-to-left letters nor
// digits beside them move the text around it, or it around the text.
std::string isolatedName(std::string_view name);

// The first `listed` names joined by ", ", then `rest(n)` for the n left:
// a message names a few files and counts the others.
std::string listedNames(const std::vector<std::string>& names, size_t listed,
                        const std::function<std::string(size_t)>& rest);

}  // namespace abm
