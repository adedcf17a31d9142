#include "Numbers.h"

#include "Error.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

namespace abm {

namespace {

std::optional<int> decimal(std::string_view text)
{
    // from_chars takes a minus but no plus; a plus must still be followed by a digit.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-')
            return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<int> hexadecimal(std::string_view digits)
{
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || digits.size() > 8 || error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::optional<int> toInt(std::string_view text)
{
    return decimal(text);
}

int parseInt(std::string_view text)
{
    if (const std::optional<int> value = decimal(text))
        return *value;
    throw Error(ErrorKind::NotAnInteger, std::string(text));
}

int parseIntOr(std::string_view text, int fallback)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return hexadecimal(text.substr(2)).value_or(fallback);
    return decimal(text).value_or(fallback);
}

std::string groupedNumber(int64_t value)
{
    const std::string digits = std::to_string(value);
    const size_t first = value < 0 ? 1 : 0;
    std::string grouped = digits.substr(0, first);
    for (size_t i = first; i < digits.size(); ++i) {
        if (i > first && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace abm
