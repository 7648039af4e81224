// A 1,000 x 800 metafile of 3,000 filled shapes: the first drawing (the
// drawing helper started, the metafile library's SVG, librsvg, the pixels
// back) and a repaint from the kept drawing; and the helper's drawing alone
// at a preview's size, the cost of each new size.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include <QImage>
#include <QPainter>

#include "image/MetafileFile.h"
#include "ui/MetafilePainter.h"
#include "prepare/MetafileDrawing.h"
#include "QtBenchMain.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

constexpr int kShapes = 3000;

std::uint32_t Colour(int k) { return static_cast<std::uint32_t>((k * 2654435761u) & 0xFFFFFF); }

// Enhanced: frame of 1000 x 800 screen pixels (0.01 mm at 96 per inch).
Bytes BusyEmf() {
    Bytes r;
    auto record = [&r](std::uint32_t type, std::initializer_list<std::uint32_t> p) {
        Put32(r, type);
        Put32(r, static_cast<std::uint32_t>(8 + 4 * p.size()));
        for (auto v : p) Put32(r, v);
    };
    for (int k = 0; k < kShapes; ++k) {
        const std::uint32_t x = (k * 37) % 950, y = (k * 53) % 750;
        record(39, {1, 0, Colour(k), 0});
        record(37, {1});
        record(k % 2 ? 42 : 43, {x, y, x + 50, y + 40});
        record(37, {0x80000000}); // white brush back in, so slot 1 can go
        record(40, {1});
    }
    Bytes out;
    Put32(out, 1);
    Put32(out, 108);
    for (std::uint32_t v : {0u, 0u, 999u, 799u, 0u, 0u, 26458u, 21167u}) Put32(out, v);
    Put32(out, 0x464D4520);
    Put32(out, 0x10000);
    Put32(out, 0);
    Put32(out, kShapes * 5 + 2);
    Put16(out, 2);
    Put16(out, 0);
    for (std::uint32_t v : {0u, 0u, 0u, 1000u, 800u, 265u, 212u, 0u, 0u, 0u, 264583u, 211667u})
        Put32(out, v);
    out.insert(out.end(), r.begin(), r.end());
    for (std::uint32_t v : {14u, 20u, 0u, 16u, 20u}) Put32(out, v);
    for (int k = 0; k < 4; ++k) out[48 + k] = static_cast<std::uint8_t>(out.size() >> (8 * k));
    return out;
}

// Windows: placeable, 96 units per inch, 1000 x 800.
Bytes BusyWmf() {
    Bytes r;
    auto record = [&r](std::uint16_t function, std::initializer_list<std::uint16_t> p) {
        Put32(r, static_cast<std::uint32_t>(3 + p.size()));
        Put16(r, function);
        for (auto v : p) Put16(r, v);
    };
    record(0x020B, {0, 0});
    record(0x020C, {800, 1000});
    for (int k = 0; k < kShapes; ++k) {
        const std::uint16_t x = (k * 37) % 950, y = (k * 53) % 750;
        const std::uint32_t c = Colour(k);
        record(0x02FC, {0, static_cast<std::uint16_t>(c & 0xFFFF), static_cast<std::uint16_t>(c >> 16), 0});
        record(0x012D, {0});
        if (k % 2) record(0x0418, {static_cast<std::uint16_t>(y + 40), static_cast<std::uint16_t>(x + 50), y, x});
        else record(0x041B, {static_cast<std::uint16_t>(y + 40), static_cast<std::uint16_t>(x + 50), y, x});
        record(0x01F0, {0});
    }
    record(0x0000, {});
    Bytes out;
    Put32(out, 0x9AC6CDD7);
    for (std::uint16_t v : {0, 0, 0, 1000, 800, 96}) Put16(out, v);
    Put32(out, 0);
    std::uint16_t sum = 0;
    for (std::size_t k = 0; k < 20; k += 2) sum ^= static_cast<std::uint16_t>(out[k] | out[k + 1] << 8);
    Put16(out, sum);
    Put16(out, 1);
    Put16(out, 9);
    Put16(out, 0x300);
    Put32(out, static_cast<std::uint32_t>(9 + r.size() / 2));
    Put16(out, 1);
    Put32(out, 16);
    Put16(out, 0);
    out.insert(out.end(), r.begin(), r.end());
    return out;
}

std::shared_ptr<tlc::TMetafileImage> Busy(std::int64_t enhanced) {
    return tlc::DecodeMetafileFile(enhanced ? BusyEmf() : BusyWmf());
}

QImage Target(const tlc::TMetafileImage& image) {
    QImage target(image.Width, image.Height, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    return target;
}

void BM_MetafileRepaint(benchmark::State& state) {
    const auto image = Busy(state.range(0));
    QImage target = Target(*image);
    const QRectF dest(0, 0, image->Width, image->Height);
    {
        QPainter painter(&target);
        if (!tlc::PaintMetafile(painter, dest, *image)) state.SkipWithError("not drawn");
    }
    for (auto _ : state) {
        QPainter painter(&target);
        benchmark::DoNotOptimize(tlc::PaintMetafile(painter, dest, *image));
    }
}
BENCHMARK(BM_MetafileRepaint)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_MetafileFirstDraw(benchmark::State& state) {
    const auto image = Busy(state.range(0));
    QImage target = Target(*image);
    const QRectF dest(0, 0, image->Width, image->Height);
    for (auto _ : state) {
        image->Drawing.reset();
        QPainter painter(&target);
        benchmark::DoNotOptimize(tlc::PaintMetafile(painter, dest, *image));
    }
}
BENCHMARK(BM_MetafileFirstDraw)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// One drawing through the helper at a preview's size.
void BM_DrawMetafilePreview(benchmark::State& state) {
    const auto image = Busy(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(tlc::DrawMetafile(*image, 120, 96));
}
BENCHMARK(BM_DrawMetafilePreview)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

TLC_QT_BENCHMARK_MAIN()
