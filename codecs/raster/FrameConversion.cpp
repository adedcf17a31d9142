#include "FrameConversion.h"

#include "AreaScaling.h"

#include "Canvas.h"
#include "PixelCodec.h"

#include <algorithm>
#include <array>
#include <bit>
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
        const int ahead = forward ? 1 : -1;
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
        // Blocks take no error from each other, so each step goes through
        // the k-th pixel of every block: a pixel's wait for the error of the
        // one before it is hidden behind the other blocks.
        const int firstBlock = at_.left / kBlock, lastBlock = (at_.left + at_.width - 1) / kBlock;
        for (int k = 0; k < kBlock; ++k)
            for (int block = firstBlock; block <= lastBlock; ++block) {
                const int lo = std::max(block * kBlock - at_.left, 0);
                const int hi = std::min((block + 1) * kBlock - at_.left, at_.width) - 1;
                if (lo + k > hi)
                    continue;
                const size_t i = static_cast<size_t>(forward ? lo + k : hi - k);
                const Errors v = here_[i];
                const ChannelLevels::Level b = kFive.nearest(v[0]), g = kSix.nearest(v[1]), r = kFive.nearest(v[2]);
                put565(row + 2 * i, b.level | g.level << 5 | r.level << 11);
                spread(v - Errors{b.value, g.value, r.value, 0}, i, ahead, down, lo + k<hi, k> 0);
            }
        here_.swap(below_);
    }

private:
    // The neighbours inside the block that take a share of pixel i's error:
    // ahead, then behind, under and ahead on the row below; 7, 3, 5 and 1
    // parts, rounded toward zero, the rounding left to the last, so that the
    // error is spread whole and alike on every machine.
    void spread(const Errors& error, size_t i, int ahead, bool down, bool hasAhead, bool hasBehind)
    {
        const size_t behind = i - static_cast<size_t>(ahead), next = i + static_cast<size_t>(ahead);
        if (!down) {
            if (hasAhead)
                here_[next] += error;
        } else if (hasAhead && hasBehind) {
            const Errors toAhead = error * 7 / 16, toBehind = error * 3 / 16, under = error * 5 / 16;
            here_[next] += toAhead;
            below_[behind] += toBehind;
            below_[i] += under;
            below_[next] += error - toAhead - toBehind - under;
        } else if (hasAhead) {
            const Errors toAhead = error * 7 / 13, under = error * 5 / 13;
            here_[next] += toAhead;
            below_[i] += under;
            below_[next] += error - toAhead - under;
        } else if (hasBehind) {
            const Errors toBehind = error * 3 / 8;
            below_[behind] += toBehind;
            below_[i] += error - toBehind;
        } else {
            below_[i] += error;
        }
    }

    static constexpr int kBlock = 4;

    Placement at_;
    int bottom_;
    MemoryReservation held_;
    std::vector<Errors> here_, below_;  // error carried into this row and the next
};

bool hasPixels(const Raster& picture)
{
    return !picture.empty() && !picture.image().bits.empty();
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
    if ((!how.smooth && !how.dither) || frame.pixelFormat() != pf16bit) {
        frame.canvas().stretchDraw(r, &picture);
        return;
    }
    const Rect visible = intersect(r, Rect(0, 0, frame.width(), frame.height()));
    if (!hasPixels(picture) || visible.isEmpty())
        return;
    // Keeps the picture's pixels alive should they be the frame's own.
    const Raster source(picture);
    const Placement at{frame.mutableImage(), visible.left, r.top, visible.width()};
    if (how.dither)
        scaleRows(source.image(), r, visible, how.smooth, Diffused565Sink(at, visible.bottom));
    else
        scaleRows(source.image(), r, visible, how.smooth, Plain565Sink{at});
}

void drawFrame(Raster& frame, const Raster& picture, const FrameConversion& how)
{
    const Rect whole(0, 0, frame.width(), frame.height());
    const Rect r =
        how.keepProportions ? fitInside(picture.width(), picture.height(), frame.width(), frame.height()) : whole;
    if (r != whole)
        fillImageRect(frame.mutableImage(), whole, clWhite);
    drawConverted(frame, r, picture, how);
}

Raster convertToFrame(const Raster& picture, int width, int height, const FrameConversion& how)
{
    Raster frame;
    frame.create(width, height, PixelLayout::forFormat(pf16bit), picture.sharedPalette());
    if (!hasPixels(picture))
        fillImageRect(frame.mutableImage(), Rect(0, 0, width, height), clWhite);
    drawFrame(frame, picture, how);
    return frame;
}

Raster scalePicture(const Raster& picture, int width, int height, bool smooth)
{
    Raster result;
    result.create(width, height, PixelLayout::forFormat(pf24bit), picture.sharedPalette());
    const Rect whole(0, 0, width, height);
    if (!hasPixels(picture)) {
        fillImageRect(result.mutableImage(), whole, clWhite);
        return result;
    }
    if (result.empty())
        return result;
    scaleRows(picture.image(), whole, whole, smooth, Bgr24Sink{{result.mutableImage(), 0, 0, width}});
    return result;
}

}  // namespace abm
