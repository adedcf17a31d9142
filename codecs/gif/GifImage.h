#pragma once

// A GIF picture (87a or 89a, animated or not): the logical screen, the
// global colour table and the list of sub-images in file order. Loading
// reads every block first and then decodes every image's pixel data, so that
// the whole picture's size is known before any pixel is decoded.

#include "GifColorTable.h"
#include "GifSubImage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace abm {

class GifReader;
class ByteStream;

enum class GifSeverity { Info, Warning, Error };

class GifImage;
using GifWarningEvent = std::function<void(GifImage& sender, GifSeverity severity, const std::string& message)>;

// All sub-images of one picture together hold at most this many pixels, so
// a small file cannot reserve memory without bound by repeating images at
// the raster cap.
constexpr int64_t kMaxGIFPixels = 4 * kMaxRasterPixels;

// Some files carry this many bytes before the signature.
constexpr size_t kGifSignaturePrefix = 4;
// What the reader takes for a GIF at `offset` of the `length` bytes at
// `head`: the three letters in any case; the version after them is not
// looked at. The reader looks at the start, then past kGifSignaturePrefix.
bool gifSignatureAt(const uint8_t* head, size_t length, size_t offset);

class GifImage {
public:
    GifImage();
    ~GifImage();
    GifImage(const GifImage&) = delete;
    GifImage& operator=(const GifImage&) = delete;

    // FileError FileOpen when the file cannot be opened.
    void loadFromFile(const std::string& fileName);
    // Reads from the stream's position. On failure the position is set back
    // and the error passes on; the picture keeps what was read before it.
    void loadFromStream(ByteStream& stream);
    // As loadFromStream; returns how many bytes were read.
    size_t loadFromMemory(const uint8_t* data, size_t size);

    // Empties the picture: sub-images, global table, screen, cached palette.
    void clear();

    int count() const { return static_cast<int>(images_.size()); }
    // Error ListIndexOutOfBounds for any other index.
    GifSubImage& images(int index);
    const GifSubImage& images(int index) const;

    // The logical screen.
    int width() const { return screenWidth_; }
    int height() const { return screenHeight_; }
    // Signature and version, the 6 bytes as read.
    const std::string& version() const { return version_; }
    uint8_t screenFlags() const { return screenFlags_; }
    uint8_t backgroundColorIndex() const { return backgroundColorIndex_; }
    uint8_t aspectRatio() const { return aspectRatio_; }

    const GifColorTable& globalColorMap() const { return globalColorMap_; }
    // The global colour table as a palette, built on first use.
    const Palette& palette();
    // The global table padded with black to 256 entries, as the rasters of
    // the images that use it carry it: one table shared by all of them.
    const SharedPalette& globalRasterPalette();

    GifWarningEvent onWarning;
    // Called once a load has read the blocks, before any pixel is decoded:
    // every sub-image knows its size but holds no pixels yet. An error it
    // raises ends the load (the importers refuse a picture too big for the
    // memory budget here, before the work).
    std::function<void(const GifImage&)> onBlocksRead;
    // What one load may allocate for pixel data, in pixels (four rasters at
    // the cap in force).
    int64_t pixelLimit = 4 * rasterPixelLimit();

    void warning(const std::string& message);

private:
    void readHeader(GifReader& reader);

    std::string version_;
    int screenWidth_ = 0, screenHeight_ = 0;
    uint8_t screenFlags_ = 0, backgroundColorIndex_ = 0, aspectRatio_ = 0;
    GifColorTable globalColorMap_;
    std::vector<std::unique_ptr<GifSubImage>> images_;
    std::unique_ptr<Palette> palette_;
    SharedPalette rasterPalette_;
};

}  // namespace abm
