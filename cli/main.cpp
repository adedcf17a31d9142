// abmtool: the desktop tool's work from the command line.

#include "CliPrompts.h"
#include "Commands.h"
#include "base/NameText.h"
#include "base/AtomicWrite.h"
#include "base/Error.h"
#include "base/ErrorText.h"
#include "base/MemoryBudget.h"
#include "workspace/UserPrompts.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kVersion = "abmtool 1.0.0";

constexpr const char* kCommands = "abm, bmp, gif, info and thumbnail";

// OUT must name a file, as a save dialog's answer does: an empty name (which
// the save would take for a cancelled dialog) is refused, and where a file is
// written, a folder. "-" is standard output, unless that is a terminal.
std::string outputProblem(const std::string& name, bool folderAllowed)
{
    if (name.empty())
        return "the name is empty; name the file to write";
    if (name == "-")
        return ::isatty(STDOUT_FILENO) ? "'-': standard output is a terminal; redirect it or name a file" : "";
    struct stat st {};
    if (!folderAllowed && (name.back() == '/' || (::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode))))
        return "'" + abm::escapedText(name) + "' is a folder; name the file to write in it";
    return {};
}

CLI::Validator outputName(bool folderAllowed)
{
    return CLI::Validator([folderAllowed](std::string& name) { return outputProblem(name, folderAllowed); }, "FILE");
}

// The frame options of abm, bmp and gif. The defaults make a phone file;
// --no-autosize and --stretch, from before those defaults, still mean what
// they meant: given either, the window's defaults (auto-size on, stretch
// off, no smoothing, dither or fitting) apply and these change them.
// The phone's screen as --size takes it.
const std::string kPhoneSize = std::to_string(abm::kPhoneFrameWidth) + "x" + std::to_string(abm::kPhoneFrameHeight);

struct FrameFlags {
    std::string size = kPhoneSize;
    bool keepSize = false, crop = false, noAutoSize = false, stretch = false;
    bool smooth = false, nearest = false, dither = false, noDither = false, fit = false, stretchOnly = false;
    bool transparentGif = false, opaqueGif = false;

    void applyTo(abm::CliOptions& o) const
    {
        const auto x = size.find('x');
        abm::FrameOptions& f = o.frame;
        f.width = abm::FrameDimension::fromText(size.substr(0, x));
        f.height = abm::FrameDimension::fromText(size.substr(x + 1));
        const bool windowFlags = noAutoSize || stretch;
        f.autoSize = windowFlags ? !noAutoSize : keepSize;
        f.stretch = windowFlags ? stretch : !crop;
        f.smooth = windowFlags ? smooth : !nearest;
        f.dither = windowFlags ? dither : !noDither;
        f.keepProportions = windowFlags ? fit : !stretchOnly;
        f.transparentGif = !opaqueGif;
    }
};

