#pragma once

// The commands of abmtool, each on the workspace's own code paths.
// They return the exit status: 0 success, 1 the command failed.

#include "CliPrompts.h"
#include "workspace/FrameOptions.h"
#include "workspace/PictureSniffer.h"

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

// Why an importer dropped `sniffed` without a word, in abmtool's words.
std::string droppedReason(const SniffedFile& sniffed, const ImportResult& result);

// Reports on `prompts` and answers false, before anything is written, for
// an output that is one of the inputs (the same file, by whatever link or
// name), and with `checkFolder` for one a save would refuse (a missing or
// write-protected folder, a write-protected file, a folder in its place).
bool outputAccepted(CliPrompts& prompts, const std::string& output, const std::vector<SniffedFile>& inputs,
                    bool checkFolder = true);

}  // namespace abm
