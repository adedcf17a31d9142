#include "GIFTextExtension.h"

#include "GIFReader.h"

namespace abm {

void TGIFTextExtension::LoadFromReader(TGIFReader& reader)
{
    ReadIntroducer(reader);
    uint8_t h[13];
    reader.ReadFixed(h, sizeof h);
    auto word = [&](int at) { return static_cast<uint16_t>(h[at] | (h[at + 1] << 8)); };
    BlockSize = h[0];
    Left = word(1);
    Top = word(3);
    GridWidth = word(5);
    GridHeight = word(7);
    CellWidth = h[9];
    CellHeight = h[10];
    ForegroundColorIndex = h[11];
    BackgroundColorIndex = h[12];
    Text.clear();
    reader.ReadSubBlocks(Text);
}

}  // namespace abm
