#include "GIFGraphicControlExtension.h"

#include "GifWarnings.h"
#include "base/Error.h"
#include "GIFReader.h"

namespace abm {

void TGIFGraphicControlExtension::LoadFromReader(TGIFReader& reader)
{
    ReadIntroducer(reader);
    // Always 6 bytes, whatever the block size byte claims.
    uint8_t b[6] = {};
    if (reader.ReadSome(b, sizeof b) < sizeof b)
        reader.Warning(kGIFPrematureEnd);
    BlockSize = b[0];
    PackedFields = b[1];
    Delay = static_cast<uint16_t>(b[2] | (b[3] << 8));
    TransparentColorIndex = b[4];
    Terminator = b[5];
}

}  // namespace abm
