#include "GIFApplicationExtension.h"

#include "GIFAppExtNSLoop.h"
#include "GifWarnings.h"
#include "base/Error.h"
#include "GIFReader.h"

namespace abm {

void TGIFApplicationExtension::ReadHeader(TGIFReader& reader)
{
    ReadIntroducer(reader);
    uint8_t size = 0;
    reader.ReadFixed(&size, 1);
    if (size < 10)
        throw InvalidGraphicError(ErrorKind::GifBadAppBlockSize);
    BlockSize = size;
    char id[11];
    reader.ReadFixed(id, sizeof id);
    Identifier.assign(id, sizeof id);
    // A 10-byte block still has an 11-byte identifier read; its last byte
    // is given back to the data sub-blocks.
    if (size == 10)
        reader.StepBack();
    else if (size > 11)
        reader.Skip(static_cast<size_t>(size) - 11);
}

void TGIFApplicationExtension::ReadData(TGIFReader& reader)
{
    Data.clear();
    reader.ReadSubBlocks(Data);
}

void TGIFApplicationExtension::LoadFromReader(TGIFReader& reader)
{
    ReadHeader(reader);
    ReadData(reader);
}

std::unique_ptr<TGIFApplicationExtension> TGIFApplicationExtension::Read(TGIFReader& reader)
{
    const size_t start = reader.Position();
    TGIFApplicationExtension probe;
    probe.ReadHeader(reader);
    reader.SetPosition(start);
    std::unique_ptr<TGIFApplicationExtension> ext;
    if (probe.Identifier == "NETSCAPE2.0" || probe.Identifier == "ANIMEXTS1.0")
        ext = std::make_unique<TGIFAppExtNSLoop>();
    else
        ext = std::make_unique<TGIFApplicationExtension>();
    ext->LoadFromReader(reader);
    return ext;
}

}  // namespace abm
