// Frame quality, not speed: how close our 128 × 97 frames come to the exact
// area average of the picture, beside ImageMagick's box filter followed by
// its own 5-6-5 reduction (-remap to the 65536 colours of 5-6-5, with and
// without Floyd–Steinberg), and how stable dithered frames are.
//
// Pictures: a photo-like sky, thin lines and text (drawn by ImageMagick),
// made here, and the 200-frame photo.gif of scripts/make-gif-bench-files.
// PSNR is against the area average computed here in double precision, over
// all three channels in 8-bit steps. Banding is the mean absolute error of
// 4 × 4 block means against the same reference. Flicker counts frame pixels
// that differ between two conversions of the same picture, and, for the
// dither choice, pixels outside the 4 × 4 blocks a changed patch touches
// that change with it.
// The last lines (SCALE, BANDING, FLICKER) are for scripts/bench.
// Usage: bench_frame_quality [--quick]   (--quick: the first 10 GIF frames only)

#include "codecs/gif/GifImage.h"
#include "codecs/gif/GifSubImage.h"
#include "codecs/raster/Raster.h"
#include "codecs/raster/FrameConversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using abm::Raster;

constexpr int kWidth = 128, kHeight = 97;

// 8-bit red, green, blue, rows top-down.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 255) {}
    uint8_t* at(int x, int y) { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
    const uint8_t* at(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
    void set(int x, int y, double r, double g, double b)
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        uint8_t* p = at(x, y);
        p[0] = static_cast<uint8_t>(std::clamp(std::lround(r), 0L, 255L));
        p[1] = static_cast<uint8_t>(std::clamp(std::lround(g), 0L, 255L));
        p[2] = static_cast<uint8_t>(std::clamp(std::lround(b), 0L, 255L));
    }
};

// The raster's colours as the raster decodes them (5-6-5 levels k become
// k × 255 / 31 or k × 255 / 63, rounded).
Image fromRaster(Raster raster)
{
    raster.setPixelFormat(abm::PixelFormat::Bgr888);
    Image image(raster.width(), raster.height());
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = raster.row(y);
        for (int x = 0; x < image.width; ++x, row += 3) {
            uint8_t* p = image.at(x, y);
            p[0] = row[2], p[1] = row[1], p[2] = row[0];
        }
    }
    return image;
}

Raster toRaster(const Image& image)
{
    Raster raster;
    raster.create(image.width, image.height, abm::PixelLayout::forFormat(abm::PixelFormat::Bgr888));
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = raster.row(y);
        for (int x = 0; x < image.width; ++x, row += 3) {
            const uint8_t* p = image.at(x, y);
            row[0] = p[2], row[1] = p[1], row[2] = p[0];
        }
    }
    return raster;
}

void writePpm(const fs::path& path, const Image& image)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << " " << image.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
}

Image readPpm(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    if (magic != "P6" || w <= 0 || h <= 0 || max != 255)
        throw std::runtime_error("not an 8-bit PPM: " + path.string());
    Image image(w, h);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return image;
}

// Raw 128 × 97 RGB frames, one after the other, as ImageMagick's rgb: writes them.
std::vector<Image> readFrames(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<Image> frames;
    for (Image f(kWidth, kHeight);
         in.read(reinterpret_cast<char*>(f.rgb.data()), static_cast<std::streamsize>(f.rgb.size()));)
        frames.push_back(f);
    return frames;
}

