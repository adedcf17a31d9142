#include "workspace/StripCommands.h"
#include "workspace/ImageImport.h"
#include "workspace/AbmFile.h"
#include "base/Error.h"
#include "codecs/bmp/BmpCodec.h"
#include "codecs/jpeg/JpegImage.h"
#include "GifBuilder.h"
#include "StripFixture.h"
#include "ReferenceFrames.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace abm;
using abm::test::kindOfError;
namespace fs = std::filesystem;
using abm::test::GifFile;
using abm::test::GifFileImage;

namespace {

class ImageImportTest : public abm::test::StripFixture {
protected:
    std::optional<int> shownCount() const { return commands.display().frameCount; }
    const fs::path jpegs = abm::test::corpora() / "jpeg";

    std::string copy(const fs::path& from, const std::string& name)
    {
        fs::copy_file(from, dir.path() / name, fs::copy_options::overwrite_existing);
        return dir / name;
    }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        abm::test::writeFile(dir / name, bytes);
        return dir / name;
    }
    std::string bmp(const std::string& name, int w, int h)
    {
        writeBmpFile(abm::test::makeRaster(w, h, PixelFormat::Bgr888,
                                           [](int x, int y) { return static_cast<uint32_t>(x * 9 + y); }),
                     dir / name);
        return dir / name;
    }
    uint16_t px(int frame, int x, int y) const
    {
        const uint8_t* row = strip.frame(frame).picture.row(y);
        return static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
    }
};

// Four colours; the screen image is colour 1 with a diagonal of colour 2.
// The patch has a table of its own, whose colour 3 (yellow) the screen's
// table does not hold.
GifFile patchedScreen(std::optional<uint8_t> transparent)
{
    GifFile gif;
    gif.screenWidth = 100;
    gif.screenHeight = 100;
    gif.globalTable = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    GifFileImage screen{0, 0, 100, 100, std::vector<uint8_t>(100 * 100, 1), {}, std::nullopt, false};
    for (int i = 0; i < 100; ++i)
        screen.indexes[static_cast<size_t>(i * 100 + i)] = 2;
    GifFileImage patch{
        20, 30, 10, 10, std::vector<uint8_t>(100, 3), {0x000000, 0x808080, 0x808080, 0xFFFF00}, transparent, false};
    for (int i = 0; i < 10; ++i)
        patch.indexes[static_cast<size_t>(i)] = 0;  // the patch's top row is colour 0
    gif.images = {screen, patch};
    return gif;
}

}  // namespace

// The content chooses the importer: a JPEG by any of its names, or by none,
// and a GIF of any of the headers its reader takes, named as anything.
TEST_F(ImageImportTest, PicturesImportByTheirContentWhateverTheirName)
{
    const fs::path jpeg = jpegs / "libjpeg-turbo" / "testorig.jpg";
    const std::vector<uint8_t> gif = patchedScreen(std::nullopt).bytes();
    auto prefixed = gif, lower = gif, unknownVersion = gif;
    prefixed.insert(prefixed.begin(), {0, 0, 0, 0});
    std::copy_n("gif", 3, lower.begin());
    std::copy_n("GIF90a", 6, unknownVersion.begin());
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;  // empty: the JPEG
        int frames;
    };
    const Case cases[] = {
        {"PIC.Jpg", {}, 1},
        {"pic.JPG", {}, 1},
        {"pic .jpg ", {}, 1},
        {"pic.jpeg", {}, 1},
        {"pic.JPE", {}, 1},
        {"pic.jfif", {}, 1},
        {"pic", {}, 1},
        {"pic.png", {}, 1},
        {"pic.bmp", {}, 1},
        {"a.gif.bmp", gif, 2},
        {"prefixed.dat", prefixed, 2},
        {"lower.gif", lower, 2},
        {"v90.abm", unknownVersion, 2},
    };
    int total = 0;
    for (const Case& c : cases) {
        const std::string file = c.bytes.empty() ? copy(jpeg, c.name) : write(c.name, c.bytes);
        EXPECT_EQ(commands.importFile(file).framesAdded, c.frames) << c.name;
        total += c.frames;
        EXPECT_EQ(shownCount(), total) << c.name;
    }
    EXPECT_TRUE(prompts.messages.empty());
    // Imports that return always refresh the count, also when they add nothing.
    strip.clear();
    commands.importFile(write("notes.txt", {'h', 'i'}));
    EXPECT_EQ(shownCount(), 0);
}

