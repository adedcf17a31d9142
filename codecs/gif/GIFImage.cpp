#include "GIFImage.h"

#include "GifWarnings.h"
#include "base/Error.h"
#include "GIFExtension.h"
#include "GIFLzwDecoder.h"
#include "GIFReader.h"

#include "base/ByteStream.h"

#include <cctype>
#include <exception>

namespace abm {


namespace {

bool isGifSignature(const uint8_t* b)
{
    return std::toupper(b[0]) == 'G' && std::toupper(b[1]) == 'I' && std::toupper(b[2]) == 'F';
}

// Some files carry 4 bytes before the signature.
constexpr size_t kTolerantPrefix = 4;

}  // namespace

TGIFImage::TGIFImage() = default;

TGIFImage::~TGIFImage() = default;

void TGIFImage::clear()
{
    images_.clear();
    globalColorMap_.clear();
    version_.clear();
    screenWidth_ = screenHeight_ = 0;
    screenFlags_ = backgroundColorIndex_ = aspectRatio_ = 0;
    palette_.reset();
    rasterPalette_ = TSharedPalette();
}

TGIFSubImage& TGIFImage::images(int index)
{
    if (index < 0 || index >= count())
        throw Error(ErrorKind::ListIndexOutOfBounds, {}, index);
    return *images_[static_cast<size_t>(index)];
}

const TGIFSubImage& TGIFImage::images(int index) const
{
    return const_cast<TGIFImage*>(this)->images(index);
}

const TPalette& TGIFImage::palette()
{
    if (!palette_)
        palette_ = std::make_unique<TPalette>(globalColorMap_.colors());
    return *palette_;
}

const TSharedPalette& TGIFImage::globalRasterPalette()
{
    if (rasterPalette_.empty() && !globalColorMap_.empty()) {
        TPalette colors = globalColorMap_.colors();
        colors.resize(256, TPaletteEntry{0, 0, 0});
        rasterPalette_ = std::move(colors);
    }
    return rasterPalette_;
}

void TGIFImage::warning(const std::string& message)
{
    if (onWarning)
        onWarning(*this, TGIFSeverity::Warning, message);
}

void TGIFImage::loadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    loadFromStream(file);
}

void TGIFImage::loadFromStream(TStream& stream)
{
    const int64_t start = stream.position();
    clear();
    try {
        const TLoadedBytes bytes = stream.readRest();
        const size_t used = loadFromMemory(bytes.data(), bytes.size());
        stream.setPosition(start + static_cast<int64_t>(used));
    } catch (...) {
        stream.setPosition(start);
        throw;
    }
}

void TGIFImage::readHeader(TGIFReader& reader)
{
    uint8_t sig[6];
    reader.readFixed(sig, sizeof sig);
    if (!isGifSignature(sig)) {
        reader.setPosition(kTolerantPrefix);
        const size_t n = reader.readSome(sig, sizeof sig);
        if (n < 3 || !isGifSignature(sig))
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
    if (screenFlags_ & 0x80)
        globalColorMap_.loadFromReader(reader, TGIFColorMap::sizeFromFlags(screenFlags_));
}

size_t TGIFImage::loadFromMemory(const uint8_t* data, size_t size)
{
    clear();
    TGIFReader reader(data, size, [this](const std::string& message) { warning(message); });
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
            auto image = std::make_unique<TGIFSubImage>(this);
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
    auto decoder = std::make_unique<TGIFLzwDecoder>();
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
