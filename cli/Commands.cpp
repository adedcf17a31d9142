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
class NoSettings : public ISettingsStore {
public:
    std::string ReadSetting(const std::string&, const std::string& defaultValue) override { return defaultValue; }
    void WriteSetting(const std::string&, const std::string&) override {}
};

TFrameOptionValues FrameOptions(const TCliOptions& o)
{
    TFrameOptionValues v;
    v.Width = o.width;
    v.Height = o.height;
    v.AutoSizeOn = o.autoSize;
    v.StretchOn = o.stretch;
    v.TransparentOn = o.transparentGif;
    return v;
}

// Every input must be a readable regular file before anything is imported,
// so that a mistyped name (or a FIFO, which would never end) fails the run at
// once, even where the window would stay silent.
void CheckInputExists(const std::string& name)
{
    int error = 0;
    const int fd = OpenRegularFile(name, error);
    if (fd < 0)
        throw FileError(ErrorKind::FileOpen, name, error);
    ::close(fd);
}

// The open command's import of the inputs, stopping once the strip holds
// `frameCap` frames; false when the run must stop.
bool ImportInputs(Workspace& ws, CliPrompts& prompts, const TCliOptions& o, int frameCap)
{
    for (const std::string& input : o.inputs)
        CheckInputExists(input);
    bool dropped = false;
    int leftOut = 0;
    ImportFiles(
        ws.Strip, ws.Settings(), o.inputs,
        [&](const std::string& name, const TImportResult& result) {
            if (result.leftOut) {
                ++leftOut;
            } else if (result.dropped) {
                prompts.Report("warning: " + name + ": not a picture of its kind, skipped");
                dropped = true;
            }
        },
        frameCap);
    if (leftOut > 0)
        prompts.Report("warning: " + std::to_string(leftOut) + (leftOut == 1 ? " input" : " inputs") +
                       " after the fourth frame left out");
    if (prompts.Failed || (dropped && o.strict))
        return false;
    if (ws.Strip.Count() == 0) {
        prompts.Report("no frames to write");
        return false;
    }
    return true;
}

}  // namespace

namespace {

// Imports the inputs, then runs one of the window's save commands with OUT
// as the name chosen in its dialog.
int ImportAndSave(const TCliOptions& o, std::ostream& err, void (Workspace::*save)(), int frameCap)
{
    TFrameOptionValues options = FrameOptions(o);
    CliPrompts prompts(err);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    if (!ImportInputs(ws, prompts, o, frameCap))
        return 1;
    prompts.SaveName = o.out;
    (ws.*save)();
    return prompts.Failed ? 1 : 0;
}

}  // namespace

int RunAbm(const TCliOptions& o, std::ostream&, std::ostream& err)
{
    // An ABM file holds four frames: the inputs past them are not even read.
    return ImportAndSave(o, err, &Workspace::saveAbm, kMaxAbmFrames);
}

int RunBmp(const TCliOptions& o, std::ostream&, std::ostream& err)
{
    return ImportAndSave(o, err, &Workspace::exportBmp, kNoFrameCap);
}

int RunInfo(const TCliOptions& o, std::ostream& out, std::ostream& err)
{
    int status = 0;
    bool first = true;
    if (o.json)
        out << "[";
    for (const std::string& file : o.inputs) {
        // The header and the file's size decide the reader's verdict; the
        // pixels are never read.
        TAbmHeaderCheck check;
        try {
            TFileStream stream(file, TFileStream::Mode::OpenRead);
            check = ReadAbmHeader(stream);
        } catch (const std::exception& e) {
            CliPrompts(err).Report(ErrorBoxText(describe(e, programText)));
            status = 1;
            continue;
        }
        const TAbmHeader& h = check.header;
        const auto text = reinterpret_cast<const char*>(h.CreatorText.data());
        const std::string creator(text, ::strnlen(text, h.CreatorText.size()));
        const bool accepted = check.verdict == TAbmVerdict::Accepted;
        if (!accepted)
            status = 1;
        const std::string message = accepted ? std::string() : AbmVerdictMessage(check.verdict, file);

        if (o.json) {
            out << (first ? "\n" : ",\n") << "  {\"file\": " << JsonString(file) << ", \"FrameWidth\": " << h.FrameWidth
                << ", \"FrameHeight\": " << h.FrameHeight << ", \"BitCount\": " << int{h.BitCount}
                << ", \"FrameCount\": " << int{h.FrameCount} << ", \"DataSize\": " << h.DataSize
                << ", \"Creator\": " << JsonString(creator) << ", \"Accepted\": " << (accepted ? "true" : "false");
            if (!accepted)
                out << ", \"Message\": " << JsonString(message);
            out << "}";
        } else {
            out << EscapedText(file) << ": FrameWidth=" << h.FrameWidth << " FrameHeight=" << h.FrameHeight
                << " BitCount=" << int{h.BitCount} << " FrameCount=" << int{h.FrameCount} << " DataSize=" << h.DataSize
                << " Creator=\"" << EscapedText(creator, true) << "\"" << " Accepted=" << (accepted ? "yes" : "no");
            if (!accepted)
                out << " (" << EscapedText(message) << ")";
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
TBitmap AbmThumbnail(const std::string& input, int size, CliPrompts& prompts)
{
    TBitmap thumbnail;
    try {
        ReadAbmFrames(input, prompts, [&](TFileStream& file, const TAbmHeader& h) {
            if (h.FrameCount == 0)
                return;
            ThumbnailScaler scaler(h.FrameWidth, h.FrameHeight, size);
            std::vector<uint8_t> row(static_cast<size_t>(h.FrameWidth) * 2);
            const TPixelLayout layout = TPixelLayout::ForFormat(pf16bit);
            for (const int y : scaler.SourceRows()) {
                file.SetPosition(static_cast<int64_t>(TAbmHeader::kSize + static_cast<size_t>(y) * row.size()));
                file.ReadBuffer(row.data(), row.size());
                scaler.AddRow(y, row.data(), layout, {});
            }
            thumbnail = scaler.Result();
        });
    } catch (const MemoryLimitExceeded& e) {
        throw e.forFile(input);
    }
    return thumbnail;
}

}  // namespace

int RunThumbnail(const TCliOptions& o, std::ostream&, std::ostream& err)
{
    TFrameOptionValues options;
    CliPrompts prompts(err);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    const std::string& input = o.inputs.at(0);
    CheckInputExists(input);
    TBitmap thumbnail;
    if (Trim(upperCase(extensionPart(input))) == ".ABM") {
        thumbnail = AbmThumbnail(input, o.thumbnailSize, prompts);
    } else {
        // Only the first frame is shown: a GIF's later images are not drawn.
        ImportFile(ws.Strip, input, 1);
        if (ws.Strip.Count() > 0)
            thumbnail = FitInto(ws.Strip.Thumbnail(0).Picture, o.thumbnailSize);
    }
    if (prompts.Failed)
        return 1;
    if (thumbnail.Empty()) {
        prompts.Report(input + ": no picture to show");
        return 1;
    }
    const std::vector<uint8_t> png = EncodePng(thumbnail);
    WriteFileAtomically(o.out, png.data(), png.size(), false);
    return 0;
}

}  // namespace abm