// Garbage, a damaged picture, a file no importer takes: each is said by
// name in the reader's box, and the next file is imported.
TEST_F(ImageImportTest, FilesNothingCanReadAreSaidByName)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"x.bmp", {'h', 'e', 'l', 'l', 'o'}},
        {"x.jpg", {'h', 'e', 'l', 'l', 'o'}},
        {"y.bmp", {'B', 'M'}},
        {"empty.jpg", {}},
        {"cut.jpg", {0xFF, 0xD8, 0xFF}},
        {"notes.txt", {'h', 'e', 'l', 'l', 'o'}},
        {"noext", {1, 2, 3}},
        {"truncated.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}},
    };
    strip.append(abm::test::makeRaster(3, 3, PixelFormat::Bgr888, [](int, int) { return 0u; }));
    for (const Case& c : cases) {
        prompts.messages.clear();
        const std::string file = write(c.name, c.bytes);
        EXPECT_EQ(importFile(strip, prompts, file).framesAdded, 0) << c.name;
        EXPECT_EQ(strip.count(), 1) << c.name;
        ASSERT_EQ(prompts.messages.size(), 1u) << c.name;
        EXPECT_EQ(prompts.messages[0].text, "Невозможно откыть файл: " + file);
        EXPECT_EQ(prompts.messages[0].type, MessageKind::error);
        EXPECT_EQ(prompts.messages[0].buttons, std::vector<MessageButton>{MessageButton::cancel});
    }
}

