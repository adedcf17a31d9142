// What abmtool does to each frame of the 200-frame photo.gif once it is
// decoded: each sub-image drawn in its own colours onto a 24-bit picture
// (what composing does with an image that does not cover the frame whole;
// photo.gif's images do, and are their frames as they are), then the
// composed frames turned into phone frames, with every choice of the
// conversion on (the default) and off (the plain stretch).

#include "codecs/gif/GifComposer.h"
#include "codecs/gif/GifImage.h"
#include "codecs/raster/Painter.h"
#include "codecs/raster/FrameConversion.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace abm;

struct Frames {
    std::vector<Raster> subImages;  // 8-bit, in their own palettes
    std::vector<Raster> drawn;      // composed as imported
};

const Frames& frames()
{
    static const Frames loaded = [] {
        const char* env = std::getenv("ABM_GIF_BENCH_DIR");
        GifImage gif;
        gif.loadFromFile(std::string(env && *env ? env : ABM_GIF_BENCH_DIR) + "/photo.gif");
        Frames f;
        for (int i = 0; i < gif.count(); ++i)
            f.subImages.emplace_back().assign(gif.images(i).raster());
        GifComposer frames(gif, GifComposer::Mode::Transparent);
        while (frames.next())
            f.drawn.emplace_back().assign(&frames.frame());
        return f;
    }();
    return loaded;
}

void drawInOwnColours(benchmark::State& state)
{
    const Frames& f = frames();
    Raster work;
    work.assign(&f.drawn.front());
    for (auto _ : state)
        for (const Raster& sub : f.subImages)
            Painter(work).drawImage(work.rect(), sub);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(f.subImages.size()));
}
BENCHMARK(drawInOwnColours)->Name("PerFrame/DrawInOwnColours")->Unit(benchmark::kMicrosecond);

void convert(benchmark::State& state, FrameConversion how)
{
    const Frames& f = frames();
    for (auto _ : state)
        for (const Raster& picture : f.drawn)
            benchmark::DoNotOptimize(convertToFrame(picture, 128, 97, how));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(f.drawn.size()));
}
BENCHMARK_CAPTURE(convert, defaults, FrameConversion{true, true, true})
    ->Name("PerFrame/ConvertDefaults")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convert, smooth, FrameConversion{true, false, true})
    ->Name("PerFrame/ConvertSmoothOnly")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convert, plain, FrameConversion{false, false, false})
    ->Name("PerFrame/ConvertPlainStretch")
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
