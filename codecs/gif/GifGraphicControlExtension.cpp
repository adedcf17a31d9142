#include "GifGraphicControlExtension.h"

#include "GifWarnings.h"
#include "base/Error.h"
#include "GifReader.h"

namespace abm {

void GifGraphicControlExtension::loadFromReader(GifReader& reader)
{
    readIntroducer(reader);
    // Always 6 bytes, whatever the block size byte claims.
    uint8_t b[6] = {};
    if (reader.readSome(b, sizeof b) < sizeof b)
        reader.warning(kGIFPrematureEnd);
    blockSize = b[0];
    packedFields = b[1];
    delay = static_cast<uint16_t>(b[2] | (b[3] << 8));
    transparentColorIndex = b[4];
    terminator = b[5];
}

}  // namespace abm