TEST_F(ImageImportTest, FailuresThatTravelEndTheOpenCommand)
{
    const std::string first = bmp("a.bmp", 4, 4);
    const std::string broken = write("b.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0});
    const std::string third = bmp("c.bmp", 4, 4);
    prompts.openAnswers.push_back({first, broken, third});
    EXPECT_THROW(commands.openPictures(), InvalidGraphicError);
    EXPECT_EQ(strip.count(), 1);
    EXPECT_EQ(settings.values.count("LoadImg"), 0u);

    struct Case {
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {dir / "missing.gif", "Cannot open file \"" + (dir / "missing.gif") + "\". No such file or directory"},
        {dir / "missing.jpg", "Cannot open file \"" + (dir / "missing.jpg") + "\". No such file or directory"},
        {write("noimages.gif", GifFile{4, 4, {0, 0xFFFFFF}, {}, false}.bytes()), "List index out of bounds (0)"},
        {write("notgif.gif", {'P', 'N', 'G', 0, 0, 0, 0, 0, 0, 0, 0}), "Invalid GIF signature"},
    };
    for (const Case& c : cases) {
        try {
            importFile(strip, prompts, c.file);
            ADD_FAILURE() << c.file << " was accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), c.message);
            EXPECT_EQ(e.name(), c.file);  // for the box to say which file
        }
        EXPECT_EQ(strip.count(), 1);
    }
    EXPECT_TRUE(prompts.messages.empty());
    importFile(strip, prompts, dir / "missing.bmp");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Невозможно откыть файл: " + (dir / "missing.bmp"));
}

TEST_F(ImageImportTest, OpenRemembersTheFirstFilesFolder)
{
    fs::create_directory(dir.path() / "img");
    const std::string a = bmp("img/a.bmp", 5, 5), b = bmp("img/b.bmp", 5, 5);
    prompts.openAnswers.push_back({a, b});
    commands.openPictures();
    EXPECT_EQ(strip.count(), 2);
    EXPECT_EQ(settings.values["LoadImg"], (dir.path() / "img").string() + "/");
    EXPECT_TRUE(commands.canSave());
    EXPECT_EQ(prompts.openRequests[0].initialDir, "");
    EXPECT_EQ(prompts.openRequests[0].filter, std::string(kOpenDialogFilter));
    // Every pattern the dialog offers names files an importer takes, the
    // JPEG entry every usual name of a JPEG.
    std::vector<std::string> jpegPatterns;
    for (const FilterEntry& entry : parseFilter(kOpenDialogFilter))
        for (const std::string& pattern : entry.patterns) {
            if (pattern == "*.*")
                continue;
            EXPECT_NE(pictureTypeByExtension(pattern), PictureType::None) << pattern;
            if (entry.text == "*.jpg")
                jpegPatterns.push_back(pattern);
        }
    EXPECT_EQ(jpegPatterns, (std::vector<std::string>{"*.jpg", "*.jpeg", "*.jpe", "*.jfif"}));
    commands.openPictures();  // cancelled
    EXPECT_EQ(prompts.openRequests[1].initialDir, (dir.path() / "img").string() + "/");
    EXPECT_EQ(strip.count(), 2);
}

// Every file named is opened in order, as a drop would; a name that is no
// file is passed over. A path the shell split at its blanks is found again
// when no argument names a file.
TEST_F(ImageImportTest, CommandLineOpensEveryFileInOrder)
{
    fs::create_directory(dir.path() / "My Pictures");
    const std::string spaced = bmp("My Pictures/a.bmp", 7, 7), head = dir / "My";
    const std::string a = bmp("a.bmp", 3, 3), b = bmp("b.bmp", 4, 4);
    struct Case {
        std::vector<std::string> args;
        std::vector<int> widths;  // of the frames opened, in order
    };
    const Case cases[] = {
        {{a, b}, {3, 4}},
        {{b, dir / "nothing-here.bmp", "", a, dir.path().string()}, {4, 3}},
        {{spaced}, {7}},
        {{head, "Pictures/a.bmp"}, {7}},
        {{head, "", "Pictures/a.bmp"}, {}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        strip.clear();
        commands.importCommandLine(c.args);
        std::vector<int> widths;
        for (int i = 0; i < strip.count(); ++i)
            widths.push_back(strip.frame(i).picture.width());
        EXPECT_EQ(widths, c.widths) << (c.args.empty() ? "(none)" : c.args[0]);
    }
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(settings.values.empty());
}

TEST_F(ImageImportTest, GifImagesAreDrawnOverTheAccumulatedFrame)
{
    // The patch is transparent where its index is 0, its top row; no pixel
    // has index 2.
    for (uint8_t transparentIndex : {0, 2})
        for (bool transparentOption : {false, true}) {
            SCOPED_TRACE(testing::Message() << int{transparentIndex} << " " << transparentOption);
            strip.clear();
            strip.setOptions({.transparentGif = transparentOption});
            const ImportResult r = commands.importFile(write("p.gif", patchedScreen(transparentIndex).bytes()));
            ASSERT_EQ(r.framesAdded, 2);
            ASSERT_EQ(strip.count(), 2);
            EXPECT_EQ(r.transparencyCovered, !transparentOption && transparentIndex == 0);
            const bool leftOut = transparentOption && transparentIndex == 0;
            const uint16_t red = 0xF800, green = 0x07E0, yellow = 0xFFE0, black = 0;
            EXPECT_EQ(px(0, 0, 0), green);
            EXPECT_EQ(px(0, 25, 35), red);
            for (int y = 0; y < 100; ++y)
                for (int x = 0; x < 100; ++x) {
                    const bool inPatch = x >= 20 && x < 30 && y >= 30 && y < 40;
                    if (!inPatch)
                        ASSERT_EQ(px(1, x, y), px(0, x, y)) << x << "," << y;
                    else
                        ASSERT_EQ(px(1, x, y), y > 30 ? yellow : leftOut ? px(0, x, y) : black) << x << "," << y;
                }
        }
    EXPECT_EQ(commands.display().transparencyNotices, 1);
}

// Ticked, every frame is what a browser shows: the animated files of the
// corpora whose first image fills the screen, against the peterdn suite's
// composed frames (name-0.png, …) or ImageMagick's.
TEST_F(ImageImportTest, TransparentGifFramesAreTheGifsOwnComposition)
{
    // clang-format off
    const std::string suite = "peterdn-gif-test-suite/gifs/animated_", files[] = {
        "wuffs/animated-red-blue.gif", "wuffs/muybridge.gif", "wuffs/gifplayer-muybridge.gif",
        "wuffs/artificial-gif/transparent-index.gif", "giflib/pic/fire.gif", "giflib/pic/welcome2.gif",
        suite + "loop.gif", suite + "loop_interlaced.gif", suite + "loop_variable_delay.gif", suite + "noloop.gif",
        suite + "transparent_firstframerestoreprev_loop.gif", suite + "transparent_frame_norestore_loop.gif",
        suite + "transparent_frame_restorebackground_loop.gif", suite + "transparent_frame_restoreprev_loop.gif",
        suite + "transparent_loop.gif", suite + "transparent_restoreprev_loop.gif"};
    // clang-format on
    strip.setOptions({.transparentGif = true});
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        const fs::path file = abm::test::corpora() / "gif" / name;
        const auto png = [&](int i) {
            return file.parent_path() / "frames" / (file.stem().string() + "-" + std::to_string(i) + ".png");
        };
        std::vector<std::vector<uint16_t>> frames;
        for (int i = 0; name.starts_with(suite) && fs::exists(png(i)); ++i)
            frames.push_back(abm::test::colours565(abm::test::readPng(png(i))));
        for (const Raster& frame :
             name.starts_with(suite) ? std::vector<Raster>{} : abm::test::coalescedByImageMagick(file))
            frames.push_back(abm::test::colours565(frame));
        strip.clear();
        importGif(strip, file);
        ASSERT_EQ(strip.count(), static_cast<int>(frames.size()));
        for (int i = 0; i < strip.count(); ++i)
            EXPECT_TRUE(abm::test::colours565(strip.frame(i).picture) == frames[static_cast<size_t>(i)]) << i;
    }
}

TEST_F(ImageImportTest, EmptyAndZeroSizedImagesOfAGif)
{
    GifFile gif;
    gif.screenWidth = 8;
    gif.screenHeight = 6;
    gif.globalTable = {0x000000, 0xFFFFFF};
    for (int i = 0; i < 4; ++i)
        gif.images.push_back(
            GifFileImage{0, 0, 8, 6, std::vector<uint8_t>(48, static_cast<uint8_t>(i & 1)), {}, std::nullopt, false});
    gif.trailingGraphicControl = true;
    // Five sub-images, the last one empty (GifImage's own tests).
    EXPECT_EQ(importGif(strip, write("four.gif", gif.bytes())).framesAdded, 4);

    // A zero width or height in the descriptor gives a frame of the screen's
    // size with nothing drawn: the pixels decoded for it are no picture.
    GifFile zero = gif;
    zero.trailingGraphicControl = false;
    const GifFileImage white{0, 0, 8, 6, std::vector<uint8_t>(48, 1), {}, std::nullopt, false};
    const GifFileImage sizeless{0, 0, 0, 6, std::vector<uint8_t>(48, 0), {}, std::nullopt, false};
    for (bool transparent : {false, true})
        for (const auto& images : {std::vector{white, sizeless}, std::vector{sizeless, white}}) {
            SCOPED_TRACE(testing::Message() << transparent << " first sizeless " << (images[0].width == 0));
            zero.images = images;
            strip.setOptions({.transparentGif = transparent});
            strip.clear();
            importGif(strip, write("zero.gif", zero.bytes()));
            ASSERT_EQ(strip.count(), 2);
            for (int i = 0; i < 2; ++i) {
                EXPECT_EQ(strip.frame(i).picture.width(), 8);
                EXPECT_EQ(strip.frame(i).picture.height(), 6);
                EXPECT_EQ(abm::test::colours565(strip.frame(i).picture), std::vector<uint16_t>(48, 0xFFFF)) << i;
            }
        }
}

TEST_F(ImageImportTest, FrameSizeErrorsTravelAndLeaveNoThumbnailBehind)
{
    strip.setOptions({.width = FrameDimension::fromText(""), .autoSize = false});
    const std::string gif = write("p.gif", patchedScreen(std::nullopt).bytes());
    const std::string jpeg = copy(jpegs / "libjpeg-turbo" / "testorig.jpg", "t.jpg");
    for (const std::string& file : {gif, jpeg}) {
        try {
            importFile(strip, prompts, file);
            ADD_FAILURE() << file;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnInteger);
            EXPECT_STREQ(e.what(), "'' is not a valid integer value");
        }
        EXPECT_EQ(strip.count(), 0);
    }
    // The BMP importer drops the file instead, which is said.
    EXPECT_TRUE(importFile(strip, prompts, bmp("b.bmp", 3, 3)).dropped);
    EXPECT_EQ(prompts.messages.size(), 1u);
}

