#include "workspace/StripCommands.h"
#include "workspace/AbmFile.h"
#include "base/Error.h"
#include "StripFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace abm;
using abm::test::kindOfError;
using abm::test::makeRaster;
using abm::test::readFile;
using abm::test::writeFile;

namespace {

Raster picture(int id, int w, int h)
{
    return makeRaster(w, h, PixelFormat::Bgr888, [id](int x, int y) {
        return static_cast<uint32_t>((id * 50) << 16 | ((x * 7 + y) & 0xFF) << 8 | ((x + y * 3) & 0xFF));
    });
}

// A header written byte by byte, then `pixelBytes` bytes of pixels.
std::vector<uint8_t> abmFile(uint16_t w, uint16_t h, uint8_t bits, uint8_t count, int32_t dataSize, size_t pixelBytes)
{
    std::vector<uint8_t> b(72 + pixelBytes, 0);
    b[0] = w & 0xFF;
    b[1] = w >> 8;
    b[2] = h & 0xFF;
    b[3] = h >> 8;
    b[4] = bits;
    b[6] = count;
    for (int i = 0; i < 4; ++i)
        b[12 + i] = static_cast<uint8_t>(static_cast<uint32_t>(dataSize) >> (8 * i));
    for (size_t i = 72; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(i * 31);
    return b;
}

class AbmFileTest : public abm::test::StripFixture {
protected:
    std::vector<uint8_t> written() { return abmFileBytes(strip); }
    void save(const std::string& chosen)
    {
        prompts.saveAnswers.push_back(chosen);
        StripCommands(strip, prompts, settings).saveAbm();
    }
    std::vector<std::string> messages() const
    {
        std::vector<std::string> texts;
        for (const auto& m : prompts.messages)
            texts.push_back(m.text);
        return texts;
    }
};

}  // namespace

TEST_F(AbmFileTest, FourFramesGiveTheWorkedExampleHeader)
{
    for (int id = 0; id < 4; ++id)
        strip.append(picture(id, 128, 97));
    const auto bytes = written();
    ASSERT_EQ(bytes.size(), 99400u);
    const std::vector<uint8_t> head = {0x80, 0x00, 0x61, 0x00, 0x10, 0x00, 0x04, 0x00, 0x00, 0x00,
                                       0x00, 0x00, 0x00, 0x84, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 20), head);
    EXPECT_EQ(std::string(bytes.begin() + 20, bytes.begin() + 35), "Created by PLIX");
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 35, bytes.begin() + 72), std::vector<uint8_t>(37, 0));
    // Frame k, row y, column x lies at 72 + k·128·97·2 + (y·128 + x)·2, low byte first.
    for (int k : {0, 3}) {
        const Raster& frame = strip.frame(k).picture;
        for (auto [x, y] : {std::pair{0, 0}, {127, 0}, {5, 96}, {127, 96}}) {
            const size_t at = 72 + static_cast<size_t>(k) * 128 * 97 * 2 + (static_cast<size_t>(y) * 128 + x) * 2;
            const uint8_t* row = frame.row(y);
            EXPECT_EQ(bytes[at], row[2 * x]);
            EXPECT_EQ(bytes[at + 1], row[2 * x + 1]);
        }
    }
}

TEST_F(AbmFileTest, SixFramesSaveOnlyTheFirstFourSilently)
{
    for (int id = 0; id < 6; ++id)
        strip.append(picture(id, 128, 97));
    save(dir / "six.abm");
    const auto bytes = readFile(dir / "six.abm");
    EXPECT_EQ(bytes.size(), 99400u);
    EXPECT_EQ(bytes[6], 4);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(settings.values["SavePath"], dir.path().string() + "/");
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].filter, "*.abm|*.abm|Все файлы (*.*)|*.*");
    EXPECT_EQ(prompts.saveRequests[0].initialDir, "");
}

