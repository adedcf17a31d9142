#pragma once

// File names taken apart by the platform's path rules: the folder part runs
// up to and including the last "/", the extension is the part from the last
// "." after it.

#include <string>
#include <string_view>

namespace abm {

std::string folderPart(const std::string& name);     // "/a/b.gif" → "/a/"
std::string fileNamePart(const std::string& name);   // "/a/b.gif" → "b.gif"
std::string extensionPart(const std::string& name);  // "/a/b.gif" → ".gif", "" without one
std::string replaceExtension(const std::string& name, const std::string& ext);
std::string trim(const std::string& text);  // drops characters up to and including the blank
// Equal but for the case of ASCII letters, whatever the locale.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace abm
