#pragma once

// "Сохранить как BMP": every frame as a numbered 16-bit BMP file beside the
// chosen name.

#include "FrameStrip.h"

#include <string>
#include <vector>

namespace abm {

// Every frame as the 16-bit BMP file `prefix` + its number + ".bmp".
void writeBmpFrames(const FrameStrip& strip, const std::string& prefix);

// What the frame numbers follow: the chosen name without a trailing ".bmp"
// in any case ("/out/walk.bmp" gives "/out/walk", "my.bmpfile.bmp"
// "my.bmpfile", "v1.1.1" stays as it is). Only the extension the files get
// is taken off, so no part of the name the user typed is lost.
std::string bmpFramePrefix(const std::string& chosen);
// The names of `count` frame files after `prefix`.
std::vector<std::string> bmpFrameNames(const std::string& prefix, int count);

}  // namespace abm
