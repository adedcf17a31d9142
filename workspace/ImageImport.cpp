#include "ImageImport.h"

#include "AbmFile.h"
#include "base/PathNames.h"
#include "codecs/gif/GifImage.h"
#include "codecs/jpeg/JpegImage.h"
#include "codecs/raster/BmpCodec.h"
#include "codecs/raster/Canvas.h"
#include "base/Error.h"
#include "base/ByteStream.h"

#include <algorithm>

namespace abm {

const char* const kOpenDialogFilter =
    "*.gif, *.bmp, *.jpg, *.abm|*.gif;*.bmp;*.jpg;*.abm|*.gif|*.gif|*.jpg|*.jpg|*.bmp|*.bmp|*.abm|*.abm|"
    "Все файлы (*.*)|*.*";

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
// read and before any pixel is decoded: every image's 8-bit raster, and per
// frame a copy of the work raster (sub-image 0's size) and its 16-bit frame.
void requireGifMemory(const FrameStrip& strip, const GifImage& gif, int frameCap)
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
        bytes += frames * frameBytes(strip, width, height, 8);
    }
    MemoryBudget::require(bytes);
}

}  // namespace

ImportResult importGif(FrameStrip& strip, const std::string& fileName, int frameCap)
{
    ImportResult result;
    GifImage gif;
    gif.onBlocksRead = [&strip, frameCap](const GifImage& loaded) { requireGifMemory(strip, loaded, frameCap); };
    gif.loadFromFile(fileName);
    Raster work;
    work.assign(gif.images(0).raster());
    for (int i = 0; i < gif.count() && framesLeft(strip, frameCap) > 0; ++i) {
        GifSubImage& sub = gif.images(i);
        if (!sub.raster())
            continue;
        const bool transparent = strip.options().transparent();
        sub.draw(work.canvas(), Rect(0, 0, work.width(), work.height()), transparent, false);
        // Drawn once and for all: only sub-image 0's palette is still wanted.
        sub.releasePixels();
        appendFilled(strip, [&work](Raster& raster) { raster.assign(&work); });
        ++result.framesAdded;
    }
    return result;
}

ImportResult importBmp(FrameStrip& strip, const std::string& fileName)
{
    ImportResult result;
    try {
        const LoadedBytes bytes = readWholeFile(fileName);
        int64_t width = 0, height = 0;
        int bitsPerPixel = 0;
        if (readBmpSize(bytes.data(), bytes.size(), width, height, bitsPerPixel))
            MemoryBudget::require(frameBytes(strip, width, height, bitsPerPixel));
        appendFilled(strip, [&bytes](Raster& raster) { raster.loadFromMemory(bytes.data(), bytes.size()); });
        result.framesAdded = 1;
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (const std::exception&) {
        result.dropped = true;
        result.why = std::current_exception();
    }
    return result;
}

ImportResult importJpeg(FrameStrip& strip, const std::string& fileName)
{
    ImportResult result;
    try {
        JpegImage jpeg;
        jpeg.loadFromFile(fileName);
        // The decode itself (raster and libjpeg's buffers), and the 16-bit frame.
        MemoryBudget::require(jpeg.decodeMemory() + frameRasterBytes(strip, jpeg.width(), jpeg.height()));
        appendFilled(strip, [&jpeg](Raster& raster) { jpeg.assignTo(raster); });
        result.framesAdded = 1;
    } catch (const InvalidGraphicError&) {
        result.dropped = true;
        result.why = std::current_exception();
    }
    return result;
}

PictureType pictureTypeByExtension(const std::string& fileName)
{
    const std::string ext = trim(upperCase(extensionPart(fileName)));
    if (ext == ".JPG")
        return PictureType::Jpeg;
    if (ext == ".BMP")
        return PictureType::Bmp;
    if (ext == ".GIF")
        return PictureType::Gif;
    if (ext == ".ABM")
        return PictureType::Abm;
    return PictureType::None;
}

ImportResult importFile(FrameStrip& strip, UserPrompts& prompts, const std::string& fileName, int frameCap)
{
    return importFileAs(strip, prompts, fileName, pictureTypeByExtension(fileName), frameCap);
}

ImportResult importFileAs(FrameStrip& strip, UserPrompts& prompts, const std::string& fileName, PictureType type,
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
        case PictureType::Jpeg: result = importJpeg(strip, fileName); break;
        case PictureType::Bmp: result = importBmp(strip, fileName); break;
        case PictureType::Gif: result = importGif(strip, fileName, frameCap); break;
        case PictureType::Abm:
            readAbmFile(strip, prompts, fileName, frameCap);
            result.framesAdded = strip.count() - before;
            break;
        case PictureType::None: break;
        }
    } catch (const MemoryLimitExceeded& e) {
        strip.truncate(before);
        throw e.forFile(fileName);
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
