#include "Canvas.h"

#include "Bitmap.h"
#include "PixelCodec.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace abm {

namespace {

bool IsPlainBgr(const TPixelLayout& l)
{
    return (l.bitsPerPixel == 24 || l.bitsPerPixel == 32) && !l.hasMasks;
}

struct IdentityConv {
    uint32_t operator()(uint32_t raw) const { return raw; }
};

struct LutConv {
    const uint32_t* lut;
    uint32_t size;
    uint32_t fallback;  // indexes past the palette read as black
    uint32_t operator()(uint32_t raw) const { return raw < size ? lut[raw] : fallback; }
};

struct BgrTo565Conv {
    uint32_t operator()(uint32_t raw) const
    {
        return ((raw >> 8) & 0xF800) | ((raw >> 5) & 0x07E0) | ((raw >> 3) & 0x001F);
    }
};

struct GenericConv {
    const TColorDecoder* decoder;
    TColorEncoder* encoder;
    uint32_t operator()(uint32_t raw) const { return encoder->Encode(decoder->Decode(raw)); }
};

template <int SB>
inline uint32_t ReadAt(const uint8_t* row, int x)
{
    if constexpr (SB == 8)
        return row[x];
    else if constexpr (SB == 16)
        return static_cast<uint32_t>(row[2 * x]) | (static_cast<uint32_t>(row[2 * x + 1]) << 8);
    else
        return ReadRaw(row, x, SB);
}

template <int DB>
inline void WriteAt(uint8_t* row, int x, uint32_t v)
{
    if constexpr (DB == 8)
        row[x] = static_cast<uint8_t>(v);
    else if constexpr (DB == 16) {
        row[2 * x] = static_cast<uint8_t>(v);
        row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
    } else
        WriteRaw(row, x, DB, v);
}

struct BlitJob {
    TBitmapImage* dst;
    const TBitmapImage* src;
    TRect clip;   // destination pixels to visit
    TRect d, s;   // unclipped mapping
    const TBitMask* mask;
    const int* xs;  // source column per clipped destination column
};

template <int SB, int DB, class Conv>
void BlitLoop(const BlitJob& job, Conv conv)
{
    const TBitmapImage& src = *job.src;
    TBitmapImage& dst = *job.dst;
    const int64_t dh = job.d.Height(), sh = job.s.Height();
    // Unscaled across and unmasked: the columns map straight, without the table.
    const bool straight = !job.mask && job.d.Width() == job.s.Width();
    const int shift = job.s.Left - job.d.Left;
    const int from = std::max(job.clip.Left, -shift), to = std::min(job.clip.Right, src.width - shift);
    for (int dy = job.clip.Top; dy < job.clip.Bottom; ++dy) {
        const int sy = job.s.Top + static_cast<int>(static_cast<int64_t>(dy - job.d.Top) * sh / dh);
        if (sy < 0 || sy >= src.height)
            continue;
        const uint8_t* srow = src.Row(sy);
        uint8_t* drow = dst.Row(dy);
        if (straight) {
            for (int dx = from; dx < to; ++dx)
                WriteAt<DB>(drow, dx, conv(ReadAt<SB>(srow, dx + shift)));
            continue;
        }
        const bool maskRow = job.mask && sy < job.mask->height;
        for (int i = 0, dx = job.clip.Left; dx < job.clip.Right; ++i, ++dx) {
            const int sx = job.xs[i];
            if (sx < 0 || sx >= src.width)
                continue;
            if (maskRow && sx < job.mask->width && job.mask->Test(sx, sy))
                continue;
            WriteAt<DB>(drow, dx, conv(ReadAt<SB>(srow, sx)));
        }
    }
}

template <int SB, class Conv>
void DispatchDst(const BlitJob& job, Conv conv)
{
    switch (job.dst->layout.bitsPerPixel) {
    case 1: BlitLoop<SB, 1>(job, conv); break;
    case 4: BlitLoop<SB, 4>(job, conv); break;
    case 8: BlitLoop<SB, 8>(job, conv); break;
    case 16: BlitLoop<SB, 16>(job, conv); break;
    case 24: BlitLoop<SB, 24>(job, conv); break;
    default: BlitLoop<SB, 32>(job, conv); break;
    }
}

template <class Conv>
void Dispatch(const BlitJob& job, Conv conv)
{
    switch (job.src->layout.bitsPerPixel) {
    case 1: DispatchDst<1>(job, conv); break;
    case 4: DispatchDst<4>(job, conv); break;
    case 8: DispatchDst<8>(job, conv); break;
    case 16: DispatchDst<16>(job, conv); break;
    case 24: DispatchDst<24>(job, conv); break;
    default: DispatchDst<32>(job, conv); break;
    }
}

// A raster drawn unscaled onto the raster whose pixel memory it shares would
// only copy that memory to write the same pixels again (a GIF's first frame
// is drawn over its own copy; a 16-bit frame over its source).
bool OntoItself(const TBitmap& owner, const TRect& r, const TBitmap& picture)
{
    return picture.SharesPixelsWith(owner) && r == Rect(0, 0, picture.Width(), picture.Height());
}

bool SameRawMeaning(const TBitmapImage& a, const TBitmapImage& b)
{
    if (!a.layout.SameAs(b.layout))
        return false;
    return a.layout.bitsPerPixel > 8 || a.palette == b.palette;
}

}  // namespace

