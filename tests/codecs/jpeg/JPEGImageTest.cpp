// Loading, laziness and sharing of TJPEGImage.

#include "codecs/jpeg/JPEGImage.h"
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
    WriteFile(dir / "a.jpg", EncodeJpeg(recipe, Gradient));
    const int64_t decodes = TJPEGImage::DecodeCount();
    TJPEGImage jpeg;
    jpeg.LoadFromFile(dir / "a.jpg");
    EXPECT_EQ(jpeg.Width(), recipe.width);
    EXPECT_EQ(jpeg.Height(), recipe.height);
    EXPECT_EQ(jpeg.Grayscale(), recipe.kind == JpegKind::Gray);
    EXPECT_EQ(jpeg.ProgressiveEncoding(), recipe.progressive);
    EXPECT_EQ(TJPEGImage::DecodeCount(), decodes);
}

INSTANTIATE_TEST_SUITE_P(Pictures, LoadHeader,
                         ::testing::Values(JpegRecipe{1, 1, JpegKind::Color}, JpegRecipe{500, 1, JpegKind::Color},
                                           JpegRecipe{1, 500, JpegKind::Gray}, JpegRecipe{37, 23, JpegKind::Color, true},
                                           JpegRecipe{64, 48, JpegKind::Gray, true}, JpegRecipe{20, 10, JpegKind::Cmyk}));

TEST(JPEGImage, DataThatIsNotAJpegFailsAtLoadWith53)
{
    std::vector<uint8_t> notSoi = ReadFile(Corpora() / "jpeg/libjpeg-turbo/testorig.jpg");
    notSoi[1] = 0xD9;
    const std::vector<std::vector<uint8_t>> inputs = {
        ReadFile(Corpora() / "bmp/bmpsuite/g/rgb24.bmp"),
        ReadFile(Corpora() / "jpeg/libjpeg-turbo/testorig.png"),
        notSoi,
        {0xFF},
        {0x00, 0xFF, 0xD8},
    };
    for (const auto& bytes : inputs) {
        ASSERT_FALSE(bytes.empty());
        TMemoryStream stream(bytes);
        const int64_t decodes = TJPEGImage::DecodeCount();
        TJPEGImage jpeg;
        try {
            jpeg.LoadFromStream(stream);
            ADD_FAILURE() << "loaded " << bytes.size() << " bytes that are no JPEG";
        } catch (const InvalidGraphicError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Jpeg);
            EXPECT_EQ(e.number(), 53);
            EXPECT_STREQ(e.what(), "JPEG error #53");
        }
        EXPECT_EQ(TJPEGImage::DecodeCount(), decodes);
    }
}

TEST(JPEGImage, EmptyFileLoadsAndFailsOnConversionWith42)
{
    TempDir dir;
    WriteFile(dir / "empty.jpg", {});
    TJPEGImage jpeg;
    ASSERT_NO_THROW(jpeg.LoadFromFile(dir / "empty.jpg"));
    EXPECT_EQ(jpeg.Width(), 0);
    EXPECT_EQ(jpeg.Height(), 0);
    TBitmap raster;
    try {
        jpeg.AssignTo(raster);
        ADD_FAILURE() << "an empty file converted";
    } catch (const InvalidGraphicError& e) {
        ASSERT_EQ(e.kind(), ErrorKind::Jpeg);
        EXPECT_EQ(e.number(), 42);
        EXPECT_STREQ(e.what(), "JPEG error #42");
    }
}

TEST(JPEGImage, LoadFromStreamTakesTheRestFromTheCurrentPosition)
{
    const std::vector<uint8_t> file = ReadFile(Corpora() / "jpeg/wuffs/hat.jpeg");
    std::vector<uint8_t> bytes = {'j', 'u', 'n', 'k'};
    bytes.insert(bytes.end(), file.begin(), file.end());
    TMemoryStream stream(bytes);
    stream.SetPosition(4);
    TJPEGImage fromStream, fromFile;
    fromStream.LoadFromStream(stream);
    fromFile.LoadFromFile(Corpora() / "jpeg/wuffs/hat.jpeg");
    EXPECT_EQ(stream.Position(), stream.Size());
    EXPECT_TRUE(SamePixels(fromStream.Bitmap(), fromFile.Bitmap()));

    // Nothing left: an empty picture that fails only when converted.
    TJPEGImage rest;
    rest.LoadFromStream(stream);
    EXPECT_EQ(rest.Width(), 0);
    EXPECT_EQ(KindOfError([&] { rest.Bitmap(); }), ErrorKind::Jpeg);
}

