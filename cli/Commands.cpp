#include "Commands.h"

#include "CliPrompts.h"
#include "NameText.h"
#include "PngWriter.h"
#include "codecs/raster/AtomicWrite.h"
#include "codecs/raster/Errors.h"
#include "codecs/raster/Stream.h"
#include "workspace/Workspace.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <sys/stat.h>

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

// Every input must be a readable file before anything is imported, so that a
// mistyped name fails the run even where the window would stay silent.
void CheckInputExists(const std::string& name)
{
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0)
        throw FileOpenError(name, errno);
    if (S_ISDIR(st.st_mode))
        throw FileOpenError(name, EISDIR);
}

// The open command's import of the inputs; false when the run must stop.
bool ImportInputs(Workspace& ws, CliPrompts& prompts, const TCliOptions& o)
{
    for (const std::string& input : o.inputs)
        CheckInputExists(input);
    bool dropped = false;
    ImportFiles(ws.Strip, ws.Settings(), o.inputs, [&](const std::string& name, const TImportResult& result) {
        if (result.dropped) {
            prompts.Report("warning: " + name + ": not a picture of its kind, skipped");
            dropped = true;
        }
    });
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
int ImportAndSave(const TCliOptions& o, std::ostream& err, void (Workspace::*save)())
{
    TFrameOptionValues options = FrameOptions(o);
    CliPrompts prompts(err);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    if (!ImportInputs(ws, prompts, o))
        return 1;
    prompts.SaveName = o.out;
    (ws.*save)();
    return prompts.Failed ? 1 : 0;
}

}  // namespace

int RunAbm(const TCliOptions& o, std::ostream&, std::ostream& err)
{
    return ImportAndSave(o, err, &Workspace::SaveToFileAExecute);
}

int RunBmp(const TCliOptions& o, std::ostream&, std::ostream& err)
{
    return ImportAndSave(o, err, &Workspace::SaveBmpAExecute);
}

int RunInfo(const TCliOptions& o, std::ostream& out, std::ostream& err)
{
    int status = 0;
    bool first = true;
    if (o.json)
        out << "[";
    for (const std::string& file : o.inputs) {
        CliPrompts prompts(err);
        std::vector<uint8_t> bytes;
        try {
            bytes = ReadWholeFile(file);
        } catch (const std::exception& e) {
            prompts.Report(ErrorBoxText(e.what()));
            status = 1;
            continue;
        }
        const TAbmHeader h = TAbmHeader::Decode(bytes.data(), bytes.size());
        const auto text = reinterpret_cast<const char*>(h.CreatorText.data());
        const std::string creator(text, ::strnlen(text, h.CreatorText.size()));

        // Whether the reader takes it: the real reader, into a scratch strip.
        TFrameOptionValues options;
        prompts.Quiet = true;
        FrameStrip scratch(options, prompts);
        ReadAbmFile(scratch, file);
        const bool accepted = prompts.Messages.empty();
        if (!accepted)
            status = 1;

        if (o.json) {
            out << (first ? "\n" : ",\n") << "  {\"file\": " << JsonString(file) << ", \"FrameWidth\": " << h.FrameWidth
                << ", \"FrameHeight\": " << h.FrameHeight << ", \"BitCount\": " << int{h.BitCount}
                << ", \"FrameCount\": " << int{h.FrameCount} << ", \"DataSize\": " << h.DataSize
                << ", \"Creator\": " << JsonString(creator) << ", \"Accepted\": " << (accepted ? "true" : "false");
            if (!accepted)
                out << ", \"Message\": " << JsonString(prompts.Messages.front());
            out << "}";
        } else {
            out << EscapedText(file) << ": FrameWidth=" << h.FrameWidth << " FrameHeight=" << h.FrameHeight
                << " BitCount=" << int{h.BitCount} << " FrameCount=" << int{h.FrameCount} << " DataSize=" << h.DataSize
                << " Creator=\"" << EscapedText(creator, true) << "\"" << " Accepted=" << (accepted ? "yes" : "no");
            if (!accepted)
                out << " (" << EscapedText(prompts.Messages.front()) << ")";
            out << "\n";
        }
        first = false;
    }
    if (o.json)
        out << (first ? "]\n" : "\n]\n");
    return status;
}

int RunThumbnail(const TCliOptions& o, std::ostream&, std::ostream& err)
{
    TFrameOptionValues options;
    CliPrompts prompts(err);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    const std::string& input = o.inputs.at(0);
    CheckInputExists(input);
    const TImportResult result = ImportFile(ws.Strip, input);
    if (prompts.Failed)
        return 1;
    if (result.dropped || ws.Strip.Count() == 0) {
        prompts.Report(input + ": no picture to show");
        return 1;
    }
    const std::vector<uint8_t> png = EncodePng(FitInto(ws.Strip.Thumbnail(0).Picture, o.thumbnailSize));
    WriteFileAtomically(o.out, png.data(), png.size(), false);
    return 0;
}

}  // namespace abm
