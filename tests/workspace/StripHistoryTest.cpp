#include "workspace/StripHistory.h"

#include "workspace/FrameSelection.h"
#include "workspace/StripCommands.h"
#include "StripFixture.h"
#include "TestSupport.h"
#include "base/Error.h"
#include "codecs/bmp/BmpCodec.h"

#include <gtest/gtest.h>

#include <functional>

using namespace abm;
using abm::test::makeRaster;

namespace {

Raster makePicture(int id, int w, int h)
{
    return makeRaster(w, h, PixelFormat::Bgr888, [id](int x, int y) {
        return static_cast<uint32_t>(((id * 40) & 0xFF) << 16 | ((x * 3) & 0xFF) << 8 | ((y * 5) & 0xFF));
    });
}

std::vector<uint8_t> bytesOf(const Raster& r)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < r.height(); ++y)
        out.insert(out.end(), r.row(y), r.row(y) + static_cast<size_t>(r.width()) * r.bitsPerPixel() / 8);
    return out;
}

// Everything a step must bring back: each frame's pixels and size, its
// source's pixels, and the options.
struct Snapshot {
    std::vector<std::vector<uint8_t>> frames, sources;
    std::vector<std::pair<int, int>> sizes;
    FrameOptions options;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const FrameStrip& strip)
{
    Snapshot s;
    for (int i = 0; i < strip.count(); ++i) {
        s.frames.push_back(bytesOf(strip.frame(i).picture));
        s.sources.push_back(bytesOf(strip.frame(i).source.raster()));
        s.sizes.emplace_back(strip.frame(i).width, strip.frame(i).height);
    }
    s.options = strip.options();
    return s;
}

class StripHistoryTest : public abm::test::StripFixture {
protected:
    void fill(int frames)
    {
        for (int id = 1; id <= frames; ++id)
            strip.append(makePicture(id, 30 + id * 10, 20 + id * 5));
    }
};

}  // namespace

