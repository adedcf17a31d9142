#include "ImageImport.h"

#include "AbmFile.h"
#include "PathNames.h"
#include "codecs/gif/GIFImage.h"
#include "codecs/jpeg/JPEGImage.h"
#include "codecs/raster/Canvas.h"
#include "codecs/raster/Errors.h"
#include "codecs/raster/Stream.h"

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

// The command states follow the strip after every import, also one that
// ended in an error after some frames came in.
template <class Import>
void ImportThenUpdateActionStates(FrameStrip& strip, Import import)
{
    try {
        import();
    } catch (...) {
        strip.UpdateActionStates();
        throw;
    }
    strip.UpdateActionStates();
}

}  // namespace

TImportResult ImportGif(FrameStrip& strip, const std::string& fileName)
{
    TImportResult result;
    TGIFImage gif;
    gif.LoadFromFile(fileName);
    TBitmap work;
    work.Assign(gif.Images(0).Bitmap());
    for (int i = 0; i < gif.Count(); ++i) {
        TGIFSubImage& sub = gif.Images(i);
        if (!sub.Bitmap())
            continue;
        const bool transparent = strip.Options().Transparent();
        sub.Draw(work.Canvas(), Rect(0, 0, work.Width(), work.Height()), transparent, false);
        AppendFilled(strip, [&work](TBitmap& raster) { raster.Assign(&work); });
        ++result.framesAdded;
    }
    return result;
}

TImportResult ImportBmp(FrameStrip& strip, const std::string& fileName)
{
    TImportResult result;
    try {
        AppendFilled(strip, [&fileName](TBitmap& raster) { raster.LoadFromFile(fileName); });
        result.framesAdded = 1;
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
        AppendFilled(strip, [&jpeg](TBitmap& raster) { jpeg.AssignTo(raster); });
        result.framesAdded = 1;
    } catch (const EInvalidGraphic&) {
        result.dropped = true;
    }
    return result;
}

TImportResult ImportFile(FrameStrip& strip, const std::string& fileName)
{
    TImportResult result;
    const std::string ext = Trim(AnsiUpperCase(ExtractFileExt(fileName)));
    if (ext == ".JPG") {
        result = ImportJpeg(strip, fileName);
    } else if (ext == ".BMP") {
        result = ImportBmp(strip, fileName);
    } else if (ext == ".GIF") {
        result = ImportGif(strip, fileName);
    } else if (ext == ".ABM") {
        const int before = strip.Count();
        ReadAbmFile(strip, fileName);
        result.framesAdded = strip.Count() - before;
    }
    strip.ShowFrameCount();
    strip.FitStripHeight();
    return result;
}

void OpenGifAExecute(FrameStrip& strip, ISettingsStore& settings)
{
    TFileDialogRequest request;
    request.Filter = kOpenDialogFilter;
    request.InitialDir = settings.ReadSetting("LoadImg", "");
    const std::vector<std::string> files = strip.Prompts().OpenDialog(request);
    if (files.empty())
        return;
    ImportFiles(strip, settings, files);
}

void ImportFiles(FrameStrip& strip, ISettingsStore& settings, const std::vector<std::string>& files,
                 const TImportListener& onImported)
{
    ImportThenUpdateActionStates(strip, [&] {
        for (const std::string& file : files) {
            const TImportResult result = ImportFile(strip, file);
            if (onImported)
                onImported(file, result);
        }
        if (!files.empty())
            settings.WriteSetting("LoadImg", ExtractFilePath(files.front()));
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