void addFrameOptions(CLI::App& command, abm::CliOptions& o, FrameFlags& flags, bool folderAllowed)
{
    command.add_option("-o,--output", o.out, "the file to write, exactly as named ('-': standard output)")
        ->required()
        ->check(outputName(folderAllowed));
    CLI::Option* size = command
                            .add_option("--size", flags.size,
                                        "frame width and height (default: " + kPhoneSize + ", the phone's screen)")
                            ->check(CLI::Validator(
                                [](std::string& text) {
                                    return std::regex_match(text, std::regex("[0-9]{1,9}x[0-9]{1,9}"))
                                               ? std::string()
                                               : "expected WxH, e.g. " + kPhoneSize;
                                },
                                "WxH"));
    CLI::Option* keep = command.add_flag("--keep-size", flags.keepSize,
                                         "frames take the first picture's size instead of --size, as the window does");
    CLI::Option* crop =
        command.add_flag("--crop", flags.crop, "cut each picture to the frame size instead of stretching it to fit");
    CLI::Option* noAutoSize = command.add_flag("--no-autosize", flags.noAutoSize,
                                               "older form: --size without stretching, unless --stretch is given too");
    CLI::Option* stretch = command.add_flag("--stretch", flags.stretch,
                                            "older form: stretch, to the first picture's size unless --no-autosize");
    keep->excludes(size);
    for (CLI::Option* old : {noAutoSize, stretch})
        for (CLI::Option* now : {keep, crop})
            old->excludes(now);
    // Each conversion flag and its opposite; the defaults are on.
    const auto pair = [&command](const char* on, bool& onFlag, const char* onHelp, const char* off, bool& offFlag,
                                 const char* offHelp) {
        CLI::Option* yes = command.add_flag(on, onFlag, onHelp);
        command.add_flag(off, offFlag, offHelp)->excludes(yes);
        return yes;
    };
    pair("--smooth", flags.smooth, "shrink pictures by averaging the area each frame pixel covers (default: on)",
         "--nearest", flags.nearest, "shrink by taking the nearest pixel, as the window does by default");
    pair("--dither", flags.dither,
         "spread each colour's 16-bit rounding error over its 4 x 4 block of the frame (default: on)", "--no-dither",
         flags.noDither, "cut each colour to 16 bits, as the window does by default");
    pair("--fit", flags.fit,
         "scale each picture to fit inside the frame keeping its proportions, centred on white (default: on)",
         "--stretch-only", flags.stretchOnly, "stretch each picture to the frame size, as the window does")
        ->excludes(crop);
    pair("--transparent-gif", flags.transparentGif,
         "show a GIF's frames as a browser does: transparent pixels left out, the GIF's disposal applied, "
         "the first frame over white (default: on)",
         "--opaque-gif", flags.opaqueGif,
         "draw each GIF image's whole rectangle over the frame before, as the window does by default");
    command.add_flag("--strict", o.strict, "every warning (an input skipped or left out) fails the run (default: off)");
    command
        .add_option("INPUT", o.inputs,
                    "pictures to import, in order: BMP, JPEG, GIF or ABM, known by their content "
                    "('-': standard input, once)")
        ->required();
}

// A usage error: "abmtool: " and what is wrong, naming the word at fault,
// then where to read more; status 2.
int usageError(const std::string& problem, const std::string& command = {})
{
    std::string text = problem;
    // CLI11's sentences, as the rest: "the following argument was not expected".
    if (text.size() > 1 && std::isupper(static_cast<unsigned char>(text[0])) &&
        std::islower(static_cast<unsigned char>(text[1])))
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    std::cerr << "abmtool: " << abm::escapedText(text) << "\nTry 'abmtool" << (command.empty() ? "" : " " + command)
              << " --help' for more information.\n";
    return 2;
}

// The first word that is neither an option of abmtool's own nor a command
// ("frob", "-V"), which CLI11 would only call a missing command; empty when
// the command line names one, or asks for help or the version.
std::string unknownCommand(int argc, char** argv, const CLI::App& app)
{
    const auto isCommand = [&app](const std::string& word) {
        return !app.get_subcommands([&word](const CLI::App* sub) { return sub->get_name() == word; }).empty();
    };
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--memory-limit") {
            ++i;
        } else if (word.rfind("--memory-limit=", 0) == 0 || word == "-q" || word == "--quiet" || word == "-v" ||
                   word == "--verbose") {
            continue;
        } else if (word == "-h" || word == "--help" || word == "--version" || isCommand(word)) {
            return {};
        } else {
            return word;
        }
    }
    return {};
}

// What is wrong with the inputs that CLI11 cannot know: standard input
// named twice, or a terminal where a picture should come.
std::string inputProblem(const std::vector<std::string>& inputs, bool each)
{
    int standardInputs = 0;
    for (const std::string& input : inputs)
        standardInputs += abm::namesStandardInput(input);
    if (standardInputs == 0)
        return {};
    if (each)
        return "--each: standard input gives no name to call its ABM file after; name the files";
    if (standardInputs > 1)
        return "'-': standard input can be read only once";
    if (::isatty(STDIN_FILENO))
        return "'-': standard input is a terminal; pipe a picture into it or name a file";
    return {};
}

