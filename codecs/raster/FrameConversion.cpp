#include "FrameConversion.h"

#include "AreaScaling.h"

#include "Painter.h"
#include "PixelCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace abm {

namespace {

using namespace area_scaling;

// Where finished rows go: frame row `top + y` from column `left`, `width`
// pixels, all inside the destination.
struct Placement {
    PixelBuffer& out;
    int left = 0, top = 0, width = 0;
    uint8_t* row(int y) const { return out.row(top + y); }
};

struct Bgr24Sink {
    Placement at;
    template <class Sum>
    void put(int y, const Sum* sums, const Averager& average) const
    {
        uint8_t* p = at.row(y) + 3 * static_cast<size_t>(at.left);
        for (int x = 0; x < at.width; ++x, p += 3, sums += 3) {
            p[0] = static_cast<uint8_t>(average(sums[0], 1));
            p[1] = static_cast<uint8_t>(average(sums[1], 1));
            p[2] = static_cast<uint8_t>(average(sums[2], 1));
        }
    }
};

inline void put565(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Each channel cut to its top bits: the raster's own conversion to 16 bits.
struct Plain565Sink {
    Placement at;
    template <class Sum>
    void put(int y, const Sum* sums, const Averager& average) const
    {
        uint8_t* p = at.row(y) + 2 * static_cast<size_t>(at.left);
        for (int x = 0; x < at.width; ++x, p += 2, sums += 3)
            put565(p, toRgb565(static_cast<uint8_t>(average(sums[2], 1)), static_cast<uint8_t>(average(sums[1], 1)),
                               static_cast<uint8_t>(average(sums[0], 1))));
    }
};

// The levels of a channel with top + 1 of them are the 8-bit values its
// field decodes to, (k × 255 + top / 2) / top: the colours a frame shows.
// Values and errors are in 1/256 steps of 8 bits.
class ChannelLevels {
public:
    explicit constexpr ChannelLevels(uint32_t top)
    {
        const auto decoded = [top](uint32_t k) { return (k * 255 + top / 2) / top; };
        // A value c goes up past level k when c > 128 × (d(k) + d(k + 1)),
        // that is when ⌈c / 128⌉ > d(k) + d(k + 1).
        uint32_t level = 0;
        for (uint32_t j = 0; j < kEntries; ++j) {
            while (level < top && decoded(level) + decoded(level + 1) < j)
                ++level;
            entries_[j] = decoded(level) * 256 << 6 | level;
        }
    }

    struct Level {
        uint32_t level;
        int32_t value;
    };
    // The level nearest v, which error carried in may have pushed past 0 or
    // 255, and its value; halfway goes down.
    Level nearest(int32_t v) const
    {
        const uint32_t entry = entries_[static_cast<uint32_t>(std::clamp(v, 0, 255 * 256) + 127) >> 7];
        return {entry & 63, static_cast<int32_t>(entry >> 6)};
    }

    // The same for four values at once.
    typedef int32_t Lanes __attribute__((vector_size(16)));
    [[gnu::always_inline]] void nearest(Lanes v, Lanes& level, Lanes& value) const
    {
        v = v < 0 ? 0 : v;
        v = v > 255 * 256 ? 255 * 256 : v;
        const Lanes j = (v + 127) >> 7;
        const Lanes entry{static_cast<int32_t>(entries_[static_cast<uint32_t>(j[0])]),
                          static_cast<int32_t>(entries_[static_cast<uint32_t>(j[1])]),
                          static_cast<int32_t>(entries_[static_cast<uint32_t>(j[2])]),
                          static_cast<int32_t>(entries_[static_cast<uint32_t>(j[3])])};
        level = entry & 63;
        value = entry >> 6;
    }

private:
    static constexpr uint32_t kEntries = 255 * 2 + 1;
    // Per ⌈c / 128⌉: the value of the nearest level, times 64, plus the level.
    std::array<uint32_t, kEntries> entries_{};
};

constexpr ChannelLevels kFive(31), kSix(63);

// Serpentine Floyd–Steinberg kept inside each aligned 4 × 4 block of the
// frame: the shares that would leave a block go to the neighbours inside
// it, in proportion, and the last pixel's error is dropped. So a block's
// mean keeps the mean of its colours closely, the same picture gives the
// same frame, a change reaches no pixel outside the blocks it touches (a
// still area stays still), and a colour that 5-6-5 holds exactly has no
// error to spread. It beat ordered patterns on the frame-quality bench.
class Diffused565Sink {
    // Blue, green, red and an unused lane: the three channels' errors are
    // spread together.
    typedef int32_t Errors __attribute__((vector_size(16)));
    // One channel of the same pixel in four blocks side by side.
    typedef ChannelLevels::Lanes Lanes;

public:
    // `bottom`: the frame row below the last one drawn.
    Diffused565Sink(const Placement& at, int bottom)
        : at_(at),
          bottom_(bottom),
          held_(static_cast<int64_t>(2 * static_cast<size_t>(at.width) * sizeof(Errors))),
          here_(static_cast<size_t>(at.width)),
          below_(static_cast<size_t>(at.width))
    {
    }

    template <class Sum>
    void put(int y, const Sum* sums, const Averager& average)
    {
        const int frameY = at_.top + y;
        const bool down = frameY + 1 < bottom_ && (frameY + 1) % kBlock != 0;
        const bool forward = frameY % 2 == 0;
        // The colours to reach, with the error carried in from the row above;
        // apart from the serial part below, so that these run at full speed.
        for (Errors& h : here_) {
            h[0] += static_cast<int32_t>(average(sums[0], 256));
            h[1] += static_cast<int32_t>(average(sums[1], 256));
            h[2] += static_cast<int32_t>(average(sums[2], 256));
            sums += 3;
        }
        std::fill(below_.begin(), below_.end(), Errors{});
        uint8_t* row = at_.row(y) + 2 * static_cast<size_t>(at_.left);
        // Blocks take no error from each other: whole ones go four at a time,
        // one in each lane, the cut ones at the sides one by one.
        const int width = at_.width;
        int x = std::min((kBlock - at_.left % kBlock) % kBlock, width);
        if (x > 0)
            ditherBlock(row, 0, x - 1, forward, down);
        for (; x + 4 * kBlock <= width; x += 4 * kBlock)
            ditherFourBlocks(row, static_cast<size_t>(x), forward, down);
        for (; x < width; x += kBlock)
            ditherBlock(row, x, std::min(x + kBlock, width) - 1, forward, down);
        here_.swap(below_);
    }

private:
    static constexpr int kBlock = 4;

    // The pixels lo to hi (at most a block) of this row of one block.
    void ditherBlock(uint8_t* row, int lo, int hi, bool forward, bool down)
    {
        const int ahead = forward ? 1 : -1;
        for (int k = 0; lo + k <= hi; ++k) {
            const size_t i = static_cast<size_t>(forward ? lo + k : hi - k);
            const Errors v = here_[i];
            const ChannelLevels::Level b = kFive.nearest(v[0]), g = kSix.nearest(v[1]), r = kFive.nearest(v[2]);
            put565(row + 2 * i, b.level | g.level << 5 | r.level << 11);
            const bool last = lo + k == hi, first = k == 0;
            spread(v - Errors{b.value, g.value, r.value, 0}, here_.data(), below_.data(), i, ahead, down, !last,
                   !first);
        }
    }

    // The neighbours inside the block that take a share of pixel i's error:
    // ahead, then behind, under and ahead on the row below; 7, 3, 5 and 1
    // parts, rounded toward zero, the rounding left to the last, so that the
    // error is spread whole and alike on every machine. Lanes may be the
    // channels of one pixel or one channel of four blocks.
    [[gnu::always_inline]] static void spread(const Lanes& error, Lanes* here, Lanes* below, size_t i, int ahead,
                                              bool down, bool hasAhead, bool hasBehind)
    {
        const size_t behind = i - static_cast<size_t>(ahead), next = i + static_cast<size_t>(ahead);
        if (!down) {
            if (hasAhead)
                here[next] += error;
        } else if (hasAhead && hasBehind) {
            const Lanes toAhead = error * 7 / 16, toBehind = error * 3 / 16, under = error * 5 / 16;
            here[next] += toAhead;
            below[behind] += toBehind;
            below[i] += under;
            below[next] += error - toAhead - toBehind - under;
        } else if (hasAhead) {
            const Lanes toAhead = dividedBy13(error * 7), under = dividedBy13(error * 5);
            here[next] += toAhead;
            below[i] += under;
            below[next] += error - toAhead - under;
        } else if (hasBehind) {
            const Lanes toBehind = error * 3 / 8;
            below[behind] += toBehind;
            below[i] += error - toBehind;
        } else {
            below[i] += error;
        }
    }

    // One channel of ditherBlock for four whole blocks, one in each lane: v
    // holds the channel by place in the block, below gathers what goes to the
    // row below. Returns the levels of the k-th place visited.
    [[gnu::always_inline]] static Lanes ditherStep(Lanes* v, Lanes* below, const ChannelLevels& levels, int k,
                                                   bool forward, bool down)
    {
        const size_t p = static_cast<size_t>(forward ? k : kBlock - 1 - k);
        Lanes level, value;
        levels.nearest(v[p], level, value);
        spread(v[p] - value, v, below, p, forward ? 1 : -1, down, k<kBlock - 1, k> 0);
        return level;
    }

    // n / 13 rounded toward zero, as integer division gives it: in double
    // precision a quotient of 32-bit integers that is not whole stays more
    // than its rounding away from the next whole one. (Vector code has no
    // integer division of its own.)
    [[gnu::always_inline]] static Lanes dividedBy13(Lanes n)
    {
        typedef double Reals __attribute__((vector_size(4 * sizeof(double))));
        return __builtin_convertvector(__builtin_convertvector(n, Reals) / 13.0, Lanes);
    }

    // Four whole blocks from column x on, one in each lane.
    void ditherFourBlocks(uint8_t* row, size_t x, bool forward, bool down)
    {
        Lanes b[kBlock], g[kBlock], r[kBlock];
        for (size_t p = 0; p < kBlock; ++p) {
            Lanes unused;
            transpose(here_[x + p], here_[x + 4 + p], here_[x + 8 + p], here_[x + 12 + p], b[p], g[p], r[p], unused);
        }
        Lanes belowB[kBlock] = {}, belowG[kBlock] = {}, belowR[kBlock] = {};
        for (int k = 0; k < kBlock; ++k) {
            const Lanes pixel = ditherStep(b, belowB, kFive, k, forward, down) |
                                ditherStep(g, belowG, kSix, k, forward, down) << 5 |
                                ditherStep(r, belowR, kFive, k, forward, down) << 11;
            const size_t p = static_cast<size_t>(forward ? k : kBlock - 1 - k);
            for (size_t lane = 0; lane < 4; ++lane)
                put565(row + 2 * (x + kBlock * lane + p), static_cast<uint32_t>(pixel[lane]));
        }
        if (down)
            for (size_t p = 0; p < kBlock; ++p)
                transpose(belowB[p], belowG[p], belowR[p], Lanes{}, below_[x + p], below_[x + 4 + p], below_[x + 8 + p],
                          below_[x + 12 + p]);
    }

    // Rows a, b, c, d of a 4 × 4 matrix to its columns.
    static void transpose(Lanes a, Lanes b, Lanes c, Lanes d, Lanes& col0, Lanes& col1, Lanes& col2, Lanes& col3)
    {
        const Lanes ab01 = __builtin_shufflevector(a, b, 0, 4, 1, 5), ab23 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
        const Lanes cd01 = __builtin_shufflevector(c, d, 0, 4, 1, 5), cd23 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
        col0 = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
        col1 = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
        col2 = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
        col3 = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
    }

    Placement at_;
    int bottom_;
    MemoryReservation held_;
    std::vector<Errors> here_, below_;  // error carried into this row and the next
};

bool hasPixels(const Raster& picture)
{
    return !picture.empty() && !picture.image().bits.empty();
}

// Hands scale(visible, sink) the part of r inside the frame and the sink
// that reduces its rows to 5-6-5 there.
template <class Scale>
void drawScaled(Raster& frame, const Rect& r, bool dither, Scale scale)
{
    const Rect visible = intersect(r, Rect(0, 0, frame.width(), frame.height()));
    if (visible.isEmpty())
        return;
    const Placement at{frame.mutableImage(), visible.left, r.top, visible.width()};
    if (dither)
        scale(visible, Diffused565Sink(at, visible.bottom));
    else
        scale(visible, Plain565Sink{at});
}

// Where a picture of that size goes in the frame, whose rest is made white.
Rect placeInFrame(Raster& frame, int pictureWidth, int pictureHeight, const FrameConversion& how)
{
    const Rect whole(0, 0, frame.width(), frame.height());
    const Rect r = how.keepProportions ? fitInside(pictureWidth, pictureHeight, frame.width(), frame.height()) : whole;
    if (r != whole)
        fillImageRect(frame.mutableImage(), whole, color::white);
    return r;
}

}  // namespace

Rect fitInside(int pictureWidth, int pictureHeight, int width, int height)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || width <= 0 || height <= 0)
        return Rect(0, 0, std::max(width, 0), std::max(height, 0));
    const int64_t pw = pictureWidth, ph = pictureHeight, w = width, h = height;
    int64_t fw = w, fh = h;
    if (pw * h >= ph * w)
        fh = std::clamp((2 * ph * w + pw) / (2 * pw), int64_t{1}, h);
    else
        fw = std::clamp((2 * pw * h + ph) / (2 * ph), int64_t{1}, w);
    const int left = static_cast<int>((w - fw) / 2), top = static_cast<int>((h - fh) / 2);
    return Rect(left, top, left + static_cast<int>(fw), top + static_cast<int>(fh));
}