TEST(JPEGImage, MissingFileRaisesTheFileOpenErrorNotAnInvalidPicture)
{
    TempDir dir;
    const std::string name = dir / "missing.jpg";
    TJPEGImage jpeg;
    try {
        jpeg.LoadFromFile(name);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const InvalidGraphicError&) {
        ADD_FAILURE() << "the importer would swallow this";
    } catch (const FileError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileOpen);
        EXPECT_EQ(e.what(), "Cannot open file \"" + name + "\". " + std::strerror(ENOENT));
    }
}

TEST(JPEGImage, CopyingTheSamePictureIntoTwoRastersDecodesOnce)
{
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Corpora() / "jpeg/libjpeg-turbo/testorig.jpg");
    TJPEGImage copy(jpeg);  // made before decoding: still shares the decoding
    const int64_t decodes = TJPEGImage::DecodeCount();
    TBitmap first, second, third;
    jpeg.AssignTo(first);
    jpeg.AssignTo(second);
    copy.AssignTo(third);
    EXPECT_EQ(TJPEGImage::DecodeCount(), decodes + 1);
    EXPECT_EQ(first.Width(), jpeg.Width());
    EXPECT_TRUE(first.SharesPixelsWith(second));
    EXPECT_TRUE(first.SharesPixelsWith(third));

    // A raster copy is the caller's own: changing it leaves the picture's alone.
    first.ScanLine(0)[0] ^= 0xFF;
    EXPECT_NE(first.ScanLine(0)[0], jpeg.Bitmap().ScanLine(0)[0]);
    EXPECT_EQ(TJPEGImage::DecodeCount(), decodes + 1);
}

TEST(JPEGImage, LoadingNewDataDropsTheDecodedRaster)
{
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Corpora() / "jpeg/wuffs/hat.jpeg");
    TJPEGImage keeper(jpeg);
    const TBitmap hat = jpeg.Bitmap();
    jpeg.LoadFromFile(Corpora() / "jpeg/wuffs/peacock.default.jpeg");
    const int64_t decodes = TJPEGImage::DecodeCount();
    EXPECT_EQ(jpeg.Bitmap().Width(), jpeg.Width());
    EXPECT_EQ(jpeg.Bitmap().Height(), jpeg.Height());
    EXPECT_EQ(TJPEGImage::DecodeCount(), decodes + 1);
    // The copy still holds the old picture and its raster.
    EXPECT_TRUE(keeper.Bitmap().SharesPixelsWith(hat));
    EXPECT_EQ(TJPEGImage::DecodeCount(), decodes + 1);
}

TEST(JPEGImage, NewPicturesStartFromTheProcessWideDefaults)
{
    const TJPEGSettings saved = jpegDefaults();
    TJPEGImage plain;
    EXPECT_FALSE(plain.Settings().GrayscaleOutput);
    EXPECT_EQ(plain.Settings().Performance, jpBestQuality);
    EXPECT_EQ(plain.Settings().PixelFormat, jf24Bit);
    EXPECT_EQ(plain.Settings().Scale, jsFullSize);
    EXPECT_TRUE(plain.Settings().Smoothing);

    jpegDefaults().PixelFormat = jf8Bit;  // a palette display
    TJPEGImage paletted;
    jpegDefaults() = saved;
    paletted.LoadFromFile(Corpora() / "jpeg/wuffs/hat.jpeg");
    EXPECT_EQ(paletted.Bitmap().PixelFormat(), pf8bit);
    EXPECT_EQ(plain.Settings().PixelFormat, jf24Bit);
}

}  // namespace

// While a picture is loaded it holds its file's bytes; decoding holds the
// raster and, only for its own length, libjpeg's buffers: together what
// DecodeMemory reckons from the header.
TEST(JPEGImage, DecodingHoldsTheRasterAndTheLibraryBuffersOnlyWhileItRuns)
{
    for (const JpegRecipe& recipe : {JpegRecipe{300, 200, JpegKind::Color}, JpegRecipe{300, 200, JpegKind::Color, true},
                                     JpegRecipe{64, 64, JpegKind::Gray, true}}) {
        const std::vector<uint8_t> file = EncodeJpeg(recipe, Gradient);
        const int64_t before = MemoryBudget::Used();
        TMemoryStream stream(file);
        TJPEGImage jpeg;
        jpeg.LoadFromStream(stream);
        EXPECT_EQ(MemoryBudget::Used(), before + static_cast<int64_t>(file.size()));
        const int64_t raster = RasterBytes(recipe.width, recipe.height, recipe.kind == JpegKind::Gray ? 8 : 24);
        EXPECT_GT(jpeg.DecodeMemory(), raster);
        MemoryBudget::ResetPeak();
        jpeg.Bitmap();
        EXPECT_EQ(MemoryBudget::Used(), before + static_cast<int64_t>(file.size()) + raster);
        EXPECT_EQ(MemoryBudget::Peak(), MemoryBudget::Used() + jpeg.DecodeMemory() - raster);
    }
}
