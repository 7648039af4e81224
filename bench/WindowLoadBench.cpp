// Load and convert of a 4000 x 3000 JPEG in the main window with Picture >
// Fit to printer on: from the file name to both panes painted.
// Runs headless (offscreen) unless QT_QPA_PLATFORM says otherwise, e.g.
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/bench/tlc_bench_window_load

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

#include "PictureEncoders.h"
#include "QtBenchMain.h"
#include "image/Image.h"
#include "ui/Main.h"

namespace {

void BM_LoadFitConvertJpeg(benchmark::State& state) {
    const int w = 4000, h = 3000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    {
        const std::vector<std::uint8_t> rgb = tlc::test::RgbRows(w, h, [&](int x, int y) {
            return tlc::test::Rgba{static_cast<std::uint8_t>(x * 255 / (w - 1)),
                                   static_cast<std::uint8_t>(y * 255 / (h - 1)),
                                   static_cast<std::uint8_t>((x / 7 + y / 5) % 256), 255};
        });
        const auto jpeg = tlc::test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_420, rgb);
        std::ofstream(path.toStdString(), std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
    }
    tlc::TfmMain window;
    window.SetFitToPrinter(state.range(0) != 0);
    window.SetDither(state.range(1) ? std::optional(tlc::DitherMethod::FloydSteinberg)
                                    : std::nullopt);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("the window was never shown");
        return;
    }
    for (auto _ : state) {
        window.LoadPicture(path);
        for (int round = 0; round < 100 && (window.TargetImage().NeedsPaint() ||
                                            window.SourceImage().NeedsPaint());
             ++round)
            QCoreApplication::processEvents();
    }
    if (window.Geometry.Width == 0) state.SkipWithError("nothing converted");
}
// Fit on, no dither; Fit on with Floyd-Steinberg; both off (the picture cut).
BENCHMARK(BM_LoadFitConvertJpeg)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

TLC_QT_BENCHMARK_MAIN();
