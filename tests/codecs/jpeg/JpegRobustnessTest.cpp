// Hostile and damaged input: every failure is a JPEG error (or the raster
// cap's PictureTooLarge), never a crash, a hang or an unbounded allocation.

#include "codecs/jpeg/JpegDecompressor.h"
#include "codecs/jpeg/JpegImage.h"
#include "base/ByteStream.h"
#include "JpegTestFiles.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
using namespace abm::test;
namespace fs = std::filesystem;

namespace {

enum class Outcome { Decoded, Refused };

// Loads and converts `bytes`; anything but a JPEG error fails the test.
Outcome loadAndConvert(const std::vector<uint8_t>& bytes, Raster* out = nullptr)
{
    MemoryStream stream(bytes);
    JpegImage jpeg;
    try {
        jpeg.loadFromStream(stream);
        Raster raster;
        jpeg.assignTo(raster);
        if (out)
            *out = raster;
        return Outcome::Decoded;
    } catch (const InvalidGraphicError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Jpeg);
        return Outcome::Refused;
    }
}

// The frame header with its size replaced, the rest of the file untouched.
std::vector<uint8_t> withSize(std::vector<uint8_t> jpeg, uint8_t sofCode, int width, int height)
{
    const JpegMarker sof = findMarker(jpeg, sofCode);
    jpeg[sof.offset + 5] = static_cast<uint8_t>(height >> 8);
    jpeg[sof.offset + 6] = static_cast<uint8_t>(height);
    jpeg[sof.offset + 7] = static_cast<uint8_t>(width >> 8);
    jpeg[sof.offset + 8] = static_cast<uint8_t>(width);
    return jpeg;
}

// Where a scan's coded data starts: after the length its header gives.
size_t scanDataStart(const std::vector<uint8_t>& jpeg, const JpegMarker& sos)
{
    return sos.offset + 2 + (static_cast<size_t>(jpeg[sos.offset + 2]) << 8 | jpeg[sos.offset + 3]);
}

size_t sosHeaderEnd(const std::vector<uint8_t>& jpeg)
{
    return scanDataStart(jpeg, findMarker(jpeg, 0xDA));
}

TEST(JpegRobustness, EveryCutBeforeTheScanFailsAtLoad)
{
    const std::vector<uint8_t> whole = readFile(corpora() / "jpeg/libjpeg-turbo/testorig.jpg");
    const JpegMarker sos = findMarker(whole, 0xDA);
    for (size_t cut = 1; cut <= sos.offset; ++cut) {
        MemoryStream stream(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut)));
        JpegImage jpeg;
        EXPECT_EQ(kindOfError([&] { jpeg.loadFromStream(stream); }), ErrorKind::Jpeg) << "cut at " << cut;
    }
    // Cut inside the scan header: refused, or decoded from what is there.
    for (size_t cut = sos.offset + 1; cut < sosHeaderEnd(whole); ++cut)
        loadAndConvert(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut)));
}

// Cut in any scan's coded data, a file converts to its full size, as djpeg
// decodes it; cut in a progressive file's later marker segments it may be refused.
TEST(JpegRobustness, EveryCutInScanDataConvertsLikeDjpeg)
{
    for (const char* name : {"libjpeg-turbo/testorig.jpg", "wuffs/peacock.progressive.jpeg"}) {
        const std::vector<uint8_t> whole = readFile(corpora() / "jpeg" / name);
        std::vector<bool> inScanData(whole.size() + 1, false);
        for (const JpegMarker& m : jpegMarkers(whole))
            if (m.code == 0xDA)
                for (size_t i = scanDataStart(whole, m); i <= m.end; ++i)
                    inScanData[i] = true;
        TempDir dir;
        int compared = 0;
        for (size_t cut = sosHeaderEnd(whole); cut < whole.size(); cut += 3) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            const std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(cut));
            Raster raster;
            const Outcome outcome = loadAndConvert(bytes, &raster);
            if (!inScanData[cut])
                continue;
            ASSERT_EQ(outcome, Outcome::Decoded);
            if (compared++ % 25 == 0) {
                writeFile(dir / "cut.jpg", bytes);
                const auto reference = djpeg(dir / "cut.jpg", "-dct float");
                ASSERT_TRUE(reference);
                EXPECT_TRUE(samePixels(raster, *reference));
            }
        }
    }
}

