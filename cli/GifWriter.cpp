#include "GifWriter.h"

#include "codecs/raster/Graphics.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace abm {

namespace {

constexpr size_t kMaxColours = 256;

// One box of median cut: a run of the distinct colours, with their counts.
struct Box {
    size_t begin, end;
    int widestChannel = 0;
    int range = 0;
    uint64_t pixels = 0;
};

struct Colour {
    Rgb8 rgb;
    uint16_t value;
    uint64_t count;
};

void measure(Box& box, const std::vector<Colour>& colours)
{
    std::array<int, 3> low{255, 255, 255}, high{0, 0, 0};
    box.pixels = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min<int>(low[c], colours[i].rgb[c]);
            high[c] = std::max<int>(high[c], colours[i].rgb[c]);
        }
        box.pixels += colours[i].count;
    }
    box.range = -1;
    for (int c = 0; c < 3; ++c) {
        if (high[c] - low[c] > box.range) {
            box.range = high[c] - low[c];
            box.widestChannel = c;
        }
    }
}

// Splits the box whose widest channel spans most (weighted by its pixels, so
// that large areas get the finer colours) at its pixels' median.
std::vector<Box> medianCut(std::vector<Colour>& colours)
{
    std::vector<Box> boxes{{0, colours.size()}};
    measure(boxes[0], colours);
    while (boxes.size() < kMaxColours) {
        auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) {
            return double(a.range) * double(a.pixels) < double(b.range) * double(b.pixels);
        });
        if (widest->range <= 0)
            break;
        Box box = *widest;
        const int c = box.widestChannel;
        std::sort(colours.begin() + std::ptrdiff_t(box.begin), colours.begin() + std::ptrdiff_t(box.end),
                  [c](const Colour& a, const Colour& b) { return a.rgb[c] < b.rgb[c]; });
        uint64_t seen = 0;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i + 1 < box.end; ++i) {
            seen += colours[i].count;
            split = i + 1;
            if (seen * 2 >= box.pixels)
                break;
        }
        Box low{box.begin, split}, high{split, box.end};
        measure(low, colours);
        measure(high, colours);
        *widest = low;
        boxes.push_back(high);
    }
    return boxes;
}

int distance(const Rgb8& a, const Rgb8& b)
{
    int sum = 0;
    for (int c = 0; c < 3; ++c)
        sum += (a[c] - b[c]) * (a[c] - b[c]);
    return sum;
}

int writeToVector(GifFileType* gif, const GifByteType* bytes, int length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), bytes, bytes + length);
    return length;
}

[[noreturn]] void fail(int code)
{
    const char* why = GifErrorString(code);
    throw std::runtime_error(std::string("GIF encoder: ") + (why ? why : "unknown error"));
}

void check(GifFileType* gif, int result)
{
    if (result == GIF_ERROR)
        fail(gif->Error);
}

std::vector<uint16_t> pixels565(const Raster& frame)
{
    std::vector<uint16_t> pixels;
    pixels.reserve(size_t(frame.width()) * size_t(frame.height()));
    for (int y = 0; y < frame.height(); ++y) {
        const uint8_t* row = frame.row(y);
        for (int x = 0; x < frame.width(); ++x) {
            if (frame.bitsPerPixel() == 16) {
                pixels.push_back(uint16_t(row[2 * x] | (row[2 * x + 1] << 8)));
            } else {
                const Color c = frame.pixel(x, y);
                pixels.push_back(toRgb565(redOf(c), greenOf(c), blueOf(c)));
            }
        }
    }
    return pixels;
}

}  // namespace

Rgb8 widen565(uint16_t pixel)
{
    const int r = pixel >> 11, g = (pixel >> 5) & 0x3F, b = pixel & 0x1F;
    return {uint8_t(r << 3 | r >> 2), uint8_t(g << 2 | g >> 4), uint8_t(b << 3 | b >> 2)};
}

