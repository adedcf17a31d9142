#include "JpegRows.h"

#include "JpegDecompressor.h"

#include <algorithm>

namespace abm {

namespace {

// The bytes of one row as the library writes it, and of its 24-bit copy
// when the library's rows are CMYK.
int64_t rowBytes(const jpeg_decompress_struct& info)
{
    const int64_t width = info.output_width;
    return width * info.output_components + (info.out_color_space == JCS_CMYK ? width * 3 : 0);
}

}  // namespace

int jpegEighthsFor(int width, int height, int needWidth, int needHeight)
{
    if (width <= 0 || height <= 0 || needWidth <= 0 || needHeight <= 0)
        return 8;
    const auto eighths = [](int64_t size, int64_t need) {
        return (8 * kReducedPixelsAveraged * need + size - 1) / size;
    };
    return static_cast<int>(
        std::clamp<int64_t>(std::max(eighths(width, needWidth), eighths(height, needHeight)), 1, 8));
}

JpegRows::JpegRows(const JpegImage& jpeg, int scale)
    : jpeg_(jpeg), decompressor_(std::make_unique<JpegDecompressor>(jpeg.data_->bytes.data(), jpeg.data_->bytes.size()))
{
    JpegDecompressor& d = *decompressor_;
    const jpeg_decompress_struct& info = d.info();
    d.readHeader();
    const bool eightBit = d.configure(jpeg.settings(), scale);
    // Frames made from these rows may later be made again from a full
    // decode, which must be possible.
    const int64_t pixels = static_cast<int64_t>(info.image_width) * info.image_height;
    if (pixels > rasterPixelLimit())
        throw InvalidGraphicError(ErrorKind::PictureTooLarge, {}, pixels, rasterPixelLimit());
    const int64_t libraryBytes = d.libraryMemoryEstimate();
    held_ = MemoryReservation(libraryBytes + rowBytes(info));
    d.setLibraryMemoryLimit(libraryBytes + MemoryBudget::available());
    const bool cmyk = info.out_color_space == JCS_CMYK;
    row_.resize(size_t{info.output_width} * (cmyk ? 3 : info.output_components));
    cmykRow_.resize(cmyk ? size_t{info.output_width} * 4 : 0);
    d.startDecompress();

    pictureWidth = static_cast<int>(info.image_width);
    pictureHeight = static_cast<int>(info.image_height);
    eighths = info.min_DCT_scaled_size;
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    layout = PixelLayout::forFormat(eightBit ? pf8bit : pf24bit);
    if (eightBit)
        palette = d.colorMap();
}

JpegRows::~JpegRows() = default;

const uint8_t* JpegRows::row(int y)
{
    for (; next_ <= y; ++next_)
        decompressor_->readScanline(row_.data(), cmykRow_.empty() ? nullptr : invertedCmykToBgr, cmykRow_.data());
    return row_.data();
}

void JpegRows::finish()
{
    row(height - 1);
    decompressor_->finishDecompress();
}

int64_t JpegRows::memory(const JpegImage& jpeg, int scale)
{
    if (jpeg.data_->bytes.empty())
        return 0;
    JpegDecompressor d(jpeg.data_->bytes.data(), jpeg.data_->bytes.size());
    d.readHeader();
    d.configure(jpeg.settings(), scale);
    return d.libraryMemoryEstimate() + rowBytes(d.info());
}

}  // namespace abm