void StretchBlit(TBitmapImage& dst, const TRect& d, const TBitmapImage& src, const TRect& s, const TBitMask* mask)
{
    if (d.Width() <= 0 || d.Height() <= 0 || s.Width() <= 0 || s.Height() <= 0)
        return;
    if (src.bits.empty() || dst.bits.empty())
        return;
    const TRect clip = Intersect(d, Rect(0, 0, dst.width, dst.height));
    if (clip.IsEmpty())
        return;

    const bool same = SameRawMeaning(dst, src);
    const int bpp = src.layout.bitsPerPixel;
    // A 1:1 copy between equal byte-aligned layouts is a row memcpy.
    if (same && !mask && d.Width() == s.Width() && d.Height() == s.Height() && bpp % 8 == 0) {
        const int bytes = bpp / 8;
        const TRect srcRect = Intersect(Rect(clip.Left - d.Left + s.Left, clip.Top - d.Top + s.Top,
                                             clip.Right - d.Left + s.Left, clip.Bottom - d.Top + s.Top),
                                        Rect(0, 0, src.width, src.height));
        for (int sy = srcRect.Top; sy < srcRect.Bottom; ++sy) {
            const int dy = sy - s.Top + d.Top;
            const int dx = srcRect.Left - s.Left + d.Left;
            std::memcpy(dst.Row(dy) + static_cast<size_t>(dx) * bytes, src.Row(sy) + static_cast<size_t>(srcRect.Left) * bytes,
                        static_cast<size_t>(srcRect.Width()) * bytes);
        }
        return;
    }

    // The source column of each destination column, for a scaled or masked
    // blit only: 4 bytes a column, as much as a picture's row can be long.
    std::vector<int> xs;
    MemoryReservation held;
    if (mask || d.Width() != s.Width()) {
        held = MemoryReservation(static_cast<int64_t>(clip.Width()) * static_cast<int64_t>(sizeof(int)));
        xs.resize(static_cast<size_t>(clip.Width()));
        const int64_t dw = d.Width(), sw = s.Width();
        for (int i = 0; i < clip.Width(); ++i)
            xs[static_cast<size_t>(i)] = s.Left + static_cast<int>(static_cast<int64_t>(clip.Left + i - d.Left) * sw / dw);
    }
    const BlitJob job{&dst, &src, clip, d, s, mask, xs.data()};

    if (same) {
        Dispatch(job, IdentityConv{});
        return;
    }
    TColorDecoder decoder(src.layout, src.palette);
    TColorEncoder encoder(dst.layout, dst.palette);
    if (bpp <= 8) {
        const uint32_t n = 1u << bpp;
        std::vector<uint32_t> lut(n);
        for (uint32_t i = 0; i < n; ++i)
            lut[i] = encoder.Encode(decoder.Decode(i));
        Dispatch(job, LutConv{lut.data(), n, encoder.Encode(clBlack)});
        return;
    }
    if (IsPlainBgr(src.layout) && dst.layout.Format() == pf16bit) {
        Dispatch(job, BgrTo565Conv{});
        return;
    }
    Dispatch(job, GenericConv{&decoder, &encoder});
}

