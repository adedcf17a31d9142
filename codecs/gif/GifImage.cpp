#include "GifImage.h"

#include "GifWarnings.h"
#include "base/Error.h"
#include "LzwDecoder.h"
#include "GifReader.h"

#include "base/ByteStream.h"

#include <cctype>
#include <exception>

namespace abm {

bool gifSignatureAt(const uint8_t* head, size_t length, size_t offset)
{
    if (length < offset + 3)
        return false;
    const uint8_t* b = head + offset;
    return std::toupper(b[0]) == 'G' && std::toupper(b[1]) == 'I' && std::toupper(b[2]) == 'F';
}

GifImage::GifImage() = default;

GifImage::~GifImage() = default;

void GifImage::clear()
{
    images_.clear();
    globalColorMap_.clear();
    version_.clear();
    screenWidth_ = screenHeight_ = 0;
    screenFlags_ = backgroundColorIndex_ = aspectRatio_ = 0;
    palette_.reset();
    rasterPalette_ = SharedPalette();
}

GifSubImage& GifImage::images(int index)
{
    if (index < 0 || index >= count())
        throw Error(ErrorKind::ListIndexOutOfBounds, {}, index);
    return *images_[static_cast<size_t>(index)];
}

const GifSubImage& GifImage::images(int index) const
{
    return const_cast<GifImage*>(this)->images(index);
}

const Palette& GifImage::palette()
{
    if (!palette_)
        palette_ = std::make_unique<Palette>(globalColorMap_.colors());
    return *palette_;
}

const SharedPalette& GifImage::globalRasterPalette()
{
    if (rasterPalette_.empty() && !globalColorMap_.empty()) {
        Palette colors = globalColorMap_.colors();
        colors.resize(256, Rgb{0, 0, 0});
        rasterPalette_ = std::move(colors);
    }
    return rasterPalette_;
}

void GifImage::warning(const std::string& message)
{
    if (onWarning)
        onWarning(*this, GifSeverity::Warning, message);
}

void GifImage::loadFromFile(const std::string& fileName)
{
    FileStream file(fileName, FileStream::Mode::OpenRead);
    loadFromStream(file);
}

void GifImage::loadFromStream(ByteStream& stream)
{
    const int64_t start = stream.position();
    clear();
    try {
        const LoadedBytes bytes = stream.readRest();
        const size_t used = loadFromMemory(bytes.data(), bytes.size());
        stream.setPosition(start + static_cast<int64_t>(used));
    } catch (...) {
        stream.setPosition(start);
        throw;
    }
}

void GifImage::readHeader(GifReader& reader)
{
    uint8_t sig[6];
    reader.readFixed(sig, sizeof sig);
    if (!gifSignatureAt(sig, sizeof sig, 0)) {
        reader.setPosition(kGifSignaturePrefix);
        const size_t n = reader.readSome(sig, sizeof sig);
        if (!gifSignatureAt(sig, n, 0))
            throw InvalidGraphicError(ErrorKind::GifInvalidSignature);
        if (n < sizeof sig)
            throw InvalidGraphicError(ErrorKind::GifPrematureEnd);
    }
    version_.assign(reinterpret_cast<const char*>(sig), sizeof sig);

    uint8_t lsd[7];
    reader.readFixed(lsd, sizeof lsd);
    screenWidth_ = lsd[0] | (lsd[1] << 8);
    screenHeight_ = lsd[2] | (lsd[3] << 8);
    screenFlags_ = lsd[4];
    backgroundColorIndex_ = lsd[5];
    aspectRatio_ = lsd[6];
    if (screenFlags_ & kGifColorTableFlag)
        globalColorMap_.loadFromReader(reader, GifColorTable::sizeFromFlags(screenFlags_));
}

size_t GifImage::loadFromMemory(const uint8_t* data, size_t size)
{
    clear();
    GifReader reader(data, size, [this](const std::string& message) { warning(message); });
    readHeader(reader);

    // The blocks first. An error among them still lets the images before it
    // be decoded, as if the file were read in one pass, and ends the load
    // after them.
    std::exception_ptr blockError;
    int64_t budget = pixelLimit;
    try {
        for (;;) {
            int b;
            do
                b = reader.readByte();
            while (b == 0);
            if (b < 0)
                break;
            reader.stepBack();
            if (b == kGIFTrailer)
                break;
            if (b != kGIFExtensionIntroducer && b != kGIFImageSeparator) {
                warning(kGIFUnknownBlock);
                break;
            }
            auto image = std::make_unique<GifSubImage>(this);
            image->loadFromReader(reader, budget);
            images_.push_back(std::move(image));
        }
        const int trailer = reader.readByte();
        if (trailer >= 0 && trailer != kGIFTrailer)
            warning(kGIFInvalidTrailer);
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (...) {
        blockError = std::current_exception();
    }
    const size_t end = reader.position();
    if (onBlocksRead)
        onBlocksRead(*this);

    // One decoder for all images: its tables are set up once per load.
    auto decoder = std::make_unique<LzwDecoder>();
    decoder->onWarning = [this](const std::string& message) { warning(message); };
    for (size_t i = 0; i < images_.size(); ++i) {
        try {
            images_[i]->decodePixels(reader, *decoder);
        } catch (...) {
            // The image in error and those after it would not have been read.
            images_.resize(i);
            throw;
        }
    }
    if (blockError)
        std::rethrow_exception(blockError);
    return end;
}

}  // namespace abm
