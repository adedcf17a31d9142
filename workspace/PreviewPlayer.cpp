#include "PreviewPlayer.h"

#include "codecs/abm/AbmCodec.h"
#include "codecs/raster/Painter.h"

namespace abm {

namespace {

struct Span {
    int source, field, length;
};

// One axis of a placement. Both offsets are measured from the centres, so a
// frame keeps the place it had when the field was one pixel smaller.
Span centred(int frameSize, int fieldSize)
{
    if (frameSize <= fieldSize)
        return {0, fieldSize / 2 - frameSize / 2, frameSize};
    return {frameSize / 2 - fieldSize / 2, 0, fieldSize};
}

}  // namespace

PreviewPlayer::Placement PreviewPlayer::placement(int frameWidth, int frameHeight)
{
    const Span x = centred(frameWidth, kFieldWidth), y = centred(frameHeight, kFieldHeight);
    return {Rect(x.source, y.source, x.source + x.length, y.source + y.length),
            Rect(x.field, y.field, x.field + x.length, y.field + y.length)};
}

int PreviewPlayer::tick(const FrameStrip& strip, int iconCount)
{
    const int count = strip.count();
    if (count == 0) {
        if (preview_.width() != 0)
            preview_.assign(nullptr);
    } else {
        if (nextFrame_ > count - 1)
            nextFrame_ = 0;
        const Raster& frame = strip.frame(nextFrame_).picture;
        // A copy of the frame first, so the field takes the frame's pixel format.
        preview_.assign(&frame);
        const Rect field(0, 0, kFieldWidth, kFieldHeight);
        preview_.setWidth(kFieldWidth);
        preview_.setHeight(kFieldHeight);
        Painter painter(preview_);
        painter.fillRect(field, color::black);
        painter.fillRect(Rect(field.left + 1, field.top + 1, field.right - 1, field.bottom - 1), color::white);
        const Placement place = placement(frame.width(), frame.height());
        painter.drawImage(place.field, frame, place.source);
        // The frames an ABM file holds, no more.
        nextFrame_ = (nextFrame_ + 1) % kMaxAbmFrames;
    }
    if (nextIcon_ >= iconCount)
        nextIcon_ = 0;
    return nextIcon_++;
}

}  // namespace abm
