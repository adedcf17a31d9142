#include "workspace/ImageImport.h"
#include "workspace/AbmFile.h"
#include "base/Error.h"
#include "codecs/gif/GIFImage.h"
#include "base/Error.h"
#include "GifBuilder.h"
#include "MemorySettings.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace abm;
using abm::test::KindOfError;
namespace fs = std::filesystem;
using abm::test::GifFile;
using abm::test::GifImage;

namespace {

class ImageImportTest : public ::testing::Test {
protected:
    TFrameOptionValues options;
    abm::test::ScriptedPrompts prompts;
    abm::test::MemorySettings settings;
    FrameStrip strip{options, prompts};
    abm::test::TempDir dir;
    const fs::path jpegs = abm::test::Corpora() / "jpeg";

    std::string Copy(const fs::path& from, const std::string& name)
    {
        fs::copy_file(from, dir.Path() / name, fs::copy_options::overwrite_existing);
        return dir / name;
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        abm::test::WriteFile(dir / name, bytes);
        return dir / name;
    }
    std::string Bmp(const std::string& name, int w, int h)
    {
        abm::test::MakeRaster(w, h, pf24bit, [](int x, int y) { return static_cast<uint32_t>(x * 9 + y); })
            .SaveToFile(dir / name);
        return dir / name;
    }
    uint16_t Px(int frame, int x, int y) const
    {
        const uint8_t* row = strip.Thumbnail(frame).Picture.ScanLine(y);
        return static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
    }
};

// Four colours; the screen image is colour 1 with a diagonal of colour 2.
GifFile PatchedScreen(std::optional<uint8_t> transparent)
{
    GifFile gif;
    gif.screenWidth = 100;
    gif.screenHeight = 100;
    gif.globalTable = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    GifImage screen{0, 0, 100, 100, std::vector<uint8_t>(100 * 100, 1), {}, std::nullopt, false};
    for (int i = 0; i < 100; ++i)
        screen.indexes[static_cast<size_t>(i * 100 + i)] = 2;
    GifImage patch{20, 30, 10, 10, std::vector<uint8_t>(100, 3), {}, transparent, false};
    for (int i = 0; i < 10; ++i)
        patch.indexes[static_cast<size_t>(i)] = 0;  // the patch's top row is colour 0
    gif.images = {screen, patch};
    return gif;
}

}  // namespace

TEST_F(ImageImportTest, ExtensionChoosesTheImporterWhateverItsCase)
{
    const fs::path jpeg = jpegs / "libjpeg-turbo" / "testorig.jpg";
    for (const char* name : {"PIC.Jpg", "pic.JPG", "pic.jpg", "pic .jpg "}) {
        const TImportResult r = ImportFile(strip, Copy(jpeg, name));
        EXPECT_EQ(r.framesAdded, 1) << name;
    }
    EXPECT_EQ(strip.Count(), 4);
    EXPECT_EQ(strip.frameCountText(), "4");
    for (const char* name : {"pic.jpeg", "pic", "pic.png", "pic.jpg.txt"}) {
        strip.ShowFrameCount();
        ImportFile(strip, Copy(jpeg, name));
        EXPECT_EQ(strip.Count(), 4) << name;
    }
    EXPECT_TRUE(prompts.messages.empty());
    // Imports that return always refresh the count, also when they add nothing.
    strip.removeAllFrames();
    ImportFile(strip, Copy(jpeg, "again.jpeg"));
    EXPECT_EQ(strip.frameCountText(), "0");
}

