#include "StripHistory.h"

#include <algorithm>
#include <unordered_set>

namespace abm {

namespace {

// Memory held against the budget, each shared part counted once.
class HeldMemory {
public:
    int64_t bytes() const { return bytes_; }

    void add(const std::vector<Frame>& frames)
    {
        if (!seen_.insert(&frames).second)
            return;
        for (const Frame& f : frames) {
            add(f.picture);
            add(f.source.heldRaster());
            if (const JpegImage* jpeg = f.source.compressedJpeg()) {
                add(&jpeg->compressedBytes(), jpeg->compressedBytes().reservation.bytes());
                if (const Raster* decoded = jpeg->decodedRaster())
                    add(*decoded);
            }
        }
    }
    void add(const StripState& state)
    {
        if (state.frames)
            add(*state.frames);
    }

private:
    void add(const Raster& raster) { add(&raster.image(), raster.image().reservation.bytes()); }
    void add(const void* part, int64_t bytes)
    {
        if (seen_.insert(part).second)
            bytes_ += bytes;
    }

    std::unordered_set<const void*> seen_;
    int64_t bytes_ = 0;
};

}  // namespace

bool sameFrames(const std::vector<Frame>& a, const std::vector<Frame>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Frame& x, const Frame& y) {
        return &x.picture.image() == &y.picture.image() && x.width == y.width && x.height == y.height;
    });
}

void StripStep::release()
{
    before_ = {};
    after_ = {};
}

StripHistory::StripHistory(FrameStrip& strip) : strip_(strip), seen_(strip.state())
{
    MemoryBudget::setReclaimer(this);
}

StripHistory::~StripHistory()
{
    if (MemoryBudget::reclaimer() == this)
        MemoryBudget::setReclaimer(nullptr);
}

std::shared_ptr<StripStep> StripHistory::recordChange()
{
    StripState now = strip_.state();
    if (now.frames == seen_.frames || sameFrames(*now.frames, *seen_.frames)) {
        seen_ = std::move(now);
        return nullptr;
    }
    auto step = std::make_shared<StripStep>(std::move(seen_), now);
    seen_ = std::move(now);
    std::erase_if(steps_, [](const std::weak_ptr<StripStep>& s) { return s.expired(); });
    steps_.push_back(step);
    return step;
}

bool StripHistory::moveTo(const StripStep& step, const StripState& state)
{
    if (!step.available())
        return false;
    strip_.restore(state, step.changesOptions());
    seen_ = strip_.state();
    return true;
}

int64_t StripHistory::reclaimable() const
{
    HeldMemory kept;
    kept.add(strip_.state());
    kept.add(seen_);
    // What the strip or the state seen hold stays whatever goes.
    const int64_t keptBytes = kept.bytes();
    HeldMemory all = kept;
    for (const std::weak_ptr<StripStep>& weak : steps_)
        if (const std::shared_ptr<StripStep> step = weak.lock(); step && step->available()) {
            all.add(step->before());
            all.add(step->after());
        }
    return all.bytes() - keptBytes;
}

bool StripHistory::reclaimOldest()
{
    for (const std::weak_ptr<StripStep>& weak : steps_)
        if (const std::shared_ptr<StripStep> step = weak.lock(); step && step->available()) {
            step->release();
            return true;
        }
    return false;
}

}  // namespace abm
