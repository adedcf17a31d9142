// Loading, laziness and sharing of JpegImage.

#include "codecs/jpeg/JpegImage.h"
#include "base/ByteStream.h"
#include "JpegTestFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace abm;
using namespace abm::test;

namespace {

class LoadHeader : public ::testing::TestWithParam<JpegRecipe> {};

TEST_P(LoadHeader, ReadsSizeAndKindFromTheHeaderWithoutDecoding)
{
    const JpegRecipe recipe = GetParam();
    TempDir dir;
    writeFile(dir / "a.jpg", encodeJpeg(recipe, gradient));
    const int64_t decodes = JpegImage::decodeCount();
    JpegImage jpeg;
    jpeg.loadFromFile(dir / "a.jpg");
    EXPECT_EQ(jpeg.width(), recipe.width);
    EXPECT_EQ(jpeg.height(), recipe.height);
    EXPECT_EQ(jpeg.grayscale(), recipe.kind == JpegKind::Gray);
    EXPECT_EQ(jpeg.progressiveEncoding(), recipe.progressive);
    EXPECT_EQ(JpegImage::decodeCount(), decodes);
}

INSTANTIATE_TEST_SUITE_P(Pictures, LoadHeader,
                         ::testing::Values(JpegRecipe{1, 1, JpegKind::Color}, JpegRecipe{500, 1, JpegKind::Color},
                                           JpegRecipe{1, 500, JpegKind::Gray},
                                           JpegRecipe{37, 23, JpegKind::Color, true},
                                           JpegRecipe{64, 48, JpegKind::Gray, true},
                                           JpegRecipe{20, 10, JpegKind::Cmyk}));

TEST(JpegImage, DataThatIsNotAJpegFailsAtLoadWith53)
{
    std::vector<uint8_t> notSoi = readFile(corpora() / "jpeg/libjpeg-turbo/testorig.jpg");
    notSoi[1] = 0xD9;
    const std::vector<std::vector<uint8_t>> inputs = {
        readFile(corpora() / "bmp/bmpsuite/g/rgb24.bmp"),
        readFile(corpora() / "jpeg/libjpeg-turbo/testorig.png"),
        notSoi,
        {0xFF},
        {0x00, 0xFF, 0xD8},
    };
    for (const auto& bytes : inputs) {
        ASSERT_FALSE(bytes.empty());
        MemoryStream stream(bytes);
        const int64_t decodes = JpegImage::decodeCount();
        JpegImage jpeg;
        try {
            jpeg.loadFromStream(stream);
            ADD_FAILURE() << "loaded " << bytes.size() << " bytes that are no JPEG";
        } catch (const InvalidGraphicError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Jpeg);
            EXPECT_EQ(e.number(), 53);
            EXPECT_STREQ(e.what(), "JPEG error #53");
        }
        EXPECT_EQ(JpegImage::decodeCount(), decodes);
    }
}

TEST(JpegImage, EmptyFileLoadsAndFailsOnConversionWith42)
{
    TempDir dir;
    writeFile(dir / "empty.jpg", {});
    JpegImage jpeg;
    ASSERT_NO_THROW(jpeg.loadFromFile(dir / "empty.jpg"));
    EXPECT_EQ(jpeg.width(), 0);
    EXPECT_EQ(jpeg.height(), 0);
    Raster raster;
    try {
        jpeg.assignTo(raster);
        ADD_FAILURE() << "an empty file converted";
    } catch (const InvalidGraphicError& e) {
        ASSERT_EQ(e.kind(), ErrorKind::Jpeg);
        EXPECT_EQ(e.number(), 42);
        EXPECT_STREQ(e.what(), "JPEG error #42");
    }
}

TEST(JpegImage, LoadFromStreamTakesTheRestFromTheCurrentPosition)
{
    const std::vector<uint8_t> file = readFile(corpora() / "jpeg/wuffs/hat.jpeg");
    std::vector<uint8_t> bytes = {'j', 'u', 'n', 'k'};
    bytes.insert(bytes.end(), file.begin(), file.end());
    MemoryStream stream(bytes);
    stream.setPosition(4);
    JpegImage fromStream, fromFile;
    fromStream.loadFromStream(stream);
    fromFile.loadFromFile(corpora() / "jpeg/wuffs/hat.jpeg");
    EXPECT_EQ(stream.position(), stream.size());
    EXPECT_TRUE(samePixels(fromStream.raster(), fromFile.raster()));

    // Nothing left: an empty picture that fails only when converted.
    JpegImage rest;
    rest.loadFromStream(stream);
    EXPECT_EQ(rest.width(), 0);
    EXPECT_EQ(kindOfError([&] { rest.raster(); }), ErrorKind::Jpeg);
}

