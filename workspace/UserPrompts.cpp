#include "UserPrompts.h"

#include "base/Error.h"
#include "base/ErrorText.h"
#include "base/NameText.h"

#include <cstring>

namespace abm {

std::vector<FilterEntry> parseFilter(const std::string& filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::vector<FilterEntry> entries;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        FilterEntry entry{parts[i], {}};
        size_t from = 0;
        for (;;) {
            const size_t semi = parts[i + 1].find(';', from);
            entry.patterns.push_back(
                parts[i + 1].substr(from, semi == std::string::npos ? std::string::npos : semi - from));
            if (semi == std::string::npos)
                break;
            from = semi + 1;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string errorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

std::string errorBoxText(const std::exception& error)
{
    std::string text = errorBoxText(describe(error, programText, isolatedName));
    const auto* own = dynamic_cast<const Error*>(&error);
    if (own && !own->name().empty() && namesFile(own->kind()) && !std::strstr(programText(own->kind()), "{name}"))
        text += "\r\nФайл: " + isolatedName(own->name());
    return text;
}

}  // namespace abm
