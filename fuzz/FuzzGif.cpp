// GIF: load from memory, make every sub-image's raster and mask, and draw
// each one transparently and opaquely into a 16-bit raster.

#include "FuzzFile.h"
#include "codecs/gif/GifImage.h"
#include "codecs/gif/GifSubImage.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    abm::GifImage gif;
    try {
        gif.loadFromMemory(data, size);
    } catch (const std::exception&) {
    }
    abm::Raster target;
    target.setPixelFormat(abm::PixelFormat::Rgb565);
    target.setSize(64, 48);
    for (int i = 0; i < gif.count(); ++i) {
        try {
            abm::GifSubImage& sub = gif.images(i);
            if (!sub.raster())
                continue;
            sub.mask();
            // Drawing the first few covers drawing; the rest would only cost time.
            if (i < 16) {
                sub.draw(target, target.rect(), true);
                sub.draw(target, target.rect(), false);
            }
        } catch (const std::exception&) {
        }
    }
    return 0;
}
