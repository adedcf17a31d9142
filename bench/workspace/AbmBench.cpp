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

class NoPrompts : public IUserPrompts {
public:
    TModalResult showMessage(const std::string&, TMsgDlgType, const std::vector<TMsgDlgBtn>&) override
    {
        return TModalResult::mrOk;
    }
    std::vector<std::string> askOpenFiles(const TFileDialogRequest&) override { return {}; }
    std::optional<std::string> askSaveFile(const TFileDialogRequest&) override { return std::nullopt; }
};

TFrameOptionValues gOptions;
NoPrompts gPrompts;

FrameStrip& FourFrames()
{
    static FrameStrip strip(gOptions, gPrompts);
    if (strip.Count() == 0) {
        for (int f = 0; f < 4; ++f) {
            TBitmap b;
            b.SetPixelFormat(pf16bit);
            b.SetSize(128, 97);
            for (int y = 0; y < 97; ++y)
                for (int x = 0; x < 128 * 2; ++x)
                    b.ScanLine(y)[x] = static_cast<uint8_t>(x * 7 + y * 3 + f);
            strip.AppendFrame(b);
        }
    }
    return strip;
}

std::string AbmPath()
{
    static const std::string path = [] {
        const std::string p = (access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") + std::string("abm-bench-") +
                              std::to_string(getpid()) + ".abm";
        TMemoryStream s;
        WriteAbmStream(FourFrames(), s);
        s.SaveToFile(p);
        return p;
    }();
    return path;
}

void AbmWrite(benchmark::State& state)
{
    FrameStrip& strip = FourFrames();
    TMemoryStream stream;
    for (auto _ : state) {
        WriteAbmStream(strip, stream);
        benchmark::DoNotOptimize(stream.Bytes().data());
    }
}
BENCHMARK(AbmWrite)->Name("AbmWrite/ours");

void AbmWriteMemcpy(benchmark::State& state)
{
    std::vector<uint8_t> from(99400, 1), to;
    for (auto _ : state) {
        to.assign(from.begin(), from.end());
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(AbmWriteMemcpy)->Name("AbmWrite/memcpy");

void AbmRead(benchmark::State& state)
{
    const std::string path = AbmPath();
    for (auto _ : state) {
        FrameStrip strip(gOptions, gPrompts);
        ReadAbmFile(strip, path);
        benchmark::DoNotOptimize(strip.Count());
    }
}
BENCHMARK(AbmRead)->Name("AbmRead/ours");

void AbmReadMemcpy(benchmark::State& state)
{
    // The bare minimum of a read: the file's bytes into memory, copied once
    // more into four frames.
    const std::string path = AbmPath();
    std::vector<uint8_t> frames(99328);
    for (auto _ : state) {
        TMemoryStream s;
        s.LoadFromFile(path);
        std::memcpy(frames.data(), s.Bytes().data() + 72, frames.size());
        benchmark::DoNotOptimize(frames.data());
    }
}
BENCHMARK(AbmReadMemcpy)->Name("AbmRead/memcpy");

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
    std::remove(AbmPath().c_str());
    benchmark::Shutdown();
    return 0;
}
