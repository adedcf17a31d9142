#include "TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace abm::test {

std::filesystem::path Corpora()
{
    const char* env = std::getenv("ABM_CORPORA_DIR");
    const std::filesystem::path path = env && *env ? env : ABM_CORPORA_DEFAULT;
    if (!std::filesystem::is_directory(path))
        ADD_FAILURE() << "test corpora missing: " << path;
    return path;
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder, const std::string& extension)
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

std::vector<uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
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

uint32_t RgbaImage::At(int x, int y) const
{
    const uint8_t* p = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    return (static_cast<uint32_t>(p[3]) << 24) | (p[0] << 16) | (p[1] << 8) | p[2];
}

RgbaImage ReadPng(const std::filesystem::path& path)
{
    RgbaImage out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "cannot read PNG " << path << ": " << image.message;
        return out;
    }
    image.format = PNG_FORMAT_RGBA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
        ADD_FAILURE() << "cannot decode PNG " << path << ": " << image.message;
        out = RgbaImage();
    }
    return out;
}

}  // namespace abm::test
