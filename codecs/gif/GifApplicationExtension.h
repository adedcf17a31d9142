#pragma once

// An application extension: an 11-byte identifier (8 bytes of name, 3 of
// authentication code) and its data sub-blocks, kept as read.

#include "GifExtension.h"

#include <string>

namespace abm {

class GifApplicationExtension : public GifExtension {
public:
    uint8_t label() const override { return kGIFApplicationLabel; }
    void loadFromReader(GifReader& reader) override;

    // Reads an application extension into the kind its identifier names:
    // the loop extension for "NETSCAPE2.0" and "ANIMEXTS1.0", else this class.
    static std::unique_ptr<GifApplicationExtension> read(GifReader& reader);

    uint8_t blockSize = 0;
    std::string identifier;  // 11 bytes
    std::string data;        // the data sub-blocks' bytes

protected:
    // Reads introducer, block size and identifier; the reader stops at the
    // first data sub-block.
    void readHeader(GifReader& reader);
    virtual void readData(GifReader& reader);
};

}  // namespace abm
