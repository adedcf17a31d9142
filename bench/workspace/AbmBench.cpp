// The ABM writer and reader against a plain copy of the same bytes: what the
// header, the row walk and (for the reader) the frame normalisation cost over
// moving 99 328 bytes of pixels. Prints the two ratios at the end.

#include "workspace/AbmFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>

namespace {

using namespace abm;

class NoPrompts : public UserPrompts {
public:
    MessageAnswer showMessage(const std::string&, MessageKind, const std::vector<MessageButton>&) override
    {
        return MessageAnswer::ok;
    }
    std::vector<std::string> askOpenFiles(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> askSaveFile(const FileDialogRequest&) override { return std::nullopt; }
};

FrameOptions gOptions;
NoPrompts gPrompts;

FrameStrip& fourFrames()
{
    static FrameStrip strip(gOptions);
    if (strip.count() == 0) {
        for (int f = 0; f < 4; ++f) {
            Raster b;
            b.setPixelFormat(PixelFormat::Rgb565);
            b.setSize(128, 97);
            for (int y = 0; y < 97; ++y)
                for (int x = 0; x < 128 * 2; ++x)
                    b.row(y)[x] = static_cast<uint8_t>(x * 7 + y * 3 + f);
            strip.append(b);
        }
    }
    return strip;
}

std::string abmPath()
{
    static const std::string path = [] {
        const std::string p = (access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") + std::string("abm-bench-") +
                              std::to_string(getpid()) + ".abm";
        MemoryStream s;
        s.bytes() = abmFileBytes(fourFrames());
        s.saveToFile(p);
        return p;
    }();
    return path;
}

void abmWrite(benchmark::State& state)
{
    FrameStrip& strip = fourFrames();
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = abmFileBytes(strip);
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(abmWrite)->Name("AbmWrite/ours");

void abmWriteMemcpy(benchmark::State& state)
{
    std::vector<uint8_t> from(99400, 1), to;
    for (auto _ : state) {
        to.assign(from.begin(), from.end());
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(abmWriteMemcpy)->Name("AbmWrite/memcpy");

void abmRead(benchmark::State& state)
{
    const std::string path = abmPath();
    for (auto _ : state) {
        FrameStrip strip(gOptions);
        readAbmFile(strip, gPrompts, path);
        benchmark::DoNotOptimize(strip.count());
    }
}
BENCHMARK(abmRead)->Name("AbmRead/ours");

void abmReadMemcpy(benchmark::State& state)
{
    // The bare minimum of a read: the file's bytes into memory, copied once
    // more into four frames.
    const std::string path = abmPath();
    std::vector<uint8_t> frames(99328);
    for (auto _ : state) {
        MemoryStream s;
        s.loadFromFile(path);
        std::memcpy(frames.data(), s.bytes().data() + 72, frames.size());
        benchmark::DoNotOptimize(frames.data());
    }
}
BENCHMARK(abmReadMemcpy)->Name("AbmRead/memcpy");

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> cpu;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            cpu[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* what : {"AbmWrite", "AbmRead"}) {
        const double ours = reporter.cpu[std::string(what) + "/ours"];
        const double bare = reporter.cpu[std::string(what) + "/memcpy"];
        if (bare > 0)
            std::printf("RATIO %s-vs-memcpy %.2f\n", what, ours / bare);
    }
    std::remove(abmPath().c_str());
    benchmark::Shutdown();
    return 0;
}
