#include "GifReader.h"

#include "GifWarnings.h"
#include "base/Error.h"

#include <cstring>

namespace abm {

GifReader::GifReader(const uint8_t* data, size_t size, WarningSink warning)
    : data_(data), size_(size), warning_(std::move(warning))
{
}

void GifReader::readFixed(void* buffer, size_t count)
{
    if (left() < count)
        throw InvalidGraphicError(ErrorKind::GifPrematureEnd);
    readSome(buffer, count);
}

uint16_t GifReader::readWord()
{
    uint8_t b[2];
    readFixed(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

size_t GifReader::readSome(void* buffer, size_t count)
{
    const size_t n = count < left() ? count : left();
    if (n > 0)
        std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

void GifReader::skip(size_t count)
{
    pos_ += count < left() ? count : left();
}

void GifReader::skipFixed(size_t count)
{
    if (left() < count)
        throw InvalidGraphicError(ErrorKind::GifPrematureEnd);
    pos_ += count;
}

void GifReader::skipSubBlocks()
{
    for (;;) {
        const int length = readByte();
        if (length <= 0)
            return;
        if (static_cast<size_t>(length) > left())
            warning(kGIFPrematureEnd);
        skip(static_cast<size_t>(length));
    }
}

size_t GifReader::subBlocksEnd(size_t position) const
{
    while (position < size_) {
        const size_t length = data_[position++];
        if (length == 0)
            break;
        position += length < size_ - position ? length : size_ - position;
    }
    return position;
}

void GifReader::warning(const std::string& message) const
{
    if (warning_)
        warning_(message);
}

}  // namespace abm
