#pragma once

// Area-averaged (or nearest) scaling of a picture's rows, for the frame
// conversion: finished rows go, as channel sums out of one total, to a sink.

#include "Graphics.h"
#include "PictureRows.h"
#include "PixelCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <type_traits>
#include <vector>

namespace abm::area_scaling {

// Sums of all three channels in one word, each in a lane of 21 bits, hold
// 255 × the source width as long as that is at most kMaxPackedWidth.
constexpr int kLaneBits = 21;
constexpr uint64_t kLane = (uint64_t{1} << kLaneBits) - 1;
constexpr int kMaxPackedWidth = static_cast<int>(kLane / 255);

// Source rows as blue, green, red bytes per pixel, the order 24- and 32-bit
// rows hold them in, so those are read where they lie; the others go through
// a table or a decoded copy of the row. The colours are those the picture's
// own layout and palette give (the same the raster reports).
class RowDecoder {
public:
    RowDecoder(const PixelLayout& layout, const Palette& palette) : channels_(layout)
    {
        if (channels_.indexed) {
            kind_ = channels_.bpp == 8 ? Kind::Indexed8 : Kind::Decoded;
            const ColorDecoder decoder(layout, palette);
            for (uint32_t i = 0; i < (1u << channels_.bpp); ++i) {
                const Color c = decoder.decode(i);
                lut_[i] = {blueOf(c), greenOf(c), redOf(c)};
                packed_[i] = blueOf(c) | static_cast<uint64_t>(greenOf(c)) << kLaneBits |
                             static_cast<uint64_t>(redOf(c)) << 2 * kLaneBits;
            }
        } else if (!channels_.masked && channels_.bpp >= 24) {
            kind_ = Kind::Bgr;
        }
    }

    // 8-bit palette indexes, whose colours packed() has.
    bool indexed8() const { return kind_ == Kind::Indexed8; }
    const uint64_t* packed() const { return packed_.data(); }

    // The bytes of the row copy, when rows need one.
    size_t workBytes(int width) const { return kind_ == Kind::Decoded ? 3 * static_cast<size_t>(width) : 0; }

    // Calls use(pixel), where pixel(x) points at the blue, green and red of
    // column x of `row`, valid during the call; `work` holds workBytes().
    template <class Use>
    void withRow(const uint8_t* row, int width, uint8_t* work, Use&& use) const
    {
        switch (kind_) {
        case Kind::Indexed8: use([this, row](int x) { return lut_[row[x]].data(); }); break;
        case Kind::Bgr: {
            const size_t step = static_cast<size_t>(channels_.bpp / 8);
            use([row, step](int x) { return row + step * static_cast<size_t>(x); });
            break;
        }
        case Kind::Decoded:
            decode(row, width, work);
            use([work](int x) { return work + 3 * static_cast<size_t>(x); });
            break;
        }
    }

private:
    enum class Kind { Indexed8, Bgr, Decoded };

    void decode(const uint8_t* row, int width, uint8_t* bgr) const
    {
        const int bpp = channels_.bpp;
        if (bpp == 4)
            return decodeIndexed(width, bgr, [row](int x) { return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4; });
        if (bpp == 1)
            return decodeIndexed(width, bgr, [row](int x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; });
        for (int x = 0; x < width; ++x, bgr += 3) {
            const uint32_t raw = readRaw(row, x, bpp);
            bgr[0] = channel(channels_.b, raw);
            bgr[1] = channel(channels_.g, raw);
            bgr[2] = channel(channels_.r, raw);
        }
    }

    template <class IndexAt>
    void decodeIndexed(int width, uint8_t* bgr, IndexAt indexAt) const
    {
        for (int x = 0; x < width; ++x, bgr += 3) {
            const auto& c = lut_[static_cast<size_t>(indexAt(x))];
            bgr[0] = c[0], bgr[1] = c[1], bgr[2] = c[2];
        }
    }

    // Channel::decode, here where the row loop can inline it.
    static uint8_t channel(const Channel& c, uint32_t raw)
    {
        if (c.max == 0)
            return 0;
        return static_cast<uint8_t>((static_cast<uint64_t>((raw & c.mask) >> c.shift) * 255 + c.max / 2) / c.max);
    }