TEST(JpegImage, MissingFileRaisesTheFileOpenErrorNotAnInvalidPicture)
{
    TempDir dir;
    const std::string name = dir / "missing.jpg";
    JpegImage jpeg;
    try {
        jpeg.loadFromFile(name);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const InvalidGraphicError&) {
        ADD_FAILURE() << "the importer would swallow this";
    } catch (const FileError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileOpen);
        EXPECT_EQ(e.what(), "Cannot open file \"" + name + "\". " + std::strerror(ENOENT));
    }
}

TEST(JpegImage, CopyingTheSamePictureIntoTwoRastersDecodesOnce)
{
    JpegImage jpeg;
    jpeg.loadFromFile(corpora() / "jpeg/libjpeg-turbo/testorig.jpg");
    JpegImage copy(jpeg);  // made before decoding: still shares the decoding
    const int64_t decodes = JpegImage::decodeCount();
    Raster first, second, third;
    jpeg.assignTo(first);
    jpeg.assignTo(second);
    copy.assignTo(third);
    EXPECT_EQ(JpegImage::decodeCount(), decodes + 1);
    EXPECT_EQ(first.width(), jpeg.width());
    EXPECT_TRUE(first.sharesPixelsWith(second));
    EXPECT_TRUE(first.sharesPixelsWith(third));

    // A raster copy is the caller's own: changing it leaves the picture's alone.
    first.row(0)[0] ^= 0xFF;
    EXPECT_NE(first.row(0)[0], jpeg.raster().row(0)[0]);
    EXPECT_EQ(JpegImage::decodeCount(), decodes + 1);
}

TEST(JpegImage, LoadingNewDataDropsTheDecodedRaster)
{
    JpegImage jpeg;
    jpeg.loadFromFile(corpora() / "jpeg/wuffs/hat.jpeg");
    JpegImage keeper(jpeg);
    const Raster hat = jpeg.raster();
    jpeg.loadFromFile(corpora() / "jpeg/wuffs/peacock.default.jpeg");
    const int64_t decodes = JpegImage::decodeCount();
    EXPECT_EQ(jpeg.raster().width(), jpeg.width());
    EXPECT_EQ(jpeg.raster().height(), jpeg.height());
    EXPECT_EQ(JpegImage::decodeCount(), decodes + 1);
    // The copy still holds the old picture and its raster.
    EXPECT_TRUE(keeper.raster().sharesPixelsWith(hat));
    EXPECT_EQ(JpegImage::decodeCount(), decodes + 1);
}

TEST(JpegImage, NewPicturesStartFromTheProcessWideDefaults)
{
    const JpegSettings saved = jpegDefaults();
    JpegImage plain;
    EXPECT_FALSE(plain.settings().grayscaleOutput);
    EXPECT_EQ(plain.settings().performance, jpBestQuality);
    EXPECT_EQ(plain.settings().pixelFormat, jf24Bit);
    EXPECT_EQ(plain.settings().scale, jsFullSize);
    EXPECT_TRUE(plain.settings().smoothing);

    jpegDefaults().pixelFormat = jf8Bit;  // a palette display
    JpegImage paletted;
    jpegDefaults() = saved;
    paletted.loadFromFile(corpora() / "jpeg/wuffs/hat.jpeg");
    EXPECT_EQ(paletted.raster().pixelFormat(), PixelFormat::Indexed8);
    EXPECT_EQ(plain.settings().pixelFormat, jf24Bit);
}

}  // namespace

// While a picture is loaded it holds its file's bytes; decoding holds the
// raster and, only for its own length, libjpeg's buffers: together what
// DecodeMemory reckons from the header.
TEST(JpegImage, DecodingHoldsTheRasterAndTheLibraryBuffersOnlyWhileItRuns)
{
    for (const JpegRecipe& recipe : {JpegRecipe{300, 200, JpegKind::Color}, JpegRecipe{300, 200, JpegKind::Color, true},
                                     JpegRecipe{64, 64, JpegKind::Gray, true}}) {
        const std::vector<uint8_t> file = encodeJpeg(recipe, gradient);
        const int64_t before = MemoryBudget::used();
        MemoryStream stream(file);
        JpegImage jpeg;
        jpeg.loadFromStream(stream);
        EXPECT_EQ(MemoryBudget::used(), before + static_cast<int64_t>(file.size()));
        const int64_t raster = rasterBytes(recipe.width, recipe.height, recipe.kind == JpegKind::Gray ? 8 : 24);
        EXPECT_GT(jpeg.decodeMemory(), raster);
        MemoryBudget::resetPeak();
        jpeg.raster();
        EXPECT_EQ(MemoryBudget::used(), before + static_cast<int64_t>(file.size()) + raster);
        EXPECT_EQ(MemoryBudget::peak(), MemoryBudget::used() + jpeg.decodeMemory() - raster);
    }
}
