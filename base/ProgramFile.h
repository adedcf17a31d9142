#pragma once

// The running program file, and the settings file name derived from it.

#include <string>

namespace abm {

// The full path of the running program file, from /proc/self/exe.
std::string programFilePath();

// The kernel marks the link of a program file that was replaced while it
// runs (a package upgrade) with " (deleted)"; the settings belong to the path.
std::string programPathFromExeLink(const std::string& link);

// The program file's name without folder, its extension replaced by ".INI":
// "/usr/bin/anim.exe" gives "anim.INI", "/usr/bin/abmmaker" gives "abmmaker.INI".
std::string defaultIniFileName(const std::string& programPath);

}  // namespace abm
