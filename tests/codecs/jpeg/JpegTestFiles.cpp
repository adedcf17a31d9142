#include "JpegTestFiles.h"
#include "codecs/bmp/BmpCodec.h"

#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#include <jpeglib.h>

namespace abm::test {

std::vector<uint8_t> encodeJpeg(const JpegRecipe& recipe, const ColorAt& colorAt)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);

    info.image_width = static_cast<JDIMENSION>(recipe.width);
    info.image_height = static_cast<JDIMENSION>(recipe.height);
    switch (recipe.kind) {
    case JpegKind::Color:
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        break;
    case JpegKind::Gray:
        info.input_components = 1;
        info.in_color_space = JCS_GRAYSCALE;
        break;
    case JpegKind::Cmyk:
    case JpegKind::Ycck:
        info.input_components = 4;
        info.in_color_space = JCS_CMYK;
        break;
    }
    jpeg_set_defaults(&info);
    if (recipe.kind == JpegKind::Ycck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    jpeg_set_quality(&info, recipe.quality, TRUE);
    if (recipe.progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);

    std::vector<uint8_t> row(static_cast<size_t>(recipe.width) * info.input_components);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < recipe.width; ++x) {
            const uint32_t c = colorAt(x, y);
            uint8_t* p = row.data() + static_cast<size_t>(x) * info.input_components;
            if (info.input_components == 1) {
                p[0] = static_cast<uint8_t>(c >> 8);
            } else {
                p[0] = static_cast<uint8_t>(c >> 16);
                p[1] = static_cast<uint8_t>(c >> 8);
                p[2] = static_cast<uint8_t>(c);
                if (info.input_components == 4)
                    p[3] = static_cast<uint8_t>(255 - ((x * 5 + y * 3) & 0x3F));
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(out, out + outSize);
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}

uint32_t gradient(int x, int y)
{
    const uint32_t r = static_cast<uint32_t>(x * 7 + y) & 0xFF;
    const uint32_t g = static_cast<uint32_t>(y * 5) & 0xFF;
    const uint32_t b = ((x / 8 + y / 8) % 2) ? 0xE0 : 0x20;
    return (r << 16) | (g << 8) | b;
}

namespace {

// The command's exit code, or -1 (and the test failed) when it cannot run.
int run(const std::string& command)
{
    const int status = std::system((command + " 2>/dev/null").c_str());
    if (status == -1 || !WIFEXITED(status)) {
        ADD_FAILURE() << "cannot run " << command;
        return -1;
    }
    return WEXITSTATUS(status);
}

std::string shellQuoted(const std::filesystem::path& path)
{
    return "'" + path.string() + "'";
}

// Runs a command that must succeed and write `out`; its bytes, or nothing.
std::vector<uint8_t> outputOf(const std::string& command, const std::filesystem::path& out)
{
    if (run(command) != 0) {
        ADD_FAILURE() << command << " failed";
        return {};
    }
    return readFile(out);
}

}  // namespace

void writePpm(const std::filesystem::path& path, int width, int height, const ColorAt& colorAt)
{
    const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.reserve(bytes.size() + static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colorAt(x, y);
            bytes.insert(bytes.end(),
                         {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
        }
    writeFile(path, bytes);
}

std::vector<uint8_t> cjpeg(int width, int height, const ColorAt& colorAt, const std::string& options)
{
    TempDir dir;
    writePpm(dir / "in.ppm", width, height, colorAt);
    return outputOf(std::string(ABM_CJPEG) + " " + options + " -outfile " + shellQuoted(dir / "out.jpg") + " " +
                        shellQuoted(dir / "in.ppm"),
                    dir / "out.jpg");
}

std::vector<uint8_t> imageMagickCmyk(int width, int height, const ColorAt& colorAt)
{
    TempDir dir;
    writePpm(dir / "in.ppm", width, height, colorAt);
    return outputOf(std::string(ABM_CONVERT) + " " + shellQuoted(dir / "in.ppm") + " -colorspace CMYK " +
                        shellQuoted(dir / "out.jpg"),
                    dir / "out.jpg");
}

std::optional<Raster> imageMagickRgb(const std::filesystem::path& jpeg)
{
    TempDir dir;
    const std::vector<uint8_t> bmp =
        outputOf(std::string(ABM_CONVERT) + " -define jpeg:dct-method=float " + shellQuoted(jpeg) +
                     " -colorspace sRGB -type TrueColor " + shellQuoted("BMP3:" + (dir / "out.bmp")),
                 dir / "out.bmp");
    if (bmp.empty())
        return std::nullopt;
    return decodeBmp(bmp.data(), bmp.size());
}

std::optional<Raster> djpeg(const std::filesystem::path& jpeg, const std::string& options)
{
    TempDir dir;
    const std::string out = dir / "djpeg.bmp";
    const std::string command =
        std::string(ABM_DJPEG) + " " + options + " -bmp -outfile " + shellQuoted(out) + " " + shellQuoted(jpeg);
    // 0: decoded; 2: decoded with warnings (a truncated file, say); 1: refused.
    const int code = run(command);
    if (code == -1)
        return std::nullopt;
    if (code != 0 && code != 2) {
        if (code != 1)
            ADD_FAILURE() << command << " exited with " << code;
        return std::nullopt;
    }
    return readBmpFile(out);
}

std::vector<JpegMarker> jpegMarkers(const std::vector<uint8_t>& jpeg)
{
    std::vector<JpegMarker> markers;
    size_t at = 0;
    while (at + 1 < jpeg.size()) {
        if (jpeg[at] != 0xFF || jpeg[at + 1] == 0xFF || jpeg[at + 1] == 0x00) {
            ++at;  // fill bytes
            continue;
        }
        const uint8_t code = jpeg[at + 1];
        JpegMarker m{at, code, at + 2};
        const bool standalone = code == 0xD8 || code == 0xD9 || code == 0x01 || (code >= 0xD0 && code <= 0xD7);
        if (!standalone) {
            if (at + 3 >= jpeg.size())
                break;
            m.end = at + 2 + (static_cast<size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
        }
        if (code == 0xDA) {
            // Entropy-coded data runs to the next marker other than a restart.
            size_t p = m.end;
            while (p + 1 < jpeg.size() &&
                   !(jpeg[p] == 0xFF && jpeg[p + 1] != 0x00 && !(jpeg[p + 1] >= 0xD0 && jpeg[p + 1] <= 0xD7)))
                ++p;
            m.end = p + 1 < jpeg.size() ? p : jpeg.size();
        }
        markers.push_back(m);
        at = std::max(m.end, at + 2);
    }
    return markers;
}

JpegMarker findMarker(const std::vector<uint8_t>& jpeg, uint8_t code)
{
    for (const JpegMarker& m : jpegMarkers(jpeg))
        if (m.code == code)
            return m;
    ADD_FAILURE() << "no marker 0x" << std::hex << int{code};
    return JpegMarker{0, code, 0};
}

::testing::AssertionResult samePixels(const Raster& a, const Raster& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat())
        return ::testing::AssertionFailure()
               << a.width() << "x" << a.height() << " format " << a.pixelFormat() << " vs " << b.width() << "x"
               << b.height() << " format " << b.pixelFormat();
    for (size_t i = 0; i < a.palette().size(); ++i)
        if (i >= b.palette().size() || !(a.palette()[i] == b.palette()[i]))
            return ::testing::AssertionFailure() << "palette entry " << i << " differs";
    const size_t rowBytes = static_cast<size_t>(a.width()) * a.bitsPerPixel() / 8;
    for (int y = 0; y < a.height(); ++y) {
        const uint8_t* ra = a.row(y);
        const uint8_t* rb = b.row(y);
        for (size_t i = 0; i < rowBytes; ++i)
            if (ra[i] != rb[i])
                return ::testing::AssertionFailure()
                       << "row " << y << " byte " << i << ": " << int{ra[i]} << " vs " << int{rb[i]};
    }
    return ::testing::AssertionSuccess();
}

}  // namespace abm::test
