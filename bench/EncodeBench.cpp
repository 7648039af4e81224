// Encoding the largest logos, every dot read through EnsureCanvas and ReadPixel.
#include <benchmark/benchmark.h>

#include <memory>

#include "image/Bitmap.h"
#include "image/Image.h"
#include "logo/LogoFile.h"

namespace {

using namespace tlc;

// A 32-bit target with a mix of black and white, as a conversion leaves it.
void InstallTarget(TImage& target, int w, int h) {
    auto raster = TBitmapImage::CreateBlank(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x * 7 + y * 13) % 5 < 2) raster->SetPixel(x, y, clBlack);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    target.Picture().Install(std::move(bitmap));
}

void Encode(benchmark::State& state, int model, int w, int h) {
    TImage target;
    InstallTarget(target, w, h);
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes = EncodeLogo(model, {w, h}, target);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["dots/s"] =
        benchmark::Counter(static_cast<double>(w) * h, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_EncodeModel0_600x600(benchmark::State& state) { Encode(state, 0, 600, 600); }
void BM_EncodeModel3_568x920(benchmark::State& state) { Encode(state, 3, 568, 920); }

BENCHMARK(BM_EncodeModel0_600x600)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_EncodeModel3_568x920)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