TEST_F(ImageImportTest, AbmFilesGoThroughTheirReader)
{
    const std::string bad = write("bad.abm", std::vector<uint8_t>(10, 0));
    commands.importFile(bad);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Неверный формат файла: " + bad);
    EXPECT_EQ(shownCount(), 0);
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
        six.images.push_back(GifFileImage{
            i % 3, 0, 2, 3, std::vector<uint8_t>(6, static_cast<uint8_t>(i % 4)), {}, std::nullopt, false});
    const std::string gif = write("six.gif", six.bytes());
    for (int i = 0; i < 3; ++i)
        strip.append(abm::test::makeRaster(5, 4, PixelFormat::Bgr888,
                                           [i](int x, int y) { return static_cast<uint32_t>(i * 99 + x * 7 + y); }));
    const std::string abm = write("three.abm", abmFileBytes(strip));
    struct Case {
        std::vector<std::string> files;
        int cap;
        std::vector<int> added;  // -1: left out
    };
    const Case cases[] = {
        {{gif, abm}, 4, {4, -1}},
        {{abm, gif}, 4, {3, 1}},
        {{abm, abm}, 5, {3, 2}},
        {{gif, gif}, kNoFrameCap, {6, 6}},
    };
    for (const Case& c : cases) {
        FrameStrip capped, full;
        for (size_t i = 0; i < c.files.size(); ++i) {
            const ImportResult r = importFile(capped, prompts, c.files[i], c.cap);
            EXPECT_EQ(r.leftOut, c.added[i] < 0) << i;
            EXPECT_EQ(r.framesAdded, std::max(c.added[i], 0)) << i;
            importFile(full, prompts, c.files[i]);
        }
        ASSERT_EQ(capped.count(), std::min(c.cap, full.count()));
        for (int f = 0; f < capped.count(); ++f)
            EXPECT_TRUE(capped.frame(f).picture.image().bits == full.frame(f).picture.image().bits) << f;
    }
}

