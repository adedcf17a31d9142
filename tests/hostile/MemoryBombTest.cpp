// Small files that ask for a great deal of memory or work, imported under a
// small memory budget into a strip that already holds a frame: each ends in
// the budget's error naming the file (or the reader's own refusal where that
// comes first), the budget never passes its limit, and the strip is as it
// was. Big pictures that are no attack still import within the default one.

#include "HostileInputs.h"
#include "codecs/bmp/BmpCodec.h"
#include "codecs/jpeg/JpegImage.h"
#include "codecs/raster/Painter.h"
#include "workspace/ImageImport.h"
#include "../codecs/jpeg/JpegTestFiles.h"
#include "../workspace/ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace abm;
using namespace abm::test;

namespace {

// "budget: <text>", "error: <text>", "message: <text>", "dropped" or "frames".
std::string import(FrameStrip& strip, ScriptedPrompts& prompts, const std::string& file)
{
    ImportResult result;
    try {
        result = importFile(strip, prompts, file);
    } catch (const MemoryLimitExceeded& e) {
        return std::string("budget: ") + e.what();
    } catch (const std::exception& e) {
        return std::string("error: ") + e.what();
    }
    if (!prompts.messages.empty())
        return "message: " + prompts.messages.back().text;
    return result.dropped ? "dropped" : "frames";
}

}  // namespace

TEST(MemoryBombs, RefusedWithinASmallBudgetLeavingTheStripAsItWas)
{
    TempDir dir;
    // Past the raster cap the readers refuse first, each in its own way.
    const std::map<std::string, std::string> readersOwn = {
        {"cap-16384x16385.bmp", "message: Невозможно откыть файл: " + (dir / "cap-16384x16385.bmp")},
        {"cap-16384x16385.jpg", "message: Невозможно откыть файл: " + (dir / "cap-16384x16385.jpg")},
        {"cap-16384x16385.gif", "error: GIF image is too large"},
        {"cap-16384x16385.abm", "message: Невозможно откыть файл: " + (dir / "cap-16384x16385.abm")},
    };
    const int64_t limit = MemoryBudget::used() + (int64_t{64} << 20);
    const ScopedMemoryLimit scoped(limit);
    for (const fuzz::HostileInput& input : fuzz::memoryBombs()) {
        const std::string path = dir / input.name;
        fuzz::writeHostileInput(path, input);
        FrameOptions options;
        ScriptedPrompts prompts;
        FrameStrip strip(options);
        strip.append(
            makeRaster(8, 6, PixelFormat::Bgr888, [](int x, int y) { return static_cast<uint32_t>(x * 40 + y); }));
        const SourcePicture* source = &strip.frame(0).source;
        MemoryBudget::resetPeak();

        const std::string outcome = import(strip, prompts, path);
        const auto own = readersOwn.find(input.name);
        const std::string expected =
            own != readersOwn.end() ? own->second : "budget: not enough memory for \"" + path + "\": needs ";
        EXPECT_EQ(outcome.substr(0, expected.size()), expected) << input.name;
        EXPECT_LE(MemoryBudget::peak(), limit) << input.name;
        EXPECT_EQ(strip.count(), 1) << input.name;
        ASSERT_EQ(strip.count(), 1) << input.name;
        EXPECT_EQ(&strip.frame(0).source, source) << input.name;
        std::filesystem::remove(path);
    }
}

TEST(MemoryBombs, BigPicturesStillImportWithinTheDefaultBudgetAsBefore)
{
    TempDir dir;
    writeFile(dir / "big.jpg", encodeJpeg(JpegRecipe{6000, 4000, JpegKind::Color}, gradient));
    writeBmpFile(makeRaster(4000, 3000, PixelFormat::Bgr888,
                            [](int x, int y) { return static_cast<uint32_t>(x * 977 ^ y * 131); }),
                 dir / "big.bmp");
    const ScopedMemoryLimit limit(MemoryBudget::defaultLimit());
    for (const char* name : {"big.jpg", "big.bmp"}) {
        FrameOptions options;
        options.autoSize = false;
        options.stretch = true;
        ScriptedPrompts prompts;
        Raster frame;
        {
            FrameStrip strip(options);
            MemoryBudget::resetPeak();
            EXPECT_EQ(importFile(strip, prompts, dir / name).framesAdded, 1) << name;
            ASSERT_EQ(strip.count(), 1) << name;
            frame = strip.frame(0).picture;
        }
        EXPECT_LE(MemoryBudget::peak(), MemoryBudget::defaultLimit()) << name;

        // The whole picture decoded and stretched onto a 128 × 97 frame.
        Raster picture;
        if (std::strcmp(name, "big.jpg") == 0) {
            JpegImage jpeg;
            jpeg.loadFromFile(dir / name);
            jpeg.assignTo(picture);
        } else {
            picture = readBmpFile(dir / name);
        }
        Raster expected;
        expected.setPixelFormat(PixelFormat::Rgb565);
        expected.setSize(128, 97);
        Painter(expected).drawImage(expected.rect(), picture);
        EXPECT_TRUE(samePixels(frame, expected)) << name;
    }
}

// A JPEG smoothed down into a small frame holds its file and the few rows
// of its reduced decode, not its pixels: under a budget far below its full
// decode it imports, the budget never past its limit, where the same
// picture taken by the nearest pixel is refused.
TEST(MemoryBombs, AReducedDecodeHoldsOnlyTheFileAndAFewRows)
{
    TempDir dir;
    const std::string path = dir / "big.jpg";
    writeFile(path, encodeJpeg(JpegRecipe{6000, 4000, JpegKind::Color}, gradient));
    const int64_t limit = MemoryBudget::used() + static_cast<int64_t>(std::filesystem::file_size(path)) + (4 << 20);
    const ScopedMemoryLimit scoped(limit);
    for (const bool smooth : {true, false}) {
        FrameOptions options;
        options.autoSize = false, options.stretch = true, options.smooth = smooth;
        ScriptedPrompts prompts;
        FrameStrip strip(options);
        MemoryBudget::resetPeak();
        const std::string outcome = import(strip, prompts, path);
        EXPECT_EQ(outcome.substr(0, 7), smooth ? "frames" : "budget:") << outcome;
        EXPECT_LE(MemoryBudget::peak(), limit) << smooth;
    }
}
