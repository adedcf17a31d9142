#include "GIFApplicationExtension.h"

#include "GIFAppExtNSLoop.h"
#include "GifWarnings.h"
#include "base/Error.h"
#include "GIFReader.h"

namespace abm {

void TGIFApplicationExtension::readHeader(TGIFReader& reader)
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

void TGIFApplicationExtension::readData(TGIFReader& reader)
{
    data.clear();
    reader.readSubBlocks(data);
}

void TGIFApplicationExtension::loadFromReader(TGIFReader& reader)
{
    readHeader(reader);
    readData(reader);
}

std::unique_ptr<TGIFApplicationExtension> TGIFApplicationExtension::read(TGIFReader& reader)
{
    const size_t start = reader.position();
    TGIFApplicationExtension probe;
    probe.readHeader(reader);
    reader.setPosition(start);
    std::unique_ptr<TGIFApplicationExtension> ext;
    if (probe.identifier == "NETSCAPE2.0" || probe.identifier == "ANIMEXTS1.0")
        ext = std::make_unique<TGIFAppExtNSLoop>();
    else
        ext = std::make_unique<TGIFApplicationExtension>();
    ext->loadFromReader(reader);
    return ext;
}

}  // namespace abm
