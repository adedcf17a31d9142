#pragma once

// The questions the workspace asks, answered from the command line: the save
// "dialog" returns OUT, the open "dialog" the inputs; every message goes to
// standard error as one line "abmtool: FILE: what went wrong (why)", in
// English (EnglishText).

#include "EnglishText.h"
#include "workspace/UserPrompts.h"

#include <exception>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace abm {

enum class Verbosity { quiet, normal, verbose };

class CliPrompts : public UserPrompts {
public:
    explicit CliPrompts(std::ostream& err, Verbosity verbosity = Verbosity::normal, bool strict = false)
        : err_(err), verbosity_(verbosity), strict_(strict)
    {
    }

    std::string saveName;
    // Set once an error was reported (a warning too, under --strict).
    bool failed = false;
    // Set when an error was the memory budget's refusal.
    bool memoryRefused = false;
    // A save the window would refuse with a box, for the command to say
    // which frame and which file.
    std::optional<Finding> refusal;

    MessageAnswer showMessage(const std::string& text, MessageKind type,
                              const std::vector<MessageButton>& buttons) override;
    std::vector<std::string> askOpenFiles(const FileDialogRequest& request) override;
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override;

    // "abmtool: FILE: text", without "FILE: " when `file` is empty.
    void error(const std::string& file, const std::string& text);
    // The exception through the catalogue, naming the file the error names,
    // else `file`.
    void error(const std::string& file, const std::exception& e);
    // "abmtool: FILE: warning: text"; an error under --strict, nothing under -q.
    void warning(const std::string& file, const std::string& text);
    // Only under -v.
    void note(const std::string& file, const std::string& text);
    bool quiet() const { return verbosity_ == Verbosity::quiet; }

    // "abmtool: " + text, a box's CR LF shown as one line break and every
    // other control character escaped (escapedText).
    void report(const std::string& text);

private:
    std::ostream& err_;
    Verbosity verbosity_;
    bool strict_;
};

}  // namespace abm
