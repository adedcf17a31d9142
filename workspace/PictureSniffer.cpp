#include "PictureSniffer.h"

#include "base/ByteStream.h"
#include "base/Error.h"
#include "codecs/abm/AbmCodec.h"
#include "codecs/bmp/BmpCodec.h"
#include "codecs/gif/GifImage.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace abm {

namespace {

struct Signature {
    size_t offset;
    std::string_view bytes;
    PictureType type;
    const char* otherFormat;
};

using namespace std::string_view_literals;

// Formats people try first; the ones abmtool cannot read are named so the
// warning can say what the file is.
const Signature kSignatures[] = {
    {0, "\xFF\xD8"sv, PictureType::Jpeg, ""},
    {0, "BM"sv, PictureType::Bmp, ""},
    {0, "\x89PNG\r\n\x1A\n"sv, PictureType::None, "PNG"},
    {8, "WEBP"sv, PictureType::None, "WebP"},
    {0, "II*\0"sv, PictureType::None, "TIFF"},
    {0, "MM\0*"sv, PictureType::None, "TIFF"},
    {4, "ftypheic"sv, PictureType::None, "HEIC"},
    {4, "ftypavif"sv, PictureType::None, "AVIF"},
    {0, "8BPS"sv, PictureType::None, "Photoshop"},
    {0, "%PDF"sv, PictureType::None, "PDF"},
};

constexpr size_t kBmpPixelOffset = 10;

uint32_t littleEndian32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

bool supportedDepth(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool bmpEndsEarly(const uint8_t* head, size_t length, int64_t fileSize)
{
    int64_t width = 0, height = 0;
    int bits = 0;
    if (!readBmpSize(head, length, width, height, bits) || width <= 0 || !supportedDepth(bits))
        return false;
    // Run-length pixels have no size to expect.
    constexpr size_t kInfoSize = 14, kCompression = 30;
    const bool coreHeader = littleEndian32(head + kInfoSize) == 12;
    if (!coreHeader && (length < kCompression + 4 ||
                        (littleEndian32(head + kCompression) != 0 && littleEndian32(head + kCompression) != 3)))
        return false;
    const int64_t stride = (width * bits + 31) / 32 * 4;
    const int64_t offset = littleEndian32(head + kBmpPixelOffset);
    // Divided, since the product of absurd header sizes overflows.
    return offset > fileSize || (height > 0 && stride > (fileSize - offset) / height);
}

}  // namespace

SniffedFile sniffPicture(const uint8_t* head, size_t length, int64_t fileSize, const std::string& fileName)
{
    SniffedFile sniffed;
    sniffed.size = fileSize;
    if (gifSignatureAt(head, length, 0)) {
        sniffed.type = PictureType::Gif;
        return sniffed;
    }
    for (const Signature& s : kSignatures) {
        if (length >= s.offset + s.bytes.size() && std::memcmp(head + s.offset, s.bytes.data(), s.bytes.size()) == 0) {
            sniffed.type = s.type;
            sniffed.otherFormat = s.otherFormat;
            return sniffed;
        }
    }
    if (gifSignatureAt(head, length, kGifSignaturePrefix))
        sniffed.type = PictureType::Gif;
    else if (pictureTypeByExtension(fileName) == PictureType::Abm ||
             checkAbmHeader(head, length, fileSize).verdict == AbmVerdict::Accepted)
        sniffed.type = PictureType::Abm;
    return sniffed;
}

namespace {

// What the decoders will make of the file's ends. `last` holds its last
// two bytes (fewer in a shorter file).
void noteEnds(SniffedFile& sniffed, const uint8_t* head, size_t got, const uint8_t* last, size_t lastLength)
{
    if (sniffed.type == PictureType::Bmp) {
        int64_t width = 0, height = 0;
        int bits = 0;
        if (readBmpSize(head, got, width, height, bits) && !supportedDepth(bits))
            sniffed.unsupportedDepth = bits;
        sniffed.cutShort = bmpEndsEarly(head, got, sniffed.size);
    } else if (sniffed.type == PictureType::Jpeg) {
        sniffed.cutShort = lastLength < 2 || last[0] != 0xFF || last[1] != 0xD9;  // the end-of-image marker
    } else if (sniffed.type == PictureType::Gif) {
        sniffed.cutShort = lastLength < 1 || last[lastLength - 1] != 0x3B;  // the trailer
    }
}

}  // namespace

SniffedFile sniffPictureFile(const std::string& fileName)
{
    int error = 0;
    int64_t size = 0;
    const int fd = openRegularFile(fileName, error, &size);
    if (fd < 0)
        throw FileError(ErrorKind::FileOpen, fileName, error);
    uint8_t head[AbmHeader::kSize];
    size_t got = 0;
    while (got < sizeof head) {
        const ssize_t n = ::read(fd, head + got, sizeof head - got);
        if (n < 0) {
            error = errno;
            ::close(fd);
            throw FileError(ErrorKind::FileOpen, fileName, error);
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    // A file of size 0 that gives bytes is a kernel's (/proc, /sys): no
    // picture, and its size says nothing.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (size == 0 && got > 0)) {
        ::close(fd);
        throw FileError(ErrorKind::FileOpen, fileName, kNotRegularFile);
    }
    SniffedFile sniffed = sniffPicture(head, got, size, fileName);
    sniffed.device = st.st_dev;
    sniffed.inode = st.st_ino;
    uint8_t last[2] = {};
    const int64_t lastLength = std::min<int64_t>(size, 2);
    const ssize_t readLast = ::pread(fd, last, static_cast<size_t>(lastLength), size - lastLength);
    noteEnds(sniffed, head, got, last, readLast == lastLength ? static_cast<size_t>(lastLength) : 0);
    ::close(fd);
    return sniffed;
}

SniffedFile sniffInput(const InputFile& input)
{
    const LoadedBytes* bytes = input.bytes();
    if (!bytes)
        return sniffPictureFile(input.name());
    const size_t got = std::min(bytes->size(), AbmHeader::kSize);
    SniffedFile sniffed = sniffPicture(bytes->data(), got, static_cast<int64_t>(bytes->size()), input.name());
    const size_t lastLength = std::min<size_t>(bytes->size(), 2);
    noteEnds(sniffed, bytes->data(), got, bytes->data() + bytes->size() - lastLength, lastLength);
    return sniffed;
}

}  // namespace abm
