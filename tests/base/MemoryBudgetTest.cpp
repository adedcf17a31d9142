// The process-wide memory budget: reservations, the rasters that hold them,
// the refusal's text, the default limit, and files that are no regular files.

#include "codecs/raster/Bitmap.h"
#include "codecs/raster/Canvas.h"
#include "base/ByteStream.h"
#include "TestSupport.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace abm;
using abm::test::KindOfError;
using abm::test::ScopedMemoryLimit;

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

}  // namespace

TEST(MemoryBudget, ReservationsHoldTheirBytesUntilReleasedAndRefuseBeyondTheLimit)
{
    const int64_t base = MemoryBudget::Used();
    const ScopedMemoryLimit limit(base + 10 * kMiB);
    MemoryReservation a(4 * kMiB);
    MemoryReservation moved = std::move(a);
    EXPECT_EQ(MemoryBudget::Used(), base + 4 * kMiB);
    EXPECT_THROW(MemoryReservation(7 * kMiB), MemoryLimitExceeded);
    EXPECT_THROW(moved.Resize(11 * kMiB), MemoryLimitExceeded);
    EXPECT_EQ(moved.Bytes(), 4 * kMiB);
    moved.Resize(10 * kMiB);
    EXPECT_THROW(MemoryBudget::Require(1), MemoryLimitExceeded);
    moved.Resize(kMiB);
    {
        const MemoryReservation b(9 * kMiB);
        EXPECT_EQ(MemoryBudget::Available(), 0);
    }
    EXPECT_EQ(MemoryBudget::Used(), base + kMiB);
    moved.Release();
    EXPECT_EQ(MemoryBudget::Used(), base);
    EXPECT_EQ(MemoryBudget::Peak(), base + 10 * kMiB);
}

TEST(MemoryBudget, ConcurrentReservationsNeverPassTheLimit)
{
    const int64_t base = MemoryBudget::Used();
    const ScopedMemoryLimit limit(base + 1000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 20000; ++i) {
                try {
                    const MemoryReservation r(1 + i % 300);
                } catch (const MemoryLimitExceeded&) {
                }
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(MemoryBudget::Used(), base);
    EXPECT_LE(MemoryBudget::Peak(), base + 1000);
}

TEST(MemoryBudget, RefusalNamesTheSizesInMebibytesAndTheFile)
{
    struct Case {
        int64_t needed, limit;
        const char* file;
        const char* text;
    };
    const Case cases[] = {
        {1536 * kMiB, 1024 * kMiB, "x.gif", "not enough memory for \"x.gif\": needs 1,536 MiB, limit 1,024 MiB"},
        {1536 * kMiB + 1, 1024 * kMiB, "", "not enough memory: needs 1,537 MiB, limit 1,024 MiB"},
        {5, 1, "a b.bmp", "not enough memory for \"a b.bmp\": needs 1 MiB, limit 1 MiB"},
        {int64_t{1234567} * kMiB, 999 * kMiB, "", "not enough memory: needs 1,234,567 MiB, limit 999 MiB"},
    };
    for (const Case& c : cases) {
        const MemoryLimitExceeded plain(c.needed, c.limit);
        const MemoryLimitExceeded e = plain.forFile(c.file);
        EXPECT_STREQ(e.what(), c.text);
        EXPECT_EQ(e.needed(), c.needed);
        EXPECT_EQ(e.limit(), c.limit);
    }
}

TEST(MemoryBudget, DefaultIsAGibibyteOrAQuarterOfTheMemoryUnlessTheEnvironmentSays)
{
    abm::test::ScopedEnv env;
    const int64_t quarter = int64_t{::sysconf(_SC_PHYS_PAGES)} * ::sysconf(_SC_PAGESIZE) / 4;
    const int64_t standard = std::min<int64_t>(1024 * kMiB, quarter);
    const std::pair<const char*, int64_t> cases[] = {
        {"300", 300 * kMiB}, {"1", kMiB}, {"0", standard}, {"-5", standard}, {"12x", standard}, {"", standard},
    };
    for (const auto& [text, limit] : cases) {
        env.Set("ABM_MEMORY_LIMIT_MB", text);
        EXPECT_EQ(MemoryBudget::DefaultLimit(), limit) << text;
    }
    env.Unset("ABM_MEMORY_LIMIT_MB");
    EXPECT_EQ(MemoryBudget::DefaultLimit(), standard);
}

// Copies share pixel memory and count it once; a change reserves its own
// copy first; a raster past the budget is refused and holds nothing.
TEST(MemoryBudget, RastersHoldTheirPixelMemoryOnceAcrossCopies)
{
    const int64_t base = MemoryBudget::Used();
    const ScopedMemoryLimit limit(base + 2 * kMiB);
    const int64_t bytes = RasterBytes(512, 512, 24);
    TBitmap a;
    a.Create(512, 512, TPixelLayout::ForFormat(pf24bit));
    TBitmap b(a), c;
    c.Assign(&b);
    EXPECT_EQ(MemoryBudget::Used(), base + bytes);
    b.Canvas().FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(MemoryBudget::Used(), base + 2 * bytes);
    TBitmap big;
    EXPECT_THROW(big.Create(1024, 1024, TPixelLayout::ForFormat(pf32bit)), MemoryLimitExceeded);
    EXPECT_THROW(c.Canvas().FillRect(Rect(0, 0, 1, 1)), MemoryLimitExceeded);
    EXPECT_TRUE(c.SharesPixelsWith(a));
    a = TBitmap();
    c = TBitmap();
    b = TBitmap();
    EXPECT_EQ(MemoryBudget::Used(), base);
    EXPECT_LE(MemoryBudget::Peak(), base + 2 * kMiB);
}

TEST(MemoryBudget, FramesMadeFromOnePictureShareItsPalette)
{
    TBitmap source;
    source.Create(4, 4, TPixelLayout::ForFormat(pf8bit), TPalette(256, TPaletteEntry{1, 2, 3}));
    TBitmap frame(source);
    frame.SetPixelFormat(pf16bit);
    TBitmap copy(source);
    copy.Canvas().FillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(frame.Palette().data(), source.Palette().data());
    EXPECT_EQ(copy.Palette().data(), source.Palette().data());
}

// A FIFO without a writer would block open() forever; every reader refuses
// it, and devices and folders, at once with its usual error.
TEST(RegularFiles, ReadersRefuseWhatIsNoRegularFileAtOnce)
{
    abm::test::TempDir dir;
    const std::string fifo = dir / "x.gif", folder = dir / "d.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "Not a regular file"},
        {"/dev/zero", "Not a regular file"},
        {folder, "Is a directory"},
        {dir / "missing.abm", "No such file or directory"},
    };
    for (const auto& [name, reason] : cases) {
        const std::string text = "Cannot open file \"" + name + "\". " + reason;
        try {
            ReadWholeFile(name);
            ADD_FAILURE() << name << " was read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::FileOpen);
            EXPECT_EQ(e.what(), text);
        }
        TBitmap b;
        EXPECT_EQ(KindOfError([&] { b.LoadFromFile(name); }), ErrorKind::FileOpen) << name;
        EXPECT_FALSE(FileExists(name)) << name;
    }
    abm::test::WriteFile(dir / "plain.bmp", {1, 2, 3});
    EXPECT_TRUE(FileExists(dir / "plain.bmp"));
    EXPECT_EQ(ReadWholeFile(dir / "plain.bmp").size(), 3u);
}
