#pragma once

// abmmaker's command line: --help and --version answer on the terminal
// without a display; everything else names the files to open.

#include <optional>
#include <string>
#include <vector>

namespace abm {

// Before the toolkit starts: answers --help and --version, and refuses to
// start without a display (Qt would abort). Returns the exit status when
// the program ends here.
std::optional<int> answerWithoutWindow(int argc, char* argv[]);

// After QApplication took its own options (-platform, -style …) out of
// argv: the arguments that name the files to open, as raw bytes. An unknown
// option is reported on standard error and gives nothing.
std::optional<std::vector<std::string>> fileArguments(int argc, char* argv[]);

}  // namespace abm
