#include "Painter.h"

#include "Raster.h"
#include "PixelCodec.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace abm {

namespace {

bool isPlainBgr(const PixelLayout& l)
{
    return (l.bitsPerPixel == 24 || l.bitsPerPixel == 32) && !l.hasMasks;
}

struct IdentityConv {
    uint32_t operator()(uint32_t raw) const { return raw; }
};

// One entry for every raw value an indexed source can hold.
struct LutConv {
    const uint32_t* lut;
    uint32_t operator()(uint32_t raw) const { return lut[raw]; }
};

struct BgrTo565Conv {
    uint32_t operator()(uint32_t raw) const
    {
        return ((raw >> 8) & 0xF800) | ((raw >> 5) & 0x07E0) | ((raw >> 3) & 0x001F);
    }
};

struct GenericConv {
    const ColorDecoder* decoder;
    ColorEncoder* encoder;
    uint32_t operator()(uint32_t raw) const { return encoder->encode(decoder->decode(raw)); }
};

template <int SB>
inline uint32_t readAt(const uint8_t* row, int x)
{
    if constexpr (SB == 8)
        return row[x];
    else if constexpr (SB == 16)
        return static_cast<uint32_t>(row[2 * x]) | (static_cast<uint32_t>(row[2 * x + 1]) << 8);
    else
        return readRaw(row, x, SB);
}

template <int DB>
inline void writeAt(uint8_t* row, int x, uint32_t v)
{
    if constexpr (DB == 8)
        row[x] = static_cast<uint8_t>(v);
    else if constexpr (DB == 16) {
        row[2 * x] = static_cast<uint8_t>(v);
        row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
    } else
        writeRaw(row, x, DB, v);
}

struct BlitJob {
    PixelBuffer* dst;
    const PixelBuffer* src;
    Rect clip;  // destination pixels to visit
    Rect d, s;  // unclipped mapping
    const BitMask* mask;
    const int* xs;  // source column per clipped destination column
};

// `n` source pixels from column sx onto the destination from column dx: one
// copy between equal byte-aligned layouts, else a loop the conversion inlines into.
template <int SB, int DB, class Conv>
inline void convertRun(uint8_t* drow, int dx, const uint8_t* srow, int sx, int n, Conv conv)
{
    if constexpr (std::is_same_v<Conv, IdentityConv> && SB == DB && SB % 8 == 0) {
        std::memcpy(drow + static_cast<size_t>(dx) * (SB / 8), srow + static_cast<size_t>(sx) * (SB / 8),
                    static_cast<size_t>(n) * (SB / 8));
    } else {
        for (int i = 0; i < n; ++i)
            writeAt<DB>(drow, dx + i, conv(readAt<SB>(srow, sx + i)));
    }
}

// The first column from x on (before end) whose mask bit is not `set`; whole
// bytes of equal bits are stepped over at once.
inline int maskRunEnd(const uint8_t* bits, int x, int end, bool set)
{
    const uint8_t whole = set ? 0xFF : 0x00;
    while (x < end) {
        if ((x & 7) == 0 && x + 8 <= end && bits[x >> 3] == whole) {
            x += 8;
            continue;
        }
        if ((((bits[x >> 3] >> (7 - (x & 7))) & 1) != 0) != set)
            return x;
        ++x;
    }
    return end;
}

template <int SB, int DB, class Conv>
void blitLoop(const BlitJob& job, Conv conv)
{
    const PixelBuffer& src = *job.src;
    PixelBuffer& dst = *job.dst;
    const int64_t dh = job.d.height(), sh = job.s.height();
    // Unscaled across: the columns map straight, without the table, and the
    // pixels a mask lets through go in runs.
    const bool straight = job.d.width() == job.s.width();
    const int shift = job.s.left - job.d.left;
    const int from = std::max(job.clip.left, -shift), to = std::min(job.clip.right, src.width - shift);
    for (int dy = job.clip.top; dy < job.clip.bottom; ++dy) {
        const int sy = job.s.top + static_cast<int>(static_cast<int64_t>(dy - job.d.top) * sh / dh);
        if (sy < 0 || sy >= src.height)
            continue;
        const uint8_t* srow = src.row(sy);
        uint8_t* drow = dst.row(dy);
        const bool maskRow = job.mask && sy < job.mask->height;
        if (straight) {
            if (from >= to)
                continue;
            const int sFrom = from + shift, sTo = to + shift;
            int sx = sFrom;
            if (maskRow) {
                const uint8_t* bits =
                    job.mask->bits.data() + static_cast<size_t>(sy) * static_cast<size_t>(job.mask->stride);
                const int maskEnd = std::clamp(job.mask->width, sFrom, sTo);
                while (sx < maskEnd) {
                    const int start = maskRunEnd(bits, sx, maskEnd, true);
                    sx = maskRunEnd(bits, start, maskEnd, false);
                    convertRun<SB, DB>(drow, start - shift, srow, start, sx - start, conv);
                }
            }
            convertRun<SB, DB>(drow, sx - shift, srow, sx, sTo - sx, conv);
            continue;
        }
        for (int i = 0, dx = job.clip.left; dx < job.clip.right; ++i, ++dx) {
            const int sx = job.xs[i];
            if (sx < 0 || sx >= src.width)
                continue;
            if (maskRow && sx < job.mask->width && job.mask->test(sx, sy))
                continue;
            writeAt<DB>(drow, dx, conv(readAt<SB>(srow, sx)));
        }
    }
}

template <int SB, class Conv>
void dispatchDst(const BlitJob& job, Conv conv)
{
    switch (job.dst->layout.bitsPerPixel) {
    case 1: blitLoop<SB, 1>(job, conv); break;
    case 4: blitLoop<SB, 4>(job, conv); break;
    case 8: blitLoop<SB, 8>(job, conv); break;
    case 16: blitLoop<SB, 16>(job, conv); break;
    case 24: blitLoop<SB, 24>(job, conv); break;
    default: blitLoop<SB, 32>(job, conv); break;
    }
}

template <class Conv>
void dispatch(const BlitJob& job, Conv conv)
{
    switch (job.src->layout.bitsPerPixel) {
    case 1: dispatchDst<1>(job, conv); break;
    case 4: dispatchDst<4>(job, conv); break;
    case 8: dispatchDst<8>(job, conv); break;
    case 16: dispatchDst<16>(job, conv); break;
    case 24: dispatchDst<24>(job, conv); break;
    default: dispatchDst<32>(job, conv); break;
    }
}

// A raster drawn unscaled onto the raster whose pixel memory it shares would
// only copy that memory to write the same pixels again (a GIF's first frame
// is drawn over its own copy; a 16-bit frame over its source).
bool ontoItself(const Raster& owner, const Rect& r, const Raster& picture)
{
    return picture.sharesPixelsWith(owner) && r == picture.rect();
}

void drawWhole(Raster& onto, const Rect& target, const Raster& image, const BitMask* mask)
{
    if (image.empty() || ontoItself(onto, target, image))
        return;
    // Keeps the image alive should it be the target's own pixels.
    const Raster source(image);
    stretchBlit(onto.mutableImage(), target, source.image(), source.rect(), mask);
}

bool sameRawMeaning(const PixelBuffer& a, const PixelBuffer& b)
{
    if (!a.layout.sameAs(b.layout))
        return false;
    return a.layout.bitsPerPixel > 8 || a.palette == b.palette;
}

}  // namespace

