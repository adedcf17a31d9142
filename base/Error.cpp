#include "Error.h"

#include <cerrno>
#include <climits>
#include <cstring>

namespace abm {

EFOpenError FileOpenError(const std::string& fileName, int err)
{
    // A negative code is no errno: the file is there, but is no regular file.
    const std::string reason = err < 0 ? "Not a regular file" : std::strerror(err);
    return EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
}

EFCreateError FileCreateError(const std::string& fileName, int err)
{
    return EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(err));
}

namespace {

bool ParseDecimal(const std::string& text, int& out)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool ParseHex(const std::string& digits, int& out)
{
    if (digits.empty() || digits.size() > 8)
        return false;
    unsigned value = 0;
    for (char c : digits) {
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        value = value * 16 + d;
    }
    out = static_cast<int>(value);
    return true;
}

}  // namespace

int StrToInt(const std::string& text)
{
    int value = 0;
    if (!ParseDecimal(text, value))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

int StrToIntDef(const std::string& text, int fallback)
{
    int value = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseHex(text.substr(2), value) ? value : fallback;
    return ParseDecimal(text, value) ? value : fallback;
}

}  // namespace abm
