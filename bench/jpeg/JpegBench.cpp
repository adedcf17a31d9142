// What JpegImage costs over libjpeg itself: loading a 4000 × 3000 colour
// JPEG from its file and converting it into a raster, against a bare libjpeg
// decode of the same file with the same settings (float DCT, block smoothing,
// fancy upsampling, blue-green-red rows) into a buffer of the same size.
// Both read the file and get zeroed output memory, as the raster does. The
// ratio of the two is printed at the end; the target is at most 1.1.

#include "codecs/jpeg/JpegImage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A photo-like picture: smooth shading, hard edges and some grain, so that the
// entropy decoder and the inverse DCT both get realistic work.
std::vector<uint8_t> encodeTestPicture()
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);  // 4:2:0 baseline, as cameras write
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(kWidth) * 3);
    uint32_t seed = 12345;
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = static_cast<int>(seed >> 28) - 8;
            const double shade = 0.5 + 0.5 * std::sin(x * 0.004 + y * 0.003) * std::cos(y * 0.005);
            const bool edge = ((x / 180) + (y / 140)) % 3 == 0;
            const auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
            row[3 * x] = clamp(shade * 220 + grain + (edge ? 30 : 0));
            row[3 * x + 1] = clamp((1 - shade) * 180 + grain + ((x ^ y) & 0x20));
            row[3 * x + 2] = clamp(90 + 80 * std::sin(y * 0.01) + grain - (edge ? 40 : 0));
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

// Made on first use, removed by main.
std::string gTestFile;

const std::string& testFile()
{
    if (gTestFile.empty()) {
        const std::string name =
            (std::filesystem::temp_directory_path() / ("abm-bench-jpeg-" + std::to_string(getpid()) + ".jpg")).string();
        const std::vector<uint8_t> bytes = encodeTestPicture();
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        gTestFile = name;
    }
    return gTestFile;
}

std::vector<uint8_t> readAll(const std::string& name)
{
    std::ifstream in(name, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void BM_BareLibjpegDecode(benchmark::State& state)
{
    const std::string& file = testFile();
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = readAll(file);
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, bytes.data(), bytes.size());
        jpeg_read_header(&info, TRUE);
        info.dct_method = JDCT_FLOAT;
        info.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&info);
        const size_t stride = (static_cast<size_t>(info.output_width) * 3 + 3) & ~size_t{3};
        std::vector<uint8_t> pixels(stride * info.output_height);
        std::vector<JSAMPROW> rows(info.output_height);
        for (size_t y = 0; y < rows.size(); ++y)
            rows[y] = pixels.data() + y * stride;
        while (info.output_scanline < info.output_height)
            jpeg_read_scanlines(&info, rows.data() + info.output_scanline, info.output_height - info.output_scanline);
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_BareLibjpegDecode)->Unit(benchmark::kMillisecond);

void BM_JPEGImageToRaster(benchmark::State& state)
{
    const std::string& file = testFile();
    for (auto _ : state) {
        abm::JpegImage jpeg;
        jpeg.loadFromFile(file);
        abm::Raster raster;
        jpeg.assignTo(raster);
        benchmark::DoNotOptimize(raster.image().bits.data());
    }
}
BENCHMARK(BM_JPEGImageToRaster)->Unit(benchmark::kMillisecond);

// Keeps the fastest time of each benchmark (over repetitions) to compare them.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            const std::string name = run.run_name.function_name;
            const double cpu = run.GetAdjustedCPUTime(), real = run.GetAdjustedRealTime();
            if (!cpu_.count(name) || cpu < cpu_[name])
                cpu_[name] = cpu;
            if (!real_.count(name) || real < real_[name])
                real_[name] = real;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatio() const
    {
        const char* ours = "BM_JPEGImageToRaster";
        const char* bare = "BM_BareLibjpegDecode";
        if (!cpu_.count(ours) || !cpu_.count(bare))
            return;
        const double cpuRatio = cpu_.at(ours) / cpu_.at(bare), realRatio = real_.at(ours) / real_.at(bare);
        char line[160];
        std::snprintf(line, sizeof line,
                      "JPEG to raster / bare libjpeg decode: %.3f CPU, %.3f real time (target at most 1.1): %s",
                      cpuRatio, realRatio, cpuRatio <= 1.1 ? "within" : "ABOVE");
        GetOutputStream() << line << std::endl;
    }

private:
    std::map<std::string, double> cpu_, real_;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Colours only on a terminal, so that CI logs stay plain.
    RatioReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                 : benchmark::ConsoleReporter::OO_None);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio();
    if (!gTestFile.empty())
        std::filesystem::remove(gTestFile);
    benchmark::Shutdown();
    return 0;
}
