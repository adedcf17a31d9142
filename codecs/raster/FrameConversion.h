#pragma once

// Turning a picture into a phone frame better than a plain stretch does:
// averaging over the source area each frame pixel covers, a 5-6-5 dither,
// and fitting inside the frame without distortion.
//
// Synopsis:
//     const FrameConversion how{.smooth = true, .dither = true, .keepProportions = true};
//     Raster frame = convertToFrame(picture, 128, 97, how);  // 16-bit, 128 × 97
//     drawConverted(frame, Rect(0, 0, 64, 48), picture, how); // or into part of a frame
//
// The picture is read row by row; besides the result only a few rows of
// working space are held, reserved against the memory budget. A picture a
// decoder hands over row by row (PictureRows) is averaged as it comes.

#include "PictureRows.h"
#include "Raster.h"

namespace abm {

// Every choice off gives exactly the stretch-draw into a 16-bit raster.
struct FrameConversion {
    // Along an axis that shrinks, each frame pixel is the exact average of
    // the source area it covers. An axis that grows keeps the stretch-draw's
    // nearest pixel, so pixel art stays crisp.
    bool smooth = false;
    // Each channel's rounding error to the nearest 5-6-5 level is spread
    // over its neighbours inside the same aligned 4 × 4 block of the frame,
    // instead of cutting the channel to its top bits. The same picture gives
    // the same frame, a still area never flickers between frames (a change
    // reaches only the blocks it touches), and a colour that 5-6-5 holds
    // exactly stays flat.
    bool dither = false;
    // The picture is scaled to fit inside the frame keeping its proportions,
    // centred (fitInside), with white around it.
    bool keepProportions = false;
};

// Where a pictureWidth × pictureHeight picture lands when fitted inside
// width × height keeping its proportions: one side fills the frame, the
// other is rounded to the nearest pixel (at least 1), and the leftover is
// split with the odd pixel going to the right or bottom border.
Rect fitInside(int pictureWidth, int pictureHeight, int width, int height);

// The picture stretched into r of `frame` (clipped to the frame), smoothed
// and dithered as `how` says; keepProportions is the caller's, through r.
// With smooth and dither off, and onto a frame not in the 16-bit format,
// this is Painter::drawImage(r, picture).
void drawConverted(Raster& frame, const Rect& r, const Raster& picture, const FrameConversion& how);

// The picture stretched over the whole frame, or, keeping proportions,
// fitted inside it with white around.
void drawFrame(Raster& frame, const Raster& picture, const FrameConversion& how);

// The same for a picture arriving row by row, smoothed wherever it shrinks
// (its rows must cover the frame's part both ways to be averaged), fitted
// by its own size. The frame must be in the 16-bit format.
void drawFrame(Raster& frame, PictureRows& picture, const FrameConversion& how);

// The picture as a width × height frame in the 16-bit format, keeping the
// picture's palette as every conversion does. An empty picture gives a
// white frame.
Raster convertToFrame(const Raster& picture, int width, int height, const FrameConversion& how);

// The picture scaled to width × height, smoothly or by nearest pixel, as a
// 24-bit raster in the picture's own colours.
Raster scalePicture(const Raster& picture, int width, int height, bool smooth);
// The same for a picture arriving row by row, smoothed wherever it shrinks.
Raster scalePicture(PictureRows& picture, int width, int height);

}  // namespace abm
