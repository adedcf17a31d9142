// abmtool run as a program on real files: conversions, info, thumbnails,
// usage errors and limits.

#include "AbmtoolRunner.h"
#include "codecs/jpeg/JpegImage.h"
#include "codecs/raster/FrameConversion.h"

using namespace abm;
using namespace abm::test;

TEST_F(AbmtoolTest, AnimatedGifToAbmAndBackGivesTheFirstFourFrames)
{
    const std::string gif = (gifs / "muybridge.gif").string();
    ASSERT_EQ(Run({"abm", "-o", "anim.abm", gif}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "from-abm.bmp", "anim.abm"}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "from-gif.bmp", gif}).status, 0);
    EXPECT_FALSE(fs::exists(dir / "from-abm4.bmp"));
    EXPECT_TRUE(fs::exists(dir / "from-gif4.bmp"));  // the GIF has more than four images
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_TRUE(samePixels(loadBmp("from-abm" + n + ".bmp"), loadBmp("from-gif" + n + ".bmp"))) << "frame " << i;
    }
    EXPECT_FALSE(samePixels(loadBmp("from-gif0.bmp"), loadBmp("from-gif1.bmp")));
}

// A GIF's frames are composed as a browser shows them unless --opaque-gif
// asks for the window's default, each image in its own colours either way;
// the thumbnail composes too.
TEST_F(AbmtoolTest, GifFramesComposeByDefaultAndCoverWithOpaqueGif)
{
    // Image 0 red on the left, transparent on the right; image 1 blue on
    // top, transparent below; each with a table of its own.
    GifFileImage left{0, 0, 8, 6, {}, {0xFF0000, 0x000000}, uint8_t{1}, false}, top = left;
    top.localTable = {0x0000FF, 0x00FF00};
    for (int i = 0; i < 48; ++i) {
        left.indexes.push_back(i % 8 < 4 ? 0 : 1);
        top.indexes.push_back(i < 24 ? 0 : 1);
    }
    writeFile(dir / "a.gif", GifFile{8, 6, {}, {left, top}, false}.bytes());
    const uint16_t red = 0xF800, blue = 0x001F, green = 0x07E0, black = 0, white = 0xFFFF;
    struct Case {
        const char* flag;
        uint16_t right0, top1, bottomLeft1, bottomRight1;
    };
    for (const Case& c : {Case{nullptr, white, blue, red, white}, Case{"--transparent-gif", white, blue, red, white},
                          Case{"--opaque-gif", black, blue, green, green}}) {
        std::vector<std::string> args = {"bmp", "--keep-size", "--nearest", "--no-dither", "-o", "f.bmp", "a.gif"};
        if (c.flag)
            args.insert(args.begin() + 1, c.flag);
        ASSERT_EQ(Run(args).status, 0) << c.flag;
        const Raster f0 = loadBmp("f0.bmp"), f1 = loadBmp("f1.bmp");
        EXPECT_EQ((std::vector<uint16_t>{pixel16(f0, 1, 1), pixel16(f0, 6, 1), pixel16(f1, 3, 1), pixel16(f1, 1, 4),
                                         pixel16(f1, 6, 4)}),
                  (std::vector<uint16_t>{red, c.right0, c.top1, c.bottomLeft1, c.bottomRight1}))
            << (c.flag ? c.flag : "default");
    }
    ASSERT_EQ(Run({"thumbnail", "a.gif", "t.png"}).status, 0);
    EXPECT_EQ(abm::test::readPng(dir.path() / "t.png").at(100, 20), 0xFFFFFFFFu);
}

