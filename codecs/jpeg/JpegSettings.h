#pragma once

// How a JPEG picture is decoded. Every picture starts from the process-wide
// defaults, which the program may change once at start-up.

namespace abm {

enum JpegPerformance { jpBestQuality, jpBestSpeed };
enum JpegPixelFormat { jf24Bit, jf8Bit };
// Output size 1/1, 1/2, 1/4, 1/8 of the picture.
enum JpegScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

struct JpegSettings {
    // Decode colour files to grey as well.
    bool grayscaleOutput = false;
    // Best speed: fast integer inverse DCT, one-pass quantisation, ordered dither.
    JpegPerformance performance = jpBestQuality;
    // 8 bits: quantise colour output to at most 236 colours.
    JpegPixelFormat pixelFormat = jf24Bit;
    JpegScale scale = jsFullSize;
    // Block smoothing of progressive files whose later scans are missing.
    bool smoothing = true;
};

// The defaults new pictures copy; set them once, before any picture is made.
JpegSettings& jpegDefaults();

}  // namespace abm
