// abmtool's defaults and inputs: phone-ready sizes, inputs known by their
// content, gif output, one file per input, quiet and verbose runs.

#include "AbmtoolRunner.h"
#include "cli/Commands.h"

#include <algorithm>

using namespace abm;
using namespace abm::test;

namespace {

// The pixel (x, y) of a 16-bit frame as its 5-6-5 value.
uint16_t value565(const Raster& frame, int x, int y)
{
    const uint8_t* row = frame.row(y);
    return static_cast<uint16_t>(row[2 * x] | row[2 * x + 1] << 8);
}

// A 320 × 240 GIF of five full-screen images, each a band of another colour.
std::vector<uint8_t> bandedGif()
{
    abm::test::GifFile gif;
    gif.screenWidth = 320;
    gif.screenHeight = 240;
    gif.globalTable = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    for (int i = 0; i < 5; ++i) {
        abm::test::GifFileImage image;
        image.width = 320;
        image.height = 240;
        for (int p = 0; p < 320 * 240; ++p)
            image.indexes.push_back(static_cast<uint8_t>((p / 320 / 48 + i) % 4));
        gif.images.push_back(image);
    }
    return gif.bytes();
}

}  // namespace

TEST_F(AbmtoolTest, DefaultsMakeAPhoneFileAndSizeAloneChangesIt)
{
    abm::test::writeFile(dir / "big.gif", bandedGif());
    const std::vector<std::tuple<std::vector<std::string>, int, int>> cases = {
        {{}, 128, 97}, {{"--size", "64x48"}, 64, 48}, {{"--crop"}, 128, 97}};
    for (const auto& [flags, width, height] : cases) {
        std::vector<std::string> args = {"abm", "-o", "out.abm", "big.gif"};
        args.insert(args.end(), flags.begin(), flags.end());
        const Outcome o = Run(args);
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "");
        const std::vector<uint8_t> file = readFile(dir / "out.abm");
        const AbmHeaderCheck check = checkAbmHeader(file.data(), file.size(), static_cast<int64_t>(file.size()));
        EXPECT_EQ(check.verdict, AbmVerdict::Accepted);
        EXPECT_EQ(check.header.frameWidth, width);
        EXPECT_EQ(check.header.frameHeight, height);
        EXPECT_EQ(check.header.frameCount, 4);
    }
}

