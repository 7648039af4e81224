// JPEG through libjpeg-turbo's TurboJPEG API: baseline and progressive,
// greyscale, colour and CMYK.
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "base/Exceptions.h"
#include "image/PixelBuffer.h"
#include "image/RowScaler.h"
#include "import/CodecLibraries.h"
#include "import/ColourProfile.h"
#include "import/ImportSupport.h"
#include "import/ImportedPicture.h"
#include "import/JpegRows.h"
#include "import/PictureMetadata.h"

namespace tlc {

namespace {

struct HandleFree {
    void operator()(void* handle) const { Jpeg().tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleFree>;

// Decoding flags: refuse the progressive files with thousands of scans that
// make a small file cost minutes of decoding.
constexpr int kFlags = TJFLAG_LIMITSCANS;

// libjpeg reports a file that ends early, or a scan that breaks off, only as
// a warning and fills the rest with grey: that is a damaged file. Stray bytes
// between markers, common in camera files, leave the picture whole.
void CheckDecode(tjhandle handle, int status) {
    if (status == 0) return;
    const char* message = Jpeg().tjGetErrorStr2(handle);
    if (Jpeg().tjGetErrorCode(handle) == TJERR_WARNING && std::strstr(message, "extraneous bytes") != nullptr)
        return;
    import::Damaged("JPEG", message);
}

// The smallest scaled DCT size that is still at least twice the size the
// picture will be averaged down to, so that the final filter still does most
// of the work in linear light.
tjscalingfactor ChooseScale(int width, int height, const ImportHints& hints) {
    tjscalingfactor best{1, 1};
    if (!hints.ScaledSize) return best;
    const auto [tw, th] = hints.ScaledSize(width, height);
    if (tw <= 0 || th <= 0 || tw >= width || th >= height) return best;
    int count = 0;
    const tjscalingfactor* factors = Jpeg().tjGetScalingFactors(&count);
    for (int i = 0; factors && i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (f.num > f.denom) continue;
        const std::int64_t sw = TJSCALED(width, f), sh = TJSCALED(height, f);
        // Smaller than the best so far: num/denom < best.num/best.denom.
        if (sw >= 2 * std::int64_t{tw} && sh >= 2 * std::int64_t{th} &&
            std::int64_t{f.num} * best.denom < std::int64_t{best.num} * f.denom)
            best = f;
    }
    return best;
}

// The picture decoded by the scaled DCT row by row into the scaler: neither
// it nor the DCT-scaled picture is ever held whole.
std::shared_ptr<TBitmapImage> ScaleRows(const LibjpegLibrary& lib, std::span<const std::uint8_t> bytes,
                                        tjscalingfactor scale, int w, int h, import::KeptSize target) {
    RowScaler scaler(w, h, std::min(target.Width, w), std::min(target.Height, h));
    import::JpegRowRequest request;
    request.ScaleNum = static_cast<unsigned>(scale.num);
    request.ScaleDenom = static_cast<unsigned>(scale.denom);
    request.Row = [&](const std::uint8_t* pixels) { scaler.AddRow(pixels, 3); };
    import::ReadJpegRows(lib, bytes, request);
    if (!scaler.Done()) import::Damaged("JPEG", "the picture data ends early");
    return scaler.Result();
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeJpegFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints) {
    Handle handle(Jpeg().tjInitDecompress());
    if (!handle) throw EOutOfResources();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (Jpeg().tjDecompressHeader3(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                            &width, &height, &subsampling, &colourspace) != 0)
        import::Damaged("JPEG", Jpeg().tjGetErrorStr2(handle.get()));
    const bool cmyk = colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
    const tjscalingfactor scale = ChooseScale(width, height, hints);
    // CMYK turns to colours through its profile or Adobe's marker on the
    // whole raster (import::ApplyCmyk), so it is not averaged row by row.
    if (const auto target = import::ScaledSize("JPEG", width, height, hints.Crop); target && !cmyk)
        if (const LibjpegLibrary* lib = Libjpeg())
            return ScaleRows(*lib, bytes, scale, TJSCALED(width, scale), TJSCALED(height, scale), *target);
    // Hostile sizes are refused on the full size, before any decoding.
    import::CheckBuffer("JPEG", width, height, 3);

    const int w = TJSCALED(width, scale), h = TJSCALED(height, scale);
    const import::KeptSize kept = import::KeptPart(width, height, hints.Crop);
    const int keptWidth = std::min(w, kept.Width), keptHeight = std::min(h, kept.Height);
    auto raster = import::NewRaster("JPEG", keptWidth, keptHeight);

    if (cmyk) {
        // TurboJPEG gives CMYK as Adobe writes it, inverted: 255 is no ink.
        import::CheckBuffer("JPEG", w, h, 4);
        std::vector<std::uint8_t> inks;
        try {
            inks.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        CheckDecode(handle.get(),
                    Jpeg().tjDecompress2(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                                  inks.data(), w, 0, h, TJPF_CMYK, kFlags));
        import::ApplyCmyk(inks.data(), w, *raster, hints.Metadata);
        return raster;
    }
    // Straight into the raster: its rows are blue, green, red, as TJPF_BGR.
    if (keptWidth == w && keptHeight == h) {
        CheckDecode(handle.get(),
                    Jpeg().tjDecompress2(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                                  raster->Pixels().data(), w, static_cast<int>(raster->Stride()), h,
                                  TJPF_BGR, kFlags));
        return raster;
    }
    // Unscaled, libjpeg reads just the kept rows and columns.
    if (scale.num == scale.denom) {
        if (const LibjpegLibrary* lib = Libjpeg()) {
            import::DecodeJpegRows(*lib, bytes, *raster);
            return raster;
        }
    }
    // TurboJPEG decodes whole pictures only: the kept part is copied out
    // (of memory never cleared, given back at once).
    PixelBuffer whole;
    try {
        whole = PixelBuffer::Uninitialised(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    CheckDecode(handle.get(),
                Jpeg().tjDecompress2(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                              whole.data(), w, 0, h, TJPF_BGR, kFlags));
    for (int y = 0; y < keptHeight; ++y)
        std::memcpy(raster->Row(y), whole.data() + static_cast<std::size_t>(y) * w * 3,
                    static_cast<std::size_t>(keptWidth) * 3);
    return raster;
}

} // namespace tlc
