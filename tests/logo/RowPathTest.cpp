// The conversion and the encoder go along rows once the canvases are
// settled. Here they run beside the plain per-dot model on random pictures of
// every pixel format: pixels, flags, the control's reports and what each
// immediate redraw would paint, and the logo bytes must all be the same.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "logo/Conversion.h"
#include "logo/LogoFile.h"

namespace tlc {
namespace {

// A view that also notes a digest of the target at every immediate redraw.
class RecordingView final : public IImageView {
public:
    RecordingView(TImage& image, bool showing) : image_(image), showing_(showing) {
        image_.SetView(this);
    }
    ~RecordingView() { image_.SetView(nullptr); }
    void InvalidateImage() override { log += 'i'; }
    void RepaintImageNow() override {
        log += 'r';
        image_.BeginPaint();
        std::uint64_t digest = 1469598103934665603ull;
        if (auto* bitmap = dynamic_cast<TBitmap*>(image_.Picture().Graphic()))
            for (std::uint8_t b : bitmap->Image().Pixels()) digest = (digest ^ b) * 1099511628211ull;
        log += std::to_string(digest);
        image_.EndPaint();
    }
    bool ImageShowing() const override { return showing_; }
    void ImageBoundsChanged() override { log += 'b'; }

    std::string log;

private:
    TImage& image_;
    bool showing_;
};

// The conversion dot by dot, one canvas request per pixel operation.
void PlainConvert(TImage& source, TImage& target, const Thresholds& t, const PrinterLimits& limits,
                  LogoGeometry& g) {
    target.Picture().CopyPicture(source.Picture());
    g = FitGeometry(source.Picture().Width(), source.Picture().Height(), limits);
    LetTargetHoldBlackAndWhite(target);
    target.SetWidth(g.Width);
    target.SetHeight(g.Height);
    for (std::int32_t y = 0; y < g.Height; ++y)
        for (std::int32_t x = 0; x < g.Width; ++x) target.EnsureCanvas().WritePixel(x, y, clWhite);
    target.Repaint();
    for (std::int32_t y = 0; y < g.Height; ++y) {
        for (std::int32_t x = 0; x < g.Width; ++x)
            if (IsDark(source.EnsureCanvas().ReadPixel(x, y), t))
                target.EnsureCanvas().WritePixel(x, y, clBlack);
        if (y % 20 == 0) target.Repaint();
    }
}

// The dot data as stated: columns of bands for models 0 to 2, rows for 3.
std::vector<std::uint8_t> PlainDots(int model, const LogoGeometry& g, TImage& target) {
    std::vector<std::uint8_t> out;
    const bool rows = model == 3;
    const std::int32_t lines = rows ? g.Height : g.Width;
    const std::int32_t bands = rows ? g.Width / 8 : g.Height / 8;
    for (std::int32_t line = 0; line < lines; ++line)
        for (std::int32_t band = 0; band < bands; ++band) {
            unsigned byte = 0;
            for (int i = 0; i < 8; ++i) {
                const TColor c = rows ? target.EnsureCanvas().ReadPixel(8 * band + i, line)
                                      : target.EnsureCanvas().ReadPixel(line, 8 * band + i);
                byte = (byte << 1) | (c == clBlack ? 1u : 0u);
            }
            out.push_back(static_cast<std::uint8_t>(byte));
        }
    return out;
}

struct Format {
    int bits;
    bool fields;
};
const Format kFormats[] = {{1, false},  {4, false},  {8, false}, {16, false},
                           {16, true},  {24, false}, {32, false}, {32, true}};

std::shared_ptr<TBitmapImage> RandomRaster(std::mt19937& rng, Format fmt, int w, int h) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    TRasterFormat f;
    f.Width = w;
    f.Height = pick(3) == 0 ? -h : h;
    f.BitCount = static_cast<std::uint16_t>(fmt.bits);
    if (fmt.fields) {
        f.Compression = BI_BITFIELDS;
        if (fmt.bits == 16) {
            f.RedMask = 0xF800, f.GreenMask = 0x07E0, f.BlueMask = 0x001F;
        } else {
            f.RedMask = 0x000003FF, f.GreenMask = 0x000FFC00, f.BlueMask = 0x3FF00000;
        }
    }
    if (fmt.bits <= 8) {
        // Sometimes shorter than the pixels can address, sometimes without black.
        const int entries = 1 + pick(1 << fmt.bits);
        for (int i = 0; i < entries; ++i)
            f.ColourTable.push_back(pick(4) == 0 ? clBlack : static_cast<TColor>(rng() & 0xFFFFFF));
    }
    auto raster = TBitmapImage::Create(f);
    // Rows of different kinds: all light, noise, a few dark dots.
    for (int y = 0; y < h; ++y) {
        const int kind = pick(3);
        for (int x = 0; x < w; ++x) {
            TColor c = static_cast<TColor>(rng() & 0xFFFFFF);
            if (kind == 0 || (kind == 2 && pick(40) != 0)) c |= 0xE0E0E0;
            raster->SetPixel(x, y, c);
        }
        if (fmt.bits == 8) // indices beyond a short table too
            for (int x = 0; x < w; x += 7) raster->Row(y)[x] = static_cast<std::uint8_t>(rng());
    }
    if (pick(4) == 0) raster->ClrUsed = static_cast<std::uint32_t>(f.ColourTable.size());
    return raster;
}

void Install(TImage& image, const std::shared_ptr<TBitmapImage>& raster) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    image.Picture().Install(std::move(bitmap));
}

