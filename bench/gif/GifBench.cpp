// GIF decoding speed: our decoder and giflib's DGifSlurp side by side on the
// same in-memory files, in megapixels per second, with the ratio at the end.
// The files come from scripts/make-gif-bench-files (the build makes them);
// ABM_GIF_BENCH_DIR overrides the folder.

#include "codecs/gif/GifImage.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct BenchFile {
    std::string name;
    std::vector<uint8_t> bytes;
    int64_t pixels = 0;  // decoded per pass, all frames
};

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int count)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), reader->bytes->size() - reader->position);
    std::memcpy(buffer, reader->bytes->data() + reader->position, n);
    reader->position += n;
    return static_cast<int>(n);
}

// giflib's whole-file decode; the caller closes the result.
GifFileType* giflibSlurp(const std::vector<uint8_t>& bytes)
{
    MemoryReader reader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readFromMemory, &error);
    if (!gif)
        return nullptr;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return nullptr;
    }
    return gif;
}

// Both decoders must give the same colour indexes, or the race means nothing.
bool sameAsGiflib(const BenchFile& file, std::string& why)
{
    abm::GifImage ours;
    ours.loadFromMemory(file.bytes.data(), file.bytes.size());
    GifFileType* theirs = giflibSlurp(file.bytes);
    if (!theirs) {
        why = "giflib cannot read it";
        return false;
    }
    bool same = ours.count() == theirs->ImageCount;
    for (int i = 0; same && i < ours.count(); ++i) {
        const SavedImage& s = theirs->SavedImages[i];
        const auto& data = ours.images(i).data();
        same = static_cast<size_t>(s.ImageDesc.Width) * s.ImageDesc.Height == data.size() &&
               std::memcmp(s.RasterBits, data.data(), data.size()) == 0;
    }
    int error = 0;
    DGifCloseFile(theirs, &error);
    if (!same)
        why = "the decoded indexes differ";
    return same;
}

void BM_Ours(benchmark::State& state, const BenchFile* file)
{
    for (auto _ : state) {
        abm::GifImage gif;
        gif.loadFromMemory(file->bytes.data(), file->bytes.size());
        benchmark::DoNotOptimize(gif.count());
    }
    state.counters["Mpx/s"] =
        benchmark::Counter(static_cast<double>(file->pixels) * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

// What the import pays: decoding plus every frame's raster.
void BM_OursWithRasters(benchmark::State& state, const BenchFile* file)
{
    for (auto _ : state) {
        abm::GifImage gif;
        gif.loadFromMemory(file->bytes.data(), file->bytes.size());
        for (int i = 0; i < gif.count(); ++i)
            benchmark::DoNotOptimize(gif.images(i).raster());
    }
    state.counters["Mpx/s"] =
        benchmark::Counter(static_cast<double>(file->pixels) * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Giflib(benchmark::State& state, const BenchFile* file)
{
    for (auto _ : state) {
        GifFileType* gif = giflibSlurp(file->bytes);
        if (!gif) {
            state.SkipWithError("giflib failed");
            break;
        }
        benchmark::DoNotOptimize(gif->SavedImages[0].RasterBits);
        int error = 0;
        DGifCloseFile(gif, &error);
    }
    state.counters["Mpx/s"] =
        benchmark::Counter(static_cast<double>(file->pixels) * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
}

// Keeps every run's speed for the comparison table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::map<std::string, double>> speed;  // file → decoder → Mpx/s

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            const auto slash = name.find('/');
            const auto it = run.counters.find("Mpx/s");
            if (slash == std::string::npos || it == run.counters.end() || run.error_occurred)
                continue;
            speed[name.substr(slash + 1)][name.substr(3, slash - 3)] = it->second.value;
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const char* env = std::getenv("ABM_GIF_BENCH_DIR");
    const std::string dir = env && *env ? env : ABM_GIF_BENCH_DIR;
    std::vector<BenchFile> files;
    for (const char* name : {"photo.gif", "flat.gif", "big.gif", "big-interlaced.gif", "small.gif"}) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        BenchFile f{name, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})};
        if (f.bytes.empty()) {
            std::fprintf(stderr, "missing %s/%s: run scripts/make-gif-bench-files %s\n", dir.c_str(), name,
                         dir.c_str());
            return 1;
        }
        abm::GifImage gif;
        gif.loadFromMemory(f.bytes.data(), f.bytes.size());
        int local = 0;
        for (int i = 0; i < gif.count(); ++i) {
            f.pixels += static_cast<int64_t>(gif.images(i).data().size());
            local += !gif.images(i).colorMap().empty();
        }
        std::string why;
        if (!sameAsGiflib(f, why)) {
            std::fprintf(stderr, "%s: %s\n", name, why.c_str());
            return 1;
        }
        std::printf("%-20s %4d frames, %5.1f Mpx, %4d local colour tables, %6.2f bits/pixel\n", name, gif.count(),
                    static_cast<double>(f.pixels) * 1e-6, local,
                    8.0 * static_cast<double>(f.bytes.size()) / static_cast<double>(f.pixels));
        files.push_back(std::move(f));
    }

    for (const BenchFile& f : files) {
        benchmark::RegisterBenchmark(("BM_Ours/" + f.name).c_str(), BM_Ours, &f)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Giflib/" + f.name).c_str(), BM_Giflib, &f)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_OursWithRasters/" + f.name).c_str(), BM_OursWithRasters, &f)
            ->Unit(benchmark::kMillisecond);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-20s %12s %12s %8s\n", "file", "ours Mpx/s", "giflib Mpx/s", "ratio");
    for (const auto& [file, by] : reporter.speed) {
        const auto ours = by.find("Ours"), giflib = by.find("Giflib");
        if (ours == by.end() || giflib == by.end() || giflib->second <= 0)
            continue;
        std::printf("%-20s %12.1f %12.1f %8.2f\n", file.c_str(), ours->second, giflib->second,
                    ours->second / giflib->second);
    }
    return 0;
}
