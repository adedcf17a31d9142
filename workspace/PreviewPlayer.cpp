#include "PreviewPlayer.h"

#include "codecs/raster/Canvas.h"

#include <algorithm>

namespace abm {

int PreviewPlayer::tick(const FrameStrip& strip, int iconCount)
{
    const int count = strip.Count();
    if (count == 0) {
        if (Preview.Width() != 0)
            Preview.Assign(nullptr);
    } else {
        if (PreviewIndex > count - 1)
            PreviewIndex = 0;
        const TBitmap& frame = strip.Thumbnail(PreviewIndex).Picture;
        Preview.Assign(&frame);
        TRect r = Rect(0, 0, kFieldWidth, kFieldHeight);
        Preview.SetWidth(kFieldWidth);
        Preview.SetHeight(kFieldHeight);
        TCanvas& canvas = Preview.Canvas();
        canvas.BrushColor = clBlack;
        canvas.Rectangle(r);
        canvas.BrushColor = clWhite;
        canvas.FillRect(Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1));
        DrawPreviewFrame(canvas, frame, r);
        previewWidth = Preview.Width();
        previewHeight = Preview.Height();
        PreviewIndex = PreviewIndex + 1 > 3 ? 0 : static_cast<uint16_t>(PreviewIndex + 1);
    }
    if (IconIndex >= iconCount)
        IconIndex = 0;
    return IconIndex++;
}

void PreviewPlayer::PreviewRects(const TBitmap& b, const TRect& r, TRect& s, TRect& d)
{
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    const int hw = w / 2, hh = h / 2;
    const int bw = b.Width() / 2, bh = b.Height() / 2;
    if (hh > bh) {
        s.Top = 0;
        s.Bottom = b.Height();
    } else {
        s.Top = bh - hh;
        s.Bottom = s.Top + h;
    }
    if (hw > bw) {
        s.Left = 0;
        s.Right = b.Width();
    } else {
        s.Left = bw - hw;
        s.Right = s.Left + w;
    }
    d.Left = std::max(r.Left, hw - bw);
    d.Top = std::max(r.Top, hh - bh);
    d.Right = std::min(r.Right, hw + bw);
    d.Bottom = std::min(r.Bottom, hh + bh);
}

void PreviewPlayer::DrawPreviewFrame(TCanvas& target, const TBitmap& b, const TRect& r)
{
    TRect s, d;
    PreviewRects(b, r, s, d);
    target.CopyRect(d, b, s);
}

}  // namespace abm