TEST_F(AbmFileTest, DisplayedSizeOfTheFirstFourFramesIsChecked)
{
    struct Case {
        int position;  // of the thumbnail of another size
        int width;
        int height;
        const char* refusal;  // nullptr: saved
    };
    const char* tooLarge = kFramesTooLargeText;
    const Case cases[] = {
        {2, 129, 97, tooLarge}, {4, 129, 97, nullptr}, {0, 128, 98, tooLarge},
        {3, 128, 98, tooLarge}, {1, 128, 97, nullptr}, {0, 1, 1, kFramesOfOtherSizesText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.position);
        strip.clear();
        prompts.messages.clear();
        prompts.saveRequests.clear();
        for (int i = 0; i < 5; ++i) {
            const bool oversized = i == c.position;
            strip.setOptions(
                {.width = oversized ? c.width : 128, .height = oversized ? c.height : 97, .autoSize = false});
            strip.append(picture(i, 60, 60));
        }
        std::filesystem::remove(dir / "x.abm");
        save(dir / "x.abm");
        if (c.refusal) {
            ASSERT_EQ(messages(), std::vector<std::string>{c.refusal});
            EXPECT_EQ(prompts.messages[0].type, MessageKind::warning);
            EXPECT_EQ(prompts.messages[0].buttons, std::vector<MessageButton>{MessageButton::cancel});
            EXPECT_TRUE(prompts.saveRequests.empty());
            EXPECT_FALSE(std::filesystem::exists(dir / "x.abm"));
            prompts.saveAnswers.clear();
        } else {
            EXPECT_TRUE(prompts.messages.empty());
            EXPECT_TRUE(std::filesystem::exists(dir / "x.abm"));
        }
    }
}

// Under auto-size without stretching every frame keeps its own picture: the
// file, sized by the first, could hold none of another size as shown.
TEST_F(AbmFileTest, SavedFramesFitThePhoneAndShareTheFirstFramesSize)
{
    struct Case {
        std::vector<std::pair<int, int>> sizes;
        bool stretch;
        const char* refusal;  // nullptr: saved
    };
    const Case cases[] = {
        {{{128, 97}, {128, 48}}, false, kFramesOfOtherSizesText},
        {{{60, 60}, {128, 97}}, false, kFramesOfOtherSizesText},
        {{{128, 97}, {200, 150}}, false, kFramesTooLargeText},
        {{{128, 97}, {129, 97}}, false, kFramesTooLargeText},
        {{{128, 97}, {128, 97}, {128, 97}, {128, 97}, {60, 60}}, false, nullptr},
        {{{100, 50}, {100, 50}}, false, nullptr},
        {{{128, 97}, {200, 150}, {10, 10}}, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sizes[1].first << "x" << c.sizes[1].second << " " << c.stretch);
        strip.setOptions({.stretch = c.stretch});
        strip.clear();
        prompts.messages.clear();
        prompts.saveRequests.clear();
        prompts.saveAnswers.clear();
        std::filesystem::remove(dir / "x.abm");
        for (size_t i = 0; i < c.sizes.size(); ++i)
            strip.append(picture(static_cast<int>(i), c.sizes[i].first, c.sizes[i].second));
        save(dir / "x.abm");
        EXPECT_EQ(messages(), c.refusal ? std::vector<std::string>{c.refusal} : std::vector<std::string>{});
        EXPECT_EQ(prompts.saveRequests.empty(), c.refusal != nullptr);
        EXPECT_EQ(std::filesystem::exists(dir / "x.abm"), c.refusal == nullptr);
    }
}

