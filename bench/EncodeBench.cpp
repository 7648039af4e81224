// Encoding the largest logos, every dot read through EnsureCanvas and ReadPixel.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "image/Bitmap.h"
#include "image/Image.h"
#include "logo/LogoFile.h"

namespace {

using namespace tlc;

// A target with a mix of black and white, as a conversion leaves it: 32 bits
// (the blank bitmap of an empty image) or the format of a loaded file.
void InstallTarget(TImage& target, int w, int h, int bitCount) {
    TRasterFormat format;
    format.Width = w;
    format.Height = h;
    format.BitCount = static_cast<std::uint16_t>(bitCount);
    if (bitCount <= 8) format.ColourTable = {clBlack, clWhite};
    auto raster = TBitmapImage::Create(format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster->SetPixel(x, y, clWhite);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x * 7 + y * 13) % 5 < 2) raster->SetPixel(x, y, clBlack);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    target.Picture().Install(std::move(bitmap));
}

void Encode(benchmark::State& state, int model, int w, int h, int bitCount = 32) {
    TImage target;
    InstallTarget(target, w, h, bitCount);
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes = EncodeLogo(model, {w, h}, target);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["dots/s"] = benchmark::Counter(static_cast<double>(w) * h,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_EncodeModel0_600x600(benchmark::State& state) {
    Encode(state, 0, 600, 600);
}
void BM_EncodeModel3_568x920(benchmark::State& state) {
    Encode(state, 3, 568, 920);
}

void BM_EncodeModel0_600x600_24bit(benchmark::State& state) {
    Encode(state, 0, 600, 600, 24);
}
void BM_EncodeModel3_568x920_1bit(benchmark::State& state) {
    Encode(state, 3, 568, 920, 1);
}

BENCHMARK(BM_EncodeModel0_600x600)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_EncodeModel3_568x920)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_EncodeModel0_600x600_24bit)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_EncodeModel3_568x920_1bit)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