TEST(RowPath, ConversionAndLogoMatchThePlainModel) {
    std::mt19937 rng(20261208);
    const TPrinterModels models = BuildPrinterModels();
    for (int round = 0; round < 120; ++round) {
        const Format fmt = kFormats[round % std::size(kFormats)];
        const int w = 1 + static_cast<int>(rng() % (round % 5 == 0 ? 700 : 90));
        const int h = 1 + static_cast<int>(rng() % (round % 7 == 0 ? 430 : 70));
        const int model = static_cast<int>(rng() % 4);
        const PrinterLimits limits = LimitsOf(models, model);
        const int special = static_cast<int>(rng() % 6);
        const Thresholds t{special == 0 ? 255 : static_cast<int>(rng() % 256),
                           special == 1 ? 0 : static_cast<int>(rng() % 256),
                           static_cast<int>(rng() % 256)};
        const bool withView = rng() % 4 != 0, showing = rng() % 3 != 0;
        SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(fmt.bits) + " bits" +
                     (fmt.fields ? " with masks, " : ", ") + std::to_string(w) + " x " +
                     std::to_string(h) + ", model " + std::to_string(model));
        const auto raster = RandomRaster(rng, fmt, w, h);

        TImage source[2], target[2];
        LogoGeometry geometry[2];
        std::string log[2];
        for (int k = 0; k < 2; ++k) {
            Install(source[k], raster->Clone());
            std::unique_ptr<RecordingView> view;
            if (withView) view = std::make_unique<RecordingView>(target[k], showing);
            if (k == 0)
                ConvertImage(source[k], target[k], t, limits, geometry[k]);
            else
                PlainConvert(source[k], target[k], t, limits, geometry[k]);
            if (view) log[k] = view->log;
        }
        EXPECT_EQ(geometry[0].Width, geometry[1].Width);
        EXPECT_EQ(geometry[0].Height, geometry[1].Height);
        EXPECT_EQ(log[0], log[1]);
        const auto& fast = static_cast<TBitmap*>(target[0].Picture().Graphic())->Image();
        const auto& plain = static_cast<TBitmap*>(target[1].Picture().Graphic())->Image();
        ASSERT_EQ(fast.Pixels(), plain.Pixels());
        EXPECT_EQ(fast.ClrUsed, plain.ClrUsed);
        EXPECT_EQ(target[0].Picture().Graphic()->Modified(), target[1].Picture().Graphic()->Modified());
        EXPECT_EQ(target[0].NeedsPaint(), target[1].NeedsPaint());
        EXPECT_EQ(static_cast<TBitmap*>(source[0].Picture().Graphic())->Image().Pixels(),
                  raster->Pixels());

        const std::vector<std::uint8_t> bytes = EncodeLogo(model, geometry[0], target[0]);
        const std::size_t k = LogoHeaderLength(model);
        ASSERT_EQ(bytes.size(), 2 + k + static_cast<std::size_t>(geometry[0].Width) * geometry[0].Height / 8);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 2 + static_cast<std::ptrdiff_t>(k), bytes.end()),
                  PlainDots(model, geometry[1], target[1]));
    }
}