    LayoutChannels channels_;
    Kind kind_ = Kind::Decoded;
    std::array<std::array<uint8_t, 4>, 256> lut_{};  // padded to 4 for the indexing
    std::array<uint64_t, 256> packed_{};             // blue, green, red in lanes of kLaneBits
};

// One axis of the scaling, limited to the frame pixels [lo, hi) that are
// visible. Shrinking with smoothing, source pixel j spans [j × to, (j + 1) × to)
// and frame pixel i spans [i × from, (i + 1) × from) on a common integer
// scale, so every weight is an exact overlap length and each frame pixel's
// weights add up to `from`. Otherwise frame pixel i takes source pixel
// i × from / to, the stretch-draw's own choice.
struct Axis {
    int64_t from, to;
    int lo, hi;
    bool average;

    // A source of `source` pixels onto `dest`.
    Axis(int64_t source, int64_t dest, int visibleLo, int visibleHi, bool smooth)
        : from(source), to(dest), lo(visibleLo), hi(visibleHi), average(smooth && dest < source)
    {
    }
    // Rows at eighths / 8 of a picture `size` pixels long, smoothed onto
    // `dest`: a frame pixel spans size × eighths / (8 × dest) of their pixels,
    // so the last one, rounded up, counts only as far as the picture goes.
    static Axis ofEighths(int size, int eighths, int dest, int visibleLo, int visibleHi)
    {
        const int64_t from = int64_t{size} * eighths, to = int64_t{8} * dest, common = std::gcd(from, to);
        return Axis(from / common, to / common, visibleLo, visibleHi, true);
    }
    uint64_t total() const { return average ? static_cast<uint64_t>(from) : 1; }
    int nearest(int i) const { return static_cast<int>(i * from / to); }
};

// The horizontal half: one decoded source row to hi − lo sums of red, green
// and blue, each out of total().
class RowScaler {
public:
    // The source pixels a frame pixel covers, and how much of the first and
    // the last of them; nearest, first and last are its one pixel.
    struct Span {
        int first = 0, last = 0;
        uint32_t head = 0, tail = 0;
    };

    RowScaler(const Axis& axis, Span* spans) : axis_(axis), spans_(spans)
    {
        for (int i = axis.lo; i < axis.hi; ++i) {
            Span& s = spans[i - axis.lo];
            if (!axis.average) {
                s.first = s.last = axis.nearest(i);
                continue;
            }
            // Shrinking, a frame pixel is longer than a source pixel, so it
            // always reaches into at least two of them.
            const int64_t start = i * axis.from, end = start + axis.from;
            s.first = static_cast<int>(start / axis.to);
            s.last = static_cast<int>((end - 1) / axis.to);
            s.head = static_cast<uint32_t>((s.first + 1) * axis.to - start);
            s.tail = static_cast<uint32_t>(end - s.last * axis.to);
        }
    }

    // Gathers per frame pixel, keeping its sums in registers: the pixels in
    // between weigh a whole source width (`to`) each. pixel(x) gives the blue,
    // green and red of source column x; the sums keep that order.
    template <class Pixel, class Sum>
    void scale(const Pixel& pixel, Sum* sums) const
    {
        const uint64_t whole = static_cast<uint64_t>(axis_.to);
        for (const Span* s = spans_; s != spans_ + (axis_.hi - axis_.lo); ++s, sums += 3) {
            const uint8_t* first = pixel(s->first);
            if (!axis_.average) {
                sums[0] = first[0], sums[1] = first[1], sums[2] = first[2];
                continue;
            }
            const uint8_t* last = pixel(s->last);
            uint64_t b = 0, g = 0, r = 0;
            for (int x = s->first + 1; x < s->last; ++x) {
                const uint8_t* p = pixel(x);
                b += p[0], g += p[1], r += p[2];
            }
            sums[0] = static_cast<Sum>(s->head * first[0] + whole * b + s->tail * last[0]);
            sums[1] = static_cast<Sum>(s->head * first[1] + whole * g + s->tail * last[1]);
            sums[2] = static_cast<Sum>(s->head * first[2] + whole * r + s->tail * last[2]);
        }
    }

