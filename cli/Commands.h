#pragma once

// The four commands of abmtool, each on the workspace's own code paths.
// They return the exit status: 0 success, 1 the command failed.

#include <iosfwd>
#include <string>
#include <vector>

namespace abm {

struct CliOptions {
    std::string out;
    std::vector<std::string> inputs;
    std::string width = "128";  // frame width and height texts, as the dialog holds them
    std::string height = "97";
    bool autoSize = true;
    bool stretch = false;
    bool transparentGif = false;
    bool strict = false;
    bool json = false;
    int thumbnailSize = 128;
};

int runAbm(const CliOptions& options, std::ostream& out, std::ostream& err);
int runBmp(const CliOptions& options, std::ostream& out, std::ostream& err);
int runInfo(const CliOptions& options, std::ostream& out, std::ostream& err);
int runThumbnail(const CliOptions& options, std::ostream& out, std::ostream& err);

}  // namespace abm
