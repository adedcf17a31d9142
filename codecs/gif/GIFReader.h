#pragma once

// A cursor over a GIF file held in memory: the byte reads, step-backs and
// fixed-size reads the block parser is made of, plus its warning outlet.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace abm {

class TGIFReader {
public:
    using TWarningSink = std::function<void(const std::string&)>;

    TGIFReader(const uint8_t* data, size_t size, TWarningSink warning = {});

    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    size_t Position() const { return pos_; }
    void SetPosition(size_t position) { pos_ = position < size_ ? position : size_; }
    size_t Left() const { return size_ - pos_; }

    // The next byte, or -1 at the end of the data.
    int ReadByte() { return pos_ < size_ ? data_[pos_++] : -1; }
    void StepBack()
    {
        if (pos_ > 0)
            --pos_;
    }

    // All `count` bytes or InvalidGraphicError GifPrematureEnd.
    void ReadFixed(void* buffer, size_t count);
    uint16_t ReadWord();
    // Up to `count` bytes; returns how many there were.
    size_t ReadSome(void* buffer, size_t count);
    void Skip(size_t count);

    // Data sub-blocks up to and including the zero-length block, their bytes
    // appended to `out`. Data that ends first is a warning, not an error.
    void ReadSubBlocks(std::string& out);
    // Where the data sub-blocks starting at `position` end: after the
    // zero-length block, or at the end of the data. Reads nothing.
    size_t SkipSubBlocks(size_t position) const;

    void Warning(const std::string& message) const;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    TWarningSink warning_;
};

}  // namespace abm
