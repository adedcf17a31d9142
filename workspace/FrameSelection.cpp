#include "FrameSelection.h"

#include <algorithm>

namespace abm {

void FrameSelection::reset(int count)
{
    selected_.assign(static_cast<size_t>(std::max(0, count)), false);
    count_ = 0;
    anchor_ = -1;
}

void FrameSelection::set(int index, bool on)
{
    if (selected_[static_cast<size_t>(index)] != on) {
        selected_[static_cast<size_t>(index)] = on;
        count_ += on ? 1 : -1;
    }
}

void FrameSelection::select(int index)
{
    if (!valid(index))
        return;
    reset(frameCount());
    set(index, true);
    anchor_ = index;
}

void FrameSelection::toggle(int index)
{
    if (!valid(index))
        return;
    set(index, !contains(index));
    anchor_ = index;
}

void FrameSelection::extend(int index)
{
    if (!valid(index))
        return;
    const int anchor = valid(anchor_) ? anchor_ : index;
    reset(frameCount());
    for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i)
        set(i, true);
    anchor_ = anchor;
}

void FrameSelection::selectAll()
{
    std::fill(selected_.begin(), selected_.end(), true);
    count_ = frameCount();
}

bool FrameSelection::contains(int index) const
{
    return valid(index) && selected_[static_cast<size_t>(index)];
}

std::vector<int> FrameSelection::indexes() const
{
    std::vector<int> out;
    out.reserve(static_cast<size_t>(count_));
    for (int i = 0; i < frameCount() && static_cast<int>(out.size()) < count_; ++i)
        if (selected_[static_cast<size_t>(i)])
            out.push_back(i);
    return out;
}

}  // namespace abm