void drawConverted(Raster& frame, const Rect& r, const Raster& picture, const FrameConversion& how)
{
    if ((!how.smooth && !how.dither) || frame.pixelFormat() != PixelFormat::Rgb565) {
        Painter(frame).drawImage(r, picture);
        return;
    }
    if (!hasPixels(picture))
        return;
    // Keeps the picture's pixels alive should they be the frame's own.
    const Raster source(picture);
    drawScaled(frame, r, how.dither,
               [&](const Rect& visible, auto&& sink) { scaleRows(source.image(), r, visible, how.smooth, sink); });
}

void drawFrame(Raster& frame, const Raster& picture, const FrameConversion& how)
{
    drawConverted(frame, placeInFrame(frame, picture.width(), picture.height(), how), picture, how);
}

void drawFrame(Raster& frame, PictureRows& picture, const FrameConversion& how)
{
    const Rect r = placeInFrame(frame, picture.pictureWidth, picture.pictureHeight, how);
    drawScaled(frame, r, how.dither, [&](const Rect& visible, auto&& sink) { scaleRows(picture, r, visible, sink); });
}

Raster convertToFrame(const Raster& picture, int width, int height, const FrameConversion& how)
{
    Raster frame;
    frame.create(width, height, PixelLayout::forFormat(PixelFormat::Rgb565), picture.sharedPalette());
    if (!hasPixels(picture))
        fillImageRect(frame.mutableImage(), Rect(0, 0, width, height), color::white);
    drawFrame(frame, picture, how);
    return frame;
}

Raster scalePicture(const Raster& picture, int width, int height, bool smooth)
{
    Raster result;
    result.create(width, height, PixelLayout::forFormat(PixelFormat::Bgr888), picture.sharedPalette());
    const Rect whole(0, 0, width, height);
    if (!hasPixels(picture)) {
        fillImageRect(result.mutableImage(), whole, color::white);
        return result;
    }
    if (result.empty())
        return result;
    scaleRows(picture.image(), whole, whole, smooth, Bgr24Sink{{result.mutableImage(), 0, 0, width}});
    return result;
}

Raster scalePicture(PictureRows& picture, int width, int height)
{
    Raster result;
    result.create(width, height, PixelLayout::forFormat(PixelFormat::Bgr888), picture.palette);
    const Rect whole(0, 0, width, height);
    if (!result.empty())
        scaleRows(picture, whole, whole, Bgr24Sink{{result.mutableImage(), 0, 0, width}});
    return result;
}

}  // namespace abm
