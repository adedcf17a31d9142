#include "GifBuilder.h"

#include "GifBytes.h"

namespace abm::test {

namespace {

// Table size field for n entries: 2 << field >= n.
int sizeField(size_t n)
{
    int field = 0;
    while ((size_t{2} << field) < n)
        ++field;
    return field;
}

// The flag bits of a table of these colours, and the table padded to its size.
int putTable(GifStream& s, const std::vector<uint32_t>& table)
{
    if (table.empty())
        return 0;
    for (size_t i = 0; i < (size_t{2} << sizeField(table.size())); ++i) {
        const uint32_t c = i < table.size() ? table[i] : 0;
        s.bytes({static_cast<int>(c >> 16) & 0xFF, static_cast<int>(c >> 8) & 0xFF, static_cast<int>(c) & 0xFF});
    }
    return 0x80 | sizeField(table.size());
}

}  // namespace

std::vector<uint8_t> GifFile::bytes() const
{
    GifStream s, global;
    const int globalFlags = putTable(global, globalTable);
    s.bytes({'G', 'I', 'F', '8', '9', 'a'}).word(screenWidth).word(screenHeight).bytes({globalFlags, 0, 0});
    s.append(global.b);
    for (const GifFileImage& image : images) {
        if (image.transparentIndex)
            s.gce(1, *image.transparentIndex);
        GifStream local;
        const int flags = putTable(local, image.localTable) | (image.interlaced ? 0x40 : 0);
        s.descriptor(image.left, image.top, image.width, image.height, flags).append(local.b);
        s.bytes({8}).append(subBlocks(lzwEncode(image.indexes, 8)));
    }
    if (trailingGraphicControl)
        s.gce(0, 0);
    return s.trailer().b;
}

}  // namespace abm::test