// What standard output could not take fails the run, as with GNU tools: a
// report on a full disk must not look written.
int flushStandardOutput(int status)
{
    errno = 0;
    std::cout.flush();
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good())
        return status;
    const int error = errno != 0 ? errno : EIO;
    abm::CliPrompts(std::cerr).error("", abm::FileError(abm::ErrorKind::FileCreate, "standard output", error));
    return 1;
}

// What abmtool takes before the command's name (and after it too).
struct GlobalFlags {
    int memoryLimit = 0;
    bool quiet = false, verbose = false;
};

void addGlobalOptions(CLI::App& app, GlobalFlags& g)
{
    app.set_version_flag("--version", kVersion);
    app.add_option("--memory-limit", g.memoryLimit,
                   "the most memory pictures may take, in MiB (default: 1024, or a quarter of the physical memory "
                   "when that is less; ABM_MEMORY_LIMIT_MB sets it too)")
        ->check(CLI::Range(1, 1 << 30));
    CLI::Option* quietFlag = app.add_flag("-q,--quiet", g.quiet, "print errors only");
    app.add_flag("-v,--verbose", g.verbose, "print a line per input: frames read, their size, frames written")
        ->excludes(quietFlag);
    // Allowed after the command's name as well as before it.
    app.fallthrough();
    app.require_subcommand(1);
    app.get_formatter()->column_width(36);
}

struct CommandSet {
    CLI::App *abm, *bmp, *gif, *info, *thumbnail;
    std::string thumbnailInput;
};

void addWritingCommands(CLI::App& app, CommandSet& c, abm::CliOptions& o, FrameFlags& flags)
{
    c.abm = app.add_subcommand("abm", "import INPUTs in order and save them as one ABM animation (at most four "
                                      "frames of at most " +
                                          std::to_string(abm::kPhoneFrameWidth) + " x " +
                                          std::to_string(abm::kPhoneFrameHeight) + ", all of one size)");
    addFrameOptions(*c.abm, o, flags, true);  // a folder under --each
    c.abm->add_flag("--each", o.each,
                    "one ABM file per INPUT, named after it, in the folder OUT (made if missing), "
                    "on all cores; ends with \"N written, M failed\"");
    c.bmp = app.add_subcommand("bmp", "import INPUTs in order and write every frame as a 16-bit BMP file "
                                      "named OUT without a final .bmp + frame number + .bmp "
                                      "(with -o -, the one frame to standard output)");
    addFrameOptions(*c.bmp, o, flags, true);
    c.gif = app.add_subcommand("gif", "import INPUTs in order and write the frames as the phone shows them "
                                      "(16-bit colour, at most four) as an animated GIF that loops; a frame "
                                      "of at most 256 colours is exact, one of more is reduced by median cut");
    addFrameOptions(*c.gif, o, flags, false);
    c.gif->add_flag("--all", o.all, "every frame, not only the first four");
    c.gif->add_option("--delay", o.delayMs, "time each frame shows, in milliseconds (default: 700, as the preview)")
        ->check(CLI::Range(10, 655350));
}

void addReadingCommands(CLI::App& app, CommandSet& c, abm::CliOptions& o)
{
    c.info = app.add_subcommand("info", "show the header of ABM files and whether the reader accepts them "
                                        "(exit status 1 when one is not accepted); control characters "
                                        "and bytes that are not UTF-8 in names are shown as \\xHH, "
                                        "bidirectional controls as \\uXXXX, a backslash as \\\\");
    c.info->add_flag("--json", o.json,
                     "print JSON instead of one line per file (default: off); a name's bytes "
                     "that are not UTF-8 are written as \\udcXX (XX the byte, as Python's "
                     "surrogateescape reads it back)");
    c.info->add_option("FILE", o.inputs, "ABM files ('-': standard input, once)")->required();
    c.thumbnail = app.add_subcommand("thumbnail", "write the first frame of INPUT as a PNG scaled to fit "
                                                  "SIZE x SIZE (the file manager's thumbnailer)");
    c.thumbnail->add_option("-s,--size", o.thumbnailSize, "the PNG's largest side in pixels")
        ->default_val(128)
        ->check(CLI::Range(1, 4096));
    c.thumbnail->add_option("INPUT", c.thumbnailInput, "a picture: BMP, JPEG, GIF or ABM ('-': standard input)")
        ->required();
    c.thumbnail->add_option("OUT", o.out, "the PNG file to write ('-': standard output)")->required();
}

