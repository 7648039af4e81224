// From pressing Refresh to the converted 600 x 600 target painted on screen:
// the conversion with its redraws every 20 rows, then the last paint.
// Runs headless (offscreen) unless QT_QPA_PLATFORM says otherwise, e.g.
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/bench/tlc_bench_refresh

#include <benchmark/benchmark.h>

#include <QPushButton>
#include <QTest>

#include "image/Bitmap.h"
#include "image/Image.h"
#include "ui/Main.h"
#include "QtBenchMain.h"

namespace {

void InstallPicture(tlc::TImage& image, int w, int h, int bitCount) {
    tlc::TRasterFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = static_cast<std::uint16_t>(bitCount);
    auto raster = tlc::TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            raster->SetPixel(x, y, tlc::RGB((x * 255) / w, (y * 255) / h, (x ^ y) & 0xFF));
    auto bitmap = std::make_unique<tlc::TBitmap>();
    bitmap->SetImage(raster);
    image.Picture().Install(std::move(bitmap));
}

void BM_RefreshToPainted(benchmark::State& state) {
    tlc::TfmMain window;
    InstallPicture(window.SourceImage(), 600, 600, static_cast<int>(state.range(0)));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("the window was never shown");
        return;
    }
    auto* refresh = window.findChild<QPushButton*>(QStringLiteral("btRefresh"));
    for (auto _ : state) {
        refresh->click();
        // Deliver the paint the last rows asked for (asked for through a
        // queued call, so it may take more than one round of events).
        for (int round = 0; round < 100 && window.TargetImage().NeedsPaint(); ++round)
            QCoreApplication::processEvents();
        if (window.TargetImage().NeedsPaint()) {
            state.SkipWithError("the target was never painted");
            break;
        }
    }
    state.counters["dots/s"] = benchmark::Counter(
        600.0 * 600.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    if (window.Geometry.Width != 600 || window.Geometry.Height != 600)
        state.SkipWithError("target is not 600 x 600");
}
BENCHMARK(BM_RefreshToPainted)->Arg(24)->Arg(32)->Arg(8)->Unit(benchmark::kMillisecond);

} // namespace

TLC_QT_BENCHMARK_MAIN()
