#include "ReferenceFrames.h"
#include "codecs/bmp/BmpCodec.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace abm::test {

std::vector<Raster> coalescedByImageMagick(const std::filesystem::path& gif)
{
    TempDir dir;
    const std::string command =
        std::string(ABM_CONVERT) + " '" + gif.string() +
        "' -coalesce -background white -alpha remove -alpha off -type TrueColor 'BMP3:" + (dir / "f-%d.bmp") + "'";
    std::vector<Raster> frames;
    if (std::system(command.c_str()) != 0) {
        ADD_FAILURE() << command << " failed";
        return frames;
    }
    for (int i = 0; std::filesystem::exists(dir / ("f-" + std::to_string(i) + ".bmp")); ++i)
        frames.push_back(readBmpFile(dir / ("f-" + std::to_string(i) + ".bmp")));
    return frames;
}

std::vector<uint16_t> colours565(const Raster& picture)
{
    std::vector<uint16_t> values;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const Color c = picture.pixel(x, y);
            values.push_back(picture.pixelFormat() == PixelFormat::Rgb565 ? pixel16(picture, x, y)
                                                                          : toRgb565(redOf(c), greenOf(c), blueOf(c)));
        }
    return values;
}

std::vector<uint16_t> colours565(const RgbaImage& picture)
{
    std::vector<uint16_t> values;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const uint32_t c = picture.at(x, y), alpha = c >> 24;
            const auto onWhite = [&](int shift) {
                return static_cast<uint8_t>((((c >> shift) & 0xFF) * alpha + 255 * (255 - alpha) + 127) / 255);
            };
            values.push_back(toRgb565(onWhite(16), onWhite(8), onWhite(0)));
        }
    return values;
}

}  // namespace abm::test
