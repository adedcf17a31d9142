#include "JpegImage.h"

#include "JpegDecompressor.h"
#include "base/ByteStream.h"

#include <atomic>

namespace abm {

namespace {

// Grey and 8-bit output are quantised to this many colours: a 256-colour
// display keeps 20 for itself.
constexpr int kQuantizedColors = 236;

std::atomic<int64_t> gDecodeCount{0};

// Adobe's inverted CMYK, as the library delivers CMYK and YCCK files: each
// sample is 255 less the ink, so a colour is its sample scaled by black's.
void invertedCmykToBgr(const uint8_t* from, uint8_t* to, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i, from += 4, to += 3) {
        const unsigned k = from[3];
        to[0] = static_cast<uint8_t>((from[2] * k + 127) / 255);
        to[1] = static_cast<uint8_t>((from[1] * k + 127) / 255);
        to[2] = static_cast<uint8_t>((from[0] * k + 127) / 255);
    }
}

// The decoding parameters the settings ask for, set once the header is read.
// Returns whether the output is 8-bit (grey or quantised) rather than 24-bit.
bool configure(jpeg_decompress_struct& info, const JpegSettings& settings)
{
    info.scale_num = 1;
    info.scale_denom = 1u << settings.scale;
    info.do_block_smoothing = settings.smoothing ? TRUE : FALSE;
    // libjpeg-turbo's own default is the integer DCT; pictures here have
    // always been decoded with the floating-point one.
    info.dct_method = JDCT_FLOAT;
    if (settings.grayscaleOutput)
        info.out_color_space = JCS_GRAYSCALE;
    const bool eightBit = settings.pixelFormat == jf8Bit || info.out_color_space == JCS_GRAYSCALE;
    if (eightBit) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = kQuantizedColors;
        if (info.out_color_space != JCS_GRAYSCALE)
            info.out_color_space = JCS_RGB;  // the colour map is the palette, so byte order does not matter
    } else if ((info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) && info.saw_Adobe_marker) {
        info.out_color_space = JCS_CMYK;
    } else {
        // Rows straight into the 24-bit raster. Four-component files without
        // Adobe's marker may hold inverted ink or not; rather than guess, the
        // library refuses them.
        info.out_color_space = JCS_EXT_BGR;
    }
    if (settings.performance == jpBestSpeed) {
        info.dct_method = JDCT_IFAST;
        info.two_pass_quantize = FALSE;
        info.dither_mode = JDITHER_ORDERED;
    }
    return eightBit;
}

Raster decode(const LoadedBytes& bytes, const JpegSettings& settings)
{
    JpegDecompressor decompressor(bytes.data(), bytes.size());
    jpeg_decompress_struct& info = decompressor.info();
    decompressor.readHeader();
    const bool eightBit = configure(info, settings);
    const bool cmyk = info.out_color_space == JCS_CMYK;

    // Refuse a picture past the raster cap, or one whose raster and library
    // buffers together do not fit the memory budget, before the library
    // reads its scans.
    decompressor.calcOutputDimensions();
    const int width = static_cast<int>(info.output_width), height = static_cast<int>(info.output_height);
    if (static_cast<int64_t>(width) * height > rasterPixelLimit())
        throw InvalidGraphicError(ErrorKind::PictureTooLarge, {}, int64_t{width} * height, rasterPixelLimit());
    const int64_t libraryBytes = decompressor.libraryMemoryEstimate();
    MemoryBudget::require(rasterBytes(width, height, eightBit ? 8 : 24) + libraryBytes);

    Raster raster;
    raster.create(width, height, PixelLayout::forFormat(eightBit ? pf8bit : pf24bit));
    const MemoryReservation library(libraryBytes);
    // What it was promised and whatever else is left, never more.
    decompressor.setLibraryMemoryLimit(libraryBytes + MemoryBudget::available());
    decompressor.startDecompress();
    if (eightBit) {
        Palette palette(static_cast<size_t>(info.actual_number_of_colors));
        const bool grey = info.out_color_components == 1;
        for (size_t i = 0; i < palette.size(); ++i) {
            palette[i].r = info.colormap[0][i];
            palette[i].g = info.colormap[grey ? 0 : 1][i];
            palette[i].b = info.colormap[grey ? 0 : 2][i];
        }
        raster.setPalette(std::move(palette));
    }
    // Rows lie bottom-up: the next row down is one stride lower in memory.
    std::vector<uint8_t> cmykRow(cmyk ? size_t{info.output_width} * 4 : 0);
    decompressor.readScanlines(raster.scanLine(0), -static_cast<ptrdiff_t>(raster.stride()),
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
    const bool eightBit = configure(decompressor.info(), settings_);
    decompressor.calcOutputDimensions();
    const jpeg_decompress_struct& info = decompressor.info();
    const int64_t pixels = static_cast<int64_t>(info.output_width) * info.output_height;
    if (pixels > rasterPixelLimit())
        throw InvalidGraphicError(ErrorKind::PictureTooLarge, {}, pixels, rasterPixelLimit());
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
