#pragma once

// An application extension: an 11-byte identifier (8 bytes of name, 3 of
// authentication code) and its data sub-blocks, kept as read.

#include "GIFExtension.h"

#include <string>

namespace abm {

class TGIFApplicationExtension : public TGIFExtension {
public:
    uint8_t Label() const override { return kGIFApplicationLabel; }
    void LoadFromReader(TGIFReader& reader) override;

    // Reads an application extension into the kind its identifier names:
    // the loop extension for "NETSCAPE2.0" and "ANIMEXTS1.0", else this class.
    static std::unique_ptr<TGIFApplicationExtension> Read(TGIFReader& reader);

    uint8_t BlockSize = 0;
    std::string Identifier;  // 11 bytes
    std::string Data;        // the data sub-blocks' bytes

protected:
    // Reads introducer, block size and identifier; the reader stops at the
    // first data sub-block.
    void ReadHeader(TGIFReader& reader);
    virtual void ReadData(TGIFReader& reader);
};

}  // namespace abm