// A FIFO would block open() forever: each importer fails at once as it does
// for any file it cannot open (the BMP importer and the ABM reader with the
// reader's box), and the command line takes it for no file.
TEST_F(ImageImportTest, FifosFailAtOnceLikeAnyUnopenableFile)
{
    std::vector<std::string> fifos;
    for (const char* name : {"x.gif", "x.bmp", "x.jpg", "x.abm"}) {
        fifos.push_back(dir / name);
        ASSERT_EQ(::mkfifo(fifos.back().c_str(), 0600), 0);
    }
    EXPECT_EQ(kindOfError([&] { importFile(strip, prompts, fifos[0]); }), ErrorKind::FileOpen);
    EXPECT_TRUE(importFile(strip, prompts, fifos[1]).dropped);
    EXPECT_EQ(kindOfError([&] { importFile(strip, prompts, fifos[2]); }), ErrorKind::FileOpen);
    importFile(strip, prompts, fifos[3]);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, "Невозможно откыть файл: " + fifos[1]);
    EXPECT_EQ(prompts.messages[1].text, "Невозможно откыть файл: " + fifos[3]);
    commands.importCommandLine({fifos[0]});
    EXPECT_EQ(strip.count(), 0);
}

// A JPEG smoothed down into a fixed frame is made from a reduced decode and
// stays compressed in the strip. A rebuild under options that need every
// pixel decodes it in full, and from then on its frame is the very frame of
// the fully decoded picture beside it; until then, that frame within the
// rounding of 5-6-5.
TEST_F(ImageImportTest, JpegFramesFromAReducedDecodeRebuildAsAFullDecodeUnderAnyOptions)
{
    struct Case {
        const char* what;
        void (*change)(FrameOptions&);
        bool reduced;  // still made from the reduced decode
    };
    const Case cases[] = {
        {"as imported", [](FrameOptions&) {}, true},
        {"smaller, stretched", [](FrameOptions& o) { o.width = 32, o.keepProportions = false; }, true},
        {"larger", [](FrameOptions& o) { o.width = 640, o.height = 480; }, false},
        {"nearest", [](FrameOptions& o) { o.smooth = false; }, false},
        {"auto-size", [](FrameOptions& o) { o.autoSize = true; }, false},
        {"cut", [](FrameOptions& o) { o.stretch = false; }, false},
    };
    const std::string file = copy(jpegs / "wuffs/harvesters.jpeg", "photo.jpg");
    JpegImage jpeg;
    jpeg.loadFromFile(file);
    const Raster decoded = jpeg.raster();
    for (const Case& c : cases) {
        const FrameOptions imported = {.autoSize = false, .stretch = true, .smooth = true, .keepProportions = true};
        FrameOptions changed = imported;
        strip.setOptions(imported);
        strip.clear();
        importFile(strip, prompts, file);
        strip.append(decoded);
        ASSERT_EQ(strip.count(), 2);
        ASSERT_TRUE(strip.frame(0).source.compressedJpeg());
        c.change(changed);
        strip.setOptions(changed);
        strip.move(0, 1);
        const Frame& ours = strip.frame(1);
        EXPECT_EQ(ours.source.compressedJpeg() != nullptr, c.reduced) << c.what;
        const auto sameAsDecoded = [&] {
            return strip.frame(1).picture.image().bits == strip.frame(0).picture.image().bits;
        };
        if (c.reduced) {
            EXPECT_GE(abm::test::psnr(ours.picture, strip.frame(0).picture), 40.0) << c.what;
        } else {
            EXPECT_TRUE(sameAsDecoded()) << c.what;
        }
        strip.setOptions(imported);
        strip.renormalize();
        EXPECT_EQ(sameAsDecoded(), !c.reduced) << c.what << ", then as imported";
    }
}