// CLI11's parse, its errors in abmtool's words; the status to end with, or
// nothing when the command is to run.
std::optional<int> parseArguments(CLI::App& app, int argc, char** argv)
{
    if (const std::string word = unknownCommand(argc, argv, app); !word.empty())
        return usageError(word[0] == '-' ? "unknown option '" + word + "'; the commands are " + kCommands
                                         : "'" + word + "' is not a command; the commands are " + kCommands);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string commandName;
        for (const CLI::App* sub : app.get_subcommands({}))
            if (sub->parsed())
                commandName = sub->get_name();
        if (std::string(e.what()) == "A subcommand is required")
            return usageError(std::string("a command is required; the commands are ") + kCommands);
        return usageError(e.what(), commandName);
    }
    return std::nullopt;
}

// What the parse lets through but the command cannot take; empty when none.
std::string argumentProblem(const CommandSet& c, abm::CliOptions& o)
{
    if (c.abm->parsed() && o.each && o.out == "-")
        return "--output: '-' names no folder; name the folder to write the ABM files in";
    if (c.abm->parsed() && !o.each) {
        if (const std::string problem = outputProblem(o.out, false); !problem.empty())
            return "--output: " + problem;
    }
    if (c.thumbnail->parsed()) {
        if (const std::string problem = o.out == "-" ? outputProblem(o.out, false) : ""; !problem.empty())
            return "OUT: " + problem;
        o.inputs = {c.thumbnailInput};
    }
    return inputProblem(o.inputs, o.each);
}

int runCommand(const CommandSet& c, const abm::CliOptions& o)
{
    int status = 1;
    try {
        const auto command = c.abm->parsed()    ? abm::runAbm
                             : c.bmp->parsed()  ? abm::runBmp
                             : c.gif->parsed()  ? abm::runGif
                             : c.info->parsed() ? abm::runInfo
                                                : abm::runThumbnail;
        status = command(o, std::cout, std::cerr);
    } catch (const std::exception& e) {
        abm::CliPrompts(std::cerr).error("", e);
    }
    return flushStandardOutput(status);
}

}  // namespace

int main(int argc, char** argv)
{
    abm::installSaveSignalHandlers();
    abm::CliOptions o;
    FrameFlags flags;
    GlobalFlags global;
    CommandSet commands{};

    CLI::App app{"abmtool: frame animations for the Samsung SGH-C100 from pictures (BMP, JPEG, GIF, ABM)", "abmtool"};
    addGlobalOptions(app, global);
    addWritingCommands(app, commands, o, flags);
    addReadingCommands(app, commands, o);
    if (const std::optional<int> status = parseArguments(app, argc, argv))
        return *status;
    // Checked whether or not --memory-limit overrides it: a broken setting is
    // better found at once than when it next counts.
    if (const std::string problem = abm::MemoryBudget::environmentProblem(); !problem.empty())
        return usageError(problem);
    if (const std::string problem = argumentProblem(commands, o); !problem.empty())
        return usageError(problem, app.get_subcommands().front()->get_name());
    flags.applyTo(o);
    o.verbosity = global.quiet     ? abm::Verbosity::quiet
                  : global.verbose ? abm::Verbosity::verbose
                                   : abm::Verbosity::normal;
    if (global.memoryLimit > 0)
        abm::MemoryBudget::setLimit(int64_t{global.memoryLimit} << 20);
    return runCommand(commands, o);
}
