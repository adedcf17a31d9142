#pragma once

// How a JPEG picture is decoded. Every picture starts from the process-wide
// defaults, which the program may change once at start-up.

namespace abm {

enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };
// Output size 1/1, 1/2, 1/4, 1/8 of the picture.
enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

struct TJPEGSettings {
    // Decode colour files to grey as well.
    bool grayscaleOutput = false;
    // Best speed: fast integer inverse DCT, one-pass quantisation, ordered dither.
    TJPEGPerformance performance = jpBestQuality;
    // 8 bits: quantise colour output to at most 236 colours.
    TJPEGPixelFormat pixelFormat = jf24Bit;
    TJPEGScale scale = jsFullSize;
    // Block smoothing of progressive files whose later scans are missing.
    bool smoothing = true;
};

// The defaults new pictures copy; set them once, before any picture is made.
TJPEGSettings& jpegDefaults();

}  // namespace abm
