// Small files that ask for a great deal of memory or work, imported under a
// small memory budget into a strip that already holds a frame: each ends in
// the budget's error naming the file (or the reader's own refusal where that
// comes first), the budget never passes its limit, and the strip is as it
// was. Big pictures that are no attack still import within the default one.

#include "HostileInputs.h"
#include "codecs/jpeg/JPEGImage.h"
#include "codecs/raster/Canvas.h"
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
std::string Import(FrameStrip& strip, ScriptedPrompts& prompts, const std::string& file)
{
    TImportResult result;
    try {
        result = ImportFile(strip, file);
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
        {"cap-16384x16385.bmp", "dropped"},
        {"cap-16384x16385.jpg", "dropped"},
        {"cap-16384x16385.gif", "error: GIF image is too large"},
        {"cap-16384x16385.abm", "message: Невозможно откыть файл: " + (dir / "cap-16384x16385.abm")},
    };
    const int64_t limit = MemoryBudget::Used() + (int64_t{64} << 20);
    const ScopedMemoryLimit scoped(limit);
    for (const fuzz::THostileInput& input : fuzz::MemoryBombs()) {
        const std::string path = dir / input.name;
        fuzz::WriteHostileInput(path, input);
        TFrameOptionValues options;
        ScriptedPrompts prompts;
        FrameStrip strip(options, prompts);
        strip.AppendFrame(MakeRaster(8, 6, pf24bit, [](int x, int y) { return static_cast<uint32_t>(x * 40 + y); }));
        const TBitmap* source = strip.SourceBitmaps().front().get();
        MemoryBudget::ResetPeak();

        const std::string outcome = Import(strip, prompts, path);
        const auto own = readersOwn.find(input.name);
        const std::string expected =
            own != readersOwn.end() ? own->second : "budget: not enough memory for \"" + path + "\": needs ";
        EXPECT_EQ(outcome.substr(0, expected.size()), expected) << input.name;
        EXPECT_LE(MemoryBudget::Peak(), limit) << input.name;
        EXPECT_EQ(strip.Count(), 1) << input.name;
        ASSERT_EQ(strip.SourceBitmaps().size(), 1u) << input.name;
        EXPECT_EQ(strip.SourceBitmaps().front().get(), source) << input.name;
        std::filesystem::remove(path);
    }
}

TEST(MemoryBombs, BigPicturesStillImportWithinTheDefaultBudgetAsBefore)
{
    TempDir dir;
    WriteFile(dir / "big.jpg", EncodeJpeg(JpegRecipe{6000, 4000, JpegKind::Color}, Gradient));
    MakeRaster(4000, 3000, pf24bit, [](int x, int y) { return static_cast<uint32_t>(x * 977 ^ y * 131); })
        .SaveToFile(dir / "big.bmp");
    const ScopedMemoryLimit limit(MemoryBudget::DefaultLimit());
    for (const char* name : {"big.jpg", "big.bmp"}) {
        TFrameOptionValues options;
        options.AutoSizeOn = false;
        options.StretchOn = true;
        ScriptedPrompts prompts;
        TBitmap frame;
        {
            FrameStrip strip(options, prompts);
            MemoryBudget::ResetPeak();
            EXPECT_EQ(ImportFile(strip, dir / name).framesAdded, 1) << name;
            ASSERT_EQ(strip.Count(), 1) << name;
            frame = strip.Thumbnail(0).Picture;
        }
        EXPECT_LE(MemoryBudget::Peak(), MemoryBudget::DefaultLimit()) << name;

        // The whole picture decoded and stretched onto a 128 × 97 frame.
        TBitmap picture;
        if (std::strcmp(name, "big.jpg") == 0) {
            TJPEGImage jpeg;
            jpeg.LoadFromFile(dir / name);
            jpeg.AssignTo(picture);
        } else {
            picture.LoadFromFile(dir / name);
        }
        TBitmap expected;
        expected.SetPixelFormat(pf16bit);
        expected.SetSize(128, 97);
        expected.Canvas().StretchDraw(Rect(0, 0, 128, 97), &picture);
        EXPECT_TRUE(SamePixels(frame, expected)) << name;
    }
}
