// Every corpus picture cut short at every byte (at evenly spread places for
// bigger files) and imported through the reader its extension chooses: each
// ends in frames, in the importer's silence or in the error it lets travel,
// and the strip stays whole.

#include "FuzzFile.h"
#include "workspace/ImageImport.h"
#include "../workspace/ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
namespace fs = std::filesystem;

namespace {

constexpr size_t kEveryByteUpTo = 600;
constexpr size_t kSpreadCuts = 48;

std::vector<size_t> cuts(size_t size)
{
    std::vector<size_t> cuts;
    if (size <= kEveryByteUpTo) {
        for (size_t n = 0; n < size; ++n)
            cuts.push_back(n);
    } else {
        for (size_t n = 0; n < 64; ++n)  // the headers, byte by byte
            cuts.push_back(n);
        for (size_t i = 1; i <= kSpreadCuts; ++i)
            cuts.push_back(64 + (size - 64) * i / (kSpreadCuts + 1));
        cuts.push_back(size - 1);
    }
    return cuts;
}

void cutAndImport(const fs::path& folder, const std::vector<std::string>& extensions, const std::string& as)
{
    abm::test::ScriptedPrompts prompts;
    size_t files = 0, runs = 0;
    for (const fs::path& file : abm::test::filesIn(folder)) {
        if (std::find(extensions.begin(), extensions.end(), file.extension().string()) == extensions.end())
            continue;
        const std::vector<uint8_t> bytes = abm::test::readFile(file);
        ++files;
        for (size_t cut : cuts(bytes.size())) {
            FrameStrip strip({.autoSize = (cut & 1) == 0, .transparentGif = (cut & 2) != 0});
            try {
                importFile(strip, prompts, fuzz::scratchFile(bytes.data(), cut, as));
            } catch (const std::exception&) {
                // an error that travels to the error box is a clean outcome too
            }
            for (int i = 0; i < strip.count(); ++i)
                ASSERT_EQ(strip.frame(i).picture.pixelFormat(), PixelFormat::Rgb565);
            ++runs;
        }
    }
    EXPECT_GT(files, 5u);
    // A picture cut too short to read is said, in the reader's one box.
    for (const auto& message : prompts.messages)
        EXPECT_TRUE(message.text.starts_with("Невозможно откыть файл: ") ||
                    (as == ".abm" && message.text.starts_with("Неверный формат файла: ")))
            << message.text;
    std::printf("%zu files, %zu cut imports\n", files, runs);
}

}  // namespace

TEST(CutCorpus, GifFilesEndCleanlyWhereverTheyAreCut)
{
    cutAndImport(abm::test::corpora() / "gif", {".gif"}, ".gif");
}

TEST(CutCorpus, BmpFilesEndCleanlyWhereverTheyAreCut)
{
    cutAndImport(abm::test::corpora() / "bmp", {".bmp"}, ".bmp");
}

TEST(CutCorpus, JpegFilesEndCleanlyWhereverTheyAreCut)
{
    cutAndImport(abm::test::corpora() / "jpeg", {".jpg", ".jpeg"}, ".jpg");
}
