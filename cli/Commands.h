#pragma once

// The commands of abmtool, each on the workspace's own code paths.
// They return the exit status: 0 success, 1 the command failed.

#include "CliPrompts.h"
#include "workspace/FrameOptions.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace abm {

struct CliOptions {
    std::string out;
    std::vector<std::string> inputs;
    // Phone-ready: every picture smoothly fitted into the phone's screen and
    // dithered, a GIF's frames composed as a browser shows them.
    FrameOptions frame = fittedToPhone({.transparentGif = true});
    bool strict = false;
    bool json = false;
    bool each = false;  // abm: one file per input, OUT a folder
    bool all = false;   // gif: every frame, not only the four of an ABM file
    int delayMs = 700;
    Verbosity verbosity = Verbosity::normal;
    int thumbnailSize = 128;
};

int runAbm(const CliOptions& options, std::ostream& out, std::ostream& err);
int runBmp(const CliOptions& options, std::ostream& out, std::ostream& err);
int runGif(const CliOptions& options, std::ostream& out, std::ostream& err);
int runInfo(const CliOptions& options, std::ostream& out, std::ostream& err);
int runThumbnail(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace abm
