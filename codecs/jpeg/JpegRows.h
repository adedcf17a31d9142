#pragma once

// A JPEG picture decoded at a fraction of its size, a row at a time, for
// the frame conversion to average as the rows come: libjpeg scales in the
// DCT domain (at 1/8 each pixel is its block's mean), so a picture shrunk
// into a small frame costs little more than reading its file, and only a
// row and the library's own buffers are held.
//
//     JpegRows rows(jpeg, jpegEighthsFor(jpeg.width(), jpeg.height(), 128, 97));  // 1/8 from 5120 × 3880 on
//     Raster frame;
//     frame.create(128, 97, PixelLayout::forFormat(pf16bit), rows.palette);
//     drawFrame(frame, rows, how);
//     rows.finish();

#include "JpegImage.h"
#include "codecs/raster/PictureRows.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace abm {

class JpegDecompressor;

// How many reduced pixels each way at least go into one averaged pixel. A
// reduced pixel is its block's mean at 1/8, a low-pass sample at other
// scales, and an averaged pixel whose edge cuts through one takes the whole
// of it: with five or more, the average stays within 45 dB (PSNR) of the
// full decode's on photographs, where three or four fall short on detailed
// ones and at the chroma subsamplings libjpeg upsamples plainly.
constexpr int kReducedPixelsAveraged = 5;

// The fewest eighths of its size, 1 to 8, at which a width × height picture
// still has kReducedPixelsAveraged pixels each way for each of
// needWidth × needHeight; 8 (full size) when no smaller scale does or
// nothing is needed.
int jpegEighthsFor(int width, int height, int needWidth, int needHeight);

class JpegRows final : public PictureRows {
public:
    // Starts decoding at scale / 8 of the size the picture's settings give
    // (the rows' `eighths` is the scale the library took). Raises Error Jpeg
    // as decoding does, InvalidGraphicError PictureTooLarge for a picture
    // whose raster would pass rasterPixelLimit(), and MemoryLimitExceeded when
    // the rows do not fit the memory budget (memory() says how much they hold).
    JpegRows(const JpegImage& jpeg, int scale);
    ~JpegRows() override;
    JpegRows(const JpegRows&) = delete;
    JpegRows& operator=(const JpegRows&) = delete;

    const uint8_t* row(int y) override;
    // Reads the rows nobody asked for and ends the decoding as a full one
    // ends it, with the same errors.
    void finish();

    // What the rows of `jpeg` at that scale hold, from its header alone.
    static int64_t memory(const JpegImage& jpeg, int scale);

private:
    JpegImage jpeg_;  // keeps the compressed bytes
    std::unique_ptr<JpegDecompressor> decompressor_;
    MemoryReservation held_;
    std::vector<uint8_t> row_, cmykRow_;
    int next_ = 0;  // the next row the library gives
};

}  // namespace abm
