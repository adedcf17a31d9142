#pragma once

// The settings file in the layout of the classic private-profile functions:
// "[Section]" lines, "Key=Value" lines, CR LF line ends, bytes as given.
// Section and key names match whatever their (ASCII) case; the first of
// duplicate sections or keys counts. Every call opens and releases the file
// itself, so nothing stays open and other programs' edits are seen.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace abm {

// Values are delivered through a buffer of this many bytes, the terminating
// zero included, so at most 2047 bytes of a value are read back.
constexpr size_t kIniValueBuffer = 2048;

class IniFile {
public:
    // A bare name lives in the settings folder (ConfigHome); a name with a
    // folder is used as it is.
    explicit IniFile(std::string fileName);

    // The name as given; it is what the write error reports.
    const std::string& fileName() const { return fileName_; }
    const std::string& path() const { return path_; }

    // The value with the blanks around it and one pair of matching quotation
    // marks removed, or `defaultValue` when the file, section or key is
    // missing or the file cannot be read. Never raises.
    std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
    // Decimal, or hexadecimal after "0x"; `defaultValue` for anything else.
    int readInteger(const std::string& section, const std::string& key, int defaultValue) const;

    // Replaces the key's line in place, or appends the key at the end of its
    // section, or appends the section at the end of the file. Raises
    // Error SettingsWrite (naming the file as given, with the system's
    // reason) when the file cannot be written, and also when an existing
    // file cannot be read back (rewriting it would lose what it holds). A
    // FIFO or a device in the file's place (a link to /dev/null) is
    // written into.
    void writeString(const std::string& section, const std::string& key, const std::string& value);
    // Several keys of one section, each as writeString would write it in
    // turn, with one rewrite of the file: all of them or, on failure, none.
    void writeStrings(const std::string& section, const std::vector<std::pair<std::string, std::string>>& values);
    void writeInteger(const std::string& section, const std::string& key, int value);
    void writeBool(const std::string& section, const std::string& key, bool value);

private:
    std::string fileName_;
    std::string path_;
    std::string folder_;  // the settings folder for a bare name, created on writing
};

}  // namespace abm
