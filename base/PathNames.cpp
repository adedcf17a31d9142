#include "PathNames.h"

#include <algorithm>

namespace abm {

namespace {

size_t nameStart(const std::string& name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

size_t extStart(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot < nameStart(name) ? std::string::npos : dot;
}

}  // namespace

std::string folderPart(const std::string& name)
{
    return name.substr(0, nameStart(name));
}

std::string fileNamePart(const std::string& name)
{
    return name.substr(nameStart(name));
}

std::string extensionPart(const std::string& name)
{
    const size_t dot = extStart(name);
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string replaceExtension(const std::string& name, const std::string& ext)
{
    const size_t dot = extStart(name);
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ext;
}

std::string trim(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace abm
