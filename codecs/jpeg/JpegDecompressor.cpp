#include "JpegDecompressor.h"

#include "base/Error.h"
#include "codecs/raster/Raster.h"

#include <algorithm>
#include <limits>

#include <jerror.h>

static_assert(JPEG_LIB_VERSION == 62, "written against the libjpeg 6b interface");

namespace abm {

namespace {

using Step = void (*)(j_decompress_ptr, void*);

// The source hands the library the block in pieces of this size.
constexpr size_t kPieceBytes = 4096;

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// The only frame that calls setjmp. Neither it nor any step it runs may hold
// an object with a destructor: longjmp would skip it.
bool runGuarded(j_decompress_ptr cinfo, JpegDecompressor::ErrorManager* errors, Step step, void* arg)
{
    if (setjmp(errors->jump) != 0)
        return false;
    step(cinfo, arg);
    return true;
}

// Error manager ---------------------------------------------------------------

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegDecompressor::ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings and trace messages are of no use to anyone here.
void emitMessage(j_common_ptr, int)
{
}
void outputMessage(j_common_ptr)
{
}

void resetErrorManager(j_common_ptr cinfo)
{
    cinfo->err->num_warnings = 0;
    cinfo->err->msg_code = 0;
}

// Source manager --------------------------------------------------------------

JpegDecompressor::SourceManager* source(j_decompress_ptr cinfo)
{
    return reinterpret_cast<JpegDecompressor::SourceManager*>(cinfo->src);
}

void initSource(j_decompress_ptr cinfo)
{
    JpegDecompressor::SourceManager* src = source(cinfo);
    src->position = 0;
    src->pub.next_input_byte = nullptr;
    src->pub.bytes_in_buffer = 0;
}

boolean fillInputBuffer(j_decompress_ptr cinfo)
{
    JpegDecompressor::SourceManager* src = source(cinfo);
    if (src->position >= src->size) {
        if (src->size == 0)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A file cut short: end it here so what was read still decodes.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    const size_t piece = std::min(kPieceBytes, src->size - src->position);
    src->pub.next_input_byte = src->data + src->position;
    src->pub.bytes_in_buffer = piece;
    src->position += piece;
    return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    JpegDecompressor::SourceManager* src = source(cinfo);
    size_t left = static_cast<size_t>(count);
    while (left > src->pub.bytes_in_buffer) {
        left -= src->pub.bytes_in_buffer;
        const bool atEnd = src->position >= src->size;
        fillInputBuffer(cinfo);
        if (atEnd)
            return;  // skipped past the end: the end-of-image marker is next
    }
    src->pub.next_input_byte += left;
    src->pub.bytes_in_buffer -= left;
}

void termSource(j_decompress_ptr)
{
}

// Progress monitor ------------------------------------------------------------

// Called at least once per scan once the scan's header is read, before its
// data; charges each scan once, in full, ahead of the work.
void limitScanWork(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    const auto d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* progress = reinterpret_cast<JpegDecompressor::Progress*>(d->progress);
    if (d->input_scan_number == progress->scan)
        return;
    progress->scan = d->input_scan_number;
    int64_t blocks = 0;
    for (int i = 0; i < d->comps_in_scan; ++i)
        blocks += int64_t{d->cur_comp_info[i]->width_in_blocks} * d->cur_comp_info[i]->height_in_blocks;
    // The library has checked a progressive scan's band; a sequential scan
    // decodes whole blocks whatever its header says.
    const int band = d->progressive_mode ? d->Se - d->Ss + 1 : DCTSIZE2;
    int64_t work = kJPEGScanCost + blocks * (kJPEGBlockCost + band);
    if (d->arith_code)
        work *= kJPEGArithmeticFactor;
    progress->work += work;
    if (progress->work > kMaxJPEGScanWork) {
        cinfo->err->msg_code = kJPEGErrorTooMuchScanWork;
        cinfo->err->error_exit(cinfo);
    }
}

// Grey and 8-bit output are quantised to this many colours: a 256-colour
// display keeps 20 for itself.
constexpr int kQuantizedColors = 236;

struct RowTarget {
    uint8_t* top;
    ptrdiff_t step;
    JpegDecompressor::RowConverter convert;
    uint8_t* scratch;
};

}  // namespace

// Each sample is 255 less the ink, so a colour is its sample scaled by black's.
void invertedCmykToBgr(const uint8_t* from, uint8_t* to, size_t pixels)
{
    for (size_t i = 0; i < pixels; ++i, from += 4, to += 3) {
        const unsigned k = from[3];
        to[0] = static_cast<uint8_t>((from[2] * k + 127) / 255);
        to[1] = static_cast<uint8_t>((from[1] * k + 127) / 255);
        to[2] = static_cast<uint8_t>((from[0] * k + 127) / 255);
    }
}

JpegDecompressor::JpegDecompressor(const uint8_t* data, size_t size)
{
    info_.err = jpeg_std_error(&errors_.pub);
    errors_.pub.error_exit = errorExit;
    errors_.pub.emit_message = emitMessage;
    errors_.pub.output_message = outputMessage;
    errors_.pub.reset_error_mgr = resetErrorManager;

    if (!runGuarded(
            &info_, &errors_, [](j_decompress_ptr c, void*) { jpeg_create_decompress(c); }, nullptr)) {
        jpeg_destroy_decompress(&info_);  // frees whatever the failed creation allocated
        throw InvalidGraphicError(ErrorKind::Jpeg, {}, errors_.pub.msg_code);
    }

    source_.data = data;
    source_.size = size;
    source_.position = 0;
    source_.pub.init_source = initSource;
    source_.pub.fill_input_buffer = fillInputBuffer;
    source_.pub.skip_input_data = skipInputData;
    source_.pub.resync_to_restart = jpeg_resync_to_restart;
    source_.pub.term_source = termSource;
    info_.src = &source_.pub;

    progress_.pub.progress_monitor = limitScanWork;
    info_.progress = &progress_.pub;
}

JpegDecompressor::~JpegDecompressor()
{
    jpeg_destroy_decompress(&info_);
}

void JpegDecompressor::run(Step step, void* arg)
{
    if (runGuarded(&info_, &errors_, step, arg))
        return;
    if (errors_.pub.msg_code == kJPEGErrorTooMuchScanWork)
        throw InvalidGraphicError(ErrorKind::JpegTooManyScans, {}, progress_.scan);
    throw InvalidGraphicError(ErrorKind::Jpeg, {}, errors_.pub.msg_code);
}

void JpegDecompressor::readHeader()
{
    run(
        [](j_decompress_ptr c, void* multipleScans) {
            jpeg_read_header(c, TRUE);
            *static_cast<bool*>(multipleScans) = jpeg_has_multiple_scans(c) != FALSE;
        },
        &multipleScans_);
}

void JpegDecompressor::calcOutputDimensions()
{
    run([](j_decompress_ptr c, void*) { jpeg_calc_output_dimensions(c); });
}

bool JpegDecompressor::configure(const JpegSettings& settings, int eighths)
{
    info_.scale_num = static_cast<unsigned>(eighths);
    info_.scale_denom = 8u << settings.scale;
    info_.do_block_smoothing = settings.smoothing ? TRUE : FALSE;
    // libjpeg-turbo's own default is the integer DCT; pictures here have
    // always been decoded with the floating-point one.
    info_.dct_method = JDCT_FLOAT;
    if (settings.grayscaleOutput)
        info_.out_color_space = JCS_GRAYSCALE;
    const bool eightBit = settings.pixelFormat == jf8Bit || info_.out_color_space == JCS_GRAYSCALE;
    if (eightBit) {
        info_.quantize_colors = TRUE;
        info_.desired_number_of_colors = kQuantizedColors;
        if (info_.out_color_space != JCS_GRAYSCALE)
            info_.out_color_space = JCS_RGB;  // the colour map is the palette, so byte order does not matter
    } else if ((info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK) && info_.saw_Adobe_marker) {
        info_.out_color_space = JCS_CMYK;
    } else {
        // Rows straight into the 24-bit raster. Four-component files without
        // Adobe's marker may hold inverted ink or not; rather than guess, the
        // library refuses them.
        info_.out_color_space = JCS_EXT_BGR;
    }
    if (settings.performance == jpBestSpeed) {
        info_.dct_method = JDCT_IFAST;
        info_.two_pass_quantize = FALSE;
        info_.dither_mode = JDITHER_ORDERED;
    }
    calcOutputDimensions();
    const int64_t pixels = static_cast<int64_t>(info_.output_width) * info_.output_height;
    if (pixels > rasterPixelLimit())
        throw InvalidGraphicError(ErrorKind::PictureTooLarge, {}, pixels, rasterPixelLimit());
    return eightBit;
}

Palette JpegDecompressor::colorMap() const
{
    Palette palette(static_cast<size_t>(info_.actual_number_of_colors));
    const bool grey = info_.out_color_components == 1;
    for (size_t i = 0; i < palette.size(); ++i) {
        palette[i].r = info_.colormap[0][i];
        palette[i].g = info_.colormap[grey ? 0 : 1][i];
        palette[i].b = info_.colormap[grey ? 0 : 2][i];
    }
    return palette;
}

int64_t JpegDecompressor::libraryMemoryEstimate() const
{
    // Tables, the entropy decoder's state and the small pools.
    int64_t bytes = int64_t{256} << 10;
    const bool wholeImage = multipleScans_ || info_.buffered_image;
    for (int c = 0; c < info_.num_components; ++c) {
        const jpeg_component_info& comp = info_.comp_info[c];
        const int64_t blocksWide = (static_cast<int64_t>(comp.width_in_blocks) + comp.h_samp_factor - 1) /
                                   comp.h_samp_factor * comp.h_samp_factor;
        const int64_t blocksHigh = (static_cast<int64_t>(comp.height_in_blocks) + comp.v_samp_factor - 1) /
                                   comp.v_samp_factor * comp.v_samp_factor;
        const int64_t blockRowBytes = blocksWide * DCTSIZE2 * static_cast<int64_t>(sizeof(JCOEF));
        bytes += blockRowBytes * (wholeImage ? blocksHigh : comp.v_samp_factor);
        // The main buffer's row groups with their context rows, and the
        // upsampler's, at the size the blocks are decoded to.
        const int64_t blockSize = comp.DCT_scaled_size;
        bytes += blocksWide * blockSize * comp.v_samp_factor * blockSize * 4;
    }
    const int64_t outputRow = static_cast<int64_t>(info_.output_width) * info_.out_color_components;
    bytes += outputRow * info_.max_v_samp_factor * info_.min_DCT_scaled_size * 2;
    if (info_.quantize_colors)  // the error rows of Floyd-Steinberg dithering and the colour map
        bytes += (static_cast<int64_t>(info_.output_width) + 2) * info_.out_color_components * 2 * 4 + 256 * 4;
    return bytes;
}

void JpegDecompressor::setLibraryMemoryLimit(int64_t bytes)
{
    // 0 would mean no limit at all.
    info_.mem->max_memory_to_use = static_cast<long>(std::clamp<int64_t>(bytes, 1, std::numeric_limits<long>::max()));
}

void JpegDecompressor::startDecompress()
{
    run([](j_decompress_ptr c, void*) { jpeg_start_decompress(c); });
}

void JpegDecompressor::readScanlines(uint8_t* top, ptrdiff_t step, RowConverter convert, uint8_t* scratch)
{
    RowTarget target{top, step, convert, scratch};
    run(
        [](j_decompress_ptr c, void* arg) {
            const RowTarget* t = static_cast<const RowTarget*>(arg);
            while (c->output_scanline < c->output_height) {
                uint8_t* to = t->top + static_cast<ptrdiff_t>(c->output_scanline) * t->step;
                JSAMPROW row = t->convert ? t->scratch : to;
                if (jpeg_read_scanlines(c, &row, 1) != 1)
                    break;  // only a suspending source returns no row; ours never suspends
                if (t->convert)
                    t->convert(row, to, c->output_width);
            }
        },
        &target);
}

void JpegDecompressor::readScanline(uint8_t* to, RowConverter convert, uint8_t* scratch)
{
    RowTarget target{to, 0, convert, scratch};
    run(
        [](j_decompress_ptr c, void* arg) {
            const RowTarget* t = static_cast<const RowTarget*>(arg);
            JSAMPROW row = t->convert ? t->scratch : t->top;
            if (c->output_scanline < c->output_height && jpeg_read_scanlines(c, &row, 1) == 1 && t->convert)
                t->convert(row, t->top, c->output_width);
        },
        &target);
}

void JpegDecompressor::finishDecompress()
{
    run([](j_decompress_ptr c, void*) { jpeg_finish_decompress(c); });
}

}  // namespace abm