void run(const std::string& command)
{
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

// --- The pictures -----------------------------------------------------------

double hash(int x, int y, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15, h *= 0x2C1B3C6Du, h ^= h >> 12, h *= 0x297A2D39u, h ^= h >> 15;
    return h / 4294967296.0;
}

// Smooth value noise in [0, 1).
double noise(double x, double y, uint32_t seed)
{
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const double fx = x - xi, fy = y - yi;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = hash(xi, yi, seed) + sx * (hash(xi + 1, yi, seed) - hash(xi, yi, seed));
    const double bottom = hash(xi, yi + 1, seed) + sx * (hash(xi + 1, yi + 1, seed) - hash(xi, yi + 1, seed));
    return top + sy * (bottom - top);
}

double smoothstep(double a, double b, double v)
{
    const double t = std::clamp((v - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// A blue gradient sky with soft clouds, grass below the horizon, power lines
// and a pole one to three pixels wide, and a little sensor grain.
Image makeSky()
{
    const int w = 1000, h = 750, horizon = 560;
    Image image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double grain = (hash(x, y, 7) - 0.5) * 4;
            if (y < horizon) {
                const double t = static_cast<double>(y) / horizon;
                double cloud = 0, weight = 0.5;
                for (int octave = 0; octave < 5; ++octave, weight *= 0.5)
                    cloud += weight * noise(x / (160.0 / (1 << octave)), y / (60.0 / (1 << octave)), 11 + octave);
                const double c = smoothstep(0.5, 0.8, cloud) * (1 - 0.6 * t);
                const double shade = 225 + 25 * noise(x / 40.0, y / 20.0, 5);
                image.set(x, y, (25 + 165 * t) * (1 - c) + shade * c + grain,
                          (70 + 145 * t) * (1 - c) + shade * c + grain,
                          (160 + 80 * t) * (1 - c) + (shade + 8) * c + grain);
            } else {
                const double blade = 0.55 + 0.45 * noise(x / 2.5, y / 9.0, 3), field = noise(x / 90.0, y / 30.0, 4);
                image.set(x, y, (35 + 40 * field) * blade + grain, (80 + 60 * field) * blade + grain,
                          (25 + 10 * field) * blade + grain);
            }
        }
    for (int x = 0; x < w; ++x)
        for (double sag : {180.0, 230.0, 300.0}) {
            const int y = static_cast<int>(std::lround(sag + 0.00028 * (x - 620.0) * (x - 620.0)));
            image.set(x, y, 30, 30, 35);
        }
    for (int y = 160; y < horizon + 30; ++y)
        for (int x = 619; x < 622; ++x)
            image.set(x, y, 60, 45, 30);
    return image;
}

void drawLine(Image& image, int x0, int y0, int x1, int y1, double r, double g, double b)
{
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i)
        image.set(static_cast<int>(std::lround(x0 + (x1 - x0) * static_cast<double>(i) / std::max(steps, 1))),
                  static_cast<int>(std::lround(y0 + (y1 - y0) * static_cast<double>(i) / std::max(steps, 1))), r, g, b);
}

// One-pixel lines on white: a fan at every angle, a fine grid and rings.
Image makeLines()
{
    Image image(640, 480);
    for (int k = 0; k < 32; ++k) {
        const double r = (k * 70) % 256, g = (k * 130 + 60) % 200, b = (k * 40 + 120) % 256;
        drawLine(image, 0, 479, 639, 479 - k * 15, r, g, b);
        drawLine(image, 0, 479, k * 20, 0, b, r, g);
    }
    for (int y = 0; y < 200; ++y)
        for (int x = 400; x < 640; ++x)
            if (x % 7 == 0 || y % 7 == 0)
                image.set(x, y, 90, 90, 90);
    for (int radius = 10; radius < 140; radius += 6)
        for (int a = 0; a < 2000; ++a)
            image.set(static_cast<int>(std::lround(230 + radius * std::cos(a * std::numbers::pi / 1000))),
                      static_cast<int>(std::lround(200 + radius * std::sin(a * std::numbers::pi / 1000))), 200, 20, 20);
    return image;
}

// Lines of antialiased text in several sizes, drawn by ImageMagick.
Image makeText(const fs::path& dir)
{
    std::string command = "convert -size 640x485 xc:white -font DejaVu-Sans -fill black";
    int y = 0;
    for (int size = 9; y < 470; size += 2) {
        y += size + 4;
        command += " -pointsize " + std::to_string(size) + " -annotate +6+" + std::to_string(y) +
                   (size % 4 == 1 ? " 'The quick brown fox jumps over the lazy dog 0123456789'"
                                  : " 'Съешь же ещё этих мягких французских булок, да выпей чаю'");
    }
    run(command + " -depth 8 " + (dir / "text.ppm").string());
    return readPpm(dir / "text.ppm");
}

// The 65536 colours a 16-bit frame decodes to, for ImageMagick's -remap.
Image palette565()
{
    Raster all;
    all.create(256, 256, abm::PixelLayout::forFormat(abm::PixelFormat::Rgb565));
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            all.row(y)[2 * x] = static_cast<uint8_t>(x), all.row(y)[2 * x + 1] = static_cast<uint8_t>(y);
    return fromRaster(all);
}

// --- Measures -----------------------------------------------------------------

// The exact area average of the picture at 128 × 97, in double precision:
// every source pixel weighs by the area of it that a frame pixel covers.
std::vector<double> areaReference(const Image& source)
{
    const double sx = static_cast<double>(source.width) / kWidth, sy = static_cast<double>(source.height) / kHeight;
    const auto coverage = [](double from, double to, int pixel) {
        return std::max(0.0, std::min(to, pixel + 1.0) - std::max(from, static_cast<double>(pixel)));
    };
    std::vector<double> across(static_cast<size_t>(source.height) * kWidth * 3, 0.0);
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int s = static_cast<int>(x * sx);
                 s < std::min(source.width, static_cast<int>(std::ceil((x + 1) * sx))); ++s)
                for (int c = 0; c < 3; ++c)
                    across[(static_cast<size_t>(y) * kWidth + x) * 3 + c] +=
                        coverage(x * sx, (x + 1) * sx, s) * source.at(s, y)[c] / sx;
    std::vector<double> out(static_cast<size_t>(kWidth) * kHeight * 3, 0.0);
    for (int y = 0; y < kHeight; ++y)
        for (int s = static_cast<int>(y * sy); s < std::min(source.height, static_cast<int>(std::ceil((y + 1) * sy)));
             ++s)
            for (size_t i = 0; i < static_cast<size_t>(kWidth) * 3; ++i)
                out[static_cast<size_t>(y) * kWidth * 3 + i] +=
                    coverage(y * sy, (y + 1) * sy, s) * across[static_cast<size_t>(s) * kWidth * 3 + i] / sy;
    return out;
}

struct Score {
    double squared = 0, blockError = 0;
    long samples = 0, blocks = 0;

    void add(const Image& frame, const std::vector<double>& reference)
    {
        for (size_t i = 0; i < frame.rgb.size(); ++i)
            squared += (frame.rgb[i] - reference[i]) * (frame.rgb[i] - reference[i]);
        samples += static_cast<long>(frame.rgb.size());
        for (int by = 0; by + 4 <= kHeight; by += 4)
            for (int bx = 0; bx + 4 <= kWidth; bx += 4)
                for (int c = 0; c < 3; ++c) {
                    double difference = 0;
                    for (int y = by; y < by + 4; ++y)
                        for (int x = bx; x < bx + 4; ++x)
                            difference += frame.at(x, y)[c] - reference[(static_cast<size_t>(y) * kWidth + x) * 3 + c];
                    blockError += std::abs(difference) / 16;
                    ++blocks;
                }
    }
    double psnr() const { return 10 * std::log10(255.0 * 255.0 * samples / squared); }
    double banding() const { return blockError / blocks; }
};

// --- Dither candidates, on our smooth 8-bit frame ------------------------------

constexpr int kTops[3] = {31, 63, 31};

// The 8-bit value a 5-6-5 field's level k decodes to.
int decoded(int k, int top)
{
    return (k * 255 + top / 2) / top;
}

// Ordered dither between the two decoded levels around each value, with an
// n × n Bayer pattern in frame coordinates.
Image ordered565(const Image& in, int n)
{
    static constexpr uint8_t bayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    Image out(in.width, in.height);
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            // The 8 × 8 pattern: the 4 × 4 one, its quadrants offset by the 2 × 2 one.
            const int t = n == 4 ? bayer4[y % 4][x % 4]
                                 : 4 * bayer4[y % 4][x % 4] + std::array{0, 2, 3, 1}[(y / 4 % 2) * 2 + x / 4 % 2];
            for (int c = 0; c < 3; ++c) {
                const int v = in.at(x, y)[c], top = kTops[c];
                int k = v * top / 255;
                while (k < top && decoded(k + 1, top) <= v)
                    ++k;
                while (decoded(k, top) > v)
                    --k;
                const double past = k < top ? double(v - decoded(k, top)) / (decoded(k + 1, top) - decoded(k, top)) : 0;
                out.at(x, y)[c] = static_cast<uint8_t>(decoded(past > (t + 0.5) / (n * n) ? k + 1 : k, top));
            }
        }
    return out;
}