    // The same for a row of 8-bit palette indexes, all three channels summed
    // at once in the lanes of their packed colours; for a source width of
    // at most kMaxPackedWidth.
    template <class Sum>
    void scalePacked(const uint8_t* indexes, const uint64_t* colours, Sum* sums) const
    {
        const uint64_t whole = static_cast<uint64_t>(axis_.to);
        for (const Span* s = spans_; s != spans_ + (axis_.hi - axis_.lo); ++s, sums += 3) {
            uint64_t between = 0;
            for (int x = s->first + 1; x < s->last; ++x)
                between += colours[indexes[x]];
            const uint64_t sum =
                s->head * colours[indexes[s->first]] + whole * between + s->tail * colours[indexes[s->last]];
            sums[0] = static_cast<Sum>(sum & kLane);
            sums[1] = static_cast<Sum>(sum >> kLaneBits & kLane);
            sums[2] = static_cast<Sum>(sum >> 2 * kLaneBits);
        }
    }

private:
    Axis axis_;
    const Span* spans_;
};

// Turns the sums of one conversion, all out of the same total, into
// averages. A hardware division per channel would cost more than the
// scaling itself, so it is a multiply by a rounded-up reciprocal and a
// shift: with 2^l ≥ total, m = ⌈2^(63 + l) / total⌉ < 2^64 gives the exact
// quotient for every numerator below 2^63, and numerators stay below
// 2^16 × 2^34 (a total is at most 64 × the pixels of a raster).
class Averager {
    __extension__ typedef unsigned __int128 Wide;

public:
    explicit Averager(uint64_t total) : total_(total)
    {
        const int l = static_cast<int>(std::bit_width(total - 1));
        if (l > 0) {
            shift_ = l - 1;
            multiplier_ = static_cast<uint64_t>(((Wide{1} << (63 + l)) + total - 1) / total);
        }
    }

