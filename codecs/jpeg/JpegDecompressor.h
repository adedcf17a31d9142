#pragma once

// One libjpeg decompressor reading an in-memory block through the private
// error, source and progress managers. A library error leaves the library by
// longjmp and is raised as an Error Jpeg only afterwards: nothing is thrown through C.
// Internal to codecs/jpeg; JpegImage is the public face.

#include "JpegSettings.h"
#include "codecs/raster/Graphics.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace abm {

// What reading a multi-scan file may cost before its pixels are made. Each
// scan is charged kJPEGScanCost, and every coefficient block it covers
// kJPEGBlockCost plus the coefficients of its band, four times that when
// arithmetic-coded. A scan without data still runs over all its blocks, so a
// crafted file of thousands of empty scans would take minutes; the bound is no
// scan count, since a picture split into many narrow scans costs no more than
// one in a few wide ones. A unit is about 0.2 ns of the slowest scans measured
// (empty refinement scans), so the bound is about half a second; a 6000 × 4000
// 4:4:4 file needs 0.34e9 units with the usual 10 scans, 1.4e9 with 98.
constexpr int64_t kMaxJPEGScanWork = int64_t{1} << 31;
constexpr int64_t kJPEGScanCost = 2048;
constexpr int64_t kJPEGBlockCost = 32;
constexpr int64_t kJPEGArithmeticFactor = 4;

// The Error Jpeg number for a file past kMaxJPEGScanWork; the library's own codes
// stay far below it.
constexpr int kJPEGErrorTooMuchScanWork = 1000;

// Adobe's inverted CMYK, as the library delivers CMYK and YCCK files, to
// blue, green and red: a RowConverter.
void invertedCmykToBgr(const uint8_t* from, uint8_t* to, size_t pixels);

class JpegDecompressor {
public:
    // The block must outlive the decompressor.
    JpegDecompressor(const uint8_t* data, size_t size);
    ~JpegDecompressor();
    JpegDecompressor(const JpegDecompressor&) = delete;
    JpegDecompressor& operator=(const JpegDecompressor&) = delete;

    jpeg_decompress_struct& info() { return info_; }

    // The library calls of the same names; each raises Error Jpeg on a library error.
    void readHeader();  // an image is required, a tables-only stream fails
    // The file has more than one scan (known once the header is read).
    bool hasMultipleScans() const { return multipleScans_; }
    void calcOutputDimensions();
    // Once the header is read: the decoding parameters the settings ask for,
    // at eighths / 8 of the size their scale gives, and the output size; an
    // output past rasterPixelLimit() raises InvalidGraphicError PictureTooLarge.
    // Returns whether the output is 8-bit (grey or quantised) rather than 24-bit.
    bool configure(const JpegSettings& settings, int eighths = 8);
    // Once decompression has started: the colour map of 8-bit output.
    Palette colorMap() const;

    // What the library will allocate for itself while decoding, once the
    // output dimensions are known: a progressive or buffered file keeps every
    // coefficient (2 bytes each, 1.5 to 3 per pixel), any file a few rows of
    // samples per component and the output rows.
    int64_t libraryMemoryEstimate() const;
    // The most the library may hold; past it, it would spill coefficients to
    // disk, which this build cannot, and fails with an Error Jpeg instead.
    void setLibraryMemoryLimit(int64_t bytes);
    void startDecompress();
    // Every output row, one at a time: row y goes to top + y × step. With a
    // converter the library writes each row into `scratch` (one output row),
    // and the converter carries its pixels over to the target row.
    using RowConverter = void (*)(const uint8_t* from, uint8_t* to, size_t pixels);
    void readScanlines(uint8_t* top, ptrdiff_t step, RowConverter convert = nullptr, uint8_t* scratch = nullptr);
    // The next output row only, the same way.
    void readScanline(uint8_t* to, RowConverter convert = nullptr, uint8_t* scratch = nullptr);
    void finishDecompress();

    struct ErrorManager {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
    };
    struct SourceManager {
        jpeg_source_mgr pub;
        const uint8_t* data;
        size_t size;
        size_t position;  // the next piece starts here
    };
    struct Progress {
        jpeg_progress_mgr pub;
        int scan;      // the last scan charged
        int64_t work;  // charged so far, against kMaxJPEGScanWork
    };

private:
    using Step = void (*)(j_decompress_ptr, void*);
    void run(Step step, void* arg = nullptr);

    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
    SourceManager source_{};
    Progress progress_{};
    bool created_ = false;
    bool multipleScans_ = false;
};

}  // namespace abm