// Serpentine Floyd–Steinberg to the decoded levels. With `block` set, the
// error stays inside each aligned 4 × 4 block: shares that would leave it
// go to the neighbours inside, in proportion, and the last pixel's is lost.
Image diffused565(const Image& in, bool block)
{
    std::vector<double> work(in.rgb.begin(), in.rgb.end());
    Image out(in.width, in.height);
    const auto inside = [&](int x0, int y0, int x, int y) {
        if (x < 0 || x >= in.width || y >= in.height)
            return false;
        return !block || (x / 4 == x0 / 4 && y / 4 == y0 / 4);
    };
    for (int y = 0; y < in.height; ++y) {
        const bool back = y % 2 == 1;
        for (int i = 0; i < in.width; ++i) {
            const int x = back ? in.width - 1 - i : i, ahead = back ? -1 : 1;
            const int dx[4] = {ahead, -ahead, 0, ahead}, dy[4] = {0, 1, 1, 1};
            const double share[4] = {7.0 / 16, 3.0 / 16, 5.0 / 16, 1.0 / 16};
            double kept = 0;
            for (int j = 0; j < 4; ++j)
                kept += inside(x, y, x + dx[j], y + dy[j]) ? share[j] : 0;
            for (int c = 0; c < 3; ++c) {
                const size_t at = (static_cast<size_t>(y) * in.width + x) * 3 + c;
                const int top = kTops[c];
                const long k = std::clamp(std::lround(work[at] * top / 255), 0L, static_cast<long>(top));
                out.rgb[at] = static_cast<uint8_t>(decoded(static_cast<int>(k), top));
                const double error = work[at] - out.rgb[at];
                for (int j = 0; j < 4 && kept > 0; ++j)
                    if (inside(x, y, x + dx[j], y + dy[j]))
                        work[at + (static_cast<long>(dy[j]) * in.width + dx[j]) * 3] +=
                            error * share[j] / (block ? kept : 1);
            }
        }
    }
    return out;
}

