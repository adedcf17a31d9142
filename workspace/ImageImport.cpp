#include "ImageImport.h"

#include "AbmFile.h"
#include "PictureSniffer.h"
#include "base/PathNames.h"
#include "codecs/bmp/BmpCodec.h"
#include "codecs/gif/GifComposer.h"
#include "codecs/gif/GifImage.h"
#include "codecs/jpeg/JpegImage.h"
#include "codecs/jpeg/JpegRows.h"
#include "base/Error.h"
#include "base/ByteStream.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace abm {

// JPEG files go by several names; "*.jpg" stands for them all.
const char* const kOpenDialogFilter =
    "*.gif, *.bmp, *.jpg, *.abm|*.gif;*.bmp;*.jpg;*.jpeg;*.jpe;*.jfif;*.abm|*.gif|*.gif|"
    "*.jpg|*.jpg;*.jpeg;*.jpe;*.jfif|*.bmp|*.bmp|*.abm|*.abm|Все файлы (*.*)|*.*";

namespace {

// Fills a picture through `fill` and appends it: the strip only changes
// once the picture is whole.
template <class Fill>
void appendFilled(FrameStrip& strip, Fill fill)
{
    Raster picture;
    fill(picture);
    strip.append(std::move(picture));
}

// Refuses a GIF whose images and frames will not fit, once its blocks are
// read and before any pixel is decoded: every image's 8-bit raster, the
// composer's 24-bit pictures, and per frame a source the size of sub-image 0
// (24-bit at most) and its 16-bit frame.
void requireGifMemory(const FrameStrip& strip, const GifImage& gif, GifComposer::Mode mode, int frameCap)
{
    int64_t images = 0, bytes = 0;
    for (int i = 0; i < gif.count(); ++i) {
        const GifSubImage& sub = gif.images(i);
        if (!sub.empty()) {
            ++images;
            bytes += rasterBytes(sub.width(), sub.height(), 8);
        }
    }
    const int64_t frames = std::min<int64_t>(images, framesLeft(strip, frameCap));
    if (frames > 0) {
        const GifSubImage& first = gif.images(0);
        const int64_t width = first.empty() ? 0 : first.width(), height = first.empty() ? 0 : first.height();
        bytes += frames * frameBytes(strip, width, height, 24) + GifComposer::workingBytes(gif, mode);
    }
    MemoryBudget::require(bytes);
}

}  // namespace

ImportResult importGif(FrameStrip& strip, const InputFile& input, int frameCap)
{
    ImportResult result;
    const GifComposer::Mode mode =
        strip.options().transparentGif ? GifComposer::Mode::Transparent : GifComposer::Mode::Opaque;
    GifImage gif;
    gif.onBlocksRead = [&strip, mode, frameCap](const GifImage& loaded) {
        requireGifMemory(strip, loaded, mode, frameCap);
    };
    gif.loadFromStream(*input.open());
    GifComposer frames(gif, mode);
    while (framesLeft(strip, frameCap) > 0 && frames.next()) {
        appendFilled(strip, [&frames](Raster& raster) { raster.assign(&frames.frame()); });
        ++result.framesAdded;
    }
    result.transparencyCovered = frames.coveredTransparentPixels();
    return result;
}

ImportResult importBmp(FrameStrip& strip, const InputFile& input)
{
    ImportResult result;
    try {
        const LoadedBytes bytes = input.open()->readRest();
        int64_t width = 0, height = 0;
        int bitsPerPixel = 0;
        if (readBmpSize(bytes.data(), bytes.size(), width, height, bitsPerPixel))
            MemoryBudget::require(frameBytes(strip, width, height, bitsPerPixel));
        strip.append(decodeBmp(bytes.data(), bytes.size()));
        result.framesAdded = 1;
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (const std::exception&) {
        result.dropped = true;
        result.why = std::current_exception();
    }
    return result;
}

ImportResult importJpeg(FrameStrip& strip, const InputFile& input)
{
    ImportResult result;
    try {
        JpegImage jpeg;
        jpeg.loadFromStream(*input.open());
        // The decode itself (the raster and libjpeg's buffers, or only a row
        // and the buffers when the frame is made from a reduced decode), and
        // the 16-bit frame.
        const int eighths = sourceEighths(strip.options(), jpeg.width(), jpeg.height());
        const int64_t decode = eighths < 8 ? JpegRows::memory(jpeg, eighths) : jpeg.decodeMemory();
        MemoryBudget::require(decode + frameRasterBytes(strip, jpeg.width(), jpeg.height()));
        strip.append(SourcePicture(jpeg));
        result.framesAdded = 1;
    } catch (const InvalidGraphicError&) {
        result.dropped = true;
        result.why = std::current_exception();
    }
    return result;
}

PictureType pictureTypeByExtension(const std::string& fileName)
{
    static constexpr std::pair<std::string_view, PictureType> kExtensions[] = {
        {".jpg", PictureType::Jpeg},  {".jpeg", PictureType::Jpeg}, {".jpe", PictureType::Jpeg},
        {".jfif", PictureType::Jpeg}, {".bmp", PictureType::Bmp},   {".gif", PictureType::Gif},
        {".abm", PictureType::Abm},
    };
    const std::string ext = trim(extensionPart(fileName));
    for (const auto& [known, type] : kExtensions)
        if (equalsIgnoringCase(ext, known))
            return type;
    return PictureType::None;
}

ImportResult importFile(FrameStrip& strip, UserPrompts& prompts, const std::string& fileName, int frameCap)
{
    PictureType type = PictureType::None;
    try {
        type = sniffPictureFile(fileName).type;
    } catch (const FileError&) {
        // The importer the name chooses says why it cannot be opened.
    }
    if (type == PictureType::None)
        type = pictureTypeByExtension(fileName);
    ImportResult result;
    if (type != PictureType::None)
        result = importFileAs(strip, prompts, fileName, type, frameCap);
    // A picture nobody can read is said, not skipped in silence.
    if (type == PictureType::None || result.dropped)
        showReaderMessage(prompts, AbmVerdict::CannotOpen, fileName);
    return result;
}

ImportResult importFileAs(FrameStrip& strip, UserPrompts& prompts, const InputFile& input, PictureType type,
                          int frameCap)
{
    ImportResult result;
    if (framesLeft(strip, frameCap) == 0) {
        result.leftOut = true;
        return result;
    }
    const int before = strip.count();
    try {
        switch (type) {
        case PictureType::Jpeg: result = importJpeg(strip, input); break;
        case PictureType::Bmp: result = importBmp(strip, input); break;
        case PictureType::Gif: result = importGif(strip, input, frameCap); break;
        case PictureType::Abm:
            readAbmFile(strip, prompts, input, frameCap);
            result.framesAdded = strip.count() - before;
            break;
        case PictureType::None: break;
        }
    } catch (const MemoryLimitExceeded& e) {
        strip.truncate(before);
        throwNamingFile(e, input.name());
    } catch (const Error& e) {
        throwNamingFile(e, input.name());
    }
    return result;
}

std::string commandLineFileName(const std::vector<std::string>& arguments)
{
    std::string text;
    for (const std::string& argument : arguments) {
        if (argument.empty())
            break;
        text += argument + " ";
    }
    return trim(text);
}

}  // namespace abm
