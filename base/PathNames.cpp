#include "PathNames.h"

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

std::string upperCase(const std::string& text)
{
    // Decode UTF-8, upper-case each code point, encode again; bytes that are
    // not UTF-8 pass unchanged.
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > text.size()) {
            out += text[i++];
            continue;
        }
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            ok = ok && (cc >> 6) == 2;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += text[i++];
            continue;
        }
        if (cp < 0x80)
            cp = (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
        else if ((cp >= 0x430 && cp <= 0x44F))
            cp -= 0x20;  // Cyrillic а..я
        else if (cp >= 0x450 && cp <= 0x45F)
            cp -= 0x50;  // ѐ..џ
        else if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)
            cp -= 0x20;  // Latin-1 à..þ
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
        i += len;
    }
    return out;
}

}  // namespace abm