TEST(JpegRobustness, PictureBeyondTheRasterCapIsRefusedBeforeDecoding)
{
    const std::vector<uint8_t> testorig = readFile(corpora() / "jpeg/libjpeg-turbo/testorig.jpg");
    for (auto [width, height] : {std::pair{65000, 65000}, std::pair{16384, 16385}, std::pair{65500, 4200}}) {
        ASSERT_GT(int64_t{width} * height, kMaxRasterPixels);
        MemoryStream stream(withSize(testorig, 0xC0, width, height));
        JpegImage jpeg;
        jpeg.loadFromStream(stream);  // only the header: fine
        EXPECT_EQ(jpeg.width(), width);
        try {
            jpeg.raster();
            ADD_FAILURE() << width << "x" << height << " decoded";
        } catch (const InvalidGraphicError& e) {
            EXPECT_NE(e.kind(), ErrorKind::Jpeg) << "the library got to it first: " << e.what();
            EXPECT_STREQ(e.what(), "Bitmap image is not valid");
        }
    }
}

// A progressive file holds every coefficient in the library's memory; a
// header under the raster cap may still ask for gigabytes of it, and is
// refused by the memory budget before the raster or the library's arrays
// are made.
TEST(JpegRobustness, HugeProgressiveHeaderIsRefusedByTheMemoryBudget)
{
    const std::vector<uint8_t> small = encodeJpeg(JpegRecipe{64, 64, JpegKind::Color, true}, gradient);
    ASSERT_LE(int64_t{16000} * 16000, kMaxRasterPixels);
    MemoryStream stream(withSize(small, 0xC2, 16000, 16000));
    JpegImage jpeg;
    jpeg.loadFromStream(stream);
    const int64_t before = MemoryBudget::used();
    MemoryBudget::resetPeak();
    try {
        jpeg.raster();
        ADD_FAILURE() << "decoded a 16000 x 16000 progressive picture";
    } catch (const MemoryLimitExceeded& e) {
        // 3 bytes of raster and 3 of coefficients per pixel (4:2:0).
        EXPECT_GE(e.needed(), int64_t{16000} * 16000 * 6);
        EXPECT_GE(jpeg.decodeMemory(), int64_t{16000} * 16000 * 6);
    }
    EXPECT_EQ(MemoryBudget::peak(), before);
}

// Thousands of scans without data: on a small picture they cost little and
// the file decodes as djpeg decodes it; on a large one their work passes the
// bound and the file is refused instead of keeping the import busy.
TEST(JpegRobustness, ThousandsOfEmptyScansDecodeOrAreRefusedForTheirWork)
{
    const std::vector<uint8_t> file = encodeJpeg(JpegRecipe{64, 64, JpegKind::Color, true}, gradient);
    JpegMarker last{};
    for (const JpegMarker& m : jpegMarkers(file))
        if (m.code == 0xDA)
            last = m;
    ASSERT_NE(last.offset, 0u);
    // The last scan's header, again and again, each time with no data.
    std::vector<uint8_t> bytes(file.begin(), file.begin() + static_cast<long>(last.end));
    for (int i = 0; i < 5000; ++i)
        bytes.insert(bytes.end(), file.begin() + static_cast<long>(last.offset),
                     file.begin() + static_cast<long>(scanDataStart(file, last)));
    bytes.insert(bytes.end(), file.begin() + static_cast<long>(last.end), file.end());

    TempDir dir;
    writeFile(dir / "small.jpg", bytes);
    Raster raster;
    ASSERT_EQ(loadAndConvert(bytes, &raster), Outcome::Decoded);
    const auto reference = djpeg(dir / "small.jpg", "-dct float");
    ASSERT_TRUE(reference);
    EXPECT_TRUE(samePixels(raster, *reference));

    MemoryStream stream(withSize(bytes, 0xC2, 4096, 4096));
    JpegImage jpeg;
    jpeg.loadFromStream(stream);
    try {
        jpeg.raster();
        ADD_FAILURE() << "decoded 5000 empty scans of 4096 x 4096";
    } catch (const InvalidGraphicError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::JpegTooManyScans);
        EXPECT_GT(e.number(), 1) << "the scans read before the limit";
        EXPECT_LT(e.number(), 5000);
    }
}

}  // namespace
