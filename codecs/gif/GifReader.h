#pragma once

// A cursor over a GIF file held in memory: the byte reads, step-backs and
// fixed-size reads the block parser is made of, plus its warning outlet.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace abm {

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

    // Data sub-blocks up to and including the zero-length block, their bytes
    // appended to `out`. Data that ends first is a warning, not an error.
    void readSubBlocks(std::string& out);
    // Where the data sub-blocks starting at `position` end: after the
    // zero-length block, or at the end of the data. Reads nothing.
    size_t skipSubBlocks(size_t position) const;

    void warning(const std::string& message) const;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    WarningSink warning_;
};

}  // namespace abm
