#pragma once

// "Сохранить как BMP": every frame as a numbered 16-bit BMP file beside the
// chosen name.

#include "FrameStrip.h"

#include <string>

namespace abm {

// Every frame as the 16-bit BMP file `prefix` + its number + ".bmp".
void writeBmpFrames(const FrameStrip& strip, const std::string& prefix);

// The file-name part of a path without its extension, cut at the first
// place the extension text occurs ("a.bmp.bmp" gives "a").
std::string baseName(const std::string& path);

}  // namespace abm