// The dialog asked about the name chosen in it; the file written is another
// when the extension changes, and that one is asked about before it is replaced.
TEST_F(AbmFileTest, ChosenNameGetsTheAbmExtensionAndAnotherFileIsReplacedOnlyWhenConfirmed)
{
    strip.append(picture(1, 10, 10));
    struct Case {
        const char* chosen;
        bool exists;
        MessageAnswer answer;
        bool written;
    };
    const Case cases[] = {
        {"anim.txt", true, MessageAnswer::ok, true},    {"anim.txt", true, MessageAnswer::cancel, false},
        {"anim", true, MessageAnswer::ok, true},        {"anim.abm", true, MessageAnswer::none, true},
        {"anim.txt", false, MessageAnswer::none, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.chosen << " " << c.exists);
        prompts.messages.clear();
        std::filesystem::remove(dir / "anim.abm");
        if (c.exists)
            writeFile(dir / "anim.abm", {1, 2, 3});
        if (c.answer != MessageAnswer::none)
            prompts.answers.push_back(c.answer);
        save(dir / c.chosen);
        const bool asked = c.answer != MessageAnswer::none;
        EXPECT_EQ(messages(), asked ? std::vector<std::string>{"Файл anim.abm уже существует. Заменить?"}
                                    : std::vector<std::string>{});
        if (asked) {
            EXPECT_EQ(prompts.messages[0].buttons,
                      (std::vector<MessageButton>{MessageButton::ok, MessageButton::cancel}));
        }
        EXPECT_EQ(std::filesystem::file_size(dir / "anim.abm"), c.written ? 72u + 200u : 3u);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "anim.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir / "anim"));
}

TEST_F(AbmFileTest, CancelledDialogWritesNothing)
{
    strip.append(picture(1, 10, 10));
    settings.values["SavePath"] = "/somewhere/";
    StripCommands(strip, prompts, settings).saveAbm();
    EXPECT_EQ(prompts.saveRequests.at(0).initialDir, "/somewhere/");
    EXPECT_EQ(settings.values["SavePath"], "/somewhere/");
    FrameStrip empty;
    StripCommands(empty, prompts, settings).saveAbm();
    EXPECT_EQ(prompts.saveRequests.size(), 1u);
}

TEST_F(AbmFileTest, WrittenFileReadsBackWithTheSamePixels)
{
    for (int id = 0; id < 3; ++id)
        strip.append(picture(id, 37, 21));
    save(dir / "back.abm");
    FrameStrip other;
    readAbmFile(other, prompts, dir / "back.abm");
    ASSERT_EQ(other.count(), 3);
    EXPECT_TRUE(prompts.messages.empty());
    for (int k = 0; k < 3; ++k) {
        const Raster& a = strip.frame(k).picture;
        const Raster& b = other.frame(k).picture;
        ASSERT_EQ(b.width(), 37);
        ASSERT_EQ(b.pixelFormat(), PixelFormat::Rgb565);
        for (int y = 0; y < 21; ++y)
            EXPECT_EQ(0, std::memcmp(a.row(y), b.row(y), 37 * 2)) << k << "," << y;
        EXPECT_TRUE(other.frame(k).source.raster().palette().empty());
    }
}

TEST_F(AbmFileTest, HeaderCasesGiveTheirOutcomes)
{
    enum Outcome { Frames, BadFormat, CannotOpen };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        Outcome outcome;
        int frames;
    };
    auto reserved = abmFile(2, 2, 16, 1, 8, 8);
    for (size_t i : {5, 7, 8, 9, 10, 11, 16, 17, 18, 19})
        reserved[i] = 0xA5;
    for (size_t i = 20; i < 72; ++i)
        reserved[i] = static_cast<uint8_t>('a' + i % 26);
    auto oneMore = abmFile(2, 2, 16, 1, 8, 9);
    auto oneLess = abmFile(2, 2, 16, 1, 8, 7);
    auto shortOverflow = abmFile(1, 1, 16, 1, 2147483647, 0);
    shortOverflow.resize(16);
    const Case cases[] = {
        {"valid", abmFile(2, 2, 16, 2, 16, 16), Frames, 2},
        {"one byte more", oneMore, BadFormat, 0},
        {"one byte less", oneLess, BadFormat, 0},
        {"24 bits", abmFile(2, 2, 24, 1, 8, 8), BadFormat, 0},
        {"count disagrees", abmFile(2, 2, 16, 2, 8, 8), BadFormat, 0},
        {"no frames", abmFile(7, 9, 16, 0, 0, 0), Frames, 0},
        {"zero width", abmFile(0, 5, 16, 1, 0, 0), CannotOpen, 0},
        {"data size overflows", abmFile(1, 1, 16, 1, 2147483576, 0), CannotOpen, 0},
        {"short with overflowing size", shortOverflow, CannotOpen, 0},
        {"short file", {0x10, 0, 0x10, 0, 16}, BadFormat, 0},
        {"empty file", {}, BadFormat, 0},
        {"reserved and text", reserved, Frames, 1},
        {"row too wide", abmFile(16385, 1, 16, 1, 32770, 32770), CannotOpen, 0},
        {"huge frame without frames", abmFile(65535, 65535, 16, 0, 0, 0), CannotOpen, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FrameStrip target;
        prompts.messages.clear();
        writeFile(dir / "in.abm", c.bytes);
        readAbmFile(target, prompts, dir / "in.abm");
        // The header and the size alone give the reader's verdict.
        const AbmVerdict verdict =
            checkAbmHeader(c.bytes.data(), c.bytes.size(), static_cast<int64_t>(c.bytes.size())).verdict;
        EXPECT_EQ(verdict, c.outcome == Frames      ? AbmVerdict::Accepted
                           : c.outcome == BadFormat ? AbmVerdict::BadFormat
                                                    : AbmVerdict::CannotOpen);
        EXPECT_EQ(target.count(), c.frames);
        EXPECT_EQ(target.count(), c.frames);
        if (c.outcome == Frames) {
            EXPECT_TRUE(prompts.messages.empty());
        } else {
            ASSERT_EQ(prompts.messages.size(), 1u);
            EXPECT_EQ(prompts.messages[0].text,
                      (c.outcome == BadFormat ? "Неверный формат файла: " : "Невозможно откыть файл: ") +
                          (dir / "in.abm"));
            EXPECT_EQ(prompts.messages[0].type, MessageKind::error);
            EXPECT_EQ(prompts.messages[0].buttons, std::vector<MessageButton>{MessageButton::cancel});
        }
    }
    FrameStrip target;
    prompts.messages.clear();
    readAbmFile(target, prompts, dir / "missing.abm");
    EXPECT_EQ(messages(), std::vector<std::string>{"Невозможно откыть файл: " + (dir / "missing.abm")});
}

TEST_F(AbmFileTest, PixelsFillRowsFromTheTopLeftToRight)
{
    // 3 × 2 pixels numbered 1..6 in file order.
    std::vector<uint8_t> bytes = abmFile(3, 2, 16, 1, 12, 12);
    for (int i = 0; i < 6; ++i) {
        bytes[72 + 2 * i] = static_cast<uint8_t>(i + 1);
        bytes[72 + 2 * i + 1] = 0x80;
    }
    writeFile(dir / "order.abm", bytes);
    readAbmFile(strip, prompts, dir / "order.abm");
    const Raster& b = strip.frame(0).picture;
    EXPECT_EQ(b.row(0)[0], 1);
    EXPECT_EQ(b.row(0)[4], 3);
    EXPECT_EQ(b.row(1)[0], 4);
    EXPECT_EQ(b.row(1)[5], 0x80);
}

TEST_F(AbmFileTest, AFrameSizeThatIsNoNumberShowsTheReadersMessage)
{
    FrameStrip target({.width = FrameDimension::fromText("bad"), .autoSize = false});
    writeFile(dir / "three.abm", abmFile(2, 2, 16, 3, 24, 24));
    readAbmFile(target, prompts, dir / "three.abm");
    EXPECT_EQ(target.count(), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"Невозможно откыть файл: " + (dir / "three.abm")});
}

