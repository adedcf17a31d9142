#pragma once

// A JPEG picture: loading keeps the compressed file in memory and reads its
// header only; the raster is decoded through libjpeg on first request and
// kept. Copies share the compressed data and the decoded raster.

#include "base/Error.h"
#include "JpegSettings.h"
#include "codecs/raster/Raster.h"
#include "base/ByteStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace abm {

class JpegImage {
public:
    // An empty picture with the process-wide default settings.
    JpegImage();
    JpegImage(const JpegImage&) = default;
    JpegImage& operator=(const JpegImage&) = default;

    // FileError FileOpen when the file cannot be opened.
    void loadFromFile(const std::string& fileName);
    // Takes the rest of the stream and reads the JPEG header: Error Jpeg 53 for
    // data that is not a JPEG, another number for a damaged header. An empty
    // rest loads without error and fails on decoding with Error Jpeg 42. A failed
    // load keeps the new data, with no size, so decoding fails the same way.
    void loadFromStream(ByteStream& stream);

    // From the frame header, unscaled.
    int width() const { return data_->width; }
    int height() const { return data_->height; }
    bool empty() const { return data_->width == 0 || data_->height == 0; }
    // The file is stored in grey.
    bool grayscale() const { return data_->grayscale; }
    // The file has more than one scan.
    bool progressiveEncoding() const { return data_->progressive; }

    // The decoded raster, decoded on the first request: 24-bit blue-green-red,
    // or 8-bit with the library's colour map as palette for grey output and
    // the 8-bit pixel format. Raises Error Jpeg when the library refuses the data
    // and InvalidGraphicError PictureTooLarge past rasterPixelLimit().
    const Raster& raster();
    // `dest` becomes a copy of the decoded raster (sharing its pixels until
    // one of them changes).
    void assignTo(Raster& dest);
    // What decoding under the current settings will hold at its peak, from
    // the header alone: the raster and libjpeg's own buffers. A picture past
    // the raster cap fails here as its decoding would. A decode that does not
    // fit the memory budget fails with MemoryLimitExceeded before it starts.
    int64_t decodeMemory() const;

    // What the picture holds against the memory budget, for a caller that
    // counts the parts its copies share once: the compressed bytes, and the
    // decoded raster once made.
    const LoadedBytes& compressedBytes() const { return data_->bytes; }
    const Raster* decodedRaster() const { return decoded_ && decoded_->done ? &decoded_->raster : nullptr; }

    // The process-wide defaults when the picture was made.
    const JpegSettings& settings() const { return settings_; }

    // How many decodes this process has started, so that tests can see a
    // raster being reused rather than decoded again.
    static int64_t decodeCount();

private:
    friend class JpegRows;  // decodes the same bytes row by row

    struct Data {
        LoadedBytes bytes;
        int width = 0;
        int height = 0;
        bool grayscale = false;
        bool progressive = false;
    };
    // One decoded raster, shared by the copies made from the same picture
    // under the same settings.
    struct Decoded {
        bool done = false;
        Raster raster;
    };

    std::shared_ptr<const Data> data_;
    std::shared_ptr<Decoded> decoded_;
    JpegSettings settings_;
};

}  // namespace abm
