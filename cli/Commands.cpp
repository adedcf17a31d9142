#include "Commands.h"

#include "GifWriter.h"
#include "NoSettings.h"
#include "workspace/PictureSniffer.h"
#include "base/AtomicWrite.h"
#include "base/ByteStream.h"
#include "base/Error.h"
#include "base/ErrorText.h"
#include "base/NameText.h"
#include "base/PathNames.h"
#include "codecs/bmp/BmpCodec.h"
#include "workspace/AbmFile.h"
#include "workspace/BmpExport.h"
#include "workspace/Workspace.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace abm {

namespace {

const char* formatName(PictureType type)
{
    switch (type) {
    case PictureType::Jpeg: return "JPEG";
    case PictureType::Bmp: return "BMP";
    case PictureType::Gif: return "GIF";
    case PictureType::Abm: return "ABM";
    case PictureType::None: break;
    }
    return "picture";
}

std::string sizeText(int width, int height)
{
    return std::to_string(width) + " × " + std::to_string(height);
}

std::string countText(int count, const char* one)
{
    return std::to_string(count) + " " + one + (count == 1 ? "" : "s");
}

}  // namespace

bool namesStandardInput(const std::string& name)
{
    if (name == "-")
        return true;
    struct stat named {
    }, given{};
    return ::stat(name.c_str(), &named) == 0 && ::fstat(STDIN_FILENO, &given) == 0 && !S_ISREG(given.st_mode) &&
           named.st_dev == given.st_dev && named.st_ino == given.st_ino;
}

std::string inputName(const std::string& name)
{
    return name == "-" ? "standard input" : name;
}

std::string outputName(const std::string& name)
{
    return name == "-" ? "standard output" : name;
}

SniffedFile standardInputIdentity()
{
    SniffedFile identity;
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode)) {
        identity.device = st.st_dev;
        identity.inode = st.st_ino;
    }
    return identity;
}

InputFile openInput(const std::string& name)
{
    if (!namesStandardInput(name))
        return InputFile(name);
    return InputFile(inputName(name), std::make_shared<const LoadedBytes>(readToEnd(STDIN_FILENO, inputName(name))));
}

void writeOutput(const std::string& name, const std::vector<uint8_t>& bytes, std::ostream& out)
{
    if (name == "-")
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    else
        writeFileAtomically(name, bytes.data(), bytes.size(), false);
}

std::string nameList(const std::vector<std::string>& names)
{
    return listedNames(names, 5, [](size_t rest) { return " and " + std::to_string(rest) + " more"; });
}

std::string droppedReason(const SniffedFile& sniffed, const ImportResult& result)
{
    if (sniffed.unsupportedDepth != 0)
        return findingText(Finding::UnsupportedDepth, {{"bits", std::to_string(sniffed.unsupportedDepth)}});
    try {
        if (result.why)
            std::rethrow_exception(result.why);
    } catch (const Error& e) {
        // The decoder's own words where they say more than "damaged".
        if (e.kind() == ErrorKind::PictureTooLarge || e.kind() == ErrorKind::JpegTooManyScans ||
            e.kind() == ErrorKind::InputTooLarge)
            return describe(e, englishText);
    } catch (...) {
    }
    return findingText(sniffed.cutShort ? Finding::CutShort : Finding::Damaged, {{"format", formatName(sniffed.type)}});
}

bool outputAccepted(CliPrompts& prompts, const std::string& output, const std::vector<SniffedFile>& inputs,
                    bool checkFolder)
{
    struct stat st {};
    const bool standardOutput = output == "-";
    if (standardOutput ? ::fstat(STDOUT_FILENO, &st) == 0 : ::stat(output.c_str(), &st) == 0) {
        for (const SniffedFile& input : inputs) {
            if (input.inode != 0 && input.device == st.st_dev && input.inode == st.st_ino) {
                prompts.error(outputName(output), englishText(Finding::OverwritesInput));
                return false;
            }
        }
    }
    if (const int problem = checkFolder && !standardOutput ? saveProblem(output) : 0) {
        prompts.error(output, FileError(ErrorKind::FileCreate, output, problem));
        return false;
    }
    return true;
}

namespace {

// Which input gave which frames of the strip.
struct InputFrames {
    std::string name;
    int first = 0;
    int count = 0;
};

enum class Output { Abm, Bmp, Gif };

// One import and one output, on the window's own code.
class Job {
public:
    Job(const CliOptions& o, std::ostream& out, std::ostream& err)
        : o_(o), out_(out), prompts(err, o.verbosity, o.strict), ws_(o.frame, prompts, settings_)
    {
    }