void FillImageRect(TBitmapImage& dst, const TRect& r, TColor color)
{
    const TRect clip = Intersect(r, Rect(0, 0, dst.width, dst.height));
    if (clip.IsEmpty() || dst.bits.empty())
        return;
    TColorEncoder encoder(dst.layout, dst.palette);
    const uint32_t raw = encoder.Encode(color);
    const int bpp = dst.layout.bitsPerPixel;
    if (bpp < 8) {
        for (int y = clip.Top; y < clip.Bottom; ++y)
            for (int x = clip.Left; x < clip.Right; ++x)
                WriteRaw(dst.Row(y), x, bpp, raw);
        return;
    }
    // One row is filled pixel by pixel, the others copied from it.
    const size_t bytes = static_cast<size_t>(bpp / 8);
    const size_t offset = static_cast<size_t>(clip.Left) * bytes, length = static_cast<size_t>(clip.Width()) * bytes;
    uint8_t* first = dst.Row(clip.Top);
    if (bpp == 8)
        std::memset(first + clip.Left, static_cast<int>(raw), length);
    else
        for (int x = clip.Left; x < clip.Right; ++x)
            WriteRaw(first, x, bpp, raw);
    for (int y = clip.Top + 1; y < clip.Bottom; ++y)
        std::memcpy(dst.Row(y) + offset, first + offset, length);
}

TRect TCanvas::ClipRect() const
{
    return Rect(0, 0, owner_->Width(), owner_->Height());
}

void TCanvas::FillRect(const TRect& r)
{
    FillImageRect(owner_->MutableImage(), r, BrushColor);
}

void TCanvas::Rectangle(const TRect& r)
{
    if (r.IsEmpty())
        return;
    TBitmapImage& image = owner_->MutableImage();
    FillImageRect(image, r, BrushColor);
    if (PenWidth <= 0)
        return;
    FillImageRect(image, Rect(r.Left, r.Top, r.Right, r.Top + 1), PenColor);
    FillImageRect(image, Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), PenColor);
    FillImageRect(image, Rect(r.Left, r.Top, r.Left + 1, r.Bottom), PenColor);
    FillImageRect(image, Rect(r.Right - 1, r.Top, r.Right, r.Bottom), PenColor);
}

void TCanvas::Draw(int x, int y, const TBitmap& picture)
{
    if (picture.Empty())
        return;
    // Keep the source alive if it shares memory with this raster.
    const TBitmap source(picture);
    StretchDraw(Rect(x, y, x + source.Width(), y + source.Height()), &source);
}

void TCanvas::StretchDraw(const TRect& r, const TBitmap* picture)
{
    if (!picture || picture->Empty() || OntoItself(*owner_, r, *picture))
        return;
    const TBitmap source(*picture);
    StretchBlit(owner_->MutableImage(), r, source.Image(), Rect(0, 0, source.Width(), source.Height()));
}

void TCanvas::MaskedStretchDraw(const TRect& r, const TBitmap& picture, const TBitMask& mask)
{
    if (picture.Empty() || OntoItself(*owner_, r, picture))
        return;
    const TBitmap source(picture);
    StretchBlit(owner_->MutableImage(), r, source.Image(), Rect(0, 0, source.Width(), source.Height()), &mask);
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect)
{
    CopyRect(dest, *source.owner_, sourceRect);
}

void TCanvas::CopyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect)
{
    const TBitmap src(source);
    StretchBlit(owner_->MutableImage(), dest, src.Image(), sourceRect);
}

}  // namespace abm
