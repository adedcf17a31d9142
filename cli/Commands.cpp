#include "Commands.h"

#include "GifWriter.h"
#include "NoSettings.h"
#include "workspace/PictureSniffer.h"
#include "base/AtomicWrite.h"
#include "base/ByteStream.h"
#include "base/Error.h"
#include "base/ErrorText.h"
#include "base/PathNames.h"
#include "workspace/AbmFile.h"
#include "workspace/BmpExport.h"
#include "workspace/Workspace.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <sys/stat.h>
#include <thread>

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
    if (::stat(output.c_str(), &st) == 0) {
        for (const SniffedFile& input : inputs) {
            if (input.device == st.st_dev && input.inode == st.st_ino) {
                prompts.error(output, englishText(Finding::OverwritesInput));
                return false;
            }
        }
    }
    if (const int problem = checkFolder ? saveProblem(output) : 0) {
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

// One import and one output, on the window's own code.
class Job {
public:
    Job(const CliOptions& o, std::ostream& err)
        : o_(o), prompts(err, o.verbosity, o.strict), ws_(o.frame, prompts, settings_)
    {
    }

    // Opens every input, so that a mistyped name (or a FIFO, which would
    // never end) fails at once, before any work; false when one fails.
    bool sniffInputs();
    // Refuses, before anything is written, outputs that would overwrite an
    // input or that cannot be written (outputAccepted).
    bool acceptOutputs(const std::vector<std::string>& outputs);
    // Imports the inputs in order until the strip holds `frameCap` frames;
    // false when the run must stop.
    bool importInputs(int frameCap);
    // Runs one of the window's save commands with OUT as the name chosen in its dialog.
    bool save(void (StripCommands::*command)(), int frames);
    bool saveGif();
    // -v: a line per input, once its frames are written.
    void noteInputs(int written);

    const FrameStrip& strip() const { return ws_.strip; }

private:
    void explainRefusal(int frames);
    const std::string& inputOfFrame(int frame) const;

    const CliOptions& o_;
    NoSettings settings_;
    std::vector<SniffedFile> sniffed_;

public:
    CliPrompts prompts;

private:
    Workspace ws_;
    std::vector<InputFrames> inputs_;
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
            sniffed_.push_back(sniffPictureFile(input));
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

bool Job::importInputs(int frameCap)
{
    int leftOut = 0;
    for (size_t i = 0; i < o_.inputs.size() && !prompts.failed; ++i) {
        const std::string& input = o_.inputs[i];
        const SniffedFile& s = sniffed_[i];
        if (framesLeft(ws_.strip, frameCap) == 0) {
            ++leftOut;
        } else if (s.type == PictureType::None) {
            const Finding why = s.size == 0             ? Finding::EmptyFile
                                : s.otherFormat.empty() ? Finding::NotAPicture
                                                        : Finding::UnsupportedFormat;
            prompts.warning(input, findingText(why, {{"format", s.otherFormat}}));
        } else {
            const int before = ws_.strip.count();
            try {
                const ImportResult result = importFileAs(ws_.strip, prompts, input, s.type, frameCap);
                if (result.dropped)
                    prompts.warning(input, findingText(Finding::Skipped, {{"reason", droppedReason(s, result)}}));
                else if (s.cutShort)
                    prompts.warning(input, findingText(Finding::CutShortImported, {{"format", formatName(s.type)}}));
            } catch (const std::exception& e) {
                prompts.error(input, e);
                return false;
            }
            inputs_.push_back({input, before, ws_.strip.count() - before});
        }
    }
    if (leftOut > 0)
        prompts.warning("", findingText(Finding::InputsLeftOut, {{"count", countText(leftOut, "input")}}));
    if (prompts.failed)
        return false;
    if (ws_.strip.count() == 0) {
        prompts.error(o_.inputs.size() == 1 ? o_.inputs[0] : "", englishText(Finding::NoFrames));
        return false;
    }
    return true;
}

const std::string& Job::inputOfFrame(int frame) const
{
    for (const InputFrames& in : inputs_)
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
        for (int i = 0; i < std::min(frames, ws_.strip.count()) && culprit < 0; ++i) {
            const Frame& t = ws_.strip.frame(i);
            if (t.width == 0 || t.height == 0 || t.picture.empty())
                culprit = i;
        }
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

bool Job::save(void (StripCommands::*command)(), int frames)
{
    prompts.saveName = o_.out;
    try {
        (ws_.commands.*command)();
    } catch (const std::exception& e) {
        prompts.error(o_.out, e);
        return false;
    }
    if (prompts.refusal)
        explainRefusal(frames);
    return !prompts.failed;
}

bool Job::saveGif()
{
    const int frames = o_.all ? ws_.strip.count() : std::min(ws_.strip.count(), kMaxAbmFrames);
    if (!ws_.commands.framesHavePixels(frames)) {
        explainRefusal(frames);
        return false;
    }
    try {
        std::vector<const Raster*> rasters;
        for (int i = 0; i < frames; ++i)
            rasters.push_back(&ws_.strip.frame(i).picture);
        const std::vector<uint8_t> gif = encodeGifAnimation(rasters, o_.delayMs);
        writeFileAtomically(o_.out, gif.data(), gif.size(), false);
    } catch (const std::exception& e) {
        prompts.error(o_.out, e);
        return false;
    }
    return true;
}

void Job::noteInputs(int written)
{
    for (const InputFrames& in : inputs_) {
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

// The frames each command writes: an ABM file holds four; the GIF shows
// what the phone would unless --all.
int framesWritten(const CliOptions& o, void (StripCommands::*command)(), int count)
{
    if (command == &StripCommands::exportBmp || (command == nullptr && o.all))
        return count;
    return std::min(count, kMaxAbmFrames);
}

// The files `command` writes (the GIF when it is null) for `frames` frames.
std::vector<std::string> outputNames(const CliOptions& o, void (StripCommands::*command)(), int frames)
{
    if (command == &StripCommands::saveAbm)
        return {replaceExtension(o.out, ".abm")};
    if (command != &StripCommands::exportBmp)
        return {o.out};
    return bmpFrameNames(bmpFramePrefix(o.out), std::max(frames, 1));
}

// Imports, then writes OUT with `command`, or the GIF when it is null.
int importAndSave(const CliOptions& o, std::ostream& err, void (StripCommands::*command)(),
                  bool* memoryRefused = nullptr)
{
    Job job(o, err);
    // Inputs past what is written are not even read.
    const int cap = framesWritten(o, command, kNoFrameCap);
    bool ok = job.sniffInputs() && job.acceptOutputs(outputNames(o, command, 1)) && job.importInputs(cap);
    if (ok) {
        const int frames = framesWritten(o, command, job.strip().count());
        // Only now is it known how many frame files bmp writes.
        ok = (command != &StripCommands::exportBmp || job.acceptOutputs(outputNames(o, command, frames))) &&
             (command ? job.save(command, frames) : job.saveGif());
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
            const int status = importAndSave(jobs[i], said, &StripCommands::saveAbm, &refused);
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
        failed += importAndSave(jobs[i], err, &StripCommands::saveAbm);

    const int written = static_cast<int>(o.inputs.size()) - failed;
    if (failed > 0 || !prompts.quiet())
        prompts.report(
            findingText(Finding::Summary, {{"written", std::to_string(written)}, {"failed", std::to_string(failed)}}));
    return failed == 0 ? 0 : 1;
}

}  // namespace

int runAbm(const CliOptions& o, std::ostream&, std::ostream& err)
{
    if (o.each)
        return runEach(o, err);
    return importAndSave(o, err, &StripCommands::saveAbm);
}

int runBmp(const CliOptions& o, std::ostream&, std::ostream& err)
{
    return importAndSave(o, err, &StripCommands::exportBmp);
}

int runGif(const CliOptions& o, std::ostream&, std::ostream& err)
{
    return importAndSave(o, err, nullptr);
}

}  // namespace abm
