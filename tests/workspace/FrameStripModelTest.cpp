#include "workspace/FrameStrip.h"
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

    void Step()
    {
        const int op = Pick(9);
        trace_ += std::to_string(op) + " ";
        SCOPED_TRACE(trace_);
        switch (op) {
        case 0:
        case 1:
        case 2: Append(); break;
        case 3: Delete(); break;
        case 4: Drag(); break;
        case 5: Clear(); break;
        case 6: Rebuilt([&] { strip_.RebuildStrip(); }); break;
        case 7: ChangeOptions(); break;
        case 8: ChangeOptions(); Rebuilt([&] { strip_.RebuildStrip(); }); break;
        }
        Check();
    }

private:
    // Ids are drawn as the six reds that every format, the 8-bit halftone one
    // included, keeps apart.
    static int ColorId(TColor c) { return (redOf(c) + 25) / 51; }
    static uint32_t IdColor(int id) { return static_cast<uint32_t>(id * 51) << 16; }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    bool OptionsValid() const
    {
        if (options_.AutoSizeOn)
            return true;
        for (const std::string& t : {options_.Width, options_.Height})
            if (t.empty() || t.size() > 3 || t.find_first_not_of("0123456789") != std::string::npos)
                return false;
        return true;
    }

    void Append()
    {
        const int id = ++lastId_ % 6;
        const TPixelFormat formats[] = {pf8bit, pf16bit, pf24bit, pf32bit, pf15bit};
        TBitmap picture = abm::test::MakeRaster(1 + Pick(40), 1 + Pick(30), pf24bit,
                                                [id](int, int) { return IdColor(id); });
        // Any format may arrive; the id is kept in the source's own colours.
        picture.SetPixelFormat(formats[Pick(5)]);
        try {
            strip_.AppendFrame(picture);
            ids_.push_back(id);
        } catch (const Error&) {
            EXPECT_FALSE(OptionsValid());
        }
        strip_.ShowFrameCount();
        strip_.FitStripHeight();
        strip_.updateCommandStates();
        checkActions_ = true;
    }

    void Delete()
    {
        if (strip_.Count() > 0 && Pick(4) != 0)
            strip_.setPopupTarget(&strip_.Thumbnail(Pick(strip_.Count())));
        TImage* target = strip_.popupTarget();
        const int index = target ? target->Tag : -1;
        const bool ok = Pick(2) == 0;
        prompts_.answers = {ok ? TModalResult::mrOk : TModalResult::mrCancel};
        if (!target || !ok) {
            strip_.deleteFrame();
        } else if (Rebuilt([&] { strip_.deleteFrame(); })) {
            ids_.erase(ids_.begin() + index);
            checkActions_ = true;
        }
        EXPECT_EQ(strip_.popupTarget(), nullptr);
    }

    void Drag()
    {
        if (strip_.Count() == 0)
            return;
        const int from = Pick(strip_.Count());
        const bool outside = Pick(5) == 0;
        const int to = Pick(strip_.Count());
        if (outside) {
            strip_.moveFrame(&strip_.Thumbnail(from), nullptr);
        } else if (Rebuilt([&] { strip_.moveFrame(&strip_.Thumbnail(from), &strip_.Thumbnail(to)); })) {
            const int id = ids_[static_cast<size_t>(from)];
            ids_.erase(ids_.begin() + from);
            ids_.insert(ids_.begin() + to, id);
        }
    }

    void Clear()
    {
        const bool ok = Pick(2) == 0;
        prompts_.answers = {ok ? TModalResult::mrOk : TModalResult::mrNo};
        strip_.clearStrip();
        if (ok) {
            ids_.clear();
            checkActions_ = true;
        }
    }

    void ChangeOptions()
    {
        const char* sizes[] = {"1", "16", "128", "97", "200", "", "x", "0"};
        options_.Width = sizes[Pick(8)];
        options_.Height = sizes[Pick(8)];
        options_.AutoSizeOn = Pick(2) == 0;
        options_.StretchOn = Pick(2) == 0;
    }

    // A command that ends in a rebuild: all or nothing, failing with the
    // conversion error exactly when there are frames and the options
    // cannot be read.
    template <class Command>
    bool Rebuilt(Command command)
    {
        try {
            command();
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnInteger);
            EXPECT_FALSE(OptionsValid());
            return false;
        }
        EXPECT_TRUE(OptionsValid() || strip_.Count() == 0);
        // Thumbnails keep the options they were normalised under until the next rebuild.
        checkAutoSize_ = options_.AutoSizeOn;
        return true;
    }

    void Check()
    {
        const int n = strip_.Count();
        ASSERT_EQ(static_cast<size_t>(n), strip_.SourceBitmaps().size());
        ASSERT_EQ(static_cast<size_t>(n), ids_.size());
        for (int i = 0; i < n; ++i) {
            const TImage& t = strip_.Thumbnail(i);
            ASSERT_EQ(t.Tag, i);
            ASSERT_EQ(t.Left, i * 3 + i * t.Width);
            ASSERT_EQ(t.Picture.PixelFormat(), pf16bit);
            ASSERT_EQ(ColorId(strip_.SourceBitmaps()[static_cast<size_t>(i)]->Pixel(0, 0)), ids_[static_cast<size_t>(i)]);
            if (checkAutoSize_) {
                ASSERT_EQ(t.Width, strip_.SourceBitmaps()[0]->Width());
                ASSERT_EQ(t.Height, strip_.SourceBitmaps()[0]->Height());
            }
        }
        checkAutoSize_ = false;
        if (checkActions_) {
            EXPECT_EQ(strip_.canClear(), n > 0);
            EXPECT_EQ(strip_.canExportBmp(), n > 0);
            EXPECT_EQ(strip_.canSaveAbm(), n > 0);
            checkActions_ = false;
        }
    }

    std::mt19937 rng_;
    TFrameOptionValues options_;
    abm::test::ScriptedPrompts prompts_;
    FrameStrip strip_{options_, prompts_};
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
            model.Step();
    }
}
