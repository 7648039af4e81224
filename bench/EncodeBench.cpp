// Encoding the largest logos, every dot read through EnsureCanvas and ReadPixel.
//
//   build/bench/tlc_bench_encode --benchmark_repetitions=9 --benchmark_report_aggregates_only=true
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

// The largest logo of each model (model 1's area allows 256 x 384), in
// the formats a target takes: 32 bits (blank bitmap), 24 bits, 8 and 1 bit.
void BM_Encode(benchmark::State& state) {
    Encode(state, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
           static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
}

BENCHMARK(BM_Encode)
    ->ArgNames({"model", "w", "h", "bpp"})
    ->Args({0, 600, 600, 32})
    ->Args({1, 256, 384, 32})
    ->Args({2, 600, 600, 32})
    ->Args({3, 568, 920, 32})
    ->Args({0, 600, 600, 24})
    ->Args({0, 600, 600, 8})
    ->Args({3, 568, 920, 24})
    ->Args({3, 568, 920, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