// The older flags keep their meaning; the newer ones need no other flag.
// (The conversion flags have their own test; off here, the pixels are the
// stretch-draw's.)
TEST_F(AbmtoolTest, SizeOptionsCropOrStretch)
{
    const std::string pic = picture("p.bmp", 100, 80);
    const Raster original = loadBmp("p.bmp");
    auto reduced = [](Color c) { return toRgb565(redOf(c), greenOf(c), blueOf(c)); };
    const uint16_t cropped = reduced(original.pixel(31, 31));
    const uint16_t stretched = reduced(original.pixel(31 * 100 / 32, 31 * 80 / 32));
    struct Case {
        std::vector<std::string> flags;
        int width, height;
        uint16_t at31;  // the frame's pixel (31, 31)
    };
    const Case cases[] = {
        {{"--size", "32x32", "--no-autosize"}, 32, 32, cropped},
        {{"--size", "32x32", "--no-autosize", "--stretch"}, 32, 32, stretched},
        {{"--size", "32x32"}, 32, 32, stretched},
        {{"--size", "32x32", "--crop"}, 32, 32, cropped},
        {{"--keep-size"}, 100, 80, cropped},
        {{"--stretch"}, 100, 80, cropped},
        {{}, 128, 97, reduced(original.pixel(31 * 100 / 128, 31 * 80 / 97))},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"bmp", "-o", "f.bmp", pic, "--nearest", "--no-dither", "--stretch-only"};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        ASSERT_EQ(Run(args).status, 0);
        const Raster frame = loadBmp("f0.bmp");
        EXPECT_EQ(frame.width(), c.width) << ::testing::PrintToString(c.flags);
        EXPECT_EQ(frame.height(), c.height) << ::testing::PrintToString(c.flags);
        EXPECT_EQ(reduced(frame.pixel(31, 31)), c.at31) << ::testing::PrintToString(c.flags);
    }
}

// Smoothing, dithering and fitting are on unless turned off, and each flag
// turns off exactly its own part of the conversion.
TEST_F(AbmtoolTest, ConversionFlagsAndTheirDefaults)
{
    const std::string pic = picture("wide.bmp", 300, 120);
    const Raster original = loadBmp("wide.bmp");
    struct Case {
        std::vector<std::string> flags;
        FrameConversion how;
    };
    const Case cases[] = {
        {{}, {.smooth = true, .dither = true, .keepProportions = true}},
        {{"--nearest"}, {.dither = true, .keepProportions = true}},
        {{"--no-dither"}, {.smooth = true, .keepProportions = true}},
        {{"--stretch-only"}, {.smooth = true, .dither = true}},
        {{"--nearest", "--no-dither", "--stretch-only"}, {}},
        {{"--size", "128x97", "--no-autosize", "--stretch"}, {}},
        {{"--no-autosize", "--stretch", "--smooth", "--dither", "--fit"},
         {.smooth = true, .dither = true, .keepProportions = true}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"bmp", "-o", "f.bmp", pic};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        ASSERT_EQ(Run(args).status, 0);
        EXPECT_TRUE(samePixels(loadBmp("f0.bmp"), convertToFrame(original, 128, 97, c.how)))
            << ::testing::PrintToString(c.flags);
    }
    // Cut, not scaled: only the dither applies, over the part that shows.
    ASSERT_EQ(Run({"bmp", "-o", "f.bmp", pic, "--crop"}).status, 0);
    Raster cropped = convertToFrame(Raster(), 128, 97, {}), plain = cropped;
    drawConverted(cropped, Rect(0, 0, 300, 120), original, {.dither = true});
    drawConverted(plain, Rect(0, 0, 300, 120), original, {});
    EXPECT_TRUE(samePixels(loadBmp("f0.bmp"), cropped));
    EXPECT_FALSE(samePixels(cropped, plain));
}

TEST_F(AbmtoolTest, OversizedFrameFailsTheAbmSaveWithTheWarning)
{
    const std::string pic = picture("wide.bmp", 129, 97);
    const Outcome o = Run({"abm", "-o", "out.abm", "--size", "129x97", pic});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: " + pic +
                         ": frame 1 is 129 × 97, larger than 128 × 97; use --size or the default stretching\n");
    EXPECT_FALSE(fs::exists(dir / "out.abm"));
    EXPECT_EQ(Run({"abm", "-o", "out.abm", pic}).status, 0);
    EXPECT_EQ(readFile(dir / "out.abm").size(), 72u + 128 * 97 * 2);
}

