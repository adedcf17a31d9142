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

bool IsGifSignature(const uint8_t* b)
{
    return std::toupper(b[0]) == 'G' && std::toupper(b[1]) == 'I' && std::toupper(b[2]) == 'F';
}

// Some files carry 4 bytes before the signature.
constexpr size_t kTolerantPrefix = 4;

}  // namespace

TGIFImage::TGIFImage() = default;

TGIFImage::~TGIFImage() = default;

void TGIFImage::Clear()
{
    images_.clear();
    globalColorMap_.Clear();
    version_.clear();
    screenWidth_ = screenHeight_ = 0;
    screenFlags_ = backgroundColorIndex_ = aspectRatio_ = 0;
    palette_.reset();
    rasterPalette_ = TSharedPalette();
}

TGIFSubImage& TGIFImage::Images(int index)
{
    if (index < 0 || index >= Count())
        throw Error(ErrorKind::ListIndexOutOfBounds, {}, index);
    return *images_[static_cast<size_t>(index)];
}

const TGIFSubImage& TGIFImage::Images(int index) const
{
    return const_cast<TGIFImage*>(this)->Images(index);
}

const TPalette& TGIFImage::Palette()
{
    if (!palette_)
        palette_ = std::make_unique<TPalette>(globalColorMap_.Colors());
    return *palette_;
}

const TSharedPalette& TGIFImage::GlobalRasterPalette()
{
    if (rasterPalette_.empty() && !globalColorMap_.Empty()) {
        TPalette colors = globalColorMap_.Colors();
        colors.resize(256, TPaletteEntry{0, 0, 0});
        rasterPalette_ = std::move(colors);
    }
    return rasterPalette_;
}

void TGIFImage::Warning(const std::string& message)
{
    if (OnWarning)
        OnWarning(*this, TGIFSeverity::Warning, message);
}

void TGIFImage::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    LoadFromStream(file);
}

void TGIFImage::LoadFromStream(TStream& stream)
{
    const int64_t start = stream.Position();
    Clear();
    try {
        const TLoadedBytes bytes = stream.ReadRest();
        const size_t used = LoadFromMemory(bytes.data(), bytes.size());
        stream.SetPosition(start + static_cast<int64_t>(used));
    } catch (...) {
        stream.SetPosition(start);
        throw;
    }
}

void TGIFImage::ReadHeader(TGIFReader& reader)
{
    uint8_t sig[6];
    reader.ReadFixed(sig, sizeof sig);
    if (!IsGifSignature(sig)) {
        reader.SetPosition(kTolerantPrefix);
        const size_t n = reader.ReadSome(sig, sizeof sig);
        if (n < 3 || !IsGifSignature(sig))
            throw InvalidGraphicError(ErrorKind::GifInvalidSignature);
        if (n < sizeof sig)
            throw InvalidGraphicError(ErrorKind::GifPrematureEnd);
    }
    version_.assign(reinterpret_cast<const char*>(sig), sizeof sig);

    uint8_t lsd[7];
    reader.ReadFixed(lsd, sizeof lsd);
    screenWidth_ = lsd[0] | (lsd[1] << 8);
    screenHeight_ = lsd[2] | (lsd[3] << 8);
    screenFlags_ = lsd[4];
    backgroundColorIndex_ = lsd[5];
    aspectRatio_ = lsd[6];
    if (screenFlags_ & 0x80)
        globalColorMap_.LoadFromReader(reader, TGIFColorMap::SizeFromFlags(screenFlags_));
}

size_t TGIFImage::LoadFromMemory(const uint8_t* data, size_t size)
{
    Clear();
    TGIFReader reader(data, size, [this](const std::string& message) { Warning(message); });
    ReadHeader(reader);

    // The blocks first. An error among them still lets the images before it
    // be decoded, as if the file were read in one pass, and ends the load
    // after them.
    std::exception_ptr blockError;
    int64_t budget = PixelLimit;
    try {
        for (;;) {
            int b;
            do
                b = reader.ReadByte();
            while (b == 0);
            if (b < 0)
                break;
            reader.StepBack();
            if (b == kGIFTrailer)
                break;
            if (b != kGIFExtensionIntroducer && b != kGIFImageSeparator) {
                Warning(kGIFUnknownBlock);
                break;
            }
            auto image = std::make_unique<TGIFSubImage>(this);
            image->LoadFromReader(reader, budget);
            images_.push_back(std::move(image));
        }
        const int trailer = reader.ReadByte();
        if (trailer >= 0 && trailer != kGIFTrailer)
            Warning(kGIFInvalidTrailer);
    } catch (const MemoryLimitExceeded&) {
        throw;
    } catch (...) {
        blockError = std::current_exception();
    }
    const size_t end = reader.Position();
    if (OnBlocksRead)
        OnBlocksRead(*this);

    // One decoder for all images: its tables are set up once per load.
    auto decoder = std::make_unique<TGIFLzwDecoder>();
    decoder->OnWarning = [this](const std::string& message) { Warning(message); };
    for (size_t i = 0; i < images_.size(); ++i) {
        try {
            images_[i]->DecodePixels(reader, *decoder);
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
