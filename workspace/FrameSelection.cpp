#include "FrameSelection.h"

#include <algorithm>

namespace abm {

void FrameSelection::reset(int count)
{
    selected_.assign(static_cast<size_t>(std::max(0, count)), false);
    anchor_ = -1;
}

void FrameSelection::select(int index)
{
    if (!valid(index))
        return;
    reset(frameCount());
    selected_[static_cast<size_t>(index)] = true;
    anchor_ = index;
}

void FrameSelection::toggle(int index)
{
    if (!valid(index))
        return;
    selected_[static_cast<size_t>(index)] = !contains(index);
    anchor_ = index;
}

void FrameSelection::extend(int index)
{
    if (!valid(index))
        return;
    const int anchor = valid(anchor_) ? anchor_ : index;
    reset(frameCount());
    for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i)
        selected_[static_cast<size_t>(i)] = true;
    anchor_ = anchor;
}

void FrameSelection::selectAll()
{
    std::fill(selected_.begin(), selected_.end(), true);
}

bool FrameSelection::empty() const
{
    return std::find(selected_.begin(), selected_.end(), true) == selected_.end();
}

bool FrameSelection::contains(int index) const
{
    return valid(index) && selected_[static_cast<size_t>(index)];
}

std::vector<int> FrameSelection::indexes() const
{
    std::vector<int> out;
    for (int i = 0; i < frameCount(); ++i)
        if (selected_[static_cast<size_t>(i)])
            out.push_back(i);
    return out;
}

}  // namespace abm