// Every input is imported by its content or named in a line that says why
// not; --strict fails the run on such a line.
TEST_F(AbmtoolTest, InputsAreKnownByTheirContentAndNoneVanishes)
{
    const fs::path jpeg = abm::test::corpora() / "jpeg" / "libjpeg-turbo" / "testorig.jpg";
    const fs::path png = abm::test::corpora() / "jpeg" / "libjpeg-turbo" / "testorig.png";
    const fs::path gif = gifs / "animated-red-blue.gif";
    const fs::path truncated = gifs / "hippopotamus.interlaced.truncated.gif";
    picture("p.bmp", 20, 10);
    const std::vector<uint8_t> bmp = readFile(dir / "p.bmp");
    abm::test::writeFile(dir / "cut.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 200));
    abm::test::writeFile(dir / "notes.bmp", {'h', 'e', 'l', 'l', 'o'});
    const std::vector<uint8_t> whole = readFile(jpeg);
    abm::test::writeFile(dir / "cut.jpg", std::vector<uint8_t>(whole.begin(), whole.begin() + 3000));
    // Headers that ask for what no reader gives: 48 bits a pixel, more pixels
    // than the raster's cap, files past the largest any reader takes in.
    const auto patched = [&](const char* name, std::vector<uint8_t> bytes, size_t at, std::vector<uint8_t> with) {
        std::copy(with.begin(), with.end(), bytes.begin() + static_cast<long>(at));
        abm::test::writeFile(dir / name, bytes);
    };
    patched("deep.bmp", bmp, 28, {48});
    patched("huge.bmp", bmp, 18, {0x00, 0x40, 0, 0, 0x01, 0x40, 0, 0});  // 16384 × 16385
    const uint8_t sofMarker[] = {0xFF, 0xC0};
    const auto sof = std::search(whole.begin(), whole.end(), sofMarker, sofMarker + 2) - whole.begin();
    ASSERT_LT(static_cast<size_t>(sof) + 9, whole.size());
    patched("huge.jpg", whole, static_cast<size_t>(sof) + 5, {0xFF, 0xDC, 0xFF, 0xDC});  // 65500 × 65500
    for (const auto& [name, bytes] : {std::pair{"big.bmp", bmp}, {"big.gif", readFile(gif)}}) {
        abm::test::writeFile(dir / name, bytes);
        fs::resize_file(dir / name, (uintmax_t{1} << 30) + 1);
    }
    abm::test::writeFile(dir / "empty.gif", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'});
    // The headers the GIF reader takes besides the usual ones, as the window does.
    std::vector<uint8_t> odd = readFile(gif);
    odd.insert(odd.begin(), {'x', 'x', 'x', 'x'});
    abm::test::writeFile(dir / "prefixed", odd);
    odd.erase(odd.begin(), odd.begin() + 4);
    std::copy_n("gif", 3, odd.begin());
    abm::test::writeFile(dir / "lower-case.bmp", odd);
    std::copy_n("GIF90a", 6, odd.begin());
    abm::test::writeFile(dir / "unknown-version.gif", odd);
    struct Case {
        std::string name;
        fs::path from;     // empty: the file is already there
        int status;        // without --strict
        std::string said;  // after "abmtool: NAME: "; empty when it imports
    };
    const Case cases[] = {
        {"photo.jpeg", jpeg, 0, ""},
        {"PHOTO.JPG", jpeg, 0, ""},
        {"photo.jfif", jpeg, 0, ""},
        {"jpeg-without-extension", jpeg, 0, ""},
        {"gif-without-extension", gif, 0, ""},
        {"prefixed", {}, 0, ""},
        {"lower-case.bmp", {}, 0, ""},
        {"unknown-version.gif", {}, 0, ""},
        {"picture.png", png, 0, "warning: skipped, PNG is not supported (convert it to BMP, JPEG or GIF)\n"},
        {"notes.bmp", {}, 0, "warning: skipped, not a picture (no BMP, JPEG, GIF or ABM content)\n"},
        {"cut.bmp", {}, 0, "warning: cut short (the BMP data ends early; imported what there is)\n"},
        {"cut.gif", truncated, 0, "warning: cut short (the GIF data ends early; imported what there is)\n"},
        {"cut.jpg", {}, 0, "warning: cut short (the JPEG data ends early; imported what there is)\n"},
        {"deep.bmp", {}, 0, "warning: skipped, 48 bits per pixel is not supported (convert it to 24 bits)\n"},
        {"huge.bmp", {}, 0, "warning: skipped, too large: 268,451,840 pixels, the limit is 268,435,456\n"},
        {"huge.jpg", {}, 0, "warning: skipped, too large: 4,290,250,000 pixels, the limit is 268,435,456\n"},
        {"big.bmp", {}, 0, "warning: skipped, too large: 1,025 MiB, the file size limit is 1,024 MiB\n"},
        {"big.gif", {}, 1, "too large: 1,025 MiB, the file size limit is 1,024 MiB\n"},
        {"empty.gif", {}, 1, "no image in it\n"},
        {"/proc/self/status", {}, 1, "cannot open (Not a regular file)\n"},
    };
    for (const Case& c : cases) {
        if (!c.from.empty())
            fs::copy_file(c.from, dir / c.name, fs::copy_options::overwrite_existing);
        Outcome o = Run({"abm", "-o", "out.abm", "p.bmp", c.name});
        EXPECT_EQ(o.status, c.status) << c.name;
        EXPECT_EQ(o.err, c.said.empty() ? "" : "abmtool: " + c.name + ": " + c.said) << c.name;
        if (c.status == 0) {
            EXPECT_EQ(readFile(dir / "out.abm")[6] > 1, c.said.find("skipped") == std::string::npos) << c.name;
        }
        o = Run({"abm", "--strict", "-o", "strict.abm", "p.bmp", c.name});
        EXPECT_EQ(o.status, c.said.empty() ? 0 : 1) << c.name;
        fs::remove(dir / "strict.abm");
    }
    // The thumbnail says the same without "skipped"; so does a JPEG whose
    // scans would take too long (the decoder's own test makes one).
    const Outcome o = Run({"thumbnail", "deep.bmp", "t.png"});
    EXPECT_EQ(o.err, "abmtool: deep.bmp: 48 bits per pixel is not supported (convert it to 24 bits)\n");
    ImportResult scans;
    scans.dropped = true;
    scans.why = std::make_exception_ptr(InvalidGraphicError(ErrorKind::JpegTooManyScans, {}, 2210));
    SniffedFile jpegFile;
    jpegFile.type = PictureType::Jpeg;
    EXPECT_EQ(droppedReason(jpegFile, scans), "too many scans: 2,210, more than the decoding work limit allows");
}

TEST_F(AbmtoolTest, GifOutputIsOurFramesReadBackByImageMagick)
{
    // 36 colours: written exactly. The photo has thousands: quantised.
    Raster few = abm::test::makeRaster(90, 60, PixelFormat::Bgr888,
                                       [](int x, int y) { return uint32_t((x / 15) * 0x2A0000 + (y / 10) * 0x2A00); });
    writeBmpFile(few, dir / "few.bmp");
    fs::copy_file(abm::test::corpora() / "jpeg" / "libjpeg-turbo" / "testorig.jpg", dir / "photo.jpg");
    struct Case {
        std::vector<std::string> inputs;
        std::vector<std::string> flags;
        int frames;
        std::string delays;
        double allowed;  // mean difference per channel
    };
    const Case cases[] = {
        {{"few.bmp", "few.bmp"}, {}, 2, "70,70,", 0},
        {{"photo.jpg"}, {"--delay", "250"}, 1, "25,", 4},
        {{(gifs / "muybridge.gif").string()}, {}, 4, "70,70,70,70,", 0},
        {{(gifs / "muybridge.gif").string()}, {"--all", "--keep-size"}, 15, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inputs[0] + " " + ::testing::PrintToString(c.flags));
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind("shown", 0) == 0)
                fs::remove(e.path());
        std::vector<std::string> gif = {"gif", "-o", "out.gif"}, bmp = {"bmp", "-o", "shown.bmp"};
        gif.insert(gif.end(), c.flags.begin(), c.flags.end());
        // The frames the GIF shows, as BMP files: the same import without the GIF's own flags.
        for (const std::string& flag : c.flags)
            if (flag == "--keep-size")
                bmp.push_back(flag);
        for (auto* args : {&gif, &bmp})
            args->insert(args->end(), c.inputs.begin(), c.inputs.end());
        for (const auto& args : {gif, bmp}) {
            const Outcome o = Run(args);
            ASSERT_EQ(o.status, 0) << o.err;
        }
        const std::string at = "cd '" + dir.path().string() + "' && ";
        ASSERT_EQ(std::system((at + "convert out.gif -coalesce shown-%d.png").c_str()), 0);
        ASSERT_EQ(std::system((at + "identify -format '%T,' out.gif > delays.txt").c_str()), 0);
        if (!c.delays.empty()) {
            EXPECT_EQ(slurp(dir / "delays.txt"), c.delays);
        }
        const std::vector<uint8_t> bytes = readFile(dir / "out.gif");
        const std::string loop = "NETSCAPE2.0\x03\x01" + std::string(2, '\0');
        EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(loop), std::string::npos);
        int frames = 0;
        for (; fs::exists(dir / ("shown-" + std::to_string(frames) + ".png")); ++frames) {
            const auto png = abm::test::readPng(dir / ("shown-" + std::to_string(frames) + ".png"));
            const Raster frame = loadBmp("shown" + std::to_string(frames) + ".bmp");
            ASSERT_EQ(png.width, frame.width());
            ASSERT_EQ(png.height, frame.height());
            double difference = 0;
            for (int y = 0; y < frame.height(); ++y) {
                for (int x = 0; x < frame.width(); ++x) {
                    const Rgb8 want = widen565(value565(frame, x, y));
                    const uint32_t got = png.at(x, y);
                    for (int ch = 0; ch < 3; ++ch)
                        difference += std::abs(int(want[size_t(ch)]) - int((got >> (16 - 8 * ch)) & 0xFF));
                }
            }
            EXPECT_LE(difference / (3.0 * frame.width() * frame.height()), c.allowed) << "frame " << frames;
        }
        EXPECT_EQ(frames, c.frames);
    }
}