    // Opens every input, so that a mistyped name (or a FIFO, which would
    // never end) fails at once, before any work; false when one fails.
    // Standard input is only noted here, and read by readStandardInput.
    bool sniffInputs();
    // Refuses, before anything is written, outputs that would overwrite an
    // input or that cannot be written (outputAccepted).
    bool acceptOutputs(const std::vector<std::string>& outputs);
    bool readStandardInput();
    // Imports the inputs in order until the strip holds `frameCap` frames;
    // false when the run must stop.
    bool importInputs(int frameCap);
    bool saveAbm();
    // Runs the window's BMP export with OUT as the name chosen in its
    // dialog; to standard output, the one frame as a BMP file.
    bool saveBmp();
    bool saveGif();
    // -v: a line per input, once its frames are written.
    void noteInputs(int written);

    const FrameStrip& strip() const { return ws_.strip; }

private:
    void explainRefusal(int frames);
    const std::string& inputOfFrame(int frame) const;
    // The bytes `bytes` makes into OUT; false, said, when either fails.
    bool write(const std::function<std::vector<uint8_t>()>& bytes);

    const CliOptions& o_;
    std::ostream& out_;
    NoSettings settings_;
    std::vector<InputFile> inputs_;
    std::vector<SniffedFile> sniffed_;
    int standardInput_ = -1;  // the input that reads it, if any

public:
    CliPrompts prompts;

private:
    Workspace ws_;
    std::vector<InputFrames> imported_;
};

bool Job::sniffInputs()
{
    // Every frame would fail to be made, and the importers would drop each
    // picture as if it were damaged: the size is to blame, so say so first.
    const int64_t width = o_.frame.width.value(), height = o_.frame.height.value();
    if (!o_.frame.autoSize && width * height > rasterPixelLimit()) {
        prompts.error("--size", findingText(Finding::SizeTooLarge, {{"size", sizeText(int(width), int(height))},
                                                                    {"limit", std::to_string(rasterPixelLimit())}}));
        return false;
    }
    for (const std::string& input : o_.inputs) {
        try {
            if (namesStandardInput(input)) {
                standardInput_ = static_cast<int>(inputs_.size());
                inputs_.emplace_back(inputName(input));
                sniffed_.push_back(standardInputIdentity());
                continue;
            }
            sniffed_.push_back(sniffPictureFile(input));
            inputs_.emplace_back(input);
        } catch (const std::exception& e) {
            prompts.error(input, e);
            return false;
        }
    }
    return true;
}

bool Job::acceptOutputs(const std::vector<std::string>& outputs)
{
    // The frame files of bmp share the first one's folder.
    for (size_t i = 0; i < outputs.size(); ++i)
        if (!outputAccepted(prompts, outputs[i], sniffed_, i == 0))
            return false;
    return true;
}

bool Job::readStandardInput()
{
    if (standardInput_ < 0)
        return true;
    InputFile& input = inputs_[static_cast<size_t>(standardInput_)];
    try {
        input = openInput("-");
        SniffedFile& sniffed = sniffed_[static_cast<size_t>(standardInput_)];
        const SniffedFile identity = sniffed;
        sniffed = sniffInput(input);
        sniffed.device = identity.device;
        sniffed.inode = identity.inode;
    } catch (const std::exception& e) {
        prompts.error(input.name(), e);
        return false;
    }
    return true;
}

bool Job::importInputs(int frameCap)
{
    std::vector<std::string> leftOut;
    for (size_t i = 0; i < inputs_.size() && !prompts.failed; ++i) {
        const std::string& input = inputs_[i].name();
        const SniffedFile& s = sniffed_[i];
        if (framesLeft(ws_.strip, frameCap) == 0) {
            leftOut.push_back(input);
        } else if (s.type == PictureType::None) {
            const Finding why = s.size == 0             ? Finding::EmptyFile
                                : s.otherFormat.empty() ? Finding::NotAPicture
                                                        : Finding::UnsupportedFormat;
            prompts.warning(input, findingText(why, {{"format", s.otherFormat}}));
        } else {
            const int before = ws_.strip.count();
            try {
                const ImportResult result = importFileAs(ws_.strip, prompts, inputs_[i], s.type, frameCap);
                if (result.dropped)
                    prompts.warning(input, findingText(Finding::Skipped, {{"reason", droppedReason(s, result)}}));
                else if (s.cutShort)
                    prompts.warning(input, findingText(Finding::CutShortImported, {{"format", formatName(s.type)}}));
            } catch (const std::exception& e) {
                prompts.error(input, e);
                return false;
            }
            imported_.push_back({input, before, ws_.strip.count() - before});
        }
        // Standard input's bytes are not needed once its frames are made.
        inputs_[i] = InputFile(input);
    }
    if (!leftOut.empty())
        prompts.warning("", findingText(Finding::InputsLeftOut, {{"count", countText(int(leftOut.size()), "input")},
                                                                 {"names", nameList(leftOut)}}));
    if (prompts.failed)
        return false;
    if (ws_.strip.count() == 0) {
        prompts.error(inputs_.size() == 1 ? inputs_[0].name() : "", englishText(Finding::NoFrames));
        return false;
    }
    return true;
}

const std::string& Job::inputOfFrame(int frame) const
{
    for (const InputFrames& in : imported_)
        if (frame >= in.first && frame < in.first + in.count)
            return in.name;
    return o_.out;
}

// The window only says that some frame is too large, empty or of another
// size; abmtool names it.
void Job::explainRefusal(int frames)
{
    const Finding why = *prompts.refusal;
    int culprit = -1;
    if (why == Finding::FrameTooLarge) {
        culprit = frameOverPhoneSize(ws_.strip);
    } else if (why == Finding::FramesOfOtherSizes) {
        culprit = frameOfOtherSize(ws_.strip);
    } else {
        culprit = frameWithoutPixels(ws_.strip, frames);
    }
    if (culprit < 0) {
        prompts.error(o_.out, findingText(why, {{"frame", "?"},
                                                {"size", "?"},
                                                {"first", "?"},
                                                {"phone", sizeText(kPhoneFrameWidth, kPhoneFrameHeight)}}));
        return;
    }
    const Frame& t = ws_.strip.frame(culprit);
    const Raster& first = ws_.strip.frame(0).picture;
    // The size that would be written; a frame that only shows too large is
    // frame 1, whose picture has the size every frame shows at.
    const std::string size = why == Finding::FrameWithoutPixels ? sizeText(t.width, t.height)
                                                                : sizeText(t.picture.width(), t.picture.height());
    prompts.error(inputOfFrame(culprit), findingText(why, {{"frame", std::to_string(culprit + 1)},
                                                           {"size", size},
                                                           {"first", sizeText(first.width(), first.height())},
                                                           {"phone", sizeText(kPhoneFrameWidth, kPhoneFrameHeight)}}));
}

bool Job::write(const std::function<std::vector<uint8_t>()>& bytes)
{
    try {
        writeOutput(o_.out, bytes(), out_);
    } catch (const std::exception& e) {
        prompts.error(outputName(o_.out), e);
        return false;
    }
    return true;
}

bool Job::saveAbm()
{
    // The window's checks, then exactly the name given.
    if (!ws_.commands.abmFramesFit()) {
        explainRefusal(kMaxAbmFrames);
        return false;
    }
    return write([this] { return abmFileBytes(ws_.strip); });
}

bool Job::saveBmp()
{
    if (o_.out != "-") {
        prompts.saveName = o_.out;
        try {
            ws_.commands.exportBmp();
        } catch (const std::exception& e) {
            prompts.error(o_.out, e);
            return false;
        }
        if (prompts.refusal)
            explainRefusal(ws_.strip.count());
        return !prompts.failed;
    }
    if (ws_.strip.count() > 1) {
        prompts.error(outputName(o_.out),
                      findingText(Finding::OneFrameToStandardOutput, {{"count", std::to_string(ws_.strip.count())}}));
        return false;
    }
    if (!ws_.commands.framesHavePixels(1)) {
        explainRefusal(1);
        return false;
    }
    return write([this] { return encodeBmp(ws_.strip.frame(0).picture); });
}

bool Job::saveGif()
{
    const int frames = o_.all ? ws_.strip.count() : std::min(ws_.strip.count(), kMaxAbmFrames);
    if (!ws_.commands.framesHavePixels(frames)) {
        explainRefusal(frames);
        return false;
    }
    return write([this, frames] {
        std::vector<const Raster*> rasters;
        for (int i = 0; i < frames; ++i)
            rasters.push_back(&ws_.strip.frame(i).picture);
        return encodeGifAnimation(rasters, o_.delayMs);
    });
}

void Job::noteInputs(int written)
{
    for (const InputFrames& in : imported_) {
        if (in.count == 0)
            continue;
        const SourcePicture& source = ws_.strip.frame(in.first).source;
        const Raster& frame = ws_.strip.frame(in.first).picture;
        const int out = std::clamp(written - in.first, 0, in.count);
        prompts.note(in.name, findingText(Finding::Verbose, {{"read", countText(in.count, "frame")},
                                                             {"size", sizeText(source.width(), source.height())},
                                                             {"written", std::to_string(out)},
                                                             {"frame", sizeText(frame.width(), frame.height())}}));
    }
}

// The frames each output holds: an ABM file four; the GIF shows what the
// phone would unless --all.
int framesWritten(const CliOptions& o, Output output, int count)
{
    if (output == Output::Bmp || (output == Output::Gif && o.all))
        return count;
    return std::min(count, kMaxAbmFrames);
}

// The files an output of `frames` frames writes: exactly the name given,
// or bmp's frame files after it.
std::vector<std::string> outputNames(const CliOptions& o, Output output, int frames)
{
    if (output != Output::Bmp || o.out == "-")
        return {o.out};
    return bmpFrameNames(bmpFramePrefix(o.out), std::max(frames, 1));
}

bool hasAbmExtension(const std::string& name)
{
    return equalsIgnoringCase(extensionPart(name), ".abm");
}

// Imports, then writes OUT.
int importAndSave(const CliOptions& o, std::ostream& out, std::ostream& err, Output output,
                  bool* memoryRefused = nullptr)
{
    Job job(o, out, err);
    if (output == Output::Abm && o.out != "-" && !hasAbmExtension(o.out))
        job.prompts.warning(o.out, englishText(Finding::NotAbmName));
    // Inputs past what is written are not even read.
    const int cap = framesWritten(o, output, kNoFrameCap);
    bool ok = !job.prompts.failed && job.sniffInputs() && job.acceptOutputs(outputNames(o, output, 1)) &&
              job.readStandardInput() && job.importInputs(cap);
    if (ok) {
        const int frames = framesWritten(o, output, job.strip().count());
        // Only now is it known how many frame files bmp writes.
        ok = (output != Output::Bmp || job.acceptOutputs(outputNames(o, output, frames))) &&
             (output == Output::Abm   ? job.saveAbm()
              : output == Output::Bmp ? job.saveBmp()
                                      : job.saveGif());
        if (ok)
            job.noteInputs(frames);
    }
    if (memoryRefused)
        *memoryRefused = job.prompts.memoryRefused;
    return ok ? 0 : 1;
}

// --each: one ABM file per input in OUT, on all cores. The inputs share the
// one memory budget of the process, so together they never hold more than
// it; an input refused for memory while others ran is tried again alone
// afterwards, so none fails only for being run beside the others.
int runEach(const CliOptions& o, std::ostream& err)
{
    CliPrompts prompts(err, o.verbosity, o.strict);
    std::error_code failure;
    std::filesystem::create_directories(o.out, failure);
    if (failure) {
        prompts.error(o.out, "cannot make the folder (" + failure.message() + ")");
        return 1;
    }
    std::vector<CliOptions> jobs;
    std::map<std::string, std::string> claimed;  // output → input
    int failed = 0;
    for (const std::string& input : o.inputs) {
        std::string target = o.out;
        if (target.back() != '/')
            target += '/';
        target += replaceExtension(fileNamePart(input), ".abm");
        if (const auto [at, fresh] = claimed.emplace(target, input); !fresh) {
            prompts.error(input, findingText(Finding::SameOutput, {{"file", target}}));
            ++failed;
            continue;
        }
        CliOptions one = o;
        one.inputs = {input};
        one.out = target;
        jobs.push_back(std::move(one));
    }

    std::mutex lock;
    std::atomic<size_t> next{0};
    std::vector<size_t> retry;
    const size_t threads = std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), jobs.size()));
    const auto work = [&] {
        for (size_t i; (i = next++) < jobs.size();) {
            std::ostringstream said;
            bool refused = false;
            const int status = importAndSave(jobs[i], said, said, Output::Abm, &refused);
            const std::lock_guard<std::mutex> hold(lock);
            if (status != 0 && refused && threads > 1) {
                retry.push_back(i);
                continue;
            }
            failed += status;
            err << said.str() << std::flush;
        }
    };
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    std::sort(retry.begin(), retry.end());
    for (const size_t i : retry)
        failed += importAndSave(jobs[i], err, err, Output::Abm);

    const int written = static_cast<int>(o.inputs.size()) - failed;
    if (failed > 0 || !prompts.quiet())
        prompts.report(
            findingText(Finding::Summary, {{"written", std::to_string(written)}, {"failed", std::to_string(failed)}}));
    return failed == 0 ? 0 : 1;
}

}  // namespace

int runAbm(const CliOptions& o, std::ostream& out, std::ostream& err)
{
    if (o.each)
        return runEach(o, err);
    return importAndSave(o, out, err, Output::Abm);
}

int runBmp(const CliOptions& o, std::ostream& out, std::ostream& err)
{
    return importAndSave(o, out, err, Output::Bmp);
}

int runGif(const CliOptions& o, std::ostream& out, std::ostream& err)
{
    return importAndSave(o, out, err, Output::Gif);
}

}  // namespace abm