void stretchBlit(PixelBuffer& dst, const Rect& d, const PixelBuffer& src, const Rect& s, const BitMask* mask)
{
    if (d.width() <= 0 || d.height() <= 0 || s.width() <= 0 || s.height() <= 0)
        return;
    if (src.bits.empty() || dst.bits.empty())
        return;
    const Rect clip = intersect(d, Rect(0, 0, dst.width, dst.height));
    if (clip.isEmpty())
        return;

    const bool same = sameRawMeaning(dst, src);
    const int bpp = src.layout.bitsPerPixel;
    // A 1:1 copy between equal byte-aligned layouts is a row memcpy.
    if (same && !mask && d.width() == s.width() && d.height() == s.height() && bpp % 8 == 0) {
        const int bytes = bpp / 8;
        const Rect srcRect = intersect(Rect(clip.left - d.left + s.left, clip.top - d.top + s.top,
                                            clip.right - d.left + s.left, clip.bottom - d.top + s.top),
                                       Rect(0, 0, src.width, src.height));
        for (int sy = srcRect.top; sy < srcRect.bottom; ++sy) {
            const int dy = sy - s.top + d.top;
            const int dx = srcRect.left - s.left + d.left;
            std::memcpy(dst.row(dy) + static_cast<size_t>(dx) * bytes,
                        src.row(sy) + static_cast<size_t>(srcRect.left) * bytes,
                        static_cast<size_t>(srcRect.width()) * bytes);
        }
        return;
    }

    // The source column of each destination column, for a blit scaled across
    // only: 4 bytes a column, as much as a picture's row can be long.
    std::vector<int> xs;
    MemoryReservation held;
    if (d.width() != s.width()) {
        held = MemoryReservation(static_cast<int64_t>(clip.width()) * static_cast<int64_t>(sizeof(int)));
        xs.resize(static_cast<size_t>(clip.width()));
        const int64_t dw = d.width(), sw = s.width();
        for (int i = 0; i < clip.width(); ++i)
            xs[static_cast<size_t>(i)] =
                s.left + static_cast<int>(static_cast<int64_t>(clip.left + i - d.left) * sw / dw);
    }
    const BlitJob job{&dst, &src, clip, d, s, mask, xs.data()};

    if (same) {
        dispatch(job, IdentityConv{});
        return;
    }
    ColorDecoder decoder(src.layout, src.palette);
    ColorEncoder encoder(dst.layout, dst.palette);
    if (bpp <= 8) {
        const uint32_t n = 1u << bpp;
        std::vector<uint32_t> lut(n);
        for (uint32_t i = 0; i < n; ++i)
            lut[i] = encoder.encode(decoder.decode(i));
        dispatch(job, LutConv{lut.data()});
        return;
    }
    if (isPlainBgr(src.layout) && dst.layout.format() == PixelFormat::Rgb565) {
        dispatch(job, BgrTo565Conv{});
        return;
    }
    dispatch(job, GenericConv{&decoder, &encoder});
}