IndexedFrame quantiseFrame(const std::vector<uint16_t>& pixels)
{
    std::vector<uint64_t> counts(65536, 0);
    for (const uint16_t p : pixels)
        ++counts[p];
    std::vector<Colour> colours;
    for (size_t v = 0; v < counts.size(); ++v)
        if (counts[v] > 0)
            colours.push_back({widen565(uint16_t(v)), uint16_t(v), counts[v]});

    IndexedFrame frame;
    std::vector<uint8_t> indexOf(65536, 0);
    if (colours.size() <= kMaxColours) {
        for (const Colour& c : colours) {
            indexOf[c.value] = uint8_t(frame.palette.size());
            frame.palette.push_back(c.rgb);
        }
    } else {
        for (const Box& box : medianCut(colours)) {
            std::array<uint64_t, 3> sum{};
            for (size_t i = box.begin; i < box.end; ++i)
                for (int c = 0; c < 3; ++c)
                    sum[c] += uint64_t(colours[i].rgb[c]) * colours[i].count;
            Rgb8 mean;
            for (int c = 0; c < 3; ++c)
                mean[c] = uint8_t((sum[c] + box.pixels / 2) / box.pixels);
            frame.palette.push_back(mean);
        }
        // Each colour to its nearest entry, which need not be its own box's mean.
        for (const Colour& c : colours) {
            size_t best = 0;
            for (size_t i = 1; i < frame.palette.size(); ++i)
                if (distance(c.rgb, frame.palette[i]) < distance(c.rgb, frame.palette[best]))
                    best = i;
            indexOf[c.value] = uint8_t(best);
        }
    }
    frame.indexes.reserve(pixels.size());
    for (const uint16_t p : pixels)
        frame.indexes.push_back(indexOf[p]);
    return frame;
}

std::vector<uint8_t> encodeGifAnimation(const std::vector<const Raster*>& frames, int delayMs)
{
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToVector, &error);
    if (!gif)
        fail(error);
    try {
        int width = 0, height = 0;
        for (const Raster* f : frames) {
            width = std::max(width, f->width());
            height = std::max(height, f->height());
        }
        EGifSetGifVersion(gif, true);
        check(gif, EGifPutScreenDesc(gif, width, height, 8, 0, nullptr));
        // The NETSCAPE2.0 block with a loop count of 0: for ever.
        static const GifByteType kLoop[3] = {1, 0, 0};
        check(gif, EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE));
        check(gif, EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0"));
        check(gif, EGifPutExtensionBlock(gif, sizeof kLoop, kLoop));
        check(gif, EGifPutExtensionTrailer(gif));
        for (const Raster* f : frames) {
            const IndexedFrame indexed = quantiseFrame(pixels565(*f));
            GraphicsControlBlock control{};
            control.DisposalMode = DISPOSE_BACKGROUND;
            control.DelayTime = std::clamp((delayMs + 5) / 10, 0, 65535);
            control.TransparentColor = NO_TRANSPARENT_COLOR;
            GifByteType extension[4];
            const size_t length = EGifGCBToExtension(&control, extension);
            check(gif, EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension));
            // giflib's tables hold a power of two entries, at least two.
            int tableSize = 2;
            while (tableSize < int(indexed.palette.size()))
                tableSize *= 2;
            std::vector<GifColorType> table(size_t(tableSize), GifColorType{0, 0, 0});
            for (size_t i = 0; i < indexed.palette.size(); ++i)
                table[i] = {indexed.palette[i][0], indexed.palette[i][1], indexed.palette[i][2]};
            ColorMapObject* map = GifMakeMapObject(tableSize, table.data());
            if (!map)
                fail(E_GIF_ERR_NOT_ENOUGH_MEM);
            const int put = EGifPutImageDesc(gif, 0, 0, f->width(), f->height(), false, map);
            GifFreeMapObject(map);
            check(gif, put);
            std::vector<GifPixelType> row(size_t(f->width()));
            for (int y = 0; y < f->height(); ++y) {
                std::memcpy(row.data(), indexed.indexes.data() + size_t(y) * row.size(), row.size());
                check(gif, EGifPutLine(gif, row.data(), f->width()));
            }
        }
    } catch (...) {
        EGifCloseFile(gif, &error);
        throw;
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR)
        fail(error);
    return out;
}

}  // namespace abm
