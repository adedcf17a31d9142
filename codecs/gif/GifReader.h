#pragma once

// A cursor over a GIF file held in memory: the byte reads, step-backs and
// fixed-size reads the block parser is made of, plus its warning outlet.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace abm {

// The bytes that open each block, and the labels of the extensions.
inline constexpr uint8_t kGIFExtensionIntroducer = 0x21;  // "!"
inline constexpr uint8_t kGIFImageSeparator = 0x2C;       // ","
inline constexpr uint8_t kGIFTrailer = 0x3B;              // ";"
inline constexpr uint8_t kGIFPlainTextLabel = 0x01;
inline constexpr uint8_t kGIFGraphicControlLabel = 0xF9;
inline constexpr uint8_t kGIFCommentLabel = 0xFE;
inline constexpr uint8_t kGIFApplicationLabel = 0xFF;

class GifReader {
public:
    using WarningSink = std::function<void(const std::string&)>;

    GifReader(const uint8_t* data, size_t size, WarningSink warning = {});

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    size_t position() const { return pos_; }
    void setPosition(size_t position) { pos_ = position < size_ ? position : size_; }
    size_t left() const { return size_ - pos_; }

    // The next byte, or -1 at the end of the data.
    int readByte() { return pos_ < size_ ? data_[pos_++] : -1; }
    void stepBack()
    {
        if (pos_ > 0)
            --pos_;
    }

    // All `count` bytes or InvalidGraphicError GifPrematureEnd.
    void readFixed(void* buffer, size_t count);
    uint16_t readWord();
    // Up to `count` bytes; returns how many there were.
    size_t readSome(void* buffer, size_t count);
    void skip(size_t count);
    // Steps over all `count` bytes or fails as readFixed does.
    void skipFixed(size_t count);

    // Steps over data sub-blocks up to and including the zero-length block.
    // Data that ends first is a warning, not an error.
    void skipSubBlocks();
    // Where the data sub-blocks starting at `position` end: after the
    // zero-length block, or at the end of the data. Reads nothing.
    size_t subBlocksEnd(size_t position) const;

    void warning(const std::string& message) const;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    WarningSink warning_;
};

}  // namespace abm
