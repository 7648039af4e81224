// Pictures of the imported formats converted end to end (load, convert,
// write the logo file) beside the same picture as a 24-bit bitmap, and the
// fit of a 4000 x 3000 photograph to 512 dots.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

#include "BitmapWriter.h"
#include "PictureEncoders.h"
#include "prepare/PrepareForPrinter.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/LogoWriter.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

// Smooth shading with some texture, as a photograph compresses.
test::Rgba PhotoLike(int x, int y, int w, int h) {
    const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
    const double light = 0.5 + 0.5 * std::sin(6 * u + 3 * v) * std::cos(5 * v);
    const double grain = std::sin(x * 0.9) * std::sin(y * 1.3) * 12;
    auto c = [](double d) { return static_cast<std::uint8_t>(std::clamp(d, 0.0, 255.0)); };
    return {c(light * 230 + grain), c(light * 200 + 30 * u + grain), c(light * 160 + 60 * v + grain), 255};
}

// A shop's logo: white paper, a dark round badge with soft edges, two
// coloured bands and bars of "lettering".
test::Rgba LogoLike(int x, int y, int w, int h) {
    const double dx = x - w * 0.3, dy = y - h * 0.35, r = std::sqrt(dx * dx + dy * dy);
    const double edge = std::clamp(w * 0.2 - r, 0.0, 1.0);
    test::Rgba p{255, 255, 255, 255};
    if (y > h * 0.6 && y < h * 0.7) p = {200, 30, 40, 255};
    if (y > h * 0.75 && y < h * 0.8 && (x / 23) % 3 != 2) p = {20, 20, 90, 255};
    auto mix = [&](std::uint8_t v) { return static_cast<std::uint8_t>(v * (1 - edge) + 30 * edge); };
    return {mix(p.R), mix(p.G), mix(p.B), 255};
}

using Painter = test::Rgba (*)(int, int, int, int);

std::vector<std::uint8_t> Rgb(int w, int h, Painter paint) {
    return test::RgbRows(w, h, [&](int x, int y) { return paint(x, y, w, h); });
}

std::vector<std::uint8_t> File(const std::string& format, int w, int h, Painter paint) {
    if (format == "png") return test::EncodePng(test::PngHeader(w, h, 8, SPNG_COLOR_TYPE_TRUECOLOR), Rgb(w, h, paint));
    if (format == "jpeg") return test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_420, Rgb(w, h, paint));
    test::BitmapLayout layout;
    layout.Width = w;
    layout.Height = h;
    layout.Pixels = test::PackRows(w, h, 24, false, [&](int x, int y) {
        const test::Rgba p = paint(x, y, w, h);
        return (std::uint32_t{p.R} << 16) | (std::uint32_t{p.G} << 8) | p.B;
    });
    return test::WriteBitmap(layout);
}

// Picture files written once per run and removed at its end.
class Pictures {
public:
    ~Pictures() {
        std::error_code ec;
        for (const auto& [name, path] : files_) fs::remove(path, ec);
    }
    const fs::path& Get(const std::string& format, const std::string& content, int w, int h) {
        const std::string name = content + "-" + std::to_string(w) + "." + format;
        fs::path& path = files_[name];
        if (path.empty()) {
            path = fs::temp_directory_path() / ("tlc-bench-" + std::to_string(::getpid()) + "-" + name);
            const auto bytes = File(format, w, h, content == "logo" ? LogoLike : PhotoLike);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        return path;
    }

private:
    std::map<std::string, fs::path> files_;
};

Pictures& Files() {
    static Pictures pictures;
    return pictures;
}

// What `tillora-logo convert PICTURE [--fit --width N]` does, less the messages.
void ConvertEndToEnd(benchmark::State& state, const fs::path& picture, PrepareOptions options) {
    const fs::path output = fs::temp_directory_path() / ("tlc-bench-" + std::to_string(::getpid()) + ".rsc");
    const TPrinterModels models = BuildPrinterModels();
    const PrinterLimits limits = LimitsOf(models, 0);
    for (auto _ : state) {
        TImage source, target;
        source.SetAutoSize(true);
        LoadForPrinter(source.Picture(), picture.string(), limits, options);
        LogoGeometry geometry;
        ConvertImage(source, target, Thresholds{}, limits, geometry);
        if (!WriteLogoFile(output.string(), 0, geometry, target)) state.SkipWithError("write failed");
    }
    fs::remove(output);
}

void BM_Convert600(benchmark::State& state, const char* format, const char* content) {
    ConvertEndToEnd(state, Files().Get(format, content, 600, 600), {});
}
BENCHMARK_CAPTURE(BM_Convert600, logo_bmp, "bmp", "logo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert600, logo_png, "png", "logo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert600, logo_jpeg, "jpeg", "logo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert600, photo_bmp, "bmp", "photo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert600, photo_png, "png", "photo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Convert600, photo_jpeg, "jpeg", "photo")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FitJpeg4000x3000To512(benchmark::State& state) {
    PrepareOptions options;
    options.Fit = true;
    options.MaxWidth = 512;
    ConvertEndToEnd(state, Files().Get("jpeg", "photo", 4000, 3000), options);
}
BENCHMARK(BM_FitJpeg4000x3000To512)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace tlc
BENCHMARK_MAIN();
