#pragma once

// File names taken apart by the platform's path rules: the folder part runs
// up to and including the last "/", the extension is the part from the last
// "." after it.

#include <string>

namespace abm {

std::string ExtractFilePath(const std::string& name);  // "/a/b.gif" → "/a/"
std::string ExtractFileName(const std::string& name);  // "/a/b.gif" → "b.gif"
std::string ExtractFileExt(const std::string& name);   // "/a/b.gif" → ".gif", "" without one
std::string ChangeFileExt(const std::string& name, const std::string& ext);
std::string Trim(const std::string& text);             // drops characters up to and including the blank
std::string AnsiUpperCase(const std::string& text);    // UTF-8, locale-independent

}  // namespace abm