long differences(const Image& a, const Image& b, const std::function<bool(int, int)>& counted)
{
    long n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            n += counted(x, y) && !std::equal(a.at(x, y), a.at(x, y) + 3, b.at(x, y));
    return n;
}

// --- The comparison -----------------------------------------------------------

enum Candidate { kOurs, kBayer8, kBayer4, kFs, kBlockFs, kCandidates };
const char* const kCandidateNames[kCandidates] = {"ours", "Bayer8", "Bayer4", "FS", "blockFS"};

// Candidate c's frame of a picture whose smooth 8-bit frame is `box`.
Image dithered(Candidate c, const Raster& picture, const Image& box)
{
    switch (c) {
    case kOurs: return fromRaster(abm::convertToFrame(picture, kWidth, kHeight, {.smooth = true, .dither = true}));
    case kBayer8: return ordered565(box, 8);
    case kBayer4: return ordered565(box, 4);
    case kFs: return diffused565(box, false);
    default: return diffused565(box, true);
    }
}

struct Row {
    explicit Row(std::string n) : name(std::move(n)) {}
    std::string name;
    Score ours8, im8, nearest, plain, imPlain, imFs;
    Score candidates[kCandidates];
    long sameFlicker = 0, patchImFs = 0;
    long patch[kCandidates] = {};
};

const char* kBox = " -filter Box -resize 128x97! ";  // spaced for joining into commands

// ImageMagick's three frames of a file: box-filtered at 8 bits, then reduced
// to 5-6-5 without and with Floyd–Steinberg.
void imageMagick(const std::string& input, const fs::path& dir, const std::string& tag)
{
    const std::string pal = (dir / "565.ppm").string(), out = (dir / tag).string();
    run("convert " + input + kBox + "-depth 8 rgb:" + out + ".box");
    run("convert " + input + kBox + "+dither -remap " + pal + " -depth 8 rgb:" + out + ".plain");
    run("convert " + input + kBox + "-dither FloydSteinberg -remap " + pal + " -depth 8 rgb:" + out + ".fs");
}

// Scores one picture (one GIF frame) converted by us.
void scoreOurs(Row& row, const Raster& picture, const std::vector<double>& reference)
{
    const Image box = fromRaster(abm::scalePicture(picture, kWidth, kHeight, true));
    row.ours8.add(box, reference);
    row.nearest.add(fromRaster(abm::convertToFrame(picture, kWidth, kHeight, {})), reference);
    row.plain.add(fromRaster(abm::convertToFrame(picture, kWidth, kHeight, {.smooth = true})), reference);
    for (int c = 0; c < kCandidates; ++c)
        row.candidates[c].add(dithered(Candidate(c), picture, box), reference);
    const Image once = dithered(kOurs, picture, box), twice = dithered(kOurs, Raster(picture), box);
    row.sameFlicker += differences(once, twice, [](int, int) { return true; });
}

