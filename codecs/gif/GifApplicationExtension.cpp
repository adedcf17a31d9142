#include "GifApplicationExtension.h"

#include "GifLoopExtension.h"
#include "GifWarnings.h"
#include "base/Error.h"
#include "GifReader.h"

namespace abm {

void GifApplicationExtension::readHeader(GifReader& reader)
{
    readIntroducer(reader);
    uint8_t size = 0;
    reader.readFixed(&size, 1);
    if (size < 10)
        throw InvalidGraphicError(ErrorKind::GifBadAppBlockSize);
    blockSize = size;
    char id[11];
    reader.readFixed(id, sizeof id);
    identifier.assign(id, sizeof id);
    // A 10-byte block still has an 11-byte identifier read; its last byte
    // is given back to the data sub-blocks.
    if (size == 10)
        reader.stepBack();
    else if (size > 11)
        reader.skip(static_cast<size_t>(size) - 11);
}

void GifApplicationExtension::readData(GifReader& reader)
{
    data.clear();
    reader.readSubBlocks(data);
}

void GifApplicationExtension::loadFromReader(GifReader& reader)
{
    readHeader(reader);
    readData(reader);
}

std::unique_ptr<GifApplicationExtension> GifApplicationExtension::read(GifReader& reader)
{
    const size_t start = reader.position();
    GifApplicationExtension probe;
    probe.readHeader(reader);
    reader.setPosition(start);
    std::unique_ptr<GifApplicationExtension> ext;
    if (probe.identifier == "NETSCAPE2.0" || probe.identifier == "ANIMEXTS1.0")
        ext = std::make_unique<GifLoopExtension>();
    else
        ext = std::make_unique<GifApplicationExtension>();
    ext->loadFromReader(reader);
    return ext;
}

}  // namespace abm