TEST_F(AbmFileTest, NarrowerFrameIsWrittenWithWhiteColumns)
{
    strip.append(picture(1, 6, 3));
    strip.append(picture(2, 2, 3));  // auto-size keeps its raster 2 wide
    ASSERT_EQ(strip.frame(1).picture.width(), 2);
    const auto bytes = written();
    ASSERT_EQ(bytes.size(), 72u + 2 * 6 * 3 * 2);
    const size_t frame1 = 72 + 6 * 3 * 2;
    for (int y = 0; y < 3; ++y) {
        const uint8_t* row = strip.frame(1).picture.row(y);
        EXPECT_EQ(bytes[frame1 + y * 12], row[0]);
        EXPECT_EQ(bytes[frame1 + y * 12 + 3], row[3]);
        for (size_t i = 4; i < 12; ++i)
            EXPECT_EQ(bytes[frame1 + y * 12 + i], 0xFF) << y << " byte " << i;
    }
}

TEST_F(AbmFileTest, LowerFrameIsRefusedAndKeepsTheOldFile)
{
    strip.append(picture(1, 6, 3));
    strip.append(picture(2, 6, 2));
    writeFile(dir / "keep.abm", {9, 9, 9});
    settings.values["SavePath"] = "/before/";
    save(dir / "keep.abm");
    EXPECT_EQ(messages(), std::vector<std::string>{kFramesOfOtherSizesText});
    EXPECT_EQ(readFile(dir / "keep.abm"), (std::vector<uint8_t>{9, 9, 9}));
    EXPECT_EQ(settings.values["SavePath"], "/before/");
    // The writer alone still refuses rows a frame lacks.
    EXPECT_EQ(kindOfError([&] { written(); }), ErrorKind::ScanLineOutOfRange);
}

TEST_F(AbmFileTest, FailedWriteKeepsTheExistingAnimation)
{
    for (int id = 0; id < 4; ++id)
        strip.append(picture(id, 128, 97));
    const std::vector<uint8_t> old(5000, 0x42);
    writeFile(dir / "old.abm", old);
    settings.values["SavePath"] = "/before/";

    // The file system refuses files above 50 000 bytes.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 50000;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_EQ(kindOfError([&] { save(dir / "old.abm"); }), ErrorKind::FileCreate);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(readFile(dir / "old.abm"), old);
    EXPECT_EQ(settings.values["SavePath"], "/before/");

    // A target that cannot be replaced.
    std::filesystem::create_directory(dir / "taken.abm");
    EXPECT_EQ(kindOfError([&] { save(dir / "taken.abm"); }), ErrorKind::FileCreate);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.abm"));
    EXPECT_EQ(settings.values["SavePath"], "/before/");
    // Nothing half-written is left beside the target.
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2);
}
