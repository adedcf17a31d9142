#pragma once

// The blocks that may stand between two images: graphic control, comment,
// plain text and application extensions. Each one starts with "!" and its
// label and ends with its data sub-blocks.

#include <cstdint>
#include <memory>

namespace abm {

class GifReader;

inline constexpr uint8_t kGIFExtensionIntroducer = 0x21;  // "!"
inline constexpr uint8_t kGIFImageSeparator = 0x2C;       // ","
inline constexpr uint8_t kGIFTrailer = 0x3B;              // ";"

inline constexpr uint8_t kGIFPlainTextLabel = 0x01;
inline constexpr uint8_t kGIFGraphicControlLabel = 0xF9;
inline constexpr uint8_t kGIFCommentLabel = 0xFE;
inline constexpr uint8_t kGIFApplicationLabel = 0xFF;

class GifExtension {
public:
    virtual ~GifExtension() = default;
    virtual uint8_t label() const = 0;

    // Reads the extension from its introducer on; the reader stands at "!".
    virtual void loadFromReader(GifReader& reader) = 0;

    // The extension kind for a label, or nullptr for a label this reader does
    // not know.
    static std::unique_ptr<GifExtension> create(uint8_t label);

protected:
    // Reads "!" and the label; anything else is "Invalid extension introducer".
    void readIntroducer(GifReader& reader) const;
};

}  // namespace abm
