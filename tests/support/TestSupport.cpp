#include "TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>

namespace abm::test {

std::filesystem::path corpora()
{
    const char* env = std::getenv("ABM_CORPORA_DIR");
    const std::filesystem::path path = env && *env ? env : ABM_CORPORA_DEFAULT;
    if (!std::filesystem::is_directory(path))
        ADD_FAILURE() << "test corpora missing: " << path;
    return path;
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder, const std::string& extension)
{
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(folder)) {
        ADD_FAILURE() << "folder missing: " << folder;
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty())
        ADD_FAILURE() << "no " << extension << " files in " << folder;
    return files;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir()
{
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    do {
        path_ = base / ("abmtest-" + std::to_string(rd()));
    } while (std::filesystem::exists(path_));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string characterDevice(const TempDir& folder, const std::string& name)
{
    if (::geteuid() != 0)
        return "/dev/" + name;
    const std::string path = folder / name;
    if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, name == "full" ? 7 : 3)) != 0)
        ADD_FAILURE() << "mknod " << path;
    return path;
}

uint32_t RgbaImage::at(int x, int y) const
{
    const uint8_t* p = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    return (static_cast<uint32_t>(p[3]) << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
}

namespace {

// libpng leaves by longjmp on an error: these frames hold nothing that needs
// a destructor.
bool readPngHeader(png_structp png, png_infop info, std::FILE* file, png_uint_32* width, png_uint_32* height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_read_info(png, info);
    // The samples as stored, without a gamma change: 16-bit ones scaled to 8
    // bits, everything expanded to red, green, blue, alpha.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    return true;
}

bool readPngRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

RgbaImage readPng(const std::filesystem::path& path)
{
    RgbaImage out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        ADD_FAILURE() << "cannot open PNG " << path;
        return out;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_uint_32 width = 0, height = 0;
    bool ok = readPngHeader(png, info, file, &width, &height);
    std::vector<png_bytep> rows(height);
    if (ok) {
        out.width = static_cast<int>(width);
        out.height = static_cast<int>(height);
        out.rgba.resize(static_cast<size_t>(width) * height * 4);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = out.rgba.data() + static_cast<size_t>(y) * width * 4;
        ok = readPngRows(png, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    if (!ok) {
        ADD_FAILURE() << "cannot decode PNG " << path;
        out = RgbaImage();
    }
    return out;
}

double psnr(const Raster& a, const Raster& b)
{
    double squares = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const Color p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int shift : {0, 8, 16}) {
                const double d = static_cast<int>(p >> shift & 0xFF) - static_cast<int>(q >> shift & 0xFF);
                squares += d * d;
            }
        }
    if (squares == 0)
        return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 * 3 * a.width() * a.height() / squares);
}

}  // namespace abm::test