void scoreImageMagick(Row& row, const fs::path& dir, const std::string& tag,
                      const std::vector<std::vector<double>>& references)
{
    const auto box = readFrames(dir / (tag + ".box")), plain = readFrames(dir / (tag + ".plain")),
               fsFrames = readFrames(dir / (tag + ".fs"));
    if (box.size() != references.size() || plain.size() != references.size() || fsFrames.size() != references.size())
        throw std::runtime_error("ImageMagick gave a different number of frames for " + tag);
    for (size_t i = 0; i < references.size(); ++i) {
        row.im8.add(box[i], references[i]);
        row.imPlain.add(plain[i], references[i]);
        row.imFs.add(fsFrames[i], references[i]);
    }
}

// Inverts a patch in the middle of the picture and counts the frame pixels
// outside the patch's footprint (one pixel wider) that change with it.
void scorePatch(Row& row, const Image& picture, const fs::path& dir)
{
    Image changed = picture;
    const int x0 = picture.width * 3 / 8, x1 = picture.width / 2, y0 = picture.height * 3 / 8, y1 = picture.height / 2;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 3; ++c)
                changed.at(x, y)[c] = static_cast<uint8_t>(255 - changed.at(x, y)[c]);
    // The frame pixels the patch covers, one more around (the averages
    // share it), rounded out to whole 4 x 4 blocks.
    const int left = (x0 * kWidth / picture.width - 1) / 4 * 4, top = (y0 * kHeight / picture.height - 1) / 4 * 4;
    const int right = ((x1 * kWidth + picture.width - 1) / picture.width) / 4 * 4 + 3;
    const int bottom = ((y1 * kHeight + picture.height - 1) / picture.height) / 4 * 4 + 3;
    const auto outside = [&](int x, int y) { return x < left || x > right || y < top || y > bottom; };
    const Raster a = toRaster(picture), b = toRaster(changed);
    const Image boxA = fromRaster(abm::scalePicture(a, kWidth, kHeight, true));
    const Image boxB = fromRaster(abm::scalePicture(b, kWidth, kHeight, true));
    for (int c = 0; c < kCandidates; ++c)
        row.patch[c] = differences(dithered(Candidate(c), a, boxA), dithered(Candidate(c), b, boxB), outside);
    writePpm(dir / "patch-a.ppm", picture);
    writePpm(dir / "patch-b.ppm", changed);
    imageMagick((dir / "patch-a.ppm").string(), dir, "patch-a");
    imageMagick((dir / "patch-b.ppm").string(), dir, "patch-b");
    row.patchImFs = differences(readFrames(dir / "patch-a.fs").at(0), readFrames(dir / "patch-b.fs").at(0), outside);
}