// The runs along a row against GetPixel and SetPixel, dot for dot, with
// runs that start left of the raster and end beyond it.
TEST(RowPath, RowRunsMatchSinglePixels) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        const Format fmt = kFormats[round % std::size(kFormats)];
        // Wide enough for whole vectors of dots and whole bytes of 1-bit rows.
        const int w = 1 + static_cast<int>(rng() % 100), h = 1 + static_cast<int>(rng() % 4);
        auto raster = RandomRaster(rng, fmt, w, h);
        const int y = static_cast<int>(rng() % static_cast<unsigned>(h + 2)) - 1;
        const int x = static_cast<int>(rng() % static_cast<unsigned>(w + 10)) - 5;
        const int count = static_cast<int>(rng() % 120);
        const TColor c = rng() % 3 == 0 ? clBlack : rng() % 2 ? clWhite : (rng() & 0xFFFFFF);
        SCOPED_TRACE("round " + std::to_string(round));

        // Any tables, or the thresholds of a conversion (compared, not looked up).
        TBitmapImage::ChannelTables tables;
        if (round % 2) {
            const auto limit = [&] { return static_cast<int>(rng() % 260) - 2; };
            const int r = limit(), g = limit(), b = limit();
            tables = TBitmapImage::ChannelTables::AtMost(r, g, b);
        } else {
            for (int v = 0; v < 256; ++v) {
                tables.Red[v] = static_cast<std::uint8_t>(rng() % 2);
                tables.Green[v] = static_cast<std::uint8_t>(rng() % 2 * 2);
                tables.Blue[v] = static_cast<std::uint8_t>(rng() % 2 * 4);
            }
        }
        std::vector<std::uint8_t> classes(static_cast<std::size_t>(count) + 1, 0xAB);
        std::vector<std::uint8_t> lit(static_cast<std::size_t>(count) + 1, 0xAB);
        raster->ClassifyRow(x, y, count, tables, classes.data());
        raster->NonBlackRow(x, y, count, lit.data());
        for (int i = 0; i < count; ++i) {
            const TColor c = raster->GetPixel(x + i, y);
            ASSERT_EQ(classes[static_cast<std::size_t>(i)],
                      tables.Red[RedOf(c)] | tables.Green[GreenOf(c)] | tables.Blue[BlueOf(c)]);
            ASSERT_EQ(lit[static_cast<std::size_t>(i)], c != clBlack ? 1 : 0);
        }
        EXPECT_EQ(classes.back(), 0xAB);
        EXPECT_EQ(lit.back(), 0xAB);

        std::vector<std::uint8_t> flags(static_cast<std::size_t>(count));
        for (auto& f : flags) f = static_cast<std::uint8_t>(rng() % 2 ? rng() % 256 : 0);
        auto runs = raster->Clone(), dots = raster->Clone();
        runs->StoreWhere(x, y, count, flags.data(), c);
        for (int i = 0; i < count; ++i)
            if (flags[static_cast<std::size_t>(i)]) dots->SetPixel(x + i, y, c);
        ASSERT_EQ(runs->Pixels(), dots->Pixels());
        runs->FillRow(x, y, count, c);
        for (int i = 0; i < count; ++i) dots->SetPixel(x + i, y, c);
        ASSERT_EQ(runs->Pixels(), dots->Pixels());
    }
}

} // namespace
} // namespace tlc
