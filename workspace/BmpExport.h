#pragma once

// "Сохранить как BMP": every frame as a numbered 16-bit BMP file beside the
// chosen name.

#include "FrameStrip.h"
#include "settings/SettingsStore.h"

#include <string>

namespace abm {

void exportBmp(FrameStrip& strip, SettingsStore& settings);

// The file-name part of a path without its extension, cut at the first
// place the extension text occurs ("a.bmp.bmp" gives "a").
std::string baseName(const std::string& path);

}  // namespace abm
