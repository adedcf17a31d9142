#include "GifTextExtension.h"

#include "GifReader.h"

namespace abm {

void GifTextExtension::loadFromReader(GifReader& reader)
{
    readIntroducer(reader);
    uint8_t h[13];
    reader.readFixed(h, sizeof h);
    auto word = [&](int at) { return static_cast<uint16_t>(h[at] | (h[at + 1] << 8)); };
    blockSize = h[0];
    left = word(1);
    top = word(3);
    gridWidth = word(5);
    gridHeight = word(7);
    cellWidth = h[9];
    cellHeight = h[10];
    foregroundColorIndex = h[11];
    backgroundColorIndex = h[12];
    text.clear();
    reader.readSubBlocks(text);
}

}  // namespace abm
