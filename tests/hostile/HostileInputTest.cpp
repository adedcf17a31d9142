// Hostile inputs end in a clean, specific outcome: the error their reader
// names, or the picture or silence the import rules give.

#include "HostileInputs.h"
#include "base/Error.h"
#include "codecs/bmp/BmpCodec.h"
#include "codecs/gif/GifImage.h"
#include "codecs/gif/GifSubImage.h"
#include "base/Error.h"
#include "codecs/jpeg/JpegImage.h"
#include "base/Error.h"
#include "base/ByteStream.h"
#include "settings/IniFile.h"
#include "workspace/AbmFile.h"
#include "../workspace/ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/resource.h>

using namespace abm;
using abm::test::isGifError;

namespace {

const fuzz::HostileInput& input(const std::string& name)
{
    static const std::vector<fuzz::HostileInput> inputs = fuzz::hostileInputs();
    for (const auto& input : inputs)
        if (input.name == name)
            return input;
    throw std::runtime_error("no hostile input " + name);
}

// "loaded", or the class and text of the error.
std::string loadGif(const std::string& name, int* count = nullptr)
{
    const auto& bytes = input(name).bytes;
    GifImage gif;
    try {
        gif.loadFromMemory(bytes.data(), bytes.size());
        for (int i = 0; i < gif.count(); ++i)
            gif.images(i).raster();
    } catch (const InvalidGraphicError& e) {
        if (!isGifError(e))
            throw;
        return std::string("GifError: ") + e.what();
    }
    if (count)
        *count = gif.count();
    return "loaded";
}

std::string loadBmp(const std::string& name)
{
    const auto& bytes = input(name).bytes;
    try {
        Raster b = decodeBmp(bytes.data(), bytes.size());
        b.setPixelFormat(PixelFormat::Rgb565);
        return "loaded " + std::to_string(b.width()) + "x" + std::to_string(b.height());
    } catch (const InvalidGraphicError& e) {
        return std::string("InvalidGraphicError: ") + e.what();
    } catch (const FileError& e) {
        return std::string("FileError: ") + e.what();
    }
}

std::string loadJpeg(const std::string& name)
{
    const auto& bytes = input(name).bytes;
    MemoryStream stream(bytes);
    JpegImage jpeg;
    try {
        jpeg.loadFromStream(stream);
        Raster raster;
        jpeg.assignTo(raster);
    } catch (const InvalidGraphicError& e) {
        if (e.kind() == ErrorKind::Jpeg)
            return "JpegError";
        return std::string("InvalidGraphicError: ") + e.what();
    }
    return "decoded";
}

}  // namespace

TEST(HostileGif, CodeSizesPastTheTableFailBeforeAnyPixel)
{
    for (int m : {12, 13, 255})
        EXPECT_EQ(loadGif("mincode-" + std::to_string(m) + ".gif").rfind("GifError: ", 0), 0u) << m;
    for (int m : {0, 1, 2, 11})
        EXPECT_EQ(loadGif("mincode-" + std::to_string(m) + ".gif"), "loaded") << m;
}

TEST(HostileGif, OddCodeStreamsAndPlacementsDecode)
{
    for (const char* name : {"full-table-no-clear.gif", "outside-screen.gif", "zero-screen.gif"})
        EXPECT_EQ(loadGif(name), "loaded") << name;
    // Codes past the next free entry may build a table entry that points at itself.
    const std::string pastNext = loadGif("code-past-next.gif");
    EXPECT_TRUE(pastNext == "loaded" || pastNext == "GifError: Circular decoder table entry") << pastNext;
}

TEST(HostileGif, AllocationBombsAreRefused)
{
    for (const char* name : {"bomb-65535.gif", "bomb-zero-size.gif"}) {
        EXPECT_EQ(input(name).bytes.size() < 64, true);
        EXPECT_EQ(loadGif(name).rfind("GifError: ", 0), 0u) << name;
    }
}

TEST(HostileGif, HundredThousandTinyImagesLoad)
{
    int count = 0;
    EXPECT_EQ(loadGif("hundred-thousand-images.gif", &count), "loaded");
    EXPECT_EQ(count, 100000);
}

TEST(HostileBmp, BombsAndOverflowsAreInvalidPictures)
{
    for (const char* name : {"bomb-65535.bmp", "bomb-3000000.bmp", "stride-overflow.bmp", "negative-extreme.bmp"})
        EXPECT_EQ(loadBmp(name), "InvalidGraphicError: Bitmap image is not valid") << name;
}

