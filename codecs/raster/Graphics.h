#pragma once

// Small value types shared by the raster, its painter and the codecs.

#include "base/Rect.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace abm {

// Numbered as stored files and the ABM writer compare them; named after the
// layout, as QImage names its formats: Rgb555 and Rgb565 give the bits of one
// little-endian 16-bit value from the top, Bgr888 and Bgrx8888 the bytes in
// memory (x unused).
enum class PixelFormat : int {
    DeviceDependent = 0,
    Indexed1 = 1,
    Indexed4 = 2,
    Indexed8 = 3,
    Rgb555 = 4,
    Rgb565 = 5,
    Bgr888 = 6,
    Bgrx8888 = 7,
    Custom = 8,  // any other layout, such as 16 bits with other masks
};

// 0x00BBGGRR: red in the low byte.
using Color = uint32_t;
namespace color {
constexpr Color black = 0x000000;
constexpr Color white = 0xFFFFFF;
}  // namespace color

constexpr Color rgbColor(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}
constexpr uint8_t redOf(Color c)
{
    return static_cast<uint8_t>(c);
}
constexpr uint8_t greenOf(Color c)
{
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t blueOf(Color c)
{
    return static_cast<uint8_t>(c >> 16);
}

// 5-6-5 reduction: each channel keeps its high bits.
constexpr uint16_t toRgb565(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
using Palette = std::vector<Rgb>;

// A colour table as rasters hold it: the copies of a raster and the frames
// made from one picture share one table that never changes, rather than a
// copy each (a GIF of many images would otherwise hold one per frame).
class SharedPalette {
public:
    SharedPalette() = default;
    SharedPalette(Palette colors)  // NOLINT(google-explicit-constructor): a table is a palette
        : colors_(colors.empty() ? nullptr : std::make_shared<const Palette>(std::move(colors)))
    {
    }
    SharedPalette(std::initializer_list<Rgb> colors) : SharedPalette(Palette(colors)) {}

    const Palette& colors() const { return colors_ ? *colors_ : none(); }
    operator const Palette&() const { return colors(); }  // NOLINT(google-explicit-constructor)
    size_t size() const { return colors().size(); }
    bool empty() const { return colors().empty(); }
    const Rgb& operator[](size_t index) const { return colors()[index]; }

    friend bool operator==(const SharedPalette& a, const SharedPalette& b)
    {
        return a.colors_ == b.colors_ || a.colors() == b.colors();
    }

private:
    static const Palette& none()
    {
        static const Palette none;
        return none;
    }
    std::shared_ptr<const Palette> colors_;
};

// A 1-bit mask, rows from the top, each row padded to 16 bits, most
// significant bit first. A set bit marks a pixel that drawing leaves out.
struct BitMask {
    int width = 0, height = 0, stride = 0;
    std::vector<uint8_t> bits;
    bool test(int x, int y) const
    {
        return (bits[static_cast<size_t>(y) * stride + (x >> 3)] & (0x80 >> (x & 7))) != 0;
    }
};

}  // namespace abm