TEST_F(StripHistoryTest, EveryChangeIsOneStepUndoneAndRedoneExactly)
{
    const std::string bmp = dir / "added.bmp";
    writeBmpFile(makePicture(9, 200, 150), bmp);
    struct Case {
        const char* name;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"open",
         [&] {
             commands.importFiles({bmp, bmp});
         }},
        {"command line", [&] { commands.importCommandLine({bmp}); }},
        {"delete",
         [&] {
             prompts.answers = {MessageAnswer::ok};
             commands.deleteFrame(0);
         }},
        {"delete selected",
         [&] {
             prompts.answers = {MessageAnswer::ok};
             commands.deleteFrames({0, 2});
         }},
        {"clear",
         [&] {
             prompts.answers = {MessageAnswer::ok};
             commands.clear();
         }},
        {"move", [&] { commands.moveFrame(0, 2); }},
        {"options", [&] { commands.applyOptions({.width = 20, .height = 10, .autoSize = false}); }},
        {"phone size", [&] { commands.fitToPhone(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        strip.restore({std::make_shared<std::vector<Frame>>(), FrameOptions()}, true);
        fill(3);
        StripHistory history(strip);
        const Snapshot before = snapshot(strip);
        c.change();
        const Snapshot after = snapshot(strip);
        ASSERT_NE(after, before);
        const std::shared_ptr<StripStep> step = history.recordChange();
        ASSERT_TRUE(step);
        EXPECT_FALSE(history.recordChange());  // nothing more changed
        for (int round = 0; round < 2; ++round) {
            EXPECT_TRUE(history.undo(*step));
            EXPECT_EQ(snapshot(strip), before);
            EXPECT_TRUE(history.redo(*step));
            EXPECT_EQ(snapshot(strip), after);
        }
    }
}

// A change refused whole leaves no step, and the step before it still goes
// back; an open that failed half-way is one step with the frames it added.
TEST_F(StripHistoryTest, AFailedChangeLeavesNoStepAndThePreviousStepStillUndoes)
{
    fill(2);
    StripHistory history(strip);
    const Snapshot start = snapshot(strip);
    commands.moveFrame(0, 1);
    const std::shared_ptr<StripStep> moved = history.recordChange();
    ASSERT_TRUE(moved);
    const Snapshot afterMove = snapshot(strip);

    EXPECT_THROW(commands.applyOptions({.width = 1 << 20, .height = 1 << 20, .autoSize = false}), Error);
    EXPECT_EQ(snapshot(strip).frames, afterMove.frames);
    EXPECT_FALSE(history.recordChange());
    strip.setOptions({});  // as the options dialog's Cancel leaves them
    EXPECT_FALSE(history.recordChange());

    const std::string good = dir / "good.bmp", bad = dir / "bad.gif";
    writeBmpFile(makePicture(7, 10, 10), good);
    abm::test::writeFile(bad, {'G', 'I', 'F', '8', '9', 'a', 2, 0});
    EXPECT_THROW(commands.importFiles({good, bad}), Error);
    EXPECT_EQ(strip.count(), 3);
    const std::shared_ptr<StripStep> opened = history.recordChange();
    ASSERT_TRUE(opened);
    EXPECT_TRUE(history.undo(*opened));
    EXPECT_EQ(snapshot(strip), afterMove);
    EXPECT_TRUE(history.undo(*moved));
    EXPECT_EQ(snapshot(strip), start);
}

// When a new picture would not fit, the oldest steps give their frames back
// first; the newest stay and the picture is made.
TEST_F(StripHistoryTest, TheBudgetDropsTheOldestStepsFirst)
{
    StripHistory history(strip);
    const int64_t roundBytes = [] {
        const int64_t held = MemoryBudget::used();
        FrameStrip probe;
        probe.append(makePicture(0, 100, 100));
        return MemoryBudget::used() - held;
    }();
    // Room for what the strip holds and three cleared rounds.
    const abm::test::ScopedMemoryLimit limit(MemoryBudget::used() + roundBytes * 9 / 2);
    std::vector<std::shared_ptr<StripStep>> steps;
    for (int round = 0; round < 8; ++round) {
        strip.append(makePicture(round, 100, 100));
        steps.push_back(history.recordChange());
        strip.clear();
        steps.push_back(history.recordChange());
    }
    std::vector<bool> available;
    for (const auto& step : steps)
        available.push_back(step->available());
    const auto firstKept = std::find(available.begin(), available.end(), true);
    EXPECT_GT(firstKept - available.begin(), 4);
    EXPECT_TRUE(std::all_of(firstKept, available.end(), [](bool a) { return a; }));
    EXPECT_FALSE(history.undo(*steps.front()));
    EXPECT_TRUE(history.undo(*steps.back()));
    EXPECT_EQ(strip.count(), 1);
}

// The strip changed while "Удалить?" was open (an import, a reorder): the
// answer OK deletes nothing, from the pop-up menu or from the selection.
TEST_F(StripHistoryTest, DeleteDoesNothingWhenTheStripChangedUnderTheQuestion)
{
    struct Case {
        const char* name;
        std::vector<int> deleted;
        std::function<void()> meanwhile;
        std::vector<int> order;  // frame heights, each telling its frame
    };
    const Case cases[] = {
        {"pop-up, unchanged", {1}, {}, {25, 35}},
        {"pop-up, frame added", {1}, [&] { strip.append(makePicture(4, 50, 40)); }, {25, 30, 35, 40}},
        {"pop-up, frames moved", {1}, [&] { commands.moveFrame(0, 2); }, {30, 35, 25}},
        {"selection, unchanged", {0, 2}, {}, {30}},
        {"selection, frame added", {0, 2}, [&] { strip.append(makePicture(4, 50, 40)); }, {25, 30, 35, 40}},
        {"selection, frames moved", {0, 2}, [&] { commands.moveFrame(2, 0); }, {35, 25, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        strip.clear();
        strip.setOptions({});
        fill(3);
        prompts.answers = {MessageAnswer::ok};
        prompts.whileAsking = c.meanwhile;
        if (c.deleted.size() == 1)
            commands.deleteFrame(c.deleted.front());
        else
            commands.deleteFrames(c.deleted);
        std::vector<int> order;
        for (int i = 0; i < strip.count(); ++i)
            order.push_back(strip.frame(i).source.raster().height());
        EXPECT_EQ(order, c.order);
    }
}

TEST(FrameSelection, ClicksAndKeysSelect)
{
    enum Op { click, ctrlClick, shiftClick, all, none, reset };
    struct Step {
        Op op;
        int index;
        std::vector<int> selected;
    };
    const Step steps[] = {
        {click, 2, {2}},
        {ctrlClick, 4, {2, 4}},
        {ctrlClick, 2, {4}},
        {shiftClick, 1, {1, 2}},
        {shiftClick, 5, {2, 3, 4, 5}},
        {click, 9, {2, 3, 4, 5}},
        {ctrlClick, -1, {2, 3, 4, 5}},
        {all, 0, {0, 1, 2, 3, 4, 5}},
        {none, 0, {}},
        {shiftClick, 3, {3}},
        {click, 1, {1}},
        {reset, 3, {}},
        {shiftClick, 2, {2}},
    };
    FrameSelection selection;
    selection.reset(6);
    for (const Step& s : steps) {
        switch (s.op) {
        case click: selection.select(s.index); break;
        case ctrlClick: selection.toggle(s.index); break;
        case shiftClick: selection.extend(s.index); break;
        case all: selection.selectAll(); break;
        case none: selection.clear(); break;
        case reset: selection.reset(s.index); break;
        }
        EXPECT_EQ(selection.indexes(), s.selected) << "after step " << (&s - steps);
        EXPECT_EQ(selection.empty(), s.selected.empty());
    }
}
