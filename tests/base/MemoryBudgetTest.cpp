// The process-wide memory budget: reservations, the rasters that hold them,
// the refusal's text, the default limit, and files that are no regular files.

#include "codecs/raster/Raster.h"
#include "codecs/raster/Canvas.h"
#include "base/ByteStream.h"
#include "TestSupport.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace abm;
using abm::test::kindOfError;
using abm::test::ScopedMemoryLimit;

namespace {

constexpr int64_t kMiB = int64_t{1} << 20;

}  // namespace

TEST(MemoryBudget, ReservationsHoldTheirBytesUntilReleasedAndRefuseBeyondTheLimit)
{
    const int64_t base = MemoryBudget::used();
    const ScopedMemoryLimit limit(base + 10 * kMiB);
    MemoryReservation a(4 * kMiB);
    MemoryReservation moved = std::move(a);
    EXPECT_EQ(MemoryBudget::used(), base + 4 * kMiB);
    EXPECT_THROW(MemoryReservation(7 * kMiB), MemoryLimitExceeded);
    EXPECT_THROW(moved.resize(11 * kMiB), MemoryLimitExceeded);
    EXPECT_EQ(moved.bytes(), 4 * kMiB);
    moved.resize(10 * kMiB);
    EXPECT_THROW(MemoryBudget::require(1), MemoryLimitExceeded);
    moved.resize(kMiB);
    {
        const MemoryReservation b(9 * kMiB);
        EXPECT_EQ(MemoryBudget::available(), 0);
    }
    EXPECT_EQ(MemoryBudget::used(), base + kMiB);
    moved.release();
    EXPECT_EQ(MemoryBudget::used(), base);
    EXPECT_EQ(MemoryBudget::peak(), base + 10 * kMiB);
}

TEST(MemoryBudget, ConcurrentReservationsNeverPassTheLimit)
{
    const int64_t base = MemoryBudget::used();
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
    EXPECT_EQ(MemoryBudget::used(), base);
    EXPECT_LE(MemoryBudget::peak(), base + 1000);
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
    struct Case {
        const char* text;
        int64_t limit;
        bool wrong;  // said so (abmtool refuses to run, the window warns)
    };
    const Case cases[] = {
        {"300", 300 * kMiB, false},
        {"1", kMiB, false},
        {"1099511627776", int64_t{1} << 60, false},
        {"", standard, false},
        {"0", standard, true},
        {"-5", standard, true},
        {"-0", standard, true},
        {"12x", standard, true},
        {"abc", standard, true},
        {" 64", standard, true},
        {"+64", standard, true},
        {"1099511627777", standard, true},
        {"100000000000000000000", standard, true},
    };
    for (const Case& c : cases) {
        env.set("ABM_MEMORY_LIMIT_MB", c.text);
        EXPECT_EQ(MemoryBudget::defaultLimit(), c.limit) << c.text;
        EXPECT_EQ(MemoryBudget::environmentProblem(), c.wrong
                                                          ? std::string("ABM_MEMORY_LIMIT_MB: '") + c.text +
                                                                "' is not a number of MiB from 1 to 1,099,511,627,776"
                                                          : "")
            << c.text;
    }
    env.unset("ABM_MEMORY_LIMIT_MB");
    EXPECT_EQ(MemoryBudget::defaultLimit(), standard);
}

// Copies share pixel memory and count it once; a change reserves its own
// copy first; a raster past the budget is refused and holds nothing.
TEST(MemoryBudget, RastersHoldTheirPixelMemoryOnceAcrossCopies)
{
    const int64_t base = MemoryBudget::used();
    const ScopedMemoryLimit limit(base + 2 * kMiB);
    const int64_t bytes = rasterBytes(512, 512, 24);
    Raster a;
    a.create(512, 512, PixelLayout::forFormat(pf24bit));
    Raster b(a), c;
    c.assign(&b);
    EXPECT_EQ(MemoryBudget::used(), base + bytes);
    b.canvas().fillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(MemoryBudget::used(), base + 2 * bytes);
    Raster big;
    EXPECT_THROW(big.create(1024, 1024, PixelLayout::forFormat(pf32bit)), MemoryLimitExceeded);
    EXPECT_THROW(c.canvas().fillRect(Rect(0, 0, 1, 1)), MemoryLimitExceeded);
    EXPECT_TRUE(c.sharesPixelsWith(a));
    a = Raster();
    c = Raster();
    b = Raster();
    EXPECT_EQ(MemoryBudget::used(), base);
    EXPECT_LE(MemoryBudget::peak(), base + 2 * kMiB);
}

TEST(MemoryBudget, FramesMadeFromOnePictureShareItsPalette)
{
    Raster source;
    source.create(4, 4, PixelLayout::forFormat(pf8bit), Palette(256, Rgb{1, 2, 3}));
    Raster frame(source);
    frame.setPixelFormat(pf16bit);
    Raster copy(source);
    copy.canvas().fillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(frame.palette().data(), source.palette().data());
    EXPECT_EQ(copy.palette().data(), source.palette().data());
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
            readWholeFile(name);
            ADD_FAILURE() << name << " was read";
        } catch (const FileError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::FileOpen);
            EXPECT_EQ(e.what(), text);
        }
        Raster b;
        EXPECT_EQ(kindOfError([&b, file = name] { b.loadFromFile(file); }), ErrorKind::FileOpen) << name;
        EXPECT_FALSE(fileExists(name)) << name;
    }
    abm::test::writeFile(dir / "plain.bmp", {1, 2, 3});
    EXPECT_TRUE(fileExists(dir / "plain.bmp"));
    EXPECT_EQ(readWholeFile(dir / "plain.bmp").size(), 3u);
}
