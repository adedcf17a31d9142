#pragma once

// The LZW decoder's output side: where each decoded pixel lands, row by row in
// GIF order, and the word-wise copies it is written with.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace abm::gif_rows {

inline uint64_t loadLe64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

inline void copy16(uint8_t* dst, const uint8_t* src)
{
    uint8_t chunk[16];
    std::memcpy(chunk, src, sizeof chunk);
    std::memcpy(dst, chunk, sizeof chunk);
}

// A stretch of adjacent pixels still to be written: a row, or with no
// interlacing the whole picture. left == 0: the picture is full.
struct Run {
    uint8_t* dst;
    size_t left;
};

// The rows in their GIF order: the four interlace passes, or straight down.
// Rows lie `step` bytes apart (negative for a raster stored bottom-up); rows
// exactly `width` apart make the whole picture one run. A pixel's position
// counts the pixels written before it.
// Passed and returned by value so the decoder keeps its run in registers.
class RowOrder {
public:
    RowOrder(uint8_t* top, ptrdiff_t step, int width, int height, bool interlaced)
        : top_(top),
          step_(step),
          width_(static_cast<size_t>(width)),
          height_(height),
          interlaced_(interlaced),
          oneRun_(!interlaced && step == static_cast<ptrdiff_t>(width))
    {
        int rows = 0;
        for (int pass = 0; pass < 4; ++pass) {
            passStart_[pass] = rows;
            if (kStart[pass] < height)
                rows += (height - 1 - kStart[pass]) / kStep[pass] + 1;
        }
    }

    Run first() const { return Run{top_, oneRun_ ? width_ * static_cast<size_t>(height_) : width_}; }

    // Copies n pixels that reach the end of the run, continuing in the
    // next runs; returns the run after them.
    [[gnu::noinline]] Run copyAcross(Run run, const uint8_t* s, size_t n)
    {
        while (n >= run.left) {
            std::memcpy(run.dst, s, run.left);
            s += run.left;
            n -= run.left;
            run = nextRow();
            if (run.left == 0) {
                endedOnString = n == 0;
                return run;
            }
        }
        std::memcpy(run.dst, s, n);
        return Run{run.dst + n, run.left - n};
    }

    // Copies a string of n pixels lying in one row written before, across
    // row ends. Its last pixel is read once the others are written: for a
    // code equal to next it is the first of them.
    [[gnu::noinline]] Run copyString(Run run, const uint8_t* src, size_t n)
    {
        run = copyAcross(run, src, n - 1);
        if (run.left == 0) {
            endedOnString = false;
            return run;
        }
        return copyAcross(run, src + n - 1, 1);
    }

    // Copies the n pixels written from `position` on to `out`, row by row.
    [[gnu::noinline]] void gather(uint8_t* out, size_t position, size_t n) const
    {
        if (oneRun_) {
            std::memcpy(out, top_ + position, n);
            return;
        }
        // Positions stay below 2^31, where 32-bit division is faster.
        size_t row = static_cast<uint32_t>(position) / static_cast<uint32_t>(width_);
        size_t x = position - row * width_;
        while (n > 0) {
            const size_t k = std::min(n, width_ - x);
            std::memcpy(out, rowAt(row) + x, k);
            out += k;
            n -= k;
            x = 0;
            ++row;
        }
    }

    // Gives every pixel from `run` on the fill value.
    void fillRest(Run run, uint8_t fill)
    {
        while (run.left > 0) {
            std::memset(run.dst, fill, run.left);
            run = nextRow();
        }
    }

    size_t Position(Run run) const
    {
        if (oneRun_)
            return static_cast<size_t>(run.dst - top_);
        return rowsDone_ * width_ + (width_ - run.left);
    }

    bool endedOnString = false;  // the last string filled the last pixel exactly

private:
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};

    Run nextRow()
    {
        if (oneRun_)
            return Run{nullptr, 0};
        ++rowsDone_;
        y_ += interlaced_ ? kStep[pass_] : 1;
        while (y_ >= height_) {
            if (!interlaced_ || ++pass_ == 4)
                return Run{nullptr, 0};
            y_ = kStart[pass_];
        }
        return Run{top_ + static_cast<ptrdiff_t>(y_) * step_, width_};
    }

    // The row written as the n-th (from 0).
    const uint8_t* rowAt(size_t n) const
    {
        int y = static_cast<int>(n);
        if (interlaced_) {
            int pass = 3;
            while (y < passStart_[pass])
                --pass;
            y = kStart[pass] + (y - passStart_[pass]) * kStep[pass];
        }
        return top_ + static_cast<ptrdiff_t>(y) * step_;
    }

    uint8_t* top_;
    ptrdiff_t step_;
    size_t width_;
    int height_;
    bool interlaced_;
    bool oneRun_;
    int passStart_[4] = {};  // rows written before each pass
    int pass_ = 0;
    int y_ = 0;
    size_t rowsDone_ = 0;
};

}  // namespace abm::gif_rows