TEST_F(AbmtoolTest, EachWritesOneAbmPerInputAndGoesOnPastFailures)
{
    const std::string pic = picture("p.bmp", 30, 20);
    abm::test::writeFile(dir / "broken1.gif", {'G', 'I', 'F', '8', '9', 'a', 1});
    abm::test::writeFile(dir / "broken2.jpg", {'n', 'o'});
    std::vector<std::string> args = {"abm", "--each", "-o", "out"};
    for (int i = 0; i < 20; ++i) {
        const std::string name = i == 7 ? "broken1.gif" : i == 13 ? "broken2.jpg" : "in" + std::to_string(i) + ".bmp";
        if (name[0] == 'i')
            fs::copy_file(pic, dir / name);
        args.push_back(name);
    }
    for (const char* quiet : {"", "-q"}) {
        std::vector<std::string> run = args;
        if (*quiet)
            run.insert(run.begin(), quiet);
        fs::remove_all(dir / "out");
        const Outcome o = Run(run);
        EXPECT_EQ(o.status, 1);
        int written = 0;
        for (const auto& entry : fs::directory_iterator(dir / "out"))
            written += entry.path().extension() == ".abm" && fs::file_size(entry.path()) == 72u + 128 * 97 * 2;
        EXPECT_EQ(written, 18);
        std::istringstream lines(o.err);
        std::vector<std::string> said;
        for (std::string line; std::getline(lines, line);)
            said.push_back(line);
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back(), "abmtool: 18 written, 2 failed");
        std::sort(said.begin(), said.end() - 1);
        std::vector<std::string> failures = {"abmtool: broken1.gif: cut short (the GIF data ends early)",
                                             "abmtool: broken2.jpg: no frames to write (no input gave a picture)"};
        if (!*quiet)
            failures.push_back(
                "abmtool: broken2.jpg: warning: skipped, not a picture (no BMP, JPEG, GIF or ABM content)");
        EXPECT_EQ(std::vector<std::string>(said.begin(), said.end() - 1), failures) << quiet;
    }
    EXPECT_EQ(Run({"-q", "abm", "--each", "-o", "out", "in0.bmp"}).err, "");
}

TEST_F(AbmtoolTest, QuietPrintsErrorsOnlyAndVerboseALinePerInput)
{
    picture("p.bmp", 20, 10);
    abm::test::writeFile(dir / "x.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    abm::test::writeFile(dir / "big.gif", bandedGif());
    const std::string skipped =
        "abmtool: x.png: warning: skipped, PNG is not supported (convert it to BMP, JPEG or GIF)\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-q", ""},
        {"", skipped},
        {"-v", skipped + "abmtool: p.bmp: 1 frame read (20 × 10), 1 written as 128 × 97\n"
                         "abmtool: big.gif: 3 frames read (320 × 240), 3 written as 128 × 97\n"},
    };
    for (const auto& [flag, said] : cases) {
        std::vector<std::string> args = {"abm", "-o", "out.abm", "p.bmp", "x.png", "big.gif"};
        if (!flag.empty())
            args.insert(args.begin(), flag);
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, said) << flag;
    }
    EXPECT_EQ(Run({"-q", "abm", "-o", "out.abm", "x.png"}).err,
              "abmtool: x.png: no frames to write (no input gave a picture)\n");
}
