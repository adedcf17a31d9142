#include "base/Error.h"
#include "codecs/gif/GifImage.h"
#include "GifBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace abm;
using namespace abm::test;
namespace fs = std::filesystem;

namespace {

// 0x00RRGGBB of pixel (x, y) of a sub-image, through its raster's palette.
uint32_t rgbAt(GifSubImage& s, int x, int y)
{
    const Rgb& e = s.raster()->palette()[s.data()[static_cast<size_t>(y) * s.width() + x]];
    return (static_cast<uint32_t>(e.r) << 16) | (e.g << 8) | e.b;
}

// What the import asks of a picture: every raster and mask, and if asked
// every image drawn onto a copy of the first (alternately with and without
// transparency).
void useEveryImage(GifImage& gif, bool draw)
{
    if (gif.count() == 0 || !gif.images(0).raster())
        return;
    Raster work(*gif.images(0).raster());
    for (int i = 0; i < gif.count(); ++i) {
        gif.images(i).mask();
        if (draw)
            gif.images(i).draw(work, work.rect(), i % 2 == 1);
    }
}

const std::set<std::string> kLoadErrors = {
    "Invalid GIF signature",
    "Premature end of data",
    "Unknown extension type",
    "Invalid extension introducer",
    "Unsupported Application Extension block size",
    "Circular decoder table entry",
    "No global or local color table defined",
    "Invalid LZW minimum code size",
    "GIF image is too large",
};

// "" when the file loads and every image can be used, else the error text.
std::string tryLoad(const std::vector<uint8_t>& bytes, bool draw = true)
{
    GifImage gif;
    try {
        gif.loadFromMemory(bytes.data(), bytes.size());
        useEveryImage(gif, draw);
    } catch (const InvalidGraphicError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(GifCorpora, BricksDecodeToTheirReferenceIndexesAndPalettes)
{
    const fs::path dir = corpora() / "gif" / "wuffs";
    for (const char* name : {"bricks-dither", "bricks-nodither", "bricks-gray"}) {
        SCOPED_TRACE(name);
        GifImage gif;
        gif.loadFromFile((dir / (std::string(name) + ".gif")).string());
        ASSERT_EQ(gif.count(), 1);
        GifSubImage& s = gif.images(0);
        EXPECT_TRUE(s.data() == readFile(dir / (std::string(name) + ".indexes")));
        const fs::path palette = dir / (std::string(name) + ".palette");
        if (!fs::exists(palette))
            continue;
        const auto bgra = readFile(palette);
        ASSERT_EQ(bgra.size(), 1024u);
        const Palette& p = s.raster()->palette();
        for (size_t i = 0; i < 256; ++i) {
            EXPECT_EQ(p[i], (Rgb{bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]})) << i;
            EXPECT_EQ(bgra[4 * i + 3], 0xFF);
        }
    }
}

TEST(GifCorpora, SingleImagesMatchGiflibsRgbDumps)
{
    const fs::path dir = corpora() / "gif" / "giflib";
    for (const char* name : {"gifgrid", "porsche", "solid2", "treescap", "treescap-interlaced", "x-trans"}) {
        SCOPED_TRACE(name);
        GifImage gif;
        gif.loadFromFile((dir / "pic" / (std::string(name) + ".gif")).string());
        ASSERT_EQ(gif.count(), 1);
        GifSubImage& s = gif.images(0);
        ASSERT_EQ(s.width(), gif.width());
        ASSERT_EQ(s.height(), gif.height());
        const auto rgb = readFile(dir / "expected" / (std::string(name) + ".rgb"));
        ASSERT_EQ(rgb.size(), static_cast<size_t>(s.width()) * s.height() * 3);
        int wrong = 0;
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) {
                const size_t at = (static_cast<size_t>(y) * s.width() + x) * 3;
                wrong += rgbAt(s, x, y) != ((static_cast<uint32_t>(rgb[at]) << 16) | (rgb[at + 1] << 8) | rgb[at + 2]);
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(GifCorpora, EveryFileLoadsOrFailsWithAKnownError)
{
    for (const fs::path& file : filesIn(corpora() / "gif")) {
        const std::string error = tryLoad(readFile(file));
        EXPECT_TRUE(error.empty() || kLoadErrors.count(error)) << file << ": " << error;
    }
}

TEST(GifCorporaHostile, EveryCutAndDamagedCopyFailsCleanly)
{
    // Every prefix of a few small files, and copies with one byte changed.
    const fs::path dir = corpora() / "gif" / "wuffs";
    for (const char* name : {"hippopotamus.interlaced.gif", "pjw-thumbnail.gif", "animated-red-blue.gif"}) {
        const auto bytes = readFile(dir / name);
        ASSERT_FALSE(bytes.empty()) << name;
        for (size_t n = 0; n <= bytes.size(); ++n) {
            const std::string error =
                tryLoad(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)), false);
            EXPECT_TRUE(error.empty() || kLoadErrors.count(error)) << name << " cut at " << n << ": " << error;
        }
        for (size_t at = 0; at < bytes.size(); at += 3) {
            auto damaged = bytes;
            damaged[at] ^= static_cast<uint8_t>(0x55 + at);
            const std::string error = tryLoad(damaged);
            EXPECT_TRUE(error.empty() || kLoadErrors.count(error)) << name << " changed at " << at << ": " << error;
        }
    }
}
