// Pictures decoded at a fraction of their size and averaged down, against
// the full decode averaged down the same way, and the choice of that fraction.

#include "codecs/jpeg/JpegRows.h"
#include "codecs/raster/FrameConversion.h"
#include "JpegTestFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace abm;
using namespace abm::test;
namespace fs = std::filesystem;

namespace {

// A photograph stand-in: smooth shading, hard edges across blocks, grain.
uint32_t photoLike(int x, int y)
{
    const double shade = 0.5 + 0.5 * std::sin(x * 0.016 + y * 0.012) * std::cos(y * 0.02);
    const bool edge = (x / 60 + y / 47) % 3 == 0;
    const int grain =
        static_cast<int>((static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u) % 16) - 8;
    const auto channel = [](double v) { return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0)); };
    return channel(shade * 220 + grain + (edge ? 30 : 0)) << 16 |
           channel((1 - shade) * 180 + grain + ((x ^ y) & 0x20)) << 8 |
           channel(90 + 80 * std::sin(y * 0.04) + grain - (edge ? 40 : 0));
}

}  // namespace

TEST(JpegRows, EighthsAreTheFewestThatStillAverageFivePixelsEachWay)
{
    struct Case {
        int width, height, needWidth, needHeight, eighths;
    };
    const Case cases[] = {
        {6000, 4000, 128, 85, 1}, {6000, 4000, 128, 97, 1}, {5120, 3880, 128, 97, 1}, {5119, 3880, 128, 97, 2},
        {4000, 3000, 128, 96, 2}, {1920, 1080, 128, 72, 3}, {1165, 859, 128, 94, 5},  {800, 600, 128, 96, 7},
        {640, 480, 128, 96, 8},   {100, 75, 16, 12, 7},     {100, 75, 200, 150, 8},   {6000, 10, 128, 97, 8},
        {100, 75, 0, 10, 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jpegEighthsFor(c.width, c.height, c.needWidth, c.needHeight), c.eighths)
            << c.width << "x" << c.height << " to " << c.needWidth << "x" << c.needHeight;
}

// Every corpus JPEG the decoder takes (photographs and drawings, the
// subsamplings, grey, progressive, odd sizes), a corpus photograph encoded
// again with every subsampling, grey, progressive, arithmetic-coded and with
// restart markers, and a photograph stand-in: fitted into frames of the
// phone's size and smaller, from the rows of a reduced decode, each gives the
// 8-bit picture the full decode gives within 45 dB, and the same palette.
TEST(JpegRows, AveragedDownAsTheFullDecodeIs)
{
    TempDir dir;
    std::vector<fs::path> files = filesIn(corpora() / "jpeg");
    const fs::path photo = corpora() / "jpeg/wuffs/harvesters.jpeg";
    const std::optional<Raster> pixels = djpeg(photo, "");
    ASSERT_TRUE(pixels);
    const auto photoAt = [&](int x, int y) {
        const Color c = pixels->pixel(x, y);
        return static_cast<uint32_t>(redOf(c)) << 16 | greenOf(c) << 8 | blueOf(c);
    };
    for (const char* options : {"-sample 1x1", "-sample 2x1", "-sample 1x2", "-sample 4x1", "-grayscale",
                                "-progressive", "-arithmetic", "-restart 1 -sample 2x2"}) {
        files.push_back(dir / ("photo " + std::string(options) + ".jpg"));
        writeFile(files.back(), cjpeg(pixels->width(), pixels->height(), photoAt, options));
    }
    files.push_back(dir / "photo-like.jpg");
    writeFile(files.back(), cjpeg(1203, 803, photoLike, "-restart 2B"));

    int compared = 0;
    for (const fs::path& file : files) {
        JpegImage jpeg;
        Raster full;
        try {
            jpeg.loadFromFile(file);
            full = jpeg.raster();
        } catch (const InvalidGraphicError&) {
            continue;  // refused whatever the scale, as the full-size tests show
        }
        for (const auto& [frameWidth, frameHeight] : {std::pair{128, 97}, {64, 48}, {32, 24}, {16, 12}}) {
            const Rect r = fitInside(jpeg.width(), jpeg.height(), frameWidth, frameHeight);
            const int eighths = jpegEighthsFor(jpeg.width(), jpeg.height(), r.width(), r.height());
            if (eighths == 8)
                continue;
            JpegRows rows(jpeg, eighths);
            EXPECT_EQ(rows.eighths, eighths);
            EXPECT_EQ(rows.palette, full.sharedPalette()) << file;
            const Raster reduced = scalePicture(rows, r.width(), r.height());
            rows.finish();
            EXPECT_GE(psnr(scalePicture(full, r.width(), r.height(), true), reduced), 45.0)
                << file << " at " << r.width() << "x" << r.height() << " from eighths " << eighths;
            ++compared;
        }
    }
    EXPECT_GE(compared, 60);
}
