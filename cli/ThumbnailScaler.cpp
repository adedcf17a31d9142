#include "ThumbnailScaler.h"

#include "codecs/raster/PixelCodec.h"

#include <algorithm>

namespace abm {

namespace {

constexpr int kSamples = 4;

// The source indexes one target index takes: its whole box [first, end) when
// that is small, else kSamples spread evenly over it.
void sample(int first, int end, std::vector<int>& out)
{
    const int n = end - first;
    if (n <= kSamples) {
        for (int i = first; i < end; ++i)
            out.push_back(i);
        return;
    }
    for (int j = 0; j < kSamples; ++j)
        out.push_back(first + static_cast<int>((int64_t{2} * j + 1) * n / (2 * kSamples)));
}

// Target index t's box among n source indexes mapped onto tn: averaged
// boxes when shrinking, else the one source index below it.
std::pair<int, int> box(int t, int n, int tn, bool average)
{
    const int first = static_cast<int>(int64_t{t} * n / tn);
    if (!average)
        return {first, first + 1};
    return {first, std::max(first + 1, static_cast<int>(int64_t{t + 1} * n / tn))};
}

}  // namespace

Rect thumbnailRect(int width, int height, int size)
{
    const int64_t longer = std::max(std::max(width, height), 1);
    return Rect(0, 0, std::max<int>(1, static_cast<int>(int64_t{width} * size / longer)),
                std::max<int>(1, static_cast<int>(int64_t{height} * size / longer)));
}

ThumbnailScaler::ThumbnailScaler(int width, int height, int size)
{
    const Rect target = thumbnailRect(width, height, size);
    const int tw = target.width(), th = target.height();
    const bool average = tw < width && th < height;
    targetWidth_ = tw;
    out_.create(tw, th, PixelLayout::forFormat(PixelFormat::Bgr888));
    sums_.assign(static_cast<size_t>(tw) * 3, 0);
    for (int tx = 0; tx < tw; ++tx) {
        columnAt_.push_back(columns_.size());
        const auto [first, end] = box(tx, width, tw, average);
        sample(first, end, columns_);
    }
    columnAt_.push_back(columns_.size());
    std::vector<int> picked;
    for (int ty = 0; ty < th; ++ty) {
        picked.clear();
        const auto [first, end] = box(ty, height, th, average);
        sample(first, end, picked);
        for (size_t i = 0; i < picked.size(); ++i)
            uses_.push_back(RowUse{picked[i], ty, i + 1 == picked.size()});
    }
    for (const RowUse& use : uses_)
        if (rows_.empty() || rows_.back() != use.source)
            rows_.push_back(use.source);
}

void ThumbnailScaler::addRow(int y, const uint8_t* row, const PixelLayout& layout, const Palette& palette)
{
    const ColorDecoder decoder(layout, palette);
    for (; next_ < uses_.size() && uses_[next_].source == y; ++next_) {
        const RowUse& use = uses_[next_];
        for (int tx = 0; tx < targetWidth_; ++tx) {
            uint64_t* sum = sums_.data() + static_cast<size_t>(tx) * 3;
            for (size_t i = columnAt_[static_cast<size_t>(tx)]; i < columnAt_[static_cast<size_t>(tx) + 1]; ++i) {
                const Color c = decoder.decode(readRaw(row, columns_[i], layout.bitsPerPixel));
                sum[0] += blueOf(c);
                sum[1] += greenOf(c);
                sum[2] += redOf(c);
            }
        }
        ++rowsAdded_;
        if (!use.last)
            continue;
        uint8_t* out = out_.row(use.target);
        for (int tx = 0; tx < targetWidth_; ++tx) {
            const uint64_t n = static_cast<uint64_t>(rowsAdded_) *
                               (columnAt_[static_cast<size_t>(tx) + 1] - columnAt_[static_cast<size_t>(tx)]);
            for (int c = 0; c < 3; ++c)
                out[3 * tx + c] = static_cast<uint8_t>((sums_[static_cast<size_t>(tx) * 3 + c] + n / 2) / n);
        }
        std::fill(sums_.begin(), sums_.end(), 0);
        rowsAdded_ = 0;
    }
}

}  // namespace abm