    // sum / total in units of 1 / unit, rounded to nearest.
    uint32_t operator()(uint64_t sum, uint32_t unit) const
    {
        const uint64_t n = sum * unit + total_ / 2;
        if (total_ == 1)
            return static_cast<uint32_t>(n);
        return static_cast<uint32_t>(static_cast<uint64_t>((Wide{n} * multiplier_) >> 64) >> shift_);
    }

private:
    uint64_t total_;
    int shift_ = 0;  // past the high 64 bits of the product
    uint64_t multiplier_ = 0;
};

// Scales the rows onto the frame pixels the axes give and hands each
// finished visible row, as sums out of one total, to sink.put(y, sums,
// average), y counted from the frame's first row. Vertically it keeps one
// row of running sums: a source row adds its overlap to the frame row it
// ends in, completing it at the boundary, and starts the next one with the
// rest. Rows are read once each, from the top down.
// A source row's sums, each at most 255 × across.from, are held in RowSum;
// those of a frame row, at most 255 × across.from × down.from, in FrameSum.
template <class RowSum, class FrameSum, class Rows, class Sink>
void scaleRowsAs(Rows& src, const Axis& across, const Axis& down, Sink& sink)
{
    const int visibleWidth = across.hi - across.lo;
    const size_t count = 3 * static_cast<size_t>(visibleWidth);
    // Rows are added in whole vectors; the sums past `count` stay 0.
    constexpr size_t kChunk = 4;
    const size_t padded = (count + kChunk - 1) / kChunk * kChunk;
    const RowDecoder decoder(src.layout, src.palette);
    const size_t workBytes = decoder.workBytes(src.width);
    const MemoryReservation held(static_cast<int64_t>(workBytes + padded * (sizeof(RowSum) + sizeof(FrameSum)) +
                                                      static_cast<size_t>(visibleWidth) * sizeof(RowScaler::Span)));
    std::vector<uint8_t> work(workBytes);
    std::vector<RowSum> row(padded);
    std::vector<RowScaler::Span> spans(static_cast<size_t>(visibleWidth));
    const RowScaler scaler(across, spans.data());
    const Averager average(across.total() * down.total());
    const bool packed = decoder.indexed8() && across.average && across.from <= kMaxPackedWidth;
    const auto scale = [&](int sy) {
        if (packed)
            scaler.scalePacked(src.row(sy), decoder.packed(), row.data());
        else
            decoder.withRow(src.row(sy), src.width, work.data(),
                            [&](const auto& pixel) { scaler.scale(pixel, row.data()); });
    };

    if (!down.average) {
        int scaled = -1;
        for (int y = down.lo; y < down.hi; ++y) {
            const int sy = down.nearest(y);
            if (sy != scaled)
                scale(scaled = sy);
            sink.put(y, row.data(), average);
        }
        return;
    }
    std::vector<FrameSum> sums(padded, 0);
    const auto add = [&](uint64_t weight) {
        // A weight is at most down.to.
        const FrameSum w = static_cast<FrameSum>(weight);
        FrameSum* to = sums.data();
        const RowSum* from = row.data();
        if constexpr (std::is_same_v<FrameSum, uint32_t> && std::is_same_v<RowSum, uint32_t>) {
            typedef uint32_t Lanes __attribute__((vector_size(kChunk * sizeof(uint32_t))));
            for (size_t i = 0; i < padded; i += kChunk) {
                Lanes a, b;
                std::memcpy(&a, to + i, sizeof a);
                std::memcpy(&b, from + i, sizeof b);
                a += w * b;
                std::memcpy(to + i, &a, sizeof a);
            }
        } else {
            for (size_t i = 0; i < count; ++i)
                to[i] += w * from[i];
        }
    };
    // From the source row that reaches into the first visible frame row; a
    // part of it that falls into the row above is summed and dropped.
    const int firstRow = static_cast<int>(down.lo * down.from / down.to);
    for (int sy = firstRow; sy < src.height; ++sy) {
        scale(sy);
        const int64_t start = sy * down.to, end = start + down.to;
        const int64_t y = start / down.from, boundary = (y + 1) * down.from;
        add(static_cast<uint64_t>(std::min(end, boundary) - start));
        if (end >= boundary) {
            if (y >= down.lo)
                sink.put(static_cast<int>(y), sums.data(), average);
            if (y + 1 >= down.hi)
                return;
            std::fill(sums.begin(), sums.end(), 0);
            add(static_cast<uint64_t>(end - boundary));
        }
    }
}

template <class Rows, class Sink>
void scaleAxes(Rows& src, const Axis& across, const Axis& down, Sink& sink)
{
    // Most pictures' frame sums fit 32 bits, and sums of 32 bits go twice
    // as fast.
    const uint64_t frameTotal = static_cast<uint64_t>(across.from) * static_cast<uint64_t>(down.from);
    if (frameTotal <= UINT32_MAX / 255)
        scaleRowsAs<uint32_t, uint32_t>(src, across, down, sink);
    else if (across.from <= static_cast<int64_t>(UINT32_MAX / 255))
        scaleRowsAs<uint32_t, uint64_t>(src, across, down, sink);
    else
        scaleRowsAs<uint64_t, uint64_t>(src, across, down, sink);
}

// The picture stretched onto r, of which `visible` is drawn.
template <class Sink>
void scaleRows(const PixelBuffer& src, const Rect& r, const Rect& visible, bool smooth, Sink&& sink)
{
    const Axis across(src.width, r.width(), visible.left - r.left, visible.right - r.left, smooth);
    const Axis down(src.height, r.height(), visible.top - r.top, visible.bottom - r.top, smooth);
    scaleAxes(src, across, down, sink);
}

// The same for a picture arriving row by row, always smoothed: it must be
// at least as large as r both ways.
template <class Sink>
void scaleRows(PictureRows& src, const Rect& r, const Rect& visible, Sink&& sink)
{
    const Axis across =
        Axis::ofEighths(src.pictureWidth, src.eighths, r.width(), visible.left - r.left, visible.right - r.left);
    const Axis down =
        Axis::ofEighths(src.pictureHeight, src.eighths, r.height(), visible.top - r.top, visible.bottom - r.top);
    scaleAxes(src, across, down, sink);
}

}  // namespace abm::area_scaling
