// Decoded pixels against libjpeg-turbo's own djpeg, and the raster shapes.

#include "codecs/jpeg/JpegImage.h"
#include "JpegTestFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include <jpeglib.h>
#include <jerror.h>

using namespace abm;
using namespace abm::test;
namespace fs = std::filesystem;

namespace {

// The djpeg options that decode like our defaults: float DCT, and grey output
// quantised to 236 levels as ours always is.
std::string djpegDefaults(const JpegImage& jpeg)
{
    return jpeg.grayscale() ? "-dct float -colors 236" : "-dct float";
}

TEST(JpegDecode, TestorigMatchesDjpegFloatBmpByteForByte)
{
    const fs::path file = corpora() / "jpeg/libjpeg-turbo/testorig.jpg";
    JpegImage jpeg;
    jpeg.loadFromFile(file);
    Raster ours;
    jpeg.assignTo(ours);
    EXPECT_EQ(ours.pixelFormat(), PixelFormat::Bgr888);
    EXPECT_TRUE(ours.palette().empty());
    const auto reference = djpeg(file, "-dct float");
    ASSERT_TRUE(reference);
    ASSERT_EQ(reference->pixelFormat(), PixelFormat::Bgr888);
    EXPECT_TRUE(samePixels(ours, *reference));
}

// Every subsampling, progressive, arithmetic, grey and truncated file of the
// corpus decodes exactly as djpeg does; whatever djpeg refuses (12-bit, and
// the licence and reference files beside them) fails with a JPEG error.
TEST(JpegDecode, EveryCorpusFileDecodesLikeDjpegOrFailsWithAJpegError)
{
    int decoded = 0;
    for (const fs::path& file : filesIn(corpora() / "jpeg")) {
        SCOPED_TRACE(file.string());
        JpegImage jpeg;
        Raster ours;
        bool refused = false;
        try {
            jpeg.loadFromFile(file);
            jpeg.assignTo(ours);
        } catch (const InvalidGraphicError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Jpeg);
            refused = true;
        }
        const auto reference = djpeg(file, djpegDefaults(jpeg));
        ASSERT_EQ(refused, !reference);
        if (refused)
            continue;
        EXPECT_EQ(ours.width(), jpeg.width());
        EXPECT_EQ(ours.height(), jpeg.height());
        EXPECT_TRUE(samePixels(ours, *reference));
        ++decoded;
    }
    EXPECT_GT(decoded, 30);
}

// New pictures take these settings while it lives.
class ScopedJpegDefaults {
public:
    ScopedJpegDefaults() : saved_(jpegDefaults()) {}
    ~ScopedJpegDefaults() { jpegDefaults() = saved_; }
    ScopedJpegDefaults(const ScopedJpegDefaults&) = delete;
    ScopedJpegDefaults& operator=(const ScopedJpegDefaults&) = delete;

private:
    JpegSettings saved_;
};

struct SettingsCase {
    const char* name;
    void (*apply)(JpegSettings&);
    const char* djpegOptions;
    PixelFormat format;
};

void PrintTo(const SettingsCase& c, std::ostream* os)
{
    *os << c.name;
}

