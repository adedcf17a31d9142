#include "JpegImage.h"

#include "JpegDecompressor.h"
#include "base/ByteStream.h"

#include <atomic>

namespace abm {

namespace {

std::atomic<int64_t> gDecodeCount{0};

Raster decode(const LoadedBytes& bytes, const JpegSettings& settings)
{
    JpegDecompressor decompressor(bytes.data(), bytes.size());
    jpeg_decompress_struct& info = decompressor.info();
    decompressor.readHeader();
    const bool eightBit = decompressor.configure(settings);
    const bool cmyk = info.out_color_space == JCS_CMYK;

    // Refuse a picture whose raster and library buffers together do not fit
    // the memory budget before the library reads its scans.
    const int width = static_cast<int>(info.output_width), height = static_cast<int>(info.output_height);
    const int64_t libraryBytes = decompressor.libraryMemoryEstimate();
    MemoryBudget::require(rasterBytes(width, height, eightBit ? 8 : 24) + libraryBytes);

    Raster raster;
    raster.create(width, height, PixelLayout::forFormat(eightBit ? PixelFormat::Indexed8 : PixelFormat::Bgr888));
    const MemoryReservation library(libraryBytes);
    // What it was promised and whatever else is left, never more.
    decompressor.setLibraryMemoryLimit(libraryBytes + MemoryBudget::available());
    decompressor.startDecompress();
    if (eightBit)
        raster.setPalette(decompressor.colorMap());
    // Rows lie bottom-up: the next row down is one stride lower in memory.
    std::vector<uint8_t> cmykRow(cmyk ? size_t{info.output_width} * 4 : 0);
    decompressor.readScanlines(raster.row(0), -static_cast<ptrdiff_t>(raster.stride()),
                               cmyk ? invertedCmykToBgr : nullptr, cmykRow.data());
    decompressor.finishDecompress();
    return raster;
}

}  // namespace

JpegImage::JpegImage()
    : data_(std::make_shared<Data>()), decoded_(std::make_shared<Decoded>()), settings_(jpegDefaults())
{
}

void JpegImage::loadFromFile(const std::string& fileName)
{
    FileStream file(fileName, FileStream::Mode::OpenRead);
    loadFromStream(file);
}

void JpegImage::loadFromStream(ByteStream& stream)
{
    decoded_ = std::make_shared<Decoded>();
    auto data = std::make_shared<Data>();
    data->bytes = stream.readRest();
    data_ = data;
    if (data->bytes.empty())
        return;

    JpegDecompressor decompressor(data->bytes.data(), data->bytes.size());
    decompressor.readHeader();
    jpeg_decompress_struct& info = decompressor.info();
    data->width = static_cast<int>(info.image_width);
    data->height = static_cast<int>(info.image_height);
    data->grayscale = info.jpeg_color_space == JCS_GRAYSCALE;
    data->progressive = decompressor.hasMultipleScans();
}

int64_t JpegImage::decodeMemory() const
{
    if (data_->bytes.empty())
        return 0;
    JpegDecompressor decompressor(data_->bytes.data(), data_->bytes.size());
    decompressor.readHeader();
    const bool eightBit = decompressor.configure(settings_);
    const jpeg_decompress_struct& info = decompressor.info();
    return rasterBytes(info.output_width, info.output_height, eightBit ? 8 : 24) + decompressor.libraryMemoryEstimate();
}

const Raster& JpegImage::raster()
{
    if (!decoded_->done) {
        ++gDecodeCount;
        decoded_->raster = decode(data_->bytes, settings_);
        decoded_->done = true;
    }
    return decoded_->raster;
}

void JpegImage::assignTo(Raster& dest)
{
    dest.assign(&raster());
}

int64_t JpegImage::decodeCount()
{
    return gDecodeCount.load();
}

}  // namespace abm
