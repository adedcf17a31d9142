#pragma once

// One libjpeg decompressor reading an in-memory block through the private
// error, source and progress managers. A library error leaves the library by
// longjmp and is raised as EJPEG only afterwards: nothing is thrown through C.
// Internal to codecs/jpeg; TJPEGImage is the public face.

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace abm {

// Common encoders write 10 scans or fewer. Each scan may cost a pass over every
// coefficient block, and a crafted file can repeat scans by the thousand: at
// the memory limit above, 50 scans already take some seconds.
constexpr int kMaxJPEGScans = 50;

// The EJPEG number for a file past kMaxJPEGScans; the library's own codes
// stay far below it.
constexpr int kJPEGErrorTooManyScans = 1000;

class TJPEGDecompressor {
public:
    // The block must outlive the decompressor.
    TJPEGDecompressor(const uint8_t* data, size_t size);
    ~TJPEGDecompressor();
    TJPEGDecompressor(const TJPEGDecompressor&) = delete;
    TJPEGDecompressor& operator=(const TJPEGDecompressor&) = delete;

    jpeg_decompress_struct& Info() { return info_; }

    // The library calls of the same names; each raises EJPEG on a library error.
    void ReadHeader();  // an image is required, a tables-only stream fails
    // The file has more than one scan (known once the header is read).
    bool HasMultipleScans() const { return multipleScans_; }
    void CalcOutputDimensions();

    // What the library will allocate for itself while decoding, once the
    // output dimensions are known: a progressive or buffered file keeps every
    // coefficient (2 bytes each, 1.5 to 3 per pixel), any file a few rows of
    // samples per component and the output rows.
    int64_t LibraryMemoryEstimate() const;
    // The most the library may hold; past it, it would spill coefficients to
    // disk, which this build cannot, and fails with an EJPEG instead.
    void SetLibraryMemoryLimit(int64_t bytes);
    void StartDecompress();
    // Every output row, one at a time: row y goes to top + y × step.
    void ReadScanlines(uint8_t* top, ptrdiff_t step);
    void FinishDecompress();

    struct TErrorManager {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
    };
    struct TSourceManager {
        jpeg_source_mgr pub;
        const uint8_t* data;
        size_t size;
        size_t position;  // the next piece starts here
    };

private:
    using TStep = void (*)(j_decompress_ptr, void*);
    void Run(TStep step, void* arg = nullptr);

    jpeg_decompress_struct info_{};
    TErrorManager errors_{};
    TSourceManager source_{};
    jpeg_progress_mgr progress_{};
    bool created_ = false;
    bool multipleScans_ = false;
};

}  // namespace abm
