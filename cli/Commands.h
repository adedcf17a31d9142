#pragma once

// The commands of abmtool, each on the workspace's own code paths.
// They return the exit status: 0 success, 1 the command failed.

#include "CliPrompts.h"
#include "workspace/FrameOptions.h"
#include "workspace/PictureSniffer.h"

#include <cstdint>
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

// "-", or a name of the standard input this process was given (/dev/stdin,
// /dev/fd/0) when that is no regular file: a pipe, read from the one
// descriptor, once. Any other pipe or device is refused as a file is.
bool namesStandardInput(const std::string& name);
// How messages name an input and an output: "standard input" and
// "standard output" for "-".
std::string inputName(const std::string& name);
std::string outputName(const std::string& name);
// Standard input's file, when it is a regular one, for outputAccepted.
SniffedFile standardInputIdentity();
// The input as the readers take it: standard input read to its end (within
// the memory budget and the input size limit), any other name as a file.
InputFile openInput(const std::string& name);
// The bytes saved into the file `name` as every save is, or into `out` for "-".
void writeOutput(const std::string& name, const std::vector<uint8_t>& bytes, std::ostream& out);
// "a, b, c, d, e and 3 more".
std::string nameList(const std::vector<std::string>& names);

// Why an importer dropped `sniffed` without a word, in abmtool's words.
std::string droppedReason(const SniffedFile& sniffed, const ImportResult& result);

// Reports on `prompts` and answers false, before anything is written, for
// an output that is one of the inputs (the same file, by whatever link or
// name; "-" standing for standard output), and with `checkFolder` for one a
// save would refuse (a missing or write-protected folder, a
// write-protected file, a folder in its place).
bool outputAccepted(CliPrompts& prompts, const std::string& output, const std::vector<SniffedFile>& inputs,
                    bool checkFolder = true);

}  // namespace abm