TEST(HostileBmp, RunsIndexesHeadersAndMasksEndCleanly)
{
    const std::map<std::string, std::string> expected = {
        {"rle8-past-edge.bmp", "loaded 4x4"},
        {"rle4-past-edge.bmp", "loaded 3x3"},
        {"index-past-table.bmp", "loaded 4x1"},
        {"header-size-0.bmp", "InvalidGraphicError: Bitmap image is not valid"},
        {"header-size-4294967295.bmp", "FileError: Stream read error"},
        {"mask-0.bmp", "loaded 2x2"},
        {"mask-4294967295.bmp", "loaded 2x2"},
        {"mask-2147483649.bmp", "loaded 2x2"},
    };
    for (const auto& [name, outcome] : expected)
        EXPECT_EQ(loadBmp(name), outcome) << name;
    // Indexes past a two-colour table read as black.
    const auto& bytes = input("index-past-table.bmp").bytes;
    EXPECT_EQ(decodeBmp(bytes.data(), bytes.size()).pixel(0, 0), color::black);
    for (uint32_t size : {5u, 11u, 13u, 39u, 41u, 1000u})
        EXPECT_NE(loadBmp("header-size-" + std::to_string(size) + ".bmp"), "") << size;
}

TEST(HostileJpeg, SizesPastTheCapAndEmptyScansFailAsInvalidPictures)
{
    for (const char* name : {"claims-65500.jpg", "progressive-claims-40000.jpg", "zero-size.jpg", "only-soi.jpg"}) {
        const std::string outcome = loadJpeg(name);
        EXPECT_TRUE(outcome == "JpegError" || outcome == "InvalidGraphicError: Bitmap image is not valid")
            << name << ": " << outcome;
    }
}

TEST(HostileAbm, OverflowingHeadersGiveTheCannotOpenMessage)
{
    abm::test::TempDir dir;
    FrameOptions options;
    abm::test::ScriptedPrompts prompts;
    const std::map<std::string, std::string> expected = {
        {"datasize-max.abm", "Невозможно откыть файл: "},   {"datasize-negative.abm", "Неверный формат файла: "},
        {"count-overflow.abm", "Невозможно откыть файл: "}, {"buffer-overflow.abm", "Невозможно откыть файл: "},
        {"zero-width.abm", "Невозможно откыть файл: "},     {"wide-row.abm", "Невозможно откыть файл: "},
    };
    for (const auto& [name, message] : expected) {
        FrameStrip strip(options);
        prompts.messages.clear();
        abm::test::writeFile(dir / name, input(name).bytes);
        readAbmFile(strip, prompts, dir / name);
        ASSERT_EQ(prompts.messages.size(), 1u) << name;
        EXPECT_EQ(prompts.messages[0].text, message + (dir / name)) << name;
        EXPECT_EQ(strip.count(), 0);
    }
}

TEST(HostileIni, OddFilesReadAndStillTakeAWrite)
{
    abm::test::TempDir dir;
    const std::map<std::string, std::string> loadImg = {
        {"nul.ini", ""},
        {"bom.ini", "/a/"},
        {"duplicates.ini", "1"},
        {"odd.ini", ""},
    };
    for (const auto& [name, value] : loadImg) {
        abm::test::writeFile(dir / name, input(name).bytes);
        IniFile ini(dir / name);
        EXPECT_EQ(ini.readString("TMForm", "LoadImg", ""), value) << name;
        ini.writeString("TMForm", "SavePath", "/x/");
        EXPECT_EQ(ini.readString("TMForm", "SavePath", ""), "/x/") << name;
        EXPECT_EQ(ini.readString("TMForm", "LoadImg", ""), value) << name;
    }
    abm::test::writeFile(dir / "long.ini", input("long-line.ini").bytes);
    EXPECT_EQ(IniFile(dir / "long.ini").readString("TMForm", "LoadImg", "").size(), 2047u);
}

TEST(HostileMemory, NothingHeldMoreThanTheRasterCap)
{
    // Through every hostile picture the process never holds much more than
    // one raster at the cap.
    for (const auto& input : fuzz::hostileInputs()) {
        if (input.kind == "gif")
            loadGif(input.name);
        else if (input.kind == "bmp")
            loadBmp(input.name);
        else if (input.kind == "jpeg")
            loadJpeg(input.name);
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 1536L * 1024) << "peak resident kilobytes";
}
