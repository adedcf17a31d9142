#pragma once

// Which frames of the strip are selected, one flag a frame, as clicks and
// keys make it: a click selects one frame, Ctrl+click toggles one, Shift+
// click selects the run from the last frame clicked, Ctrl+A all of them.
// Indexes name frames of one strip; whoever shows the strip starts a new
// selection whenever it changes.

#include <vector>

namespace abm {

class FrameSelection {
public:
    // Nothing selected among `count` frames.
    void reset(int count);
    int frameCount() const { return static_cast<int>(selected_.size()); }

    void select(int index);
    void toggle(int index);
    // From the frame last selected or toggled to `index`, and nothing else.
    void extend(int index);
    void selectAll();
    void clear() { reset(frameCount()); }

    bool contains(int index) const;
    bool empty() const;
    // Ascending.
    std::vector<int> indexes() const;

private:
    bool valid(int index) const { return index >= 0 && index < frameCount(); }

    std::vector<bool> selected_;
    int anchor_ = -1;
};

}  // namespace abm
