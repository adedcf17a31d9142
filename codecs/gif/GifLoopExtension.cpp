#include "GifLoopExtension.h"

#include "GifWarnings.h"
#include "base/Error.h"
#include "GifReader.h"

namespace abm {

void GifLoopExtension::readData(GifReader& reader)
{
    data.clear();
    // Each sub-block is one record: an id byte, then its value.
    for (;;) {
        const int length = reader.readByte();
        if (length <= 0)
            return;
        const size_t start = data.size();
        data.resize(start + static_cast<size_t>(length));
        const size_t n = reader.readSome(data.data() + start, static_cast<size_t>(length));
        data.resize(start + n);
        const auto* b = reinterpret_cast<const uint8_t*>(data.data() + start);
        if (n >= 3 && b[0] == 1)
            loops = static_cast<uint16_t>(b[1] | (b[2] << 8));
        else if (n >= 5 && b[0] == 2)
            bufferSize = b[1] | (b[2] << 8) | (b[3] << 16) | (static_cast<uint32_t>(b[4]) << 24);
        if (n < static_cast<size_t>(length)) {
            reader.warning(kGIFPrematureEnd);
            return;
        }
    }
}

}  // namespace abm
