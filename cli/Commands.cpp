#include "Commands.h"

#include "GifWriter.h"
#include "NameText.h"
#include "PictureSniffer.h"
#include "PngWriter.h"
#include "ThumbnailScaler.h"
#include "base/AtomicWrite.h"
#include "base/ByteStream.h"
#include "base/Error.h"
#include "base/PathNames.h"
#include "workspace/AbmFile.h"
#include "workspace/Workspace.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

namespace abm {

namespace {

// abmtool remembers nothing between runs.
class NoSettings : public SettingsStore {
public:
    std::string readSetting(const std::string&, const std::string& defaultValue) override { return defaultValue; }
    void writeSetting(const std::string&, const std::string&) override {}
};

FrameOptionValues frameOptions(const CliOptions& o)
{
    FrameOptionValues v;
    v.width = o.width;
    v.height = o.height;
    v.autoSizeOn = o.autoSize;
    v.stretchOn = o.stretch;
    v.transparentOn = o.transparentGif;
    return v;
}

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
        : o_(o), options_(frameOptions(o)), prompts(err, o.verbosity, o.strict), ws_(options_, prompts, settings_)
    {
    }

    // Imports the inputs in order until the strip holds `frameCap` frames;
    // false when the run must stop. Every input is opened first, so that a
    // mistyped name (or a FIFO, which would never end) fails at once.
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
    FrameOptionValues options_;
    NoSettings settings_;

public:
    CliPrompts prompts;

private:
    Workspace ws_;
    std::vector<InputFrames> inputs_;
};

bool Job::importInputs(int frameCap)
{
    // Every frame would fail to be made, and the importers would drop each
    // picture as if it were damaged: the size is to blame, so say so first.
    const int64_t width = std::stoll(o_.width), height = std::stoll(o_.height);
    if (!o_.autoSize && width * height > rasterPixelLimit()) {
        prompts.error("--size", findingText(Finding::SizeTooLarge, {{"size", sizeText(int(width), int(height))},
                                                                    {"limit", std::to_string(rasterPixelLimit())}}));
        return false;
    }
    std::vector<SniffedFile> sniffed;
    for (const std::string& input : o_.inputs) {
        try {
            sniffed.push_back(sniffPictureFile(input));
        } catch (const std::exception& e) {
            prompts.error(input, e);
            return false;
        }
    }
    int leftOut = 0;
    for (size_t i = 0; i < o_.inputs.size() && !prompts.failed; ++i) {
        const std::string& input = o_.inputs[i];
        const SniffedFile& s = sniffed[i];
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
                const Finding why = result.dropped ? (s.cutShort ? Finding::CutShort : Finding::Damaged)
                                                   : Finding::CutShortImported;
                if (result.dropped || s.cutShort)
                    prompts.warning(input, findingText(why, {{"format", formatName(s.type)}}));
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

// The window only says that some frame is too large or empty; abmtool names it.
void Job::explainRefusal(int frames)
{
    const Finding why = *prompts.refusal;
    for (int i = 0; i < std::min(frames, ws_.strip.count()); ++i) {
        const Frame& t = ws_.strip.frame(i);
        const bool empty = t.width == 0 || t.height == 0 || t.picture.empty();
        if (why == Finding::FrameTooLarge ? t.width > 128 || t.height > 97 : empty) {
            prompts.error(inputOfFrame(i),
                          findingText(why, {{"frame", std::to_string(i + 1)}, {"size", sizeText(t.width, t.height)}}));
            return;
        }
    }
    prompts.error(o_.out, findingText(why, {{"frame", "?"}, {"size", "?"}}));
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
        const Raster& source = ws_.strip.frame(in.first).source;
        const Raster& frame = ws_.strip.frame(in.first).picture;
        const int out = std::clamp(written - in.first, 0, in.count);
        prompts.note(
            in.name, findingText(Finding::Verbose, {{"read", countText(in.count, "frame")},
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

// Imports, then writes OUT with `command`, or the GIF when it is null.
int importAndSave(const CliOptions& o, std::ostream& err, void (StripCommands::*command)(), bool* memoryRefused = nullptr)
{
    Job job(o, err);
    // Inputs past what is written are not even read.
    const int cap = framesWritten(o, command, kNoFrameCap);
    bool ok = job.importInputs(cap);
    if (ok) {
        const int frames = framesWritten(o, command, job.strip().count());
        ok = command ? job.save(command, frames) : job.saveGif();
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
        prompts.report(findingText(Finding::Summary, {{"written", std::to_string(written)},
                                                     {"failed", std::to_string(failed)}}));
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

namespace {

// nlohmann's strings must be valid UTF-8, a name need not be: each string
// goes into the tree as a placeholder holding a NUL, which no name, creator
// text or message can hold, and comes out as jsonString's literal.
class JsonNames {
public:
    std::string hold(const std::string& text)
    {
        texts_.push_back(text);
        return std::string(1, '\0') + std::to_string(texts_.size() - 1) + std::string(1, '\0');
    }

    std::string dump(const nlohmann::ordered_json& document) const
    {
        std::string out = document.dump(2);
        const std::string open = "\"\\u0000";
        for (size_t at = out.find(open); at != std::string::npos; at = out.find(open, at)) {
            const size_t digits = at + open.size();
            const size_t close = out.find("\\u0000\"", digits);
            const std::string literal = jsonString(texts_.at(std::stoul(out.substr(digits, close - digits))));
            out.replace(at, close + 7 - at, literal);
            at += literal.size();
        }
        return out;
    }

private:
    std::vector<std::string> texts_;
};

Finding verdictFinding(AbmVerdict verdict)
{
    return verdict == AbmVerdict::BadFormat ? Finding::AbmBadFormat : Finding::AbmCannotOpen;
}

}  // namespace

int runInfo(const CliOptions& o, std::ostream& out, std::ostream& err)
{
    CliPrompts prompts(err, o.verbosity);
    JsonNames names;
    nlohmann::ordered_json document = nlohmann::ordered_json::array();
    for (const std::string& file : o.inputs) {
        // The header and the file's size decide the reader's verdict; the
        // pixels are never read.
        AbmHeaderCheck check;
        try {
            FileStream stream(file, FileStream::Mode::OpenRead);
            check = readAbmHeader(stream);
        } catch (const std::exception& e) {
            prompts.error(file, e);
            continue;
        }
        const AbmHeader& h = check.header;
        const auto text = reinterpret_cast<const char*>(h.creatorText.data());
        const std::string creator(text, ::strnlen(text, h.creatorText.size()));
        const bool accepted = check.verdict == AbmVerdict::Accepted;
        if (!accepted)
            prompts.failed = true;
        const std::string message = accepted ? std::string() : englishText(verdictFinding(check.verdict));

        if (o.json) {
            nlohmann::ordered_json entry = {{"file", names.hold(file)},       {"FrameWidth", h.frameWidth},
                                            {"FrameHeight", h.frameHeight},   {"BitCount", h.bitCount},
                                            {"FrameCount", h.frameCount},     {"DataSize", h.dataSize},
                                            {"Creator", names.hold(creator)}, {"Accepted", accepted}};
            if (!accepted)
                entry["Message"] = names.hold(message);
            document.push_back(std::move(entry));
        } else {
            out << escapedText(file) << ": FrameWidth=" << h.frameWidth << " FrameHeight=" << h.frameHeight
                << " BitCount=" << int{h.bitCount} << " FrameCount=" << int{h.frameCount} << " DataSize=" << h.dataSize
                << " Creator=\"" << escapedText(creator, true) << "\"" << " Accepted=" << (accepted ? "yes" : "no");
            if (!accepted)
                out << " (" << message << ")";
            out << "\n";
        }
    }
    if (o.json)
        out << names.dump(document) << "\n";
    return prompts.failed ? 1 : 0;
}

namespace {

// The first frame of an ABM file scaled as it is read: the header, then only
// the rows the thumbnail samples, so that a huge file costs what a small one
// does. The verdicts and messages are the reader's.
Raster abmThumbnail(const std::string& input, int size, CliPrompts& prompts)
{
    Raster thumbnail;
    try {
        readAbmFrames(input, prompts, [&](FileStream& file, const AbmHeader& h) {
            if (h.frameCount == 0)
                return;
            ThumbnailScaler scaler(h.frameWidth, h.frameHeight, size);
            std::vector<uint8_t> row(static_cast<size_t>(h.frameWidth) * 2);
            const PixelLayout layout = PixelLayout::forFormat(pf16bit);
            for (const int y : scaler.sourceRows()) {
                file.setPosition(static_cast<int64_t>(AbmHeader::kSize + static_cast<size_t>(y) * row.size()));
                file.readBuffer(row.data(), row.size());
                scaler.addRow(y, row.data(), layout, {});
            }
            thumbnail = scaler.result();
        });
    } catch (const MemoryLimitExceeded& e) {
        throw e.forFile(input);
    }
    return thumbnail;
}

}  // namespace

int runThumbnail(const CliOptions& o, std::ostream&, std::ostream& err)
{
    FrameOptionValues options;
    CliPrompts prompts(err, o.verbosity);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    const std::string& input = o.inputs.at(0);
    Raster thumbnail;
    try {
        const SniffedFile sniffed = sniffPictureFile(input);
        if (sniffed.type == PictureType::Abm) {
            thumbnail = abmThumbnail(input, o.thumbnailSize, prompts);
        } else {
            // Only the first frame is shown: a GIF's later images are not drawn.
            importFileAs(ws.strip, prompts, input, sniffed.type, 1);
            if (ws.strip.count() > 0)
                thumbnail = fitInto(ws.strip.frame(0).picture, o.thumbnailSize);
        }
        if (prompts.failed)
            return 1;
        if (thumbnail.empty()) {
            prompts.error(input, "no picture to show (not a picture abmtool reads)");
            return 1;
        }
        const std::vector<uint8_t> png = encodePng(thumbnail);
        writeFileAtomically(o.out, png.data(), png.size(), false);
    } catch (const std::exception& e) {
        prompts.error(input, e);
        return 1;
    }
    return 0;
}

}  // namespace abm
