#include "UserPrompts.h"

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

}  // namespace abm
