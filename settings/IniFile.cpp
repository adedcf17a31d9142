#include "IniFile.h"

#include "base/AtomicWrite.h"
#include "base/Error.h"
#include "base/Numbers.h"
#include "base/UserFolders.h"

#include <cerrno>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace abm {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char foldAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    return true;
}

// Lines end at CR LF, LF or a lone CR; a last line without an end counts.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// The line as the parser sees it: a byte-order mark at the very start of
// the file is not part of the first line's text.
std::string_view lineContent(std::string_view line, size_t index)
{
    if (index == 0 && line.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        line.remove_prefix(kByteOrderMark.size());
    return trimBlanks(line);
}

bool sectionName(std::string_view content, std::string_view& name)
{
    if (content.empty() || content.front() != '[')
        return false;
    const size_t close = content.find(']');
    if (close == std::string_view::npos)
        return false;
    name = trimBlanks(content.substr(1, close - 1));
    return true;
}

bool keyAndValue(std::string_view content, std::string_view& key, std::string_view& value)
{
    const size_t eq = content.find('=');
    if (eq == std::string_view::npos)
        return false;
    key = trimBlanks(content.substr(0, eq));
    value = content.substr(eq + 1);
    return !key.empty();
}

// Where a key is, or where a new one goes.
struct KeyLocation {
    bool sectionFound = false;
    bool keyFound = false;
    size_t keyLine = 0;      // the key's line when found
    size_t lastContent = 0;  // the section's last non-blank line
    std::string_view value;  // the raw text after "=" when found
};

KeyLocation findKey(const std::vector<std::string_view>& lines, std::string_view section, std::string_view key)
{
    KeyLocation at;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view content = lineContent(lines[i], i);
        std::string_view name;
        if (sectionName(content, name)) {
            if (inside)
                break;  // only the first section of that name counts
            inside = sameName(name, section);
            if (inside) {
                at.sectionFound = true;
                at.lastContent = i;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!content.empty())
            at.lastContent = i;
        std::string_view lineKey, lineValue;
        if (keyAndValue(content, lineKey, lineValue) && sameName(lineKey, key)) {
            at.keyFound = true;
            at.keyLine = i;
            at.value = lineValue;
            break;
        }
    }
    return at;
}

// Cuts after `limit` bytes without splitting a UTF-8 sequence.
std::string limited(std::string_view value, size_t limit)
{
    if (value.size() <= limit)
        return std::string(value);
    size_t cut = limit;
    for (int step = 0; step < 3 && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80; ++step)
        --cut;
    if ((static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
        cut = limit;  // not UTF-8 anyway: plain bytes
    return std::string(value.substr(0, cut));
}

std::string profileValue(std::string_view raw)
{
    // The profile functions deliver C strings: nothing after a zero byte.
    raw = trimBlanks(raw.substr(0, raw.find('\0')));
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
        raw.remove_prefix(1);
        raw.remove_suffix(1);
    }
    return limited(raw, kIniValueBuffer - 1);
}

// A name or value holding a line break or a zero byte would write lines of
// its own into the file; it is kept up to that character.
std::string_view oneLine(std::string_view s)
{
    return s.substr(0, s.find_first_of(std::string_view("\r\n\0", 3)));
}

}  // namespace

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName))
{
    if (fileName_.find('/') == std::string::npos) {
        // Without a home folder there is no settings folder: reading gives
        // the defaults and writing fails, rather than using the working folder.
        folder_ = configHome();
        if (!folder_.empty())
            path_ = folder_ + "/" + fileName_;
    } else {
        path_ = fileName_;
    }
}

std::string IniFile::readString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const
{
    std::string text;
    if (!path_.empty() && loadConfigFile(path_, text) == LoadResult::Loaded) {
        const KeyLocation at = findKey(splitLines(text), section, key);
        if (at.keyFound)
            return profileValue(at.value);
    }
    return limited(defaultValue, kIniValueBuffer - 1);
}

int IniFile::readInteger(const std::string& section, const std::string& key, int defaultValue) const
{
    return parseIntOr(readString(section, key, ""), defaultValue);
}

void IniFile::writeString(const std::string& section, const std::string& key, const std::string& value)
{
    writeStrings(section, {{key, value}});
}

void IniFile::writeStrings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values)
{
    // The system's reason goes with the file's name.
    const auto failure = [this](int error) { return Error(ErrorKind::SettingsWrite, fileName_, error); };
    std::string text;
    int error = 0;
    if (loadConfigFile(path_, text, &error) == LoadResult::Unusable)
        throw failure(error);

    std::vector<std::string_view> lines = splitLines(text);
    // The new lines the views point into; a deque never moves them.
    std::deque<std::string> made;
    const std::string_view sectionLine = made.emplace_back("[" + std::string(oneLine(section)) + "]");
    for (const auto& [key, value] : values) {
        const std::string_view keyLine =
            made.emplace_back(std::string(oneLine(key)) + "=" + std::string(oneLine(value)));
        const KeyLocation at = findKey(lines, oneLine(section), oneLine(key));
        if (at.keyFound) {
            lines[at.keyLine] = keyLine;
        } else if (at.sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at.lastContent) + 1, keyLine);
        } else {
            lines.push_back(sectionLine);
            lines.push_back(keyLine);
        }
    }

    std::string out;
    size_t total = 0;
    for (std::string_view line : lines)
        total += line.size() + 2;
    out.reserve(total);
    for (std::string_view line : lines) {
        out.append(line);
        out.append("\r\n");
    }

    if (path_.empty())
        throw failure(0);
    if (!folder_.empty() && !makeFolders(folder_))
        throw failure(errno);
    try {
        writeFileAtomically(path_, out.data(), out.size());
    } catch (const FileError& e) {
        throw failure(static_cast<int>(e.number()));
    }
}

void IniFile::writeInteger(const std::string& section, const std::string& key, int value)
{
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(const std::string& section, const std::string& key, bool value)
{
    writeString(section, key, value ? "1" : "0");
}

}  // namespace abm
