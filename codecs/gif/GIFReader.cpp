#include "GIFReader.h"

#include "GifWarnings.h"
#include "base/Error.h"

#include <cstring>

namespace abm {

TGIFReader::TGIFReader(const uint8_t* data, size_t size, TWarningSink warning)
    : data_(data), size_(size), warning_(std::move(warning))
{
}

void TGIFReader::ReadFixed(void* buffer, size_t count)
{
    if (Left() < count)
        throw InvalidGraphicError(ErrorKind::GifPrematureEnd);
    ReadSome(buffer, count);
}

uint16_t TGIFReader::ReadWord()
{
    uint8_t b[2];
    ReadFixed(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

size_t TGIFReader::ReadSome(void* buffer, size_t count)
{
    const size_t n = count < Left() ? count : Left();
    if (n > 0)
        std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

void TGIFReader::Skip(size_t count)
{
    pos_ += count < Left() ? count : Left();
}

void TGIFReader::ReadSubBlocks(std::string& out)
{
    for (;;) {
        const int length = ReadByte();
        if (length <= 0)
            return;
        const size_t n = static_cast<size_t>(length) < Left() ? static_cast<size_t>(length) : Left();
        if (n < static_cast<size_t>(length))
            Warning(kGIFPrematureEnd);
        out.append(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
    }
}

size_t TGIFReader::SkipSubBlocks(size_t position) const
{
    while (position < size_) {
        const size_t length = data_[position++];
        if (length == 0)
            break;
        position += length < size_ - position ? length : size_ - position;
    }
    return position;
}

void TGIFReader::Warning(const std::string& message) const
{
    if (warning_)
        warning_(message);
}

}  // namespace abm
