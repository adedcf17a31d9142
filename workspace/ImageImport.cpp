#include "ImageImport.h"

#include "AbmFile.h"
#include "base/PathNames.h"
#include "codecs/gif/GIFImage.h"
#include "codecs/jpeg/JPEGImage.h"
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

// Fills a new thumbnail through `fill`, then normalises it; a failure takes
// the thumbnail out again so no thumbnail stays without its source.
template <class Fill>
void AppendFilled(FrameStrip& strip, Fill fill)
{
    TImage& t = strip.CreateFrameThumbnail();
    try {
        fill(t.Picture);
        strip.NormalizeFrame(t);
    } catch (...) {
        strip.RemoveThumbnail(t);
        throw;
    }
}

// Refuses a GIF whose images and frames will not fit, once its blocks are
// read and before any pixel is decoded: every image's 8-bit raster, and per
// frame a copy of the work raster (sub-image 0's size) and its 16-bit frame.
void RequireGifMemory(const FrameStrip& strip, const TGIFImage& gif, int frameCap)
{
    int64_t images = 0, bytes = 0;
    for (int i = 0; i < gif.Count(); ++i) {
        const TGIFSubImage& sub = gif.Images(i);
        if (!sub.Empty()) {
            ++images;
            bytes += RasterBytes(sub.Width(), sub.Height(), 8);
        }
    }
    const int64_t frames = std::min<int64_t>(images, FramesLeft(strip, frameCap));
    if (frames > 0) {
        const TGIFSubImage& first = gif.Images(0);
        const int64_t width = first.Empty() ? 0 : first.Width(), height = first.Empty() ? 0 : first.Height();
        bytes += frames * FrameBytes(strip, width, height, 8);
    }
    MemoryBudget::Require(bytes);
}

// The command states follow the strip after every import, also one that
// ended in an error after some frames came in.
template <class Import>
void ImportThenUpdateActionStates(FrameStrip& strip, Import import)
{
    try {
        import();
    } catch (...) {
        strip.updateCommandStates();
        throw;
    }
    strip.updateCommandStates();
}

}  // namespace

TImportResult ImportGif(FrameStrip& strip, const std::string& fileName, int frameCap)
{
    TImportResult result;
    TGIFImage gif;
    gif.OnBlocksRead = [&strip, frameCap](const TGIFImage& loaded) { RequireGifMemory(strip, loaded, frameCap); };
    gif.LoadFromFile(fileName);
    TBitmap work;
    work.Assign(gif.Images(0).Bitmap());
    for (int i = 0; i < gif.Count() && FramesLeft(strip, frameCap) > 0; ++i) {
        TGIFSubImage& sub = gif.Images(i);
        if (!sub.Bitmap())
            continue;
        const bool transparent = strip.Options().Transparent();
        sub.Draw(work.Canvas(), Rect(0, 0, work.Width(), work.Height()), transparent, false);
        // Drawn once and for all: only sub-image 0's palette is still wanted.
        sub.ReleasePixels();
        AppendFilled(strip, [&work](TBitmap& raster) { raster.Assign(&work); });
        ++result.framesAdded;
    }
    return result;
}

TImportResult ImportBmp(FrameStrip& strip, const std::string& fileName)
{
    TImportResult result;
    try {
        const TLoadedBytes bytes = ReadWholeFile(fileName);
        int64_t width = 0, height = 0;
        int bitsPerPixel = 0;
        if (ReadBmpSize(bytes.data(), bytes.size(), width, height, bitsPerPixel))
            MemoryBudget::Require(FrameBytes(strip, width, height, bitsPerPixel));
        AppendFilled(strip, [&bytes](TBitmap& raster) { raster.LoadFromMemory(bytes.data(), bytes.size()); });
        result.framesAdded = 1;
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (const std::exception&) {
        result.dropped = true;
    }
    return result;
}

TImportResult ImportJpeg(FrameStrip& strip, const std::string& fileName)
{
    TImportResult result;
    try {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(fileName);
        // The decode itself (raster and libjpeg's buffers), and the 16-bit frame.
        MemoryBudget::Require(jpeg.DecodeMemory() + FrameRasterBytes(strip, jpeg.Width(), jpeg.Height()));
        AppendFilled(strip, [&jpeg](TBitmap& raster) { jpeg.AssignTo(raster); });
        result.framesAdded = 1;
    } catch (const InvalidGraphicError&) {
        result.dropped = true;
    }
    return result;
}

TImportResult ImportFile(FrameStrip& strip, const std::string& fileName, int frameCap)
{
    TImportResult result;
    if (FramesLeft(strip, frameCap) == 0) {
        result.leftOut = true;
        return result;
    }
    const int before = strip.Count();
    const std::string ext = Trim(upperCase(extensionPart(fileName)));
    try {
        if (ext == ".JPG") {
            result = ImportJpeg(strip, fileName);
        } else if (ext == ".BMP") {
            result = ImportBmp(strip, fileName);
        } else if (ext == ".GIF") {
            result = ImportGif(strip, fileName, frameCap);
        } else if (ext == ".ABM") {
            ReadAbmFile(strip, fileName, frameCap);
            result.framesAdded = strip.Count() - before;
        }
    } catch (const MemoryLimitExceeded& e) {
        strip.RemoveFramesFrom(before);
        throw e.forFile(fileName);
    }
    strip.ShowFrameCount();
    strip.FitStripHeight();
    return result;
}

void openPictures(FrameStrip& strip, ISettingsStore& settings)
{
    TFileDialogRequest request;
    request.Filter = kOpenDialogFilter;
    request.InitialDir = settings.ReadSetting("LoadImg", "");
    const std::vector<std::string> files = strip.Prompts().askOpenFiles(request);
    if (files.empty())
        return;
    ImportFiles(strip, settings, files);
}

void ImportFiles(FrameStrip& strip, ISettingsStore& settings, const std::vector<std::string>& files,
                 const TImportListener& onImported, int frameCap)
{
    ImportThenUpdateActionStates(strip, [&] {
        for (const std::string& file : files) {
            const TImportResult result = ImportFile(strip, file, frameCap);
            if (onImported)
                onImported(file, result);
        }
        if (!files.empty())
            settings.WriteSetting("LoadImg", folderPart(files.front()));
    });
}

std::string CommandLineFileName(const std::vector<std::string>& arguments)
{
    std::string text;
    for (const std::string& argument : arguments) {
        if (argument.empty())
            break;
        text += argument + " ";
    }
    return Trim(text);
}

void CommandLineImport(FrameStrip& strip, const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return;
    const std::string fileName = CommandLineFileName(arguments);
    if (!FileExists(fileName))
        return;
    ImportThenUpdateActionStates(strip, [&] { ImportFile(strip, fileName); });
}

}  // namespace abm
