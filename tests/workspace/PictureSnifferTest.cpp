#include "workspace/PictureSniffer.h"
#include "workspace/AbmFile.h"
#include "base/Error.h"
#include "codecs/bmp/BmpCodec.h"
#include "codecs/gif/GifImage.h"
#include "codecs/jpeg/JpegImage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
namespace fs = std::filesystem;

namespace {

// What each reader says of a file's start: whether it gets past the
// signature (GIF, JPEG) or reads the whole picture (BMP).
struct ReaderVerdicts {
    bool gif = false, jpeg = false, bmp = false;
};

ReaderVerdicts readersOn(const std::string& file)
{
    ReaderVerdicts v;
    try {
        GifImage().loadFromFile(file);
        v.gif = true;
    } catch (const Error& e) {
        v.gif = e.kind() != ErrorKind::GifInvalidSignature;
    }
    try {
        JpegImage().loadFromFile(file);
        v.jpeg = true;
    } catch (const Error& e) {
        v.jpeg = !(e.kind() == ErrorKind::Jpeg && e.number() == 53);  // not a JPEG
    }
    try {
        v.bmp = !readBmpFile(file).empty();
    } catch (const std::exception&) {
    }
    return v;
}

}  // namespace

// The sniffer says GIF exactly where the GIF reader gets past its signature
// test, JPEG where libjpeg finds its start marker, and BMP for every file
// the BMP reader reads.
TEST(PictureSniffer, SaysWhatTheReadersAccept)
{
    abm::test::TempDir dir;
    const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};
    const auto prefixed = [](std::vector<uint8_t> bytes, size_t count) {
        bytes.insert(bytes.begin(), count, 'x');
        return bytes;
    };
    const auto with = [&gif](const char* start) {
        std::vector<uint8_t> bytes = gif;
        std::copy_n(start, 6, bytes.begin());
        return bytes;
    };
    AbmHeader abm;
    abm.frameWidth = abm.frameHeight = 1;
    abm.bitCount = 16;
    abm.frameCount = 1;
    abm.dataSize = 2;
    const auto header = abm.encode();
    std::vector<uint8_t> abmFile(header.begin(), header.end());
    abmFile.insert(abmFile.end(), {0, 0});
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        PictureType type;
        const char* otherFormat;
    };
    const Case cases[] = {
        {"a.bmp", gif, PictureType::Gif, ""},
        {"b", with("GIF87a"), PictureType::Gif, ""},
        {"c", with("gif89a"), PictureType::Gif, ""},
        {"d", with("GiF90z"), PictureType::Gif, ""},
        {"e", prefixed(gif, 4), PictureType::Gif, ""},
        {"f", prefixed(with("gif89a"), 4), PictureType::Gif, ""},
        {"g.gif", prefixed(gif, 5), PictureType::None, ""},
        {"h.gif", {'G', 'I'}, PictureType::None, ""},
        {"i", {'G', 'I', 'F'}, PictureType::Gif, ""},
        {"j.gif", {0xFF, 0xD8}, PictureType::Jpeg, ""},
        {"k", {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}, PictureType::Jpeg, ""},
        {"l.jpg", {0xFF, 0xD9, 0xFF, 0xE0, 0, 0x10}, PictureType::None, ""},
        {"m.jpg", {0xD8, 0xFF, 0xE0, 0, 0x10, 0}, PictureType::None, ""},
        {"n.jpg", {'B', 'M', 0, 0, 0, 0}, PictureType::Bmp, ""},
        {"o.bmp", {'b', 'm', 0, 0, 0, 0}, PictureType::None, ""},
        {"p.bmp", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, PictureType::None, "PNG"},
        {"q.gif", abmFile, PictureType::Abm, ""},
        {"r.abm", {1, 2, 3}, PictureType::Abm, ""},
        {"s.jpg", {}, PictureType::None, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / c.name;
        abm::test::writeFile(file, c.bytes);
        const SniffedFile sniffed = sniffPictureFile(file);
        EXPECT_EQ(sniffed.type, c.type);
        EXPECT_EQ(sniffed.otherFormat, c.otherFormat);
        EXPECT_EQ(sniffed.size, static_cast<int64_t>(c.bytes.size()));
        // The GIF reader reads 6 bytes before it looks at them.
        if (c.bytes.size() < 6)
            continue;
        const ReaderVerdicts readers = readersOn(file);
        EXPECT_EQ(readers.gif, c.type == PictureType::Gif);
        EXPECT_EQ(readers.jpeg, c.type == PictureType::Jpeg);
    }

    int checked = 0;
    for (const char* folder : {"bmp", "gif", "jpeg"}) {
        for (const auto& entry : fs::recursive_directory_iterator(abm::test::corpora() / folder)) {
            if (!entry.is_regular_file() || entry.file_size() < 6)
                continue;
            const std::string file = entry.path().string();
            const ReaderVerdicts readers = readersOn(file);
            const PictureType type = sniffPictureFile(file).type;
            EXPECT_EQ(type == PictureType::Gif, readers.gif) << file;
            EXPECT_EQ(type == PictureType::Jpeg, readers.jpeg) << file;
            if (readers.bmp) {
                EXPECT_EQ(type, PictureType::Bmp) << file;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 500);
}

// abmtool tells a BMP cut short from a damaged one by the size its header
// promises, which absurd headers must not overflow.
TEST(PictureSniffer, SaysWhenABmpEndsEarly)
{
    abm::test::TempDir dir;
    Raster raster;
    raster.setPixelFormat(PixelFormat::Bgr888);
    raster.setSize(7, 5);
    const std::vector<uint8_t> whole = encodeBmp(raster);
    const std::vector<uint8_t> cut(whole.begin(), whole.end() - 1);
    std::vector<uint8_t> topDown = cut;
    topDown[22] = 0xFB, topDown[23] = topDown[24] = topDown[25] = 0xFF;  // height -5
    std::vector<uint8_t> absurd(whole.begin(), whole.begin() + 54);
    absurd[18] = absurd[19] = absurd[20] = 0xFF, absurd[21] = 0x7F;  // width 2^31 - 1
    absurd[22] = absurd[23] = absurd[24] = 0xFF, absurd[25] = 0x7F;  // height too
    absurd[10] = absurd[11] = absurd[12] = 0xFF;                     // pixels far beyond the end
    const struct {
        const char* name;
        const std::vector<uint8_t>& bytes;
        bool cutShort;
    } cases[] = {{"whole", whole, false}, {"cut", cut, true}, {"top-down", topDown, true}, {"absurd", absurd, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir / c.name;
        abm::test::writeFile(file, c.bytes);
        const SniffedFile sniffed = sniffPictureFile(file);
        EXPECT_EQ(sniffed.type, PictureType::Bmp);
        EXPECT_EQ(sniffed.cutShort, c.cutShort);
    }
}
