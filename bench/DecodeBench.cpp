// Decoding bitmap files from memory and reading one byte of every pixel,
// beside Qt's own reader doing the same in the same run, and a plain copy of
// the 24-bit pixel bytes as the floor.
//
//   build/bench/tlc_bench_decode --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>

#include <cstring>
#include <memory>
#include <vector>

#include "BitmapWriter.h"
#include "image/BitmapFile.h"

namespace {

using namespace tlc;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A shop logo at poster size: flat background, rings and bars with long runs
// of one colour, and a band of fine detail (like lettering) that needs
// absolute runs.
std::uint8_t LogoIndex(int x, int y) {
    if (y >= 2400 && y < 2700 && x >= 400 && x < 3600) {
        const unsigned h = static_cast<unsigned>(x * 2654435761u ^ y * 40503u);
        return static_cast<std::uint8_t>(
            ((x / 3 + y / 5) % 7 == 0 || (h >> 28) == 0) ? 200 + (h >> 29) : 0);
    }
    const int dx = x - 2000, dy = y - 1200;
    const int r2 = dx * dx + dy * dy;
    if (r2 < 1000 * 1000) return static_cast<std::uint8_t>(1 + (r2 / 30000) % 60);
    if (y % 400 < 60) return static_cast<std::uint8_t>(100 + x / 250);
    return 0;
}

std::vector<TColor> Palette() {
    std::vector<TColor> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = RGB(i * 5 % 256, 255 - i, i * 11 % 256);
    table[0] = RGB(255, 255, 255);
    return table;
}

struct Files {
    std::vector<std::uint8_t> rgb24, pal8, rle8;
    std::size_t pixelBytes24 = 0;
};

const Files& TestFiles() {
    static const Files files = [] {
        Files f;
        const auto table = Palette();
        test::BitmapLayout s;
        s.Width = kWidth;
        s.Height = kHeight;
        s.BitCount = 24;
        s.Pixels = test::PackRows(kWidth, kHeight, 24, false, [&](int x, int y) {
            const TColor c = table[LogoIndex(x, y)];
            return static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c));
        });
        f.pixelBytes24 = s.Pixels.size();
        f.rgb24 = test::WriteBitmap(s);

        s.BitCount = 8;
        s.Table = table;
        s.Pixels =
            test::PackRows(kWidth, kHeight, 8, false, [](int x, int y) { return LogoIndex(x, y); });
        f.pal8 = test::WriteBitmap(s);

        s.Compression = BI_RLE8;
        s.Pixels = test::EncodeRle8(kWidth, kHeight, LogoIndex);
        f.rle8 = test::WriteBitmap(s);
        return f;
    }();
    return files;
}

// Reads every byte of every pixel, so that a decoder which leaves work to
// the first touch (fresh pages, lazy conversion) pays for it here too.
std::uint32_t TouchPixels(const std::uint8_t* first, std::size_t stride, int width, int height,
                          int pixelBytes) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(pixelBytes);
    std::uint32_t sum = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = first + static_cast<std::size_t>(y) * stride;
        for (std::size_t i = 0; i < rowBytes; ++i) sum += row[i];
    }
    return sum;
}

void Ours(benchmark::State& state, const std::vector<std::uint8_t>& file) {
    for (auto _ : state) {
        auto image = DecodeBitmapFile(file);
        benchmark::DoNotOptimize(TouchPixels(image->Row(0), image->Stride(), image->Width(),
                                             image->AbsHeight(),
                                             image->BitCount() / 8));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}

void Qt(benchmark::State& state, const std::vector<std::uint8_t>& file) {
    for (auto _ : state) {
        QImage image;
        if (!image.loadFromData(file.data(), static_cast<int>(file.size()), "BMP")) {
            state.SkipWithError("Qt did not read the file");
            break;
        }
        benchmark::DoNotOptimize(TouchPixels(image.constBits(),
                                             static_cast<std::size_t>(image.bytesPerLine()),
                                             image.width(), image.height(), image.depth() / 8));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_Decode24(benchmark::State& s) {
    Ours(s, TestFiles().rgb24);
}
void BM_Qt24(benchmark::State& s) {
    Qt(s, TestFiles().rgb24);
}
void BM_Decode8(benchmark::State& s) {
    Ours(s, TestFiles().pal8);
}
void BM_Qt8(benchmark::State& s) {
    Qt(s, TestFiles().pal8);
}
void BM_DecodeRle8(benchmark::State& s) {
    Ours(s, TestFiles().rle8);
}
void BM_QtRle8(benchmark::State& s) {
    Qt(s, TestFiles().rle8);
}

// Square 24-bit pictures around the size where a raster passes 16 MiB: the
// time per pixel should not step there.
void BM_Decode24Side(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    test::BitmapLayout s;
    s.Width = side;
    s.Height = side;
    s.BitCount = 24;
    s.Pixels = test::PackRows(side, side, 24, false, [](int x, int y) {
        return static_cast<std::uint32_t>((x * 7 + y * 13) & 0xFFFFFF);
    });
    const std::vector<std::uint8_t> file = test::WriteBitmap(s);
    for (auto _ : state) {
        auto image = DecodeBitmapFile(file);
        benchmark::DoNotOptimize(
            TouchPixels(image->Row(0), image->Stride(), side, side, 3));
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}

// The floor: the 24-bit pixel bytes copied into memory just obtained (as a
// decoder must), and into memory already in use.
void BM_Memcpy24Fresh(benchmark::State& state) {
    const Files& f = TestFiles();
    const std::uint8_t* src = f.rgb24.data() + (f.rgb24.size() - f.pixelBytes24);
    for (auto _ : state) {
        std::unique_ptr<std::uint8_t[]> dst(new std::uint8_t[f.pixelBytes24]);
        std::memcpy(dst.get(), src, f.pixelBytes24);
        benchmark::DoNotOptimize(dst.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.pixelBytes24));
}

void BM_Memcpy24Warm(benchmark::State& state) {
    const Files& f = TestFiles();
    const std::uint8_t* src = f.rgb24.data() + (f.rgb24.size() - f.pixelBytes24);
    std::vector<std::uint8_t> dst(f.pixelBytes24);
    for (auto _ : state) {
        std::memcpy(dst.data(), src, f.pixelBytes24);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.pixelBytes24));
}

BENCHMARK(BM_Decode24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Qt24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Memcpy24Fresh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Memcpy24Warm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Qt8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeRle8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QtRle8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode24Side)->Arg(2360)->Arg(2380)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // Qt finds its image readers through the application object.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
