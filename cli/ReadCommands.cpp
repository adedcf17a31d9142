#include "Commands.h"

#include "base/NameText.h"
#include "NoSettings.h"
#include "workspace/PictureSniffer.h"
#include "PngWriter.h"
#include "ThumbnailScaler.h"
#include "base/AtomicWrite.h"
#include "base/ByteStream.h"
#include "base/Error.h"
#include "codecs/jpeg/JpegRows.h"
#include "codecs/raster/FrameConversion.h"
#include "workspace/AbmFile.h"
#include "workspace/Workspace.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The commands that only read: info and thumbnail.

namespace abm {

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
            check = readAbmHeader(*openInput(file).open());
        } catch (const std::exception& e) {
            prompts.error(inputName(file), e);
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
            nlohmann::ordered_json entry = {{"file", names.hold(inputName(file))}, {"FrameWidth", h.frameWidth},
                                            {"FrameHeight", h.frameHeight},        {"BitCount", h.bitCount},
                                            {"FrameCount", h.frameCount},          {"DataSize", h.dataSize},
                                            {"Creator", names.hold(creator)},      {"Accepted", accepted}};
            if (!accepted)
                entry["Message"] = names.hold(message);
            document.push_back(std::move(entry));
        } else {
            out << escapedText(inputName(file)) << ": FrameWidth=" << h.frameWidth << " FrameHeight=" << h.frameHeight
                << " BitCount=" << int{h.bitCount} << " FrameCount=" << int{h.frameCount} << " DataSize=" << h.dataSize
                << " Creator=\"" << escapedText(creator, true) << "\""
                << " Accepted=" << (accepted ? "yes" : "no");
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
Raster abmThumbnail(const InputFile& input, int size, CliPrompts& prompts)
{
    Raster thumbnail;
    try {
        readAbmFrames(input, prompts, [&](ByteStream& file, const AbmHeader& h) {
            if (h.frameCount == 0)
                return;
            ThumbnailScaler scaler(h.frameWidth, h.frameHeight, size);
            std::vector<uint8_t> row(static_cast<size_t>(h.frameWidth) * 2);
            const PixelLayout layout = PixelLayout::forFormat(PixelFormat::Rgb565);
            for (const int y : scaler.sourceRows()) {
                file.setPosition(static_cast<int64_t>(AbmHeader::kSize + static_cast<size_t>(y) * row.size()));
                file.readBuffer(row.data(), row.size());
                scaler.addRow(y, row.data(), layout, {});
            }
            thumbnail = scaler.result();
        });
    } catch (const MemoryLimitExceeded& e) {
        throw e.forFile(input.name());
    }
    return thumbnail;
}

// A JPEG's first frame as the thumbnail shows it, made from rows decoded at
// the fraction of its size the thumbnail needs: averaged, in 16 bits; an
// empty raster for a file the import would drop. Nothing when the thumbnail
// needs the full size, which the import decodes.
std::optional<Raster> jpegThumbnail(const InputFile& input, int size)
{
    try {
        JpegImage jpeg;
        jpeg.loadFromStream(*input.open());
        const Rect target = thumbnailRect(jpeg.width(), jpeg.height(), size);
        const int eighths = jpegEighthsFor(jpeg.width(), jpeg.height(), target.width(), target.height());
        if (eighths == 8)
            return std::nullopt;
        JpegRows rows(jpeg, eighths);
        Raster thumbnail = scalePicture(rows, target.width(), target.height());
        rows.finish();
        thumbnail.setPixelFormat(PixelFormat::Rgb565);
        return thumbnail;
    } catch (const InvalidGraphicError&) {
        return Raster();
    } catch (const MemoryLimitExceeded& e) {
        throw e.forFile(input.name());
    }
}

}  // namespace

int runThumbnail(const CliOptions& o, std::ostream& out, std::ostream& err)
{
    FrameOptions options;
    options.transparentGif = o.frame.transparentGif;
    CliPrompts prompts(err, o.verbosity);
    NoSettings settings;
    Workspace ws(options, prompts, settings);
    const std::string& name = o.inputs.at(0);
    const std::string shownName = inputName(name);
    Raster thumbnail;
    try {
        const bool standardInput = namesStandardInput(name);
        // Standard input is checked against the output before it is read,
        // and sniffed once read; a file is sniffed once.
        SniffedFile sniffed = standardInput ? standardInputIdentity() : sniffPictureFile(name);
        if (!outputAccepted(prompts, o.out, {sniffed}))
            return 1;
        const InputFile input = openInput(name);
        if (standardInput)
            sniffed = sniffInput(input);
        std::optional<Raster> reduced;
        if (sniffed.type == PictureType::Jpeg)
            reduced = jpegThumbnail(input, o.thumbnailSize);
        if (sniffed.type == PictureType::Abm) {
            thumbnail = abmThumbnail(input, o.thumbnailSize, prompts);
        } else if (reduced) {
            thumbnail = *reduced;
        } else {
            // Only the first frame is shown: a GIF's later images are not drawn.
            const ImportResult result = importFileAs(ws.strip, prompts, input, sniffed.type, 1);
            if (result.dropped)
                prompts.error(shownName, droppedReason(sniffed, result));
            if (ws.strip.count() > 0)
                thumbnail = fitInto(ws.strip.frame(0).picture, o.thumbnailSize);
        }
        if (prompts.failed)
            return 1;
        if (thumbnail.empty()) {
            prompts.error(shownName, "no picture to show (not a picture abmtool reads)");
            return 1;
        }
        writeOutput(o.out, encodePng(thumbnail), out);
    } catch (const std::exception& e) {
        prompts.error(shownName, e);
        return 1;
    }
    return 0;
}

}  // namespace abm
