#pragma once

// The strip's changes, each kept as the state before and after it, so that
// it can be taken back and made again exactly: the same frames, sources and
// order. States share their frames, and frames their pixels, so a step
// costs only what the strip no longer holds (a deleted frame, the frames a
// rebuild replaced). That memory counts against the budget like any other;
// when a new change would not fit, the oldest steps give theirs back.
//
// The history watches the strip rather than the commands: whatever changed
// its frames since the last look is one step, also a command that failed
// half-way (an open whose second file was damaged keeps the first file's
// frames, and an undo takes them back); a command that changed nothing
// leaves no step.
//
// Synopsis:
//   StripHistory history(ws.strip);
//   ws.commands.clear();
//   std::shared_ptr<StripStep> step = history.recordChange();  // the clear
//   history.undo(*step);                                       // frames back

#include "FrameStrip.h"
#include "base/MemoryBudget.h"

#include <memory>
#include <vector>

namespace abm {

class StripStep {
public:
    StripStep(StripState before, StripState after) : before_(std::move(before)), after_(std::move(after)) {}

    const StripState& before() const { return before_; }
    const StripState& after() const { return after_; }
    // The options too are set back and forth when the step changed them (the
    // options dialog's OK, the phone size), so that the frames and the
    // options they were made under go together.
    bool changesOptions() const { return !(before_.options == after_.options); }
    // False once its states were given back for memory: it can no longer be
    // taken back or made again.
    bool available() const { return before_.frames != nullptr; }
    void release();

private:
    StripState before_;
    StripState after_;
};

class StripHistory : public MemoryReclaimer {
public:
    // Registers as the memory budget's reclaimer until destroyed.
    explicit StripHistory(FrameStrip& strip);
    ~StripHistory() override;
    StripHistory(const StripHistory&) = delete;
    StripHistory& operator=(const StripHistory&) = delete;

    // The step from the state last seen to the strip's now, or nullptr when
    // its frames are the same; options changed alone (the options dialog
    // closed with Cancel) become the state seen, no step. The history
    // keeps track of the step while its owner (an undo stack) holds it.
    std::shared_ptr<StripStep> recordChange();
    // Set the strip to the step's state before or after; false, changing
    // nothing, for a step whose memory went.
    bool undo(const StripStep& step) { return moveTo(step, step.before()); }
    bool redo(const StripStep& step) { return moveTo(step, step.after()); }

    // MemoryReclaimer: what only the steps hold, and the oldest step's share.
    int64_t reclaimable() const override;
    bool reclaimOldest() override;

private:
    bool moveTo(const StripStep& step, const StripState& state);

    FrameStrip& strip_;
    StripState seen_;
    // Oldest first; a step its owner dropped has expired.
    std::vector<std::weak_ptr<StripStep>> steps_;
};

// Whether two lists hold the same frames: the very same pictures, in order.
bool sameFrames(const std::vector<Frame>& a, const std::vector<Frame>& b);

}  // namespace abm
