// Decoded BMP pixels at 5-6-5 against pictures whose meaning is known: our
// own writer's, in every layout, and the BMP Suite's reference PNGs.

#include "codecs/bmp/BmpCodec.h"
#include "base/Error.h"
#include "BmpBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace abm;
using abm::test::BmpLayout;
using abm::test::pixel16;
namespace fs = std::filesystem;

namespace {

// The picture as a frame: converted to 16 bits as the strip does.
Raster decodeFrame(const std::vector<uint8_t>& bytes)
{
    Raster b = decodeBmp(bytes.data(), bytes.size());
    b.setPixelFormat(PixelFormat::Rgb565);
    return b;
}

}  // namespace

TEST(BmpDifferential, EveryLayoutOurWriterMakesGivesItsKnownFrame)
{
    using Size = BmpLayout::SizeField;
    using Masks = std::array<uint32_t, 3>;
    const Masks rgb565{0xF800, 0x07E0, 0x001F}, bgr565{0x001F, 0x07E0, 0xF800}, rgb555{0x7C00, 0x03E0, 0x001F},
        rgb444{0x0F00, 0x00F0, 0x000F}, xrgb{0xFF0000, 0xFF00, 0xFF}, xbgr{0xFF, 0xFF00, 0xFF0000},
        rgbx{0xFF000000, 0xFF0000, 0xFF00}, rgb101010{0x3FF00000, 0xFFC00, 0x3FF};
    const BmpLayout layouts[] = {
        {"core 1-bit", 12, 1},
        {"core 4-bit", 12, 4},
        {"core 8-bit", 12, 8},
        {"core 24-bit", 12, 24},
        {"OS/2 8-bit", 16, 8},
        {"OS/2 24-bit", 16, 24},
        {"1-bit", 40, 1},
        {"4-bit", 40, 4},
        {"8-bit", 40, 8},
        {"16-bit 5-5-5", 40, 16},
        {"24-bit", 40, 24},
        {"32-bit", 40, 32},
        {"OS/2 8-bit", 64, 8},
        {"OS/2 24-bit", 64, 24},
        {"8-bit", 108, 8},
        {"4-bit", 124, 4},
        {"24-bit", 124, 24},
        {"R-G-B 5-6-5", 40, 16, 3, rgb565},
        {"B-G-R 5-6-5", 40, 16, 3, bgr565},
        {"5-5-5 fields", 40, 16, 3, rgb555},
        {"4-4-4", 40, 16, 3, rgb444},
        {"X-R-G-B", 40, 32, 3, xrgb},
        {"X-B-G-R", 40, 32, 3, xbgr},
        {"R-G-B-X", 40, 32, 3, rgbx},
        {"10-10-10", 40, 32, 3, rgb101010},
        {"B-G-R 5-6-5", 52, 16, 3, bgr565},
        {"X-B-G-R", 52, 32, 3, xbgr},
        {"4-4-4", 56, 16, 3, rgb444},
        {"10-10-10", 56, 32, 3, rgb101010},
        {"B-G-R 5-6-5", 108, 16, 3, bgr565},
        {"R-G-B-X", 108, 32, 3, rgbx},
        {"R-G-B 5-6-5", 124, 16, 3, rgb565},
        {"X-R-G-B", 124, 32, 3, xrgb},
        {"8-bit top-down", 40, 8, 0, {}, true},
        {"24-bit top-down", 40, 24, 0, {}, true},
        {"B-G-R 5-6-5 top-down", 108, 16, 3, bgr565, true},
        {"RLE8", 40, 8, 1, {}, false, Size::Exact},
        {"RLE8 size 0", 40, 8, 1, {}, false, Size::Zero},
        {"RLE8 size 0", 124, 8, 1, {}, false, Size::Zero},
        {"RLE4", 40, 4, 2, {}, false, Size::Exact},
        {"RLE4 size 0", 40, 4, 2, {}, false, Size::Zero},
        {"RLE4 size 0", 124, 4, 2, {}, false, Size::Zero},
        {"8-bit, gap before the pixels", 40, 8, 0, {}, false, Size::Exact, 100},
        {"24-bit, gap before the pixels", 124, 24, 0, {}, false, Size::Exact, 3},
        {"B-G-R 5-6-5, gap before the pixels", 40, 16, 3, bgr565, false, Size::Exact, 17},
        {"RLE8 size 0, gap before the pixels", 40, 8, 1, {}, false, Size::Zero, 9},
        {"8-bit, short colour table", 12, 8, 0, {}, false, Size::Exact, 0, true},
        {"4-bit, short colour table", 40, 4, 0, {}, false, Size::Exact, 0, true},
        {"4-bit, size field one row", 108, 4, 0, {}, false, Size::TooSmall},
        {"24-bit, size field one row", 40, 24, 0, {}, false, Size::TooSmall},
        {"X-B-G-R top-down, size field one row", 124, 32, 3, xbgr, true, Size::TooSmall},
    };
    for (const BmpLayout& layout : layouts) {
        SCOPED_TRACE(std::string(layout.name) + ", header " + std::to_string(layout.headerSize));
        const abm::test::BmpSample sample = abm::test::writeBmpSample(layout);
        Raster frame;
        try {
            frame = decodeFrame(sample.bytes);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        ASSERT_EQ(frame.width(), sample.width);
        ASSERT_EQ(frame.height(), sample.height);
        int wrong = 0;
        for (int y = 0; y < sample.height; ++y)
            for (int x = 0; x < sample.width; ++x) {
                const uint16_t want = sample.answer[static_cast<size_t>(y * sample.width + x)];
                if (pixel16(frame, x, y) != want && wrong++ == 0)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << pixel16(frame, x, y)
                                  << " instead of " << want;
            }
        EXPECT_EQ(wrong, 0);
    }
}

// Every g/ and q/ file of the suite against its reference PNG, exactly at
// 5-6-5. What remains different is what a PNG cannot say or a policy of ours,
// and is named here.
TEST(BmpDifferential, SuiteFilesMatchTheirReferencePngsAtSixteenBits)
{
    // Variants the raster is refused for, as the platform makes none of them.
    const std::set<std::string> refused = {
        "q/pal2.bmp",       "q/pal2color.bmp",    // 2 bits per pixel
        "q/rgb24rle24.bmp", "q/pal1huffmsb.bmp",  // OS/2 run-length 24 and Huffman compression
        "q/rgb24jpeg.bmp",  "q/rgb24png.bmp",     // an embedded JPEG or PNG
        "q/rgba32abf.bmp",                        // compression 6, alpha bit fields
        "q/rgba64.bmp",                           // 64 bits per pixel
    };
    // Pixels that run-length data skips keep palette index 0, which one of
    // the listed references shows; the others make them transparent or black.
    const std::map<std::string, std::string> reference = {
        {"q/pal4rletrns.bmp", "ref/pal4rletrns-0.png"},     {"q/pal4rlecut.bmp", "ref/pal4rlecut-0.png"},
        {"q/pal8rletrns.bmp", "ref/pal8rletrns-0.png"},     {"q/pal8rlecut.bmp", "ref/pal8rlecut-0.png"},
        {"g/pal8nonsquare.bmp", "ref/pal8nonsquare-e.png"},  // the pixel aspect ratio is not applied
    };
    // Alpha is not read: where a reference is fully transparent, its colour is
    // not the file's.
    const std::set<std::string> alpha = {
        "q/rgba16-4444.bmp",    "q/rgba16-5551.bmp",  "q/rgba16-1924.bmp",  "q/rgba32-1.bmp",  "q/rgba32-2.bmp",
        "q/rgba32-1010102.bmp", "q/rgba32-81284.bmp", "q/rgba32-61754.bmp", "q/rgba32h56.bmp",
    };
    // Its embedded colour profile swaps red and green back; profiles are not applied.
    const std::string swappedByProfile = "q/rgb24prof2.bmp";

    const fs::path suite = abm::test::corpora() / "bmp" / "bmpsuite";
    std::ifstream manifest(suite / "MANIFEST.tsv");
    ASSERT_TRUE(manifest) << "MANIFEST.tsv missing";
    int compared = 0, refusals = 0;
    for (std::string line; std::getline(manifest, line);) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string x; std::getline(fields, x, '\t');)
            f.push_back(x);
        if (f.size() < 9 || (f[0].rfind("g/", 0) != 0 && f[0].rfind("q/", 0) != 0))
            continue;
        const std::string& name = f[0];
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = abm::test::readFile(suite / name);
        if (refused.count(name)) {
            EXPECT_THROW(decodeFrame(bytes), InvalidGraphicError);
            ++refusals;
            continue;
        }
        const Raster frame = decodeFrame(bytes);
        const auto chosen = reference.find(name);
        const std::string refName = chosen != reference.end() ? chosen->second : f[8].substr(0, f[8].find(';'));
        const abm::test::RgbaImage ref = abm::test::readPng(suite / refName);
        ASSERT_EQ(frame.width(), ref.width);
        ASSERT_EQ(frame.height(), ref.height);
        int wrong = 0, transparent = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x) {
                const uint32_t c = ref.at(x, y);
                if ((c >> 24) == 0) {
                    ++transparent;
                    continue;
                }
                uint8_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF;
                if (name == swappedByProfile)
                    std::swap(r, g);
                if (pixel16(frame, x, y) != toRgb565(r, g, c & 0xFF))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(transparent > 0, alpha.count(name) > 0) << transparent << " transparent pixels";
        ++compared;
    }
    EXPECT_EQ(compared, 62);
    EXPECT_EQ(refusals, static_cast<int>(refused.size()));
}
