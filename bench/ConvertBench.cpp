// Whole conversions (copy, clear, convert) through the per-dot model
// operations, for the largest logos of two printers, on pictures with
// different shapes of dark and light.
//
//   build/bench/tlc_bench_convert --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "logo/Conversion.h"

namespace tlc {
namespace {

enum Pattern { kChecker, kNoise, kGradient, kPhoto };

std::uint32_t Hash(int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x9E3779B1u ^ static_cast<std::uint32_t>(y) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// Checker: 3 x 3 blocks of two greys, half dark. Noise: every channel random,
// so the three comparisons disagree from dot to dot. Gradient: smooth ramps
// crossing the threshold along long runs. Photo: ramps with grain.
TColor Sample(Pattern p, int x, int y) {
    switch (p) {
    case kChecker:
        return ((x / 3 + y / 3) & 1) ? RGB(40, 90, 60) : RGB(220, 230, 210);
    case kNoise: {
        const std::uint32_t h = Hash(x, y);
        return RGB(h & 0xFF, (h >> 8) & 0xFF, (h >> 16) & 0xFF);
    }
    case kGradient:
        return RGB((x * 255) / 600, (y * 255) / 920, ((x + y) * 255) / 1520);
    case kPhoto:
    default: {
        const int grain = static_cast<int>(Hash(x, y) & 31) - 16;
        auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
        return RGB(clamp(x * 255 / 600 + grain), clamp(y * 255 / 920 + grain), clamp(160 + grain));
    }
    }
}

void InstallPicture(TImage& image, int w, int h, int bpp, Pattern p) {
    TRasterFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = static_cast<std::uint16_t>(bpp);
    if (bpp == 8) // a 6 x 7 x 6 colour cube, as a photo saved with a palette has
        for (int i = 0; i < 252; ++i)
            f.ColourTable.push_back(RGB((i % 6) * 51, ((i / 6) % 7) * 42, (i / 42) * 51));
    if (bpp == 1) f.ColourTable = {clBlack, clWhite};
    auto raster = TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster->SetPixel(x, y, Sample(p, x, y));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    image.Picture().Install(std::move(bitmap));
}

void BM_ConvertImage(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const int model = static_cast<int>(state.range(2));
    const int bpp = static_cast<int>(state.range(3));
    const auto pattern = static_cast<Pattern>(state.range(4));
    TImage source, target;
    InstallPicture(source, w, h, bpp, pattern);
    const PrinterLimits limits = LimitsOf(BuildPrinterModels(), model);
    LogoGeometry geometry;
    for (auto _ : state) {
        ConvertImage(source, target, Thresholds{128, 128, 128}, limits, geometry);
        benchmark::DoNotOptimize(target.Picture().Graphic());
    }
    const double dots = static_cast<double>(geometry.Width) * geometry.Height;
    state.counters["dots"] = dots;
    state.counters["dots_per_s"] =
        benchmark::Counter(dots, benchmark::Counter::kIsIterationInvariantRate);
}

// Pictures at the largest logo of the printer: the conversion covers all of it.
void Pictures(benchmark::internal::Benchmark* b) {
    for (int pattern : {kNoise, kGradient, kChecker, kPhoto})
        for (int bpp : {24, 8}) {
            b->Args({600, 600, 0, bpp, pattern});
            b->Args({568, 920, 3, bpp, pattern});
        }
    b->Args({600, 600, 0, 32, kPhoto});
    b->Args({600, 600, 0, 1, kChecker});
}

BENCHMARK(BM_ConvertImage)
    ->ArgNames({"w", "h", "model", "bpp", "pattern"})
    ->Apply(Pictures)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tlc

BENCHMARK_MAIN();
