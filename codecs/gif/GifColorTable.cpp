#include "GifColorTable.h"

#include "GifReader.h"

namespace abm {

void GifColorTable::assign(Palette colors)
{
    if (colors.size() > 256)
        colors.resize(256);
    colors_ = std::move(colors);
}

void GifColorTable::loadFromReader(GifReader& reader, int count)
{
    uint8_t rgb[256 * 3];
    const size_t n = static_cast<size_t>(count > 256 ? 256 : count);
    reader.readFixed(rgb, n * 3);
    colors_.resize(n);
    for (size_t i = 0; i < n; ++i)
        colors_[i] = Rgb{rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]};
}

}  // namespace abm
