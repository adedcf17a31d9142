#include "PreviewPlayer.h"

#include "codecs/raster/Canvas.h"

#include <algorithm>

namespace abm {

int PreviewPlayer::tick(const FrameStrip& strip, int iconCount)
{
    const int count = strip.count();
    if (count == 0) {
        if (preview.width() != 0)
            preview.assign(nullptr);
    } else {
        if (previewIndex > count - 1)
            previewIndex = 0;
        const Raster& frame = strip.frame(previewIndex).picture;
        preview.assign(&frame);
        Rect r = Rect(0, 0, kFieldWidth, kFieldHeight);
        preview.setWidth(kFieldWidth);
        preview.setHeight(kFieldHeight);
        Canvas& canvas = preview.canvas();
        canvas.brushColor = clBlack;
        canvas.rectangle(r);
        canvas.brushColor = clWhite;
        canvas.fillRect(Rect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1));
        drawPreviewFrame(canvas, frame, r);
        previewIndex = previewIndex + 1 > 3 ? 0 : static_cast<uint16_t>(previewIndex + 1);
    }
    if (iconIndex >= iconCount)
        iconIndex = 0;
    return iconIndex++;
}

void PreviewPlayer::previewRects(const Raster& b, const Rect& r, Rect& s, Rect& d)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int hw = w / 2, hh = h / 2;
    const int bw = b.width() / 2, bh = b.height() / 2;
    if (hh > bh) {
        s.top = 0;
        s.bottom = b.height();
    } else {
        s.top = bh - hh;
        s.bottom = s.top + h;
    }
    if (hw > bw) {
        s.left = 0;
        s.right = b.width();
    } else {
        s.left = bw - hw;
        s.right = s.left + w;
    }
    d.left = std::max(r.left, hw - bw);
    d.top = std::max(r.top, hh - bh);
    d.right = std::min(r.right, hw + bw);
    d.bottom = std::min(r.bottom, hh + bh);
}

void PreviewPlayer::drawPreviewFrame(Canvas& target, const Raster& b, const Rect& r)
{
    Rect s, d;
    previewRects(b, r, s, d);
    target.copyRect(d, b, s);
}

}  // namespace abm
