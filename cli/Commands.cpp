#include "Commands.h"

#include "CliPrompts.h"
#include "NameText.h"
#include "PngWriter.h"
#include "ThumbnailScaler.h"
#include "base/AtomicWrite.h"
#include "base/Error.h"
#include "base/ErrorText.h"
#include "base/ByteStream.h"
#include "base/PathNames.h"
#include "workspace/Workspace.h"

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <unistd.h>

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

// Every input must be a readable regular file before anything is imported,
// so that a mistyped name (or a FIFO, which would never end) fails the run at
// once, even where the window would stay silent.
void checkInputExists(const std::string& name)
{
    int error = 0;
    const int fd = openRegularFile(name, error);
    if (fd < 0)
        throw FileError(ErrorKind::FileOpen, name, error);
    ::close(fd);
}

// The open command's import of the inputs, stopping once the strip holds
// `frameCap` frames; false when the run must stop.
bool importInputs(Workspace& ws, CliPrompts& prompts, const CliOptions& o, int frameCap)
{
    for (const std::string& input : o.inputs)
        checkInputExists(input);
    bool dropped = false;
    int leftOut = 0;
    importFiles(
        ws.strip, ws.settings(), o.inputs,
        [&](const std::string& name, const ImportResult& result) {
            if (result.leftOut) {
                ++leftOut;
            } else if (result.dropped) {
                prompts.report("warning: " + name + ": not a picture of its kind, skipped");
                dropped = true;
            }
        },
        frameCap);
    if (leftOut > 0)
        prompts.report("warning: " + std::to_string(leftOut) + (leftOut == 1 ? " input" : " inputs") +
                       " after the fourth frame left out");
    if (prompts.failed || (dropped && o.strict))
        return false;
    if (ws.strip.count() == 0) {
        prompts.report("no frames to write");
        return false;
    }
    return true;
}

}  // namespace

namespace {

// Imports the inputs, then runs one of the window's save commands with OUT
// as the name chosen in its dialog.
int importAndSave(const CliOptions& o, std::ostream& err, void (Workspace::*save)(), int frameCap)
{
    FrameOptionValues options = frameOptions(o);
    CliPrompts prompts(err);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    if (!importInputs(ws, prompts, o, frameCap))
        return 1;
    prompts.saveName = o.out;
    (ws.*save)();
    return prompts.failed ? 1 : 0;
}

}  // namespace

int runAbm(const CliOptions& o, std::ostream&, std::ostream& err)
{
    // An ABM file holds four frames: the inputs past them are not even read.
    return importAndSave(o, err, &Workspace::saveAbm, kMaxAbmFrames);
}

int runBmp(const CliOptions& o, std::ostream&, std::ostream& err)
{
    return importAndSave(o, err, &Workspace::exportBmp, kNoFrameCap);
}

int runInfo(const CliOptions& o, std::ostream& out, std::ostream& err)
{
    int status = 0;
    bool first = true;
    if (o.json)
        out << "[";
    for (const std::string& file : o.inputs) {
        // The header and the file's size decide the reader's verdict; the
        // pixels are never read.
        AbmHeaderCheck check;
        try {
            FileStream stream(file, FileStream::Mode::OpenRead);
            check = readAbmHeader(stream);
        } catch (const std::exception& e) {
            CliPrompts(err).report(errorBoxText(describe(e, programText)));
            status = 1;
            continue;
        }
        const AbmHeader& h = check.header;
        const auto text = reinterpret_cast<const char*>(h.creatorText.data());
        const std::string creator(text, ::strnlen(text, h.creatorText.size()));
        const bool accepted = check.verdict == AbmVerdict::Accepted;
        if (!accepted)
            status = 1;
        const std::string message = accepted ? std::string() : abmVerdictMessage(check.verdict, file);

        if (o.json) {
            out << (first ? "\n" : ",\n") << "  {\"file\": " << jsonString(file) << ", \"FrameWidth\": " << h.frameWidth
                << ", \"FrameHeight\": " << h.frameHeight << ", \"BitCount\": " << int{h.bitCount}
                << ", \"FrameCount\": " << int{h.frameCount} << ", \"DataSize\": " << h.dataSize
                << ", \"Creator\": " << jsonString(creator) << ", \"Accepted\": " << (accepted ? "true" : "false");
            if (!accepted)
                out << ", \"Message\": " << jsonString(message);
            out << "}";
        } else {
            out << escapedText(file) << ": FrameWidth=" << h.frameWidth << " FrameHeight=" << h.frameHeight
                << " BitCount=" << int{h.bitCount} << " FrameCount=" << int{h.frameCount} << " DataSize=" << h.dataSize
                << " Creator=\"" << escapedText(creator, true) << "\""
                << " Accepted=" << (accepted ? "yes" : "no");
            if (!accepted)
                out << " (" << escapedText(message) << ")";
            out << "\n";
        }
        first = false;
    }
    if (o.json)
        out << (first ? "]\n" : "\n]\n");
    return status;
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
    CliPrompts prompts(err);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    const std::string& input = o.inputs.at(0);
    checkInputExists(input);
    Raster thumbnail;
    if (trim(upperCase(extensionPart(input))) == ".ABM") {
        thumbnail = abmThumbnail(input, o.thumbnailSize, prompts);
    } else {
        // Only the first frame is shown: a GIF's later images are not drawn.
        importFile(ws.strip, input, 1);
        if (ws.strip.count() > 0)
            thumbnail = fitInto(ws.strip.thumbnail(0).picture, o.thumbnailSize);
    }
    if (prompts.failed)
        return 1;
    if (thumbnail.empty()) {
        prompts.report(input + ": no picture to show");
        return 1;
    }
    const std::vector<uint8_t> png = encodePng(thumbnail);
    writeFileAtomically(o.out, png.data(), png.size(), false);
    return 0;
}

}  // namespace abm