TEST_F(AbmtoolTest, MissingInputFailsWithTheErrorText)
{
    const std::string pic = picture("ok.bmp", 10, 10);
    for (const char* missing : {"nope.gif", "nope.bmp", "nope.jpg"}) {
        const Outcome o = Run({"abm", "-o", "out.abm", pic, missing});
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, std::string("abmtool: ") + missing + ": cannot open (No such file or directory)\n");
        EXPECT_FALSE(fs::exists(dir / "out.abm"));
    }
}

TEST_F(AbmtoolTest, InvalidPictureAmongValidOnesWarnsAndStillWrites)
{
    const std::string a = picture("a.bmp", 10, 10), b = picture("b.bmp", 10, 10, 0xFF0000);
    abm::test::writeFile(dir / "broken.bmp", {'B', 'M', 1, 2, 3});
    abm::test::writeFile(dir / "broken.jpg", {'n', 'o', 't'});
    const Outcome o = Run({"bmp", "-o", "f.bmp", a, "broken.bmp", "broken.jpg", b});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("broken.bmp"), std::string::npos);
    EXPECT_NE(o.err.find("broken.jpg"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "f1.bmp"));
    EXPECT_FALSE(fs::exists(dir / "f2.bmp"));

    const Outcome strict = Run({"abm", "--strict", "-o", "s.abm", a, "broken.bmp"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_FALSE(fs::exists(dir / "s.abm"));
}

TEST_F(AbmtoolTest, FailedRunLeavesAnExistingOutputAlone)
{
    abm::test::writeFile(dir / "keep.abm", {1, 2, 3});
    abm::test::writeFile(dir / "bad.gif", {'G', 'I', 'F', '8', '9', 'a', 1});
    EXPECT_EQ(Run({"abm", "-o", "keep.abm", "bad.gif"}).status, 1);
    EXPECT_EQ(readFile(dir / "keep.abm"), (std::vector<uint8_t>{1, 2, 3}));
    const std::string pic = picture("p.bmp", 10, 10);
    const Outcome o = Run({"abm", "-o", "no-such-folder/x.abm", pic});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: no-such-folder/x.abm: cannot write (No such file or directory)\n");
}

TEST_F(AbmtoolTest, InfoReportsHeadersAndTheReadersVerdict)
{
    const std::string pic = picture("p.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "--keep-size", "-o", "good.abm", pic, pic}).status, 0);
    std::vector<uint8_t> bad = readFile(dir / "good.abm");
    bad[4] = 24;
    abm::test::writeFile(dir / "bits24.abm", bad);
    bad = readFile(dir / "good.abm");
    bad.pop_back();
    abm::test::writeFile(dir / "short.abm", bad);
    bad = readFile(dir / "good.abm");
    bad[0] = 0;
    bad[6] = 1;
    bad[12] = bad[13] = bad[14] = bad[15] = 0;
    bad.resize(72);
    abm::test::writeFile(dir / "zerowidth.abm", bad);

    Outcome o = Run({"info", "good.abm"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "good.abm: FrameWidth=20 FrameHeight=10 BitCount=16 FrameCount=2 DataSize=800 "
                     "Creator=\"Created by PLIX\" Accepted=yes\n");
    o = Run({"info", "bits24.abm", "short.abm", "zerowidth.abm"});
    EXPECT_EQ(o.status, 1);
    std::istringstream lines(o.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_NE(line.find("BitCount=24"), std::string::npos);
    EXPECT_NE(line.find("Accepted=no (not an ABM animation (its header does not match its size))"), std::string::npos)
        << line;
    std::getline(lines, line);
    EXPECT_NE(line.find("Accepted=no (not an ABM animation (its header does not match its size))"), std::string::npos)
        << line;
    std::getline(lines, line);
    EXPECT_NE(line.find("Accepted=no (cannot read the ABM animation"), std::string::npos) << line;

    o = Run({"info", "--json", "good.abm", "bits24.abm"});
    EXPECT_EQ(nlohmann::json::parse(o.out), nlohmann::json::parse(R"json([
        {"file": "good.abm", "FrameWidth": 20, "FrameHeight": 10, "BitCount": 16, "FrameCount": 2,
         "DataSize": 800, "Creator": "Created by PLIX", "Accepted": true},
        {"file": "bits24.abm", "FrameWidth": 20, "FrameHeight": 10, "BitCount": 24, "FrameCount": 2,
         "DataSize": 800, "Creator": "Created by PLIX", "Accepted": false,
         "Message": "not an ABM animation (its header does not match its size)"}])json"));
    EXPECT_EQ(Run({"info", "--json", "missing.abm"}).out, "[]\n");

    o = Run({"info", "missing.abm"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: missing.abm: cannot open (No such file or directory)\n");
}

TEST_F(AbmtoolTest, ThumbnailIsAPngThatFitsTheSize)
{
    const std::string big = picture("big.bmp", 300, 120);
    const std::string small = picture("small.bmp", 20, 40);
    struct Case {
        std::string input;
        std::string size;
        int w, h;
    };
    const Case cases[] = {
        {big, "128", 128, 51},
        {big, "64", 64, 25},
        {small, "128", 64, 128},
        {small, "10", 5, 10},
        {(gifs / "animated-red-blue.gif").string(), "32", 32, 24},
    };
    for (const Case& c : cases) {
        const Outcome o =
            Run({"thumbnail", c.size == "64" || c.size == "32" ? "--size" : "-s", c.size, c.input, "t.png"});
        ASSERT_EQ(o.status, 0) << o.err;
        const auto png = abm::test::readPng(dir.path() / "t.png");
        EXPECT_EQ(png.width, c.w) << c.input << " " << c.size;
        EXPECT_EQ(png.height, c.h) << c.input << " " << c.size;
    }
    const Outcome o = Run({"thumbnail", big, "with blank and \"quote.png"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(abm::test::readPng(dir.path() / "with blank and \"quote.png").width, 128);
}

// A JPEG well larger than its thumbnail is decoded at the fraction of its
// size the thumbnail needs: the thumbnail is still its full decode averaged
// down and cut to 16 bits, within rounding.
TEST_F(AbmtoolTest, AJpegThumbnailIsItsFullDecodeAveragedDown)
{
    const fs::path photo = corpora() / "jpeg/wuffs/harvesters.jpeg";
    JpegImage jpeg;
    jpeg.loadFromFile(photo);
    const Raster full = jpeg.raster();
    for (const auto& [size, width, height] : {std::tuple{128, 128, 94}, {32, 32, 23}}) {
        ASSERT_EQ(Run({"thumbnail", "-s", std::to_string(size), photo.string(), "t.png"}).status, 0);
        const RgbaImage png = readPng(dir.path() / "t.png");
        ASSERT_EQ(png.width, width);
        ASSERT_EQ(png.height, height);
        Raster expected = scalePicture(full, width, height, true);
        expected.setPixelFormat(PixelFormat::Rgb565);
        const Raster shown =
            makeRaster(width, height, PixelFormat::Bgr888, [&](int x, int y) { return png.at(x, y) & 0xFFFFFF; });
        EXPECT_GE(psnr(expected, shown), 40.0) << size;
    }
}

// Every usage error is one line "abmtool: ..." naming the word at fault,
// then where to read more, and status 2.
TEST_F(AbmtoolTest, UsageErrorsExitTwo)
{
    const std::string pic = picture("p.bmp", 5, 5);
    const std::string commands = "; the commands are abm, bmp, gif, info and thumbnail";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "a command is required" + commands},
        {{"frob"}, "'frob' is not a command" + commands},
        {{"-V"}, "unknown option '-V'" + commands},
        {{"-q", "frob", "abm"}, "'frob' is not a command" + commands},
        {{"abm", pic}, "--output is required"},
        {{"abm", "-o", "x.abm"}, "INPUT is required"},
        {{"abm", "-o", "x.abm", "--size", "12", pic}, "--size: expected WxH, e.g. 128x97"},
        {{"bmp", "-o", "x.bmp", "--bogus", pic}, "the following argument was not expected: --bogus"},
        {{"thumbnail", "-s", "0", pic, "t.png"}, "--size: Value 0 not in range 1 to 4096"},
        {{"thumbnail", pic}, "OUT is required"},
        {{"abm", "-o", "x.abm", "--keep-size", "--size", "64x48", pic}, "--size excludes --keep-size"},
        {{"abm", "-o", "x.abm", "--crop", "--stretch", pic}, "--crop excludes --stretch"},
        {{"abm", "-o", "x.abm", "--crop", "--fit", pic}, "--crop excludes --fit"},
        {{"bmp", "-o", "x.bmp", "--smooth", "--nearest", pic}, "--smooth excludes --nearest"},
        {{"gif", "-o", "x.gif", "--no-dither", "--dither", pic}, "--dither excludes --no-dither"},
        {{"abm", "-o", "x.abm", "--fit", "--stretch-only", pic}, "--fit excludes --stretch-only"},
        {{"gif", "-o", "x.gif", "--delay", "0", pic}, "--delay: Value 0 not in range 10 to 655350"},
        {{"-q", "-v", "abm", "-o", "x.abm", pic}, "--quiet excludes --verbose"},
    };
    for (const auto& [args, first] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << first;
        EXPECT_EQ(o.err.substr(0, o.err.find('\n')), "abmtool: " + first);
        EXPECT_NE(o.err.find("\nTry 'abmtool"), std::string::npos) << o.err;
    }
}

TEST_F(AbmtoolTest, HelpListsEveryOptionWithItsDefault)
{
    Outcome o = Run({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "abmtool 1.0.0\n");
    o = Run({"bmp", "--help"});
    EXPECT_EQ(o.status, 0);
    for (const char* text : {"--size", "128x97", "--keep-size", "--crop", "--no-autosize", "--stretch", "--smooth",
                             "--nearest", "--dither", "--no-dither", "--fit", "--stretch-only", "(default: on)",
                             "--transparent-gif", "--opaque-gif", "--strict", "-o"})
        EXPECT_NE(o.out.find(text), std::string::npos) << text;
    o = Run({"thumbnail", "--help"});
    EXPECT_NE(o.out.find("=128"), std::string::npos) << o.out;
}

TEST_F(AbmtoolTest, AbmStopsAtFourFramesAndSaysHowManyInputsWereLeftOut)
{
    std::vector<std::string> six;
    for (uint32_t i = 0; i < 6; ++i)
        six.push_back(picture("p" + std::to_string(i) + ".bmp", 20, 10, 0x102030 * (i + 1)));
    std::vector<std::string> args = {"abm", "-o", "four.abm"};
    args.insert(args.end(), six.begin(), six.begin() + 4);
    ASSERT_EQ(Run(args).status, 0);
    args = {"abm", "-o", "six.abm"};
    args.insert(args.end(), six.begin(), six.end());
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "abmtool: warning: 2 inputs after the fourth frame left out: " + six[4] + ", " + six[5] +
                         " (an ABM file holds four; use bmp for all)\n");
    EXPECT_EQ(readFile(dir / "six.abm"), readFile(dir / "four.abm"));
    // Names are escaped; past the fifth they are counted.
    fs::copy_file(six[5], dir / "line\nbreak.bmp");
    args = {"abm", "-o", "many.abm"};
    for (int i = 0; i < 10; ++i)
        args.push_back(i == 4 ? "line\nbreak.bmp" : "p" + std::to_string(i % 6) + ".bmp");
    EXPECT_EQ(Run(args).err, "abmtool: warning: 6 inputs after the fourth frame left out: line\\x0abreak.bmp, p5.bmp, "
                             "p0.bmp, p1.bmp, p2.bmp and 1 more (an ABM file holds four; use bmp for all)\n");
}

TEST_F(AbmtoolTest, MemoryLimitRefusesAPictureNamingItAndTheSizes)
{
    picture("big.bmp", 600, 400);
    abm::test::ScopedEnv env;
    const std::vector<std::vector<std::string>> runs = {
        {"--memory-limit", "1", "abm", "-o", "x.abm", "big.bmp"},
        {"bmp", "--memory-limit", "1", "-o", "x.bmp", "big.bmp"},
        {"--memory-limit", "1", "thumbnail", "big.bmp", "t.png"},
        {"ABM_MEMORY_LIMIT_MB=1", "abm", "-o", "x.abm", "big.bmp"},
    };
    for (std::vector<std::string> args : runs) {
        if (args[0].rfind("ABM_", 0) == 0) {
            env.set("ABM_MEMORY_LIMIT_MB", "1");
            args.erase(args.begin());
        }
        const Outcome o = Run(args);
        env.unset("ABM_MEMORY_LIMIT_MB");
        EXPECT_EQ(o.status, 1) << args[0];
        EXPECT_EQ(o.err.rfind("abmtool: big.bmp: too large: needs ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find(" MiB, the memory limit is 1 MiB (raise --memory-limit)\n"), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(dir / "x.abm"));
    }
    EXPECT_EQ(Run({"--memory-limit", "2", "abm", "-o", "x.abm", "big.bmp"}).err.find("too large"), std::string::npos);
    // A limit the environment gets wrong is a usage error, --memory-limit or not.
    for (const char* value : {"0", "-5", "abc", " 64", "64 ", "100000000000000000000"}) {
        env.set("ABM_MEMORY_LIMIT_MB", value);
        for (const char* limit : {"--memory-limit=2", "-q"}) {
            const Outcome o = Run({limit, "abm", "-o", "x.abm", "big.bmp"});
            EXPECT_EQ(o.status, 2) << value;
            EXPECT_EQ(o.err.substr(0, o.err.find('\n')), std::string("abmtool: ABM_MEMORY_LIMIT_MB: '") + value +
                                                             "' is not a number of MiB from 1 to 1,099,511,627,776");
        }
    }
    env.unset("ABM_MEMORY_LIMIT_MB");
}

TEST_F(AbmtoolTest, FifoInputFailsAtOnce)
{
    ASSERT_EQ(::mkfifo((dir / "x.gif").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "x.abm").c_str(), 0600), 0);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"abm", "-o", "out.abm", "x.gif"}, {"thumbnail", "x.gif", "t.png"}, {"info", "x.abm"}}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 1) << args[0];
        EXPECT_EQ(o.err, "abmtool: " + args[args.size() - (args[0] == "thumbnail" ? 2 : 1)] +
                             ": cannot open (Not a regular file)\n");
    }
}

// info and thumbnail read an ABM file's header and the rows they sample, not
// its pixels: a sparse file of 1 GiB is as quick as a small one. The
// thumbnail is the one the frame gives as a picture.
TEST_F(AbmtoolTest, InfoAndThumbnailOfAnAbmReadOnlyWhatTheyNeed)
{
    const auto header = [](uint16_t width, uint16_t height, uint8_t count) {
        AbmHeader h;
        h.frameWidth = width;
        h.frameHeight = height;
        h.bitCount = 16;
        h.frameCount = count;
        h.dataSize = width * height * 2 * count;
        const auto bytes = h.encode();
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };
    std::vector<uint8_t> file = header(700, 500, 1);
    for (int i = 0; i < 700 * 500 * 2; ++i)
        file.push_back(static_cast<uint8_t>(i * 7 + i / 1400));
    abm::test::writeFile(dir / "frame.abm", file);
    ASSERT_EQ(Run({"bmp", "--keep-size", "-o", "frame.bmp", "frame.abm"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame.abm", "a.png"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame0.bmp", "b.png"}).status, 0);
    const auto a = abm::test::readPng(dir.path() / "a.png"), b = abm::test::readPng(dir.path() / "b.png");
    EXPECT_EQ(a.width, 128);
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.rgba == b.rgba);

    abm::test::writeFile(dir / "sparse.abm", header(16384, 16384, 2));
    fs::resize_file(dir / "sparse.abm", (uintmax_t{1} << 30) + 72);
    const Outcome info = Run({"info", "sparse.abm"});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("FrameCount=2 DataSize=1073741824 Creator=\"\" Accepted=yes"), std::string::npos)
        << info.out;
    EXPECT_EQ(Run({"thumbnail", "sparse.abm", "s.png"}).status, 0);
    EXPECT_EQ(abm::test::readPng(dir.path() / "s.png").width, 128);
}