void fillImageRect(PixelBuffer& dst, const Rect& r, Color color)
{
    const Rect clip = intersect(r, Rect(0, 0, dst.width, dst.height));
    if (clip.isEmpty() || dst.bits.empty())
        return;
    ColorEncoder encoder(dst.layout, dst.palette);
    const uint32_t raw = encoder.encode(color);
    const int bpp = dst.layout.bitsPerPixel;
    if (bpp < 8) {
        for (int y = clip.top; y < clip.bottom; ++y)
            for (int x = clip.left; x < clip.right; ++x)
                writeRaw(dst.row(y), x, bpp, raw);
        return;
    }
    // One row is filled pixel by pixel, the others copied from it.
    const size_t bytes = static_cast<size_t>(bpp / 8);
    const size_t offset = static_cast<size_t>(clip.left) * bytes, length = static_cast<size_t>(clip.width()) * bytes;
    uint8_t* first = dst.row(clip.top);
    if (bpp == 8)
        std::memset(first + clip.left, static_cast<int>(raw), length);
    else
        for (int x = clip.left; x < clip.right; ++x)
            writeRaw(first, x, bpp, raw);
    for (int y = clip.top + 1; y < clip.bottom; ++y)
        std::memcpy(dst.row(y) + offset, first + offset, length);
}

void Painter::fillRect(const Rect& r, Color color)
{
    fillImageRect(target_.mutableImage(), r, color);
}

void Painter::drawImage(int x, int y, const Raster& image)
{
    drawImage(Rect(x, y, x + image.width(), y + image.height()), image);
}

void Painter::drawImage(const Rect& target, const Raster& image)
{
    drawWhole(target_, target, image, nullptr);
}

void Painter::drawImage(const Rect& target, const Raster& image, const Rect& source)
{
    const Raster from(image);
    stretchBlit(target_.mutableImage(), target, from.image(), source);
}

void Painter::drawImage(const Rect& target, const Raster& image, const BitMask& mask)
{
    drawWhole(target_, target, image, &mask);
}

}  // namespace abm