class SettingsDecode : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsDecode, DecodesLikeTheMatchingDjpegOptions)
{
    const SettingsCase& c = GetParam();
    for (const char* name :
         {"libjpeg-turbo/testorig.jpg", "wuffs/peacock.progressive.jpeg", "wuffs/bricks-gray.jpeg"}) {
        SCOPED_TRACE(name);
        const fs::path file = corpora() / "jpeg" / name;
        ScopedJpegDefaults defaults;
        c.apply(jpegDefaults());
        JpegImage jpeg;
        jpeg.loadFromFile(file);
        const Raster& ours = jpeg.raster();
        const PixelFormat expected = jpeg.grayscale() ? PixelFormat::Indexed8 : c.format;
        EXPECT_EQ(ours.pixelFormat(), expected);
        // Grey files are always quantised to 236 levels.
        std::string options = c.djpegOptions;
        if (jpeg.grayscale() && options.find("-colors") == std::string::npos)
            options += " -colors 236";
        const auto reference = djpeg(file, options);
        ASSERT_TRUE(reference);
        EXPECT_TRUE(samePixels(ours, *reference));
        if (expected == PixelFormat::Indexed8) {
            EXPECT_LE(ours.palette().size(), 236u);
            EXPECT_GE(ours.palette().size(), 2u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsDecode,
    ::testing::Values(SettingsCase{"Grey", [](JpegSettings& s) { s.grayscaleOutput = true; },
                                   "-dct float -grayscale -colors 236", PixelFormat::Indexed8},
                      SettingsCase{"Half", [](JpegSettings& s) { s.scale = jsHalf; }, "-dct float -scale 1/2",
                                   PixelFormat::Bgr888},
                      SettingsCase{"Quarter", [](JpegSettings& s) { s.scale = jsQuarter; }, "-dct float -scale 1/4",
                                   PixelFormat::Bgr888},
                      SettingsCase{"Eighth", [](JpegSettings& s) { s.scale = jsEighth; }, "-dct float -scale 1/8",
                                   PixelFormat::Bgr888},
                      SettingsCase{"BestSpeed", [](JpegSettings& s) { s.performance = jpBestSpeed; },
                                   "-dct fast -onepass -dither ordered", PixelFormat::Bgr888},
                      SettingsCase{"EightBit", [](JpegSettings& s) { s.pixelFormat = jf8Bit; },
                                   "-dct float -colors 236", PixelFormat::Indexed8},
                      SettingsCase{"EightBitFast",
                                   [](JpegSettings& s) {
                                       s.pixelFormat = jf8Bit;
                                       s.performance = jpBestSpeed;
                                   },
                                   "-dct fast -colors 236 -onepass -dither ordered", PixelFormat::Indexed8}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(JpegDecode, GrayscaleFileGivesAn8BitRasterWith236GreyEntries)
{
    for (const char* name : {"wuffs/bricks-gray.jpeg", "wuffs/peacock.grayscale.jpeg"}) {
        SCOPED_TRACE(name);
        JpegImage jpeg;
        jpeg.loadFromFile(corpora() / "jpeg" / name);
        ASSERT_TRUE(jpeg.grayscale());
        const Raster& raster = jpeg.raster();
        EXPECT_EQ(raster.pixelFormat(), PixelFormat::Indexed8);
        EXPECT_EQ(raster.width(), jpeg.width());
        EXPECT_EQ(raster.height(), jpeg.height());
        const Palette& palette = raster.palette();
        ASSERT_EQ(palette.size(), 236u);
        EXPECT_EQ(palette.front().r, 0);
        EXPECT_EQ(palette.back().r, 255);
        for (size_t i = 0; i < palette.size(); ++i) {
            EXPECT_EQ(palette[i].g, palette[i].r);
            EXPECT_EQ(palette[i].b, palette[i].r);
            if (i > 0) {
                EXPECT_GT(palette[i].r, palette[i - 1].r);
            }
        }
    }
}

TEST(JpegDecode, OneRowAndOneColumnPicturesDecode)
{
    for (const JpegRecipe& recipe : {JpegRecipe{1, 1}, JpegRecipe{500, 1}, JpegRecipe{1, 500},
                                     JpegRecipe{2, 1, JpegKind::Gray}, JpegRecipe{500, 1, JpegKind::Color, true}}) {
        SCOPED_TRACE(std::to_string(recipe.width) + "x" + std::to_string(recipe.height));
        TempDir dir;
        writeFile(dir / "a.jpg", encodeJpeg(recipe, gradient));
        JpegImage jpeg;
        jpeg.loadFromFile(dir / "a.jpg");
        const Raster& raster = jpeg.raster();
        ASSERT_EQ(raster.width(), recipe.width);
        ASSERT_EQ(raster.height(), recipe.height);
        const auto reference = djpeg(dir / "a.jpg", djpegDefaults(jpeg));
        ASSERT_TRUE(reference);
        EXPECT_TRUE(samePixels(raster, *reference));
    }
}

TEST(JpegDecode, SmoothingActsOnProgressiveFilesWithMissingScans)
{
    const auto decode = [](const char* name, bool smoothing) {
        ScopedJpegDefaults defaults;
        jpegDefaults().smoothing = smoothing;
        JpegImage jpeg;
        jpeg.loadFromFile(corpora() / "jpeg/wuffs" / name);
        return Raster(jpeg.raster());
    };
    // Only the DC scan: smoothing fills in the missing detail.
    EXPECT_FALSE(samePixels(decode("peacock.progressive.scan000.jpeg", true),
                            decode("peacock.progressive.scan000.jpeg", false)));
    // All scans present: nothing to smooth.
    EXPECT_TRUE(samePixels(decode("peacock.progressive.jpeg", true), decode("peacock.progressive.jpeg", false)));
}

// Adobe's inverted CMYK, from ImageMagick's own writer and from libjpeg's (as
// CMYK and as YCCK), decodes as ImageMagick converts it to sRGB. Without
// Adobe's marker nobody can tell whether the ink is inverted: refused.
TEST(JpegDecode, AdobeCmykAndYcckDecodeAsImageMagickConvertsThem)
{
    TempDir dir;
    writeFile(dir / "magick.jpg", imageMagickCmyk(61, 47, gradient));
    writeFile(dir / "cmyk.jpg", encodeJpeg(JpegRecipe{61, 47, JpegKind::Cmyk}, gradient));
    writeFile(dir / "ycck.jpg", encodeJpeg(JpegRecipe{61, 47, JpegKind::Ycck, true}, gradient));
    for (const char* name : {"magick.jpg", "cmyk.jpg", "ycck.jpg"}) {
        SCOPED_TRACE(name);
        JpegImage jpeg;
        jpeg.loadFromFile(dir / name);
        const Raster& ours = jpeg.raster();
        EXPECT_EQ(ours.pixelFormat(), PixelFormat::Bgr888);
        const auto reference = imageMagickRgb(dir / name);
        ASSERT_TRUE(reference);
        EXPECT_TRUE(samePixels(ours, *reference));
    }

    std::vector<uint8_t> unmarked = encodeJpeg(JpegRecipe{24, 16, JpegKind::Cmyk}, gradient);
    const JpegMarker adobe = findMarker(unmarked, 0xEE);
    unmarked.erase(unmarked.begin() + static_cast<long>(adobe.offset), unmarked.begin() + static_cast<long>(adobe.end));
    writeFile(dir / "unmarked.jpg", unmarked);
    JpegImage jpeg;
    ASSERT_NO_THROW(jpeg.loadFromFile(dir / "unmarked.jpg"));
    try {
        jpeg.raster();
        ADD_FAILURE() << "CMYK without Adobe's marker decoded";
    } catch (const InvalidGraphicError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Jpeg);
        EXPECT_EQ(e.number(), JERR_CONVERSION_NOTIMPL);
    }
}

// Progressions of many scans as cjpeg writes them from scan scripts (it
// takes 100 at most), and its own progression of a large 4:4:4 picture.
TEST(JpegDecode, ProgressiveFilesOfManyScansDecodeLikeDjpeg)
{
    struct Case {
        int width, height;
        int bands;  // of each component's AC coefficients; 0 for cjpeg's own progression
        size_t scans;
    };
    for (const Case& c : {Case{301, 203, 1, 8}, Case{301, 203, 3, 20}, Case{301, 203, 9, 56}, Case{301, 203, 16, 98},
                          Case{6000, 4000, 0, 10}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ", " + std::to_string(c.scans) +
                     " scans");
        TempDir dir;
        std::string options = "-progressive -sample 1x1";
        if (c.bands > 0) {
            // DC first and refined, then each band of each component first
            // without its lowest bit, then refined: 2 + 6 × bands scans.
            std::string script = "0,1,2: 0-0, 0, 1;\n";
            std::string refinements = "0,1,2: 0-0, 1, 0;\n";
            for (int component = 0; component < 3; ++component)
                for (int band = 0; band < c.bands; ++band) {
                    const std::string range =
                        std::to_string(1 + 63 * band / c.bands) + "-" + std::to_string(63 * (band + 1) / c.bands);
                    script += std::to_string(component) + ": " + range + ", 0, 1;\n";
                    refinements += std::to_string(component) + ": " + range + ", 1, 0;\n";
                }
            std::ofstream(dir / "scans.txt") << script << refinements;
            options = "-scans " + (dir / "scans.txt");
        }
        const std::vector<uint8_t> bytes = cjpeg(c.width, c.height, gradient, options);
        const auto markers = jpegMarkers(bytes);
        EXPECT_EQ(static_cast<size_t>(std::count_if(markers.begin(), markers.end(),
                                                    [](const JpegMarker& m) { return m.code == 0xDA; })),
                  c.scans);
        writeFile(dir / "a.jpg", bytes);
        JpegImage jpeg;
        jpeg.loadFromFile(dir / "a.jpg");
        const auto reference = djpeg(dir / "a.jpg", "-dct float");
        ASSERT_TRUE(reference);
        EXPECT_TRUE(samePixels(jpeg.raster(), *reference));
    }
}

TEST(JpegDecode, TwelveBitJpegIsRefusedWithAJpegError)
{
    JpegImage jpeg;
    try {
        jpeg.loadFromFile(corpora() / "jpeg/libjpeg-turbo/monkey12.jpg");
        jpeg.raster();
        ADD_FAILURE() << "a 12-bit file decoded";
    } catch (const InvalidGraphicError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Jpeg);
        EXPECT_EQ(e.number(), JERR_BAD_PRECISION);
    }
}

}  // namespace