Image gifFrame(abm::GifImage& gif, int i)
{
    abm::GifSubImage& sub = gif.images(i);
    if (sub.left() != 0 || sub.top() != 0 || sub.width() != gif.width() || sub.height() != gif.height())
        throw std::runtime_error("photo.gif: every frame must cover the whole screen");
    return fromRaster(*sub.raster());
}

}  // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
    // One thread each: the figures do not depend on it, and the machine is shared.
    setenv("MAGICK_THREAD_LIMIT", "1", 1);
    const char* env = std::getenv("ABM_GIF_BENCH_DIR");
    const fs::path gifPath = fs::path(env && *env ? env : ABM_GIF_BENCH_DIR) / "photo.gif";
    char pattern[] = "/tmp/abm-quality-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    std::vector<Row> rows;
    try {
        writePpm(dir / "565.ppm", palette565());
        const std::pair<std::string, Image> stills[] = {
            {"sky", makeSky()}, {"lines", makeLines()}, {"text", makeText(dir)}};
        for (const auto& [name, image] : stills) {
            Row row(name);
            writePpm(dir / (name + ".ppm"), image);
            const auto reference = areaReference(image);
            scoreOurs(row, toRaster(image), reference);
            imageMagick((dir / (name + ".ppm")).string(), dir, name);
            scoreImageMagick(row, dir, name, {reference});
            scorePatch(row, image, dir);
            rows.push_back(row);
        }
        abm::GifImage gif;
        gif.loadFromFile(gifPath.string());
        const int frames = quick ? std::min(gif.count(), 10) : gif.count();
        Row row("photo.gif x" + std::to_string(frames));
        std::vector<std::vector<double>> references;
        for (int i = 0; i < frames; ++i) {
            references.push_back(areaReference(gifFrame(gif, i)));
            scoreOurs(row, *gif.images(i).raster(), references.back());
        }
        imageMagick(gifPath.string() + "[0-" + std::to_string(frames - 1) + "] -coalesce", dir, "gif");
        scoreImageMagick(row, dir, "gif", references);
        scorePatch(row, gifFrame(gif, 0), dir);
        rows.push_back(row);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);

    std::printf("Frames of 128 x 97 against the exact area average. PSNR in dB (higher is better); banding: mean\n"
                "absolute error of 4 x 4 block means, in 8-bit steps (lower is better). IM = ImageMagick\n"
                "-filter Box -resize 128x97!, reduced to 5-6-5 by -remap to all 65536 colours of 5-6-5,\n"
                "+dither or -dither FloydSteinberg (IM FS). nearest = the stretch-draw frame.\n\n");
    std::printf("%-15s | %-13s | %-38s | %-33s\n", "", "PSNR 8-bit", "PSNR 5-6-5", "banding 5-6-5");
    std::printf("%-15s | %6s %6s | %7s %6s %7s %6s %6s | %7s %5s %7s %5s %5s\n", "picture", "ours", "IM", "nearest",
                "ours", "+dither", "IM", "IM FS", "nearest", "ours", "+dither", "IM", "IM FS");
    for (const Row& r : rows)
        std::printf("%-15s | %6.2f %6.2f | %7.2f %6.2f %7.2f %6.2f %6.2f | %7.2f %5.2f %7.2f %5.2f %5.2f\n",
                    r.name.c_str(), r.ours8.psnr(), r.im8.psnr(), r.nearest.psnr(), r.plain.psnr(),
                    r.candidates[kOurs].psnr(), r.imPlain.psnr(), r.imFs.psnr(), r.nearest.banding(), r.plain.banding(),
                    r.candidates[kOurs].banding(), r.imPlain.banding(), r.imFs.banding());

    std::printf("\nThe dither choice, each on our smooth frame (ours from its exact averages, the others from it\n"
                "rounded to 8 bits): Bayer 8 x 8 and 4 x 4 ordered patterns between the decoded 5-6-5 levels,\n"
                "serpentine Floyd-Steinberg, and the same kept inside each aligned 4 x 4 block (blockFS).\n"
                "Still-area flicker: frame pixels that change with an inverted patch outside the aligned 4 x 4\n"
                "blocks its footprint (and one pixel around it) touches.\n\n");
    std::printf("%-15s | %-34s | %-34s | %s\n", "", "PSNR 5-6-5", "banding / IM FS", "still-area flicker");
    std::printf("%-15s |", "picture");
    for (int k = 0; k < 3; ++k) {
        for (const char* name : kCandidateNames)
            std::printf(" %6s", name);
        std::printf(k < 2 ? " |" : " %6s\n", "IM FS");
    }
    for (const Row& r : rows) {
        std::printf("%-15s |", r.name.c_str());
        for (const Score& s : r.candidates)
            std::printf(" %6.2f", s.psnr());
        std::printf(" |");
        for (const Score& s : r.candidates)
            std::printf(" %6.2f", s.banding() / r.imFs.banding());
        std::printf(" |");
        for (long n : r.patch)
            std::printf(" %6ld", n);
        std::printf(" %6ld\n", r.patchImFs);
    }

    std::printf("\n");
    long same = 0, still = 0;
    for (const Row& r : rows) {
        const std::string name = r.name.substr(0, r.name.find(' '));
        std::printf("SCALE %s %.2f\n", name.c_str(), r.ours8.psnr() - r.im8.psnr());
        std::printf("BANDING %s %.2f\n", name.c_str(), r.candidates[kOurs].banding() / r.imFs.banding());
        same += r.sameFlicker;
        still += r.patch[kOurs];
    }
    std::printf("FLICKER identical-frames %ld\nFLICKER still-area %ld\n", same, still);
    return 0;
}
