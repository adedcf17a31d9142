#include "NameText.h"

#include <algorithm>

#include <cstdint>
#include <cstdio>

namespace abm {

namespace {

// The length of the valid UTF-8 sequence at `at` (1 to 4) and its code
// point, or 0 for a byte that starts none: overlong forms, surrogates and
// code points above U+10FFFF are not valid.
size_t utf8Sequence(std::string_view s, size_t at, char32_t& cp)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t b0 = byte(at);
    size_t length;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > s.size())
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

bool isControl(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// The embeddings, overrides and isolates, and the marks.
bool isBidiControl(char32_t cp)
{
    return (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E || cp == 0x200F ||
           cp == 0x061C;
}

std::string hex(const char* format, unsigned value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

std::string escapedText(std::string_view text, bool quote)
{
    std::string out;
    for (size_t at = 0; at < text.size();) {
        char32_t cp = 0;
        const size_t length = utf8Sequence(text, at, cp);
        const size_t taken = length == 0 ? 1 : length;
        if (length == 0 || isControl(cp)) {
            for (size_t i = 0; i < taken; ++i)
                out += hex("\\x%02x", static_cast<uint8_t>(text[at + i]));
        } else if (isBidiControl(cp)) {
            out += hex("\\u%04X", static_cast<unsigned>(cp));
        } else if (cp == '\\' || (quote && cp == '"')) {
            out += '\\';
            out += static_cast<char>(cp);
        } else {
            out.append(text.substr(at, length));
        }
        at += taken;
    }
    return out;
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        char32_t cp = 0;
        const size_t length = utf8Sequence(text, at, cp);
        if (length == 0) {
            out += hex("\\udc%02x", static_cast<uint8_t>(text[at]));
            at += 1;
            continue;
        }
        if (isControl(cp) || isBidiControl(cp))
            out += hex("\\u%04x", static_cast<unsigned>(cp));
        else if (cp == '"' || cp == '\\')
            out += '\\', out += static_cast<char>(cp);
        else
            out.append(text.substr(at, length));
        at += length;
    }
    return out + "\"";
}

std::string isolatedName(std::string_view name)
{
    const std::string escaped = escapedText(name);
    for (const char c : escaped)
        if (static_cast<uint8_t>(c) >= 0x80)
            return "\u2068" + escaped + "\u2069";
    return escaped;
}

std::string listedNames(const std::vector<std::string>& names, size_t listed,
                        const std::function<std::string(size_t)>& rest)
{
    std::string list;
    for (size_t i = 0; i < std::min(names.size(), listed); ++i)
        list += (i == 0 ? "" : ", ") + names[i];
    if (names.size() > listed)
        list += rest(names.size() - listed);
    return list;
}

}  // namespace abm
