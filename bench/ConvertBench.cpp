// Whole conversions (copy, clear, convert) through the per-dot model
// operations, for the largest logos of two printers.
#include <benchmark/benchmark.h>

#include <memory>

#include "logo/Conversion.h"

namespace tlc {
namespace {

// About half the dots dark: a checkerboard of 3 x 3 blocks of two greys.
TColor Sample(int x, int y) { return ((x / 3 + y / 3) & 1) ? RGB(40, 90, 60) : RGB(220, 230, 210); }

void InstallPicture(TImage& image, int w, int h, int bpp) {
    TRasterFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = static_cast<std::uint16_t>(bpp);
    if (bpp == 8) {
        for (int i = 0; i < 256; ++i) f.ColourTable.push_back(RGB(i, (i * 7) & 255, 255 - i));
        f.ColourTable[10] = RGB(40, 90, 60);
        f.ColourTable[200] = RGB(220, 230, 210);
    }
    auto raster = TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster->SetPixel(x, y, Sample(x, y));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    image.Picture().Install(std::move(bitmap));
}

void BM_ConvertImage(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const int model = static_cast<int>(state.range(2));
    const int bpp = static_cast<int>(state.range(3));
    TImage source, target;
    InstallPicture(source, w, h, bpp);
    const PrinterLimits limits = LimitsOf(BuildPrinterModels(), model);
    LogoGeometry geometry;
    for (auto _ : state) {
        ConvertImage(source, target, Thresholds{}, limits, geometry);
        benchmark::DoNotOptimize(target.Picture().Graphic());
    }
    const double dots = static_cast<double>(geometry.Width) * geometry.Height;
    state.counters["dots"] = dots;
    state.counters["dots_per_s"] =
        benchmark::Counter(dots, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ConvertImage)
    ->ArgNames({"w", "h", "model", "bpp"})
    ->Args({600, 600, 0, 24})
    ->Args({568, 920, 3, 24})
    ->Args({600, 600, 0, 8})
    ->Args({568, 920, 3, 8})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace tlc

BENCHMARK_MAIN();
