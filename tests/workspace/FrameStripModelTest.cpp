#include "workspace/FrameStrip.h"
#include "workspace/StripCommands.h"
#include "workspace/StripLayout.h"
#include "MemorySettings.h"
#include "base/Error.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace abm;

namespace {

// Random commands against the strip, with its invariants checked after each
// and the frame order checked against a plain list kept beside it.
class StripModel {
public:
    explicit StripModel(uint32_t seed) : rng_(seed) {}

    void step()
    {
        const int op = pick(9);
        trace_ += std::to_string(op) + " ";
        SCOPED_TRACE(trace_);
        switch (op) {
        case 0:
        case 1:
        case 2: append(); break;
        case 3: Delete(); break;
        case 4: drag(); break;
        case 5: clear(); break;
        case 6: rebuilt([&] { commands_.applyOptions(options_); }); break;
        case 7: changeOptions(); break;
        case 8:
            changeOptions();
            rebuilt([&] { commands_.applyOptions(options_); });
            break;
        }
        check();
    }

private:
    // Ids are drawn as the six reds that every format, the 8-bit halftone one
    // included, keeps apart.
    static int colorId(Color c) { return (redOf(c) + 25) / 51; }
    static uint32_t idColor(int id) { return static_cast<uint32_t>(id * 51) << 16; }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    bool optionsValid() const { return options_.autoSize || (options_.width.isNumber() && options_.height.isNumber()); }

    void append()
    {
        const int id = ++lastId_ % 6;
        const PixelFormat formats[] = {PixelFormat::Indexed8, PixelFormat::Rgb565, PixelFormat::Bgr888,
                                       PixelFormat::Bgrx8888, PixelFormat::Rgb555};
        Raster picture = abm::test::makeRaster(1 + pick(40), 1 + pick(30), PixelFormat::Bgr888,
                                               [id](int, int) { return idColor(id); });
        // Any format may arrive; the id is kept in the source's own colours.
        picture.setPixelFormat(formats[pick(5)]);
        try {
            strip_.append(picture);
            ids_.push_back(id);
        } catch (const Error&) {
            EXPECT_FALSE(optionsValid());
        }
        checkActions_ = true;
    }

    void Delete()
    {
        // Now and then an index past the strip: nothing is deleted.
        const int index = pick(strip_.count() + 1);
        const bool ok = pick(2) == 0;
        prompts_.answers = {ok ? MessageAnswer::ok : MessageAnswer::cancel};
        if (index == strip_.count() || !ok) {
            commands_.deleteFrame(index);
        } else if (rebuilt([&] { commands_.deleteFrame(index); })) {
            ids_.erase(ids_.begin() + index);
            checkActions_ = true;
        }
    }

    void drag()
    {
        if (strip_.count() == 0)
            return;
        const int from = pick(strip_.count());
        const bool outside = pick(5) == 0;
        const int to = pick(strip_.count());
        if (outside) {
            commands_.moveFrame(from, -1);
        } else if (rebuilt([&] { commands_.moveFrame(from, to); })) {
            const int id = ids_[static_cast<size_t>(from)];
            ids_.erase(ids_.begin() + from);
            ids_.insert(ids_.begin() + to, id);
        }
    }

    void clear()
    {
        const bool ok = pick(2) == 0;
        prompts_.answers = {ok ? MessageAnswer::ok : MessageAnswer::no};
        commands_.clear();
        if (ok) {
            ids_.clear();
            checkActions_ = true;
        }
    }

    void changeOptions()
    {
        const char* sizes[] = {"1", "16", "128", "97", "200", "", "x", "0"};
        options_.width = FrameDimension::fromText(sizes[pick(8)]);
        options_.height = FrameDimension::fromText(sizes[pick(8)]);
        options_.autoSize = pick(2) == 0;
        options_.stretch = pick(2) == 0;
        strip_.setOptions(options_);
    }

    // A command that ends in a rebuild: all or nothing, failing with the
    // conversion error exactly when there are frames and the options
    // cannot be read.
    template <class Command>
    bool rebuilt(Command command)
    {
        try {
            command();
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnInteger);
            EXPECT_FALSE(optionsValid());
            return false;
        }
        EXPECT_TRUE(optionsValid() || strip_.count() == 0);
        // Thumbnails keep the options they were normalised under until the next rebuild.
        checkAutoSize_ = options_.autoSize;
        return true;
    }

    void check()
    {
        const int n = strip_.count();
        ASSERT_EQ(static_cast<size_t>(n), ids_.size());
        for (int i = 0; i < n; ++i) {
            const Frame& t = strip_.frame(i);
            ASSERT_EQ(StripLayout::thumbnail(i, t.width, t.height).left, int64_t{i} * 3 + int64_t{i} * t.width);
            ASSERT_EQ(t.picture.pixelFormat(), PixelFormat::Rgb565);
            ASSERT_EQ(colorId(strip_.frame(i).source.raster().pixel(0, 0)), ids_[static_cast<size_t>(i)]);
            if (checkAutoSize_) {
                ASSERT_EQ(t.width, strip_.frame(0).source.width());
                ASSERT_EQ(t.height, strip_.frame(0).source.height());
            }
        }
        checkAutoSize_ = false;
        if (checkActions_) {
            EXPECT_EQ(commands_.canSave(), n > 0);
            checkActions_ = false;
        }
    }

    std::mt19937 rng_;
    FrameOptions options_;
    abm::test::ScriptedPrompts prompts_;
    abm::test::MemorySettings settings_;
    FrameStrip strip_{options_};
    StripCommands commands_{strip_, prompts_, settings_};
    std::vector<int> ids_;
    std::string trace_;
    int lastId_ = 0;
    bool checkActions_ = false;
    bool checkAutoSize_ = false;
};

}  // namespace

TEST(FrameStripModel, InvariantsHoldThroughThousandsOfRandomCommands)
{
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        StripModel model(seed);
        for (int step = 0; step < 1500 && !HasFatalFailure(); ++step)
            model.step();
    }
}