TEST_F(ImageImportTest, BmpAndJpegThatAreNotPicturesAddNothingSilently)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"x.bmp", {'h', 'e', 'l', 'l', 'o'}}, {"x.jpg", {'h', 'e', 'l', 'l', 'o'}}, {"y.bmp", {'B', 'M'}},
        {"empty.jpg", {}},                   {"cut.jpg", {0xFF, 0xD8, 0xFF}},
    };
    strip.AppendFrame(abm::test::MakeRaster(3, 3, pf24bit, [](int, int) { return 0u; }));
    for (const Case& c : cases) {
        const TImportResult r = ImportFile(strip, Write(c.name, c.bytes));
        EXPECT_TRUE(r.dropped) << c.name;
        EXPECT_EQ(strip.Count(), 1) << c.name;
        EXPECT_EQ(strip.SourceBitmaps().size(), 1u);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ImageImportTest, FailuresThatTravelEndTheOpenCommand)
{
    const std::string first = Bmp("a.bmp", 4, 4);
    const std::string broken = Write("b.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0});
    const std::string third = Bmp("c.bmp", 4, 4);
    prompts.openAnswers.push_back({first, broken, third});
    EXPECT_THROW(openPictures(strip, settings), InvalidGraphicError);
    EXPECT_EQ(strip.Count(), 1);
    EXPECT_EQ(settings.values.count("LoadImg"), 0u);

    struct Case {
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {dir / "missing.gif", "Cannot open file \"" + (dir / "missing.gif") + "\". No such file or directory"},
        {dir / "missing.jpg", "Cannot open file \"" + (dir / "missing.jpg") + "\". No such file or directory"},
        {Write("noimages.gif", GifFile{4, 4, {0, 0xFFFFFF}, {}, false}.Bytes()), "List index out of bounds (0)"},
        {Write("notgif.gif", {'P', 'N', 'G', 0, 0, 0, 0, 0, 0, 0, 0}), "Invalid GIF signature"},
    };
    for (const Case& c : cases) {
        try {
            ImportFile(strip, c.file);
            ADD_FAILURE() << c.file << " was accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_EQ(strip.Count(), 1);
    }
    ImportFile(strip, dir / "missing.bmp");  // the BMP importer stays silent
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ImageImportTest, OpenRemembersTheFirstFilesFolder)
{
    fs::create_directory(dir.Path() / "img");
    const std::string a = Bmp("img/a.bmp", 5, 5), b = Bmp("img/b.bmp", 5, 5);
    prompts.openAnswers.push_back({a, b});
    openPictures(strip, settings);
    EXPECT_EQ(strip.Count(), 2);
    EXPECT_EQ(settings.values["LoadImg"], (dir.Path() / "img").string() + "/");
    EXPECT_TRUE(strip.canSaveAbm());
    EXPECT_EQ(prompts.openRequests[0].InitialDir, "");
    EXPECT_EQ(prompts.openRequests[0].Filter, std::string(kOpenDialogFilter));
    openPictures(strip, settings);  // cancelled
    EXPECT_EQ(prompts.openRequests[1].InitialDir, (dir.Path() / "img").string() + "/");
    EXPECT_EQ(strip.Count(), 2);
}

TEST_F(ImageImportTest, CommandLineRejoinsAPathSplitAtItsBlanks)
{
    fs::create_directory(dir.Path() / "My  Pictures");
    const std::string real = Bmp("My  Pictures/a.bmp", 6, 6);
    (void)real;
    fs::create_directory(dir.Path() / "My Pictures");
    Bmp("My Pictures/a.bmp", 7, 7);
    const std::string head = dir / "My";
    struct Case {
        std::vector<std::string> args;
        std::string joined;
    };
    const Case cases[] = {
        {{head, "Pictures/a.bmp"}, head + " Pictures/a.bmp"},
        {{head, "", "Pictures/a.bmp"}, head},
        {{"  " + head, "Pictures/a.bmp  "}, head + " Pictures/a.bmp"},
        {{}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandLineFileName(c.args), c.joined);
    CommandLineImport(strip, {head, "Pictures/a.bmp"});
    ASSERT_EQ(strip.Count(), 1);
    EXPECT_EQ(strip.Thumbnail(0).Width, 7);  // a run of blanks becomes one
    EXPECT_TRUE(strip.canClear());
    CommandLineImport(strip, {dir / "nothing-here.bmp"});
    CommandLineImport(strip, {dir.Path().string()});
    EXPECT_EQ(strip.Count(), 1);
    EXPECT_TRUE(settings.values.empty());
}

TEST_F(ImageImportTest, GifImagesAreDrawnOverTheAccumulatedFrame)
{
    for (bool transparentOption : {false, true}) {
        SCOPED_TRACE(transparentOption);
        strip.removeAllFrames();
        options.TransparentOn = transparentOption;
        // The patch is transparent where its index is 0: its top row.
        const TImportResult r = ImportGif(strip, Write("p.gif", PatchedScreen(uint8_t{0}).Bytes()));
        ASSERT_EQ(r.framesAdded, 2);
        ASSERT_EQ(strip.Count(), 2);
        const uint16_t red = 0xF800, green = 0x07E0, blue = 0x001F, black = 0;
        EXPECT_EQ(Px(0, 0, 0), green);
        EXPECT_EQ(Px(0, 25, 35), red);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) {
                const bool inPatch = x >= 20 && x < 30 && y >= 30 && y < 40;
                if (!inPatch) {
                    ASSERT_EQ(Px(1, x, y), Px(0, x, y)) << x << "," << y;
                } else if (y == 30) {
                    ASSERT_EQ(Px(1, x, y), transparentOption ? Px(0, x, y) : black) << x;
                } else {
                    ASSERT_EQ(Px(1, x, y), blue) << x << "," << y;
                }
            }
    }
}

TEST_F(ImageImportTest, GifWithNoMatchingTransparentPixelDrawsOpaque)
{
    options.TransparentOn = true;
    ImportGif(strip, Write("p.gif", PatchedScreen(uint8_t{2}).Bytes()));
    ASSERT_EQ(strip.Count(), 2);
    EXPECT_EQ(Px(1, 20, 30), 0);       // colour 0 covers
    EXPECT_EQ(Px(1, 25, 35), 0x001F);  // colour 3 covers
}

TEST_F(ImageImportTest, EmptyAndZeroSizedImagesOfAGif)
{
    GifFile gif;
    gif.screenWidth = 8;
    gif.screenHeight = 6;
    gif.globalTable = {0x000000, 0xFFFFFF};
    for (int i = 0; i < 4; ++i)
        gif.images.push_back(GifImage{0, 0, 8, 6, std::vector<uint8_t>(48, static_cast<uint8_t>(i & 1)), {}, std::nullopt, false});
    gif.trailingGraphicControl = true;
    const std::string four = Write("four.gif", gif.Bytes());
    TGIFImage loaded;
    loaded.LoadFromFile(four);
    EXPECT_EQ(loaded.Count(), 5);
    EXPECT_EQ(ImportGif(strip, four).framesAdded, 4);

    // A zero width in the descriptor is decoded at the screen's size.
    GifFile zero = gif;
    zero.trailingGraphicControl = false;
    zero.images = {GifImage{0, 0, 0, 6, std::vector<uint8_t>(48, 1), {}, std::nullopt, false}};
    auto bytes = zero.Bytes();
    strip.removeAllFrames();
    ImportGif(strip, Write("zero.gif", bytes));
    ASSERT_EQ(strip.Count(), 1);
    EXPECT_EQ(strip.Thumbnail(0).Picture.Width(), 8);
    EXPECT_EQ(strip.Thumbnail(0).Picture.Height(), 6);
}

TEST_F(ImageImportTest, FrameSizeErrorsTravelAndLeaveNoThumbnailBehind)
{
    options.AutoSizeOn = false;
    options.Width = "";
    const std::string gif = Write("p.gif", PatchedScreen(std::nullopt).Bytes());
    const std::string jpeg = Copy(jpegs / "libjpeg-turbo" / "testorig.jpg", "t.jpg");
    for (const std::string& file : {gif, jpeg}) {
        try {
            ImportFile(strip, file);
            ADD_FAILURE() << file;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnInteger);
            EXPECT_STREQ(e.what(), "'' is not a valid integer value");
        }
        EXPECT_EQ(strip.Count(), 0);
        EXPECT_TRUE(strip.SourceBitmaps().empty());
    }
    // The BMP importer drops the file silently instead.
    EXPECT_TRUE(ImportFile(strip, Bmp("b.bmp", 3, 3)).dropped);
}

TEST_F(ImageImportTest, AbmFilesGoThroughTheirReader)
{
    const std::string bad = Write("bad.abm", std::vector<uint8_t>(10, 0));
    ImportFile(strip, bad);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Неверный формат файла: " + bad);
    EXPECT_EQ(strip.frameCountText(), "0");
}

// abmtool's ABM command stops at four frames: GIF images and ABM frames past
// the cap are not imported, files that find the strip full are left out
// unread, and the frames that are imported are those of a full import.
TEST_F(ImageImportTest, FrameCapLeavesOutLaterFramesAndFiles)
{
    GifFile six;
    six.screenWidth = 5;
    six.screenHeight = 4;
    six.globalTable = {0x000000, 0xFF8000, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 6; ++i)
        six.images.push_back(GifImage{i % 3, 0, 2, 3, std::vector<uint8_t>(6, static_cast<uint8_t>(i % 4)), {}, std::nullopt, false});
    const std::string gif = Write("six.gif", six.Bytes());
    for (int i = 0; i < 3; ++i)
        strip.AppendFrame(abm::test::MakeRaster(5, 4, pf24bit, [i](int x, int y) { return static_cast<uint32_t>(i * 99 + x * 7 + y); }));
    TMemoryStream three;
    WriteAbmStream(strip, three);
    const std::string abm = Write("three.abm", three.Bytes());
    struct Case {
        std::vector<std::string> files;
        int cap;
        std::vector<int> added;  // -1: left out
    };
    const Case cases[] = {
        {{gif, abm}, 4, {4, -1}}, {{abm, gif}, 4, {3, 1}}, {{abm, abm}, 5, {3, 2}}, {{gif, gif}, kNoFrameCap, {6, 6}},
    };
    for (const Case& c : cases) {
        FrameStrip capped(options, prompts), full(options, prompts);
        for (size_t i = 0; i < c.files.size(); ++i) {
            const TImportResult r = ImportFile(capped, c.files[i], c.cap);
            EXPECT_EQ(r.leftOut, c.added[i] < 0) << i;
            EXPECT_EQ(r.framesAdded, std::max(c.added[i], 0)) << i;
            ImportFile(full, c.files[i]);
        }
        ASSERT_EQ(capped.Count(), std::min(c.cap, full.Count()));
        for (int f = 0; f < capped.Count(); ++f)
            EXPECT_TRUE(capped.Thumbnail(f).Picture.Image().bits == full.Thumbnail(f).Picture.Image().bits) << f;
    }
}

// A FIFO would block open() forever: each importer fails at once as it does
// for any file it cannot open, and the command line takes it for no file.
TEST_F(ImageImportTest, FifosFailAtOnceLikeAnyUnopenableFile)
{
    std::vector<std::string> fifos;
    for (const char* name : {"x.gif", "x.bmp", "x.jpg", "x.abm"}) {
        fifos.push_back(dir / name);
        ASSERT_EQ(::mkfifo(fifos.back().c_str(), 0600), 0);
    }
    EXPECT_EQ(KindOfError([&] { ImportFile(strip, fifos[0]); }), ErrorKind::FileOpen);
    EXPECT_TRUE(ImportFile(strip, fifos[1]).dropped);
    EXPECT_EQ(KindOfError([&] { ImportFile(strip, fifos[2]); }), ErrorKind::FileOpen);
    ImportFile(strip, fifos[3]);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Невозможно откыть файл: " + fifos[3]);
    CommandLineImport(strip, {fifos[0]});
    EXPECT_EQ(strip.Count(), 0);
}
