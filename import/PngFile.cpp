// PNG through libspng: every colour type and depth, palette, 16 bits,
// interlacing and tRNS transparency, decoded to 8-bit RGBA.
#include <spng.h>

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "base/Exceptions.h"
#include "image/RowScaler.h"
#include "import/CodecLibraries.h"
#include "import/ImportSupport.h"
#include "import/ImportedPicture.h"

namespace tlc {

namespace {

struct ContextFree {
    void operator()(spng_ctx* ctx) const { Png().spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

void Check(int status) {
    if (status != 0) import::Damaged("PNG", Png().spng_strerror(status));
}

// Row by row into the scaler: the picture is never held. Grey of 1, 2 or 4
// bits is read as stored and widened here (v * 255 / (2^bits - 1), as
// libspng widens it), so that a run of equal rows is neither widened nor
// narrowed again.
std::shared_ptr<TBitmapImage> ScaleRows(spng_ctx* ctx, const spng_ihdr& ihdr, bool alpha, import::KeptSize scaled) {
    const bool packedGrey = !alpha && ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE && ihdr.bit_depth < 8;
    const int format = packedGrey ? SPNG_FMT_PNG : alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    Check(Png().spng_decode_image(ctx, nullptr, 0, format, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));
    const auto width = static_cast<std::int32_t>(ihdr.width);
    RowScaler scaler(width, static_cast<std::int32_t>(ihdr.height), scaled.Width, scaled.Height);
    std::vector<std::uint8_t> row, previous, bgr;
    try {
        row.resize(packedGrey ? (std::size_t{ihdr.width} * ihdr.bit_depth + 7) / 8
                              : std::size_t{ihdr.width} * (alpha ? 4 : 3));
        bgr.resize(std::size_t{ihdr.width} * 3);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    std::shared_ptr<TBitmapImage> composed;
    if (alpha) composed = import::NewRaster("PNG", width, 1);
    const unsigned bits = ihdr.bit_depth, top = (1u << bits) - 1;
    const std::int32_t last = static_cast<std::int32_t>(ihdr.height) - 1;
    for (std::int32_t y = 0; y <= last; ++y) {
        const int status = Png().spng_decode_row(ctx, row.data(), row.size());
        // The last row reports the end of the picture data.
        if (status != 0 && !(status == SPNG_EOI && y == last)) Check(status);
        if (alpha) {
            import::PutRgbaRow(*composed, 0, row.data());
            scaler.AddRow(composed->Row(0), 3);
        } else if (packedGrey) {
            if (y > 0 && row == previous) {
                scaler.RepeatRow();
                continue;
            }
            for (std::int32_t x = 0; x < width; ++x) {
                const unsigned at = static_cast<unsigned>(x) * bits;
                const unsigned v = (row[at / 8] >> (8 - bits - at % 8)) & top;
                bgr[x * 3] = bgr[x * 3 + 1] = bgr[x * 3 + 2] = static_cast<std::uint8_t>(v * 255 / top);
            }
            scaler.AddRow(bgr.data(), 3);
            previous.swap(row);
            row.resize(previous.size());
        } else {
            for (std::int32_t x = 0; x < width; ++x) std::swap(row[x * 3], row[x * 3 + 2]);
            scaler.AddRow(row.data(), 3);
        }
    }
    return scaler.Result();
}

} // namespace

std::shared_ptr<TBitmapImage> DecodePngFile(std::span<const std::uint8_t> bytes, const ImportHints& hints) {
    Context ctx(Png().spng_ctx_new(0));
    if (!ctx) throw EOutOfResources();
    Check(Png().spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size()));
    // Text and colour-profile chunks are skipped, but libspng still holds
    // them while reading, with its own bookkeeping on top: a fixed bound, so
    // that a small logo with a few text chunks is not refused and a large
    // file cannot make it hold more. libspng takes no chunk limit above the
    // cache's, and the pixel data is read in pieces past it.
    constexpr std::size_t kChunkCache = std::size_t{8} << 20;
    Check(Png().spng_set_chunk_limits(ctx.get(), std::min(bytes.size(), kChunkCache), kChunkCache));

    spng_ihdr ihdr{};
    Check(Png().spng_get_ihdr(ctx.get(), &ihdr));
    // Deflate packs at most 1032 bytes into one, so a short file cannot hold
    // the rows its header promises: refuse it before allocating for them.
    static constexpr int kChannels[] = {1, 0, 3, 1, 2, 0, 4};
    const std::uint64_t rowBits = std::uint64_t{ihdr.width} * ihdr.bit_depth *
                                  kChannels[ihdr.color_type < 7 ? ihdr.color_type : 0];
    const std::uint64_t filtered = std::uint64_t{ihdr.height} * (1 + (rowBits + 7) / 8);
    std::optional<import::KeptSize> scaled;
    if (ihdr.interlace_method == SPNG_INTERLACE_NONE) {
        // Read row by row: only the rows kept or scaled are ever held.
        scaled = import::ScaledSize("PNG", ihdr.width, ihdr.height, hints.Crop);
        import::CheckBuffer("PNG", ihdr.width, 1, 4);
        if (!scaled) {
            const import::KeptSize kept = import::KeptPart(ihdr.width, ihdr.height, hints.Crop);
            import::CheckBuffer("PNG", kept.Width, kept.Height, 3);
        }
    } else {
        // The decoder's own RGBA buffer and our raster, both checked before either exists.
        import::CheckBuffer("PNG", ihdr.width, ihdr.height, 4);
    }
    if (std::uint64_t{bytes.size()} * 1032 < filtered)
        import::Damaged("PNG", "the file is too short for a picture of " + std::to_string(ihdr.width) +
                                   " x " + std::to_string(ihdr.height) + " pixels");
    spng_trns trns{};
    const bool alpha = ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                       ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                       Png().spng_get_trns(ctx.get(), &trns) == 0;
    const int format = alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    if (scaled) return ScaleRows(ctx.get(), ihdr, alpha, *scaled);
    const import::KeptSize kept = import::KeptPart(ihdr.width, ihdr.height, hints.Crop);
    auto raster = import::NewRaster("PNG", kept.Width, kept.Height);

    const std::int32_t height = raster->AbsHeight();

    if (ihdr.interlace_method == SPNG_INTERLACE_NONE) {
        // Row by row straight into the raster (through one row when it keeps
        // fewer columns): no picture-sized buffer in between, and no row
        // decoded below the last one kept.
        Check(Png().spng_decode_image(ctx.get(), nullptr, 0, format, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE));
        const bool direct = !alpha && static_cast<std::uint32_t>(kept.Width) == ihdr.width;
        std::vector<std::uint8_t> row(direct ? 0 : std::size_t{ihdr.width} * (alpha ? 4 : 3));
        const std::int32_t last = static_cast<std::int32_t>(ihdr.height) - 1;
        for (std::int32_t y = 0; y < height; ++y) {
            std::uint8_t* out = raster->Row(y);
            const int status = direct ? Png().spng_decode_row(ctx.get(), out, std::size_t{ihdr.width} * 3)
                                      : Png().spng_decode_row(ctx.get(), row.data(), row.size());
            // The last row reports the end of the picture data.
            if (status != 0 && !(status == SPNG_EOI && y == last)) Check(status);
            if (alpha) {
                import::PutRgbaRow(*raster, y, row.data());
            } else {
                if (!direct) std::memcpy(out, row.data(), static_cast<std::size_t>(kept.Width) * 3);
                for (std::int32_t x = 0; x < kept.Width; ++x) std::swap(out[x * 3], out[x * 3 + 2]);
            }
        }
        return raster;
    }

    std::size_t size = 0;
    Check(Png().spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size));
    std::vector<std::uint8_t> rgba;
    try {
        rgba.resize(size);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    Check(Png().spng_decode_image(ctx.get(), rgba.data(), rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS));
    const std::size_t rowBytes = std::size_t{ihdr.width} * 4;
    for (std::int32_t y = 0; y < height; ++y)
        import::PutRgbaRow(*raster, y, rgba.data() + static_cast<std::size_t>(y) * rowBytes);
    return raster;
}

std::vector<std::uint8_t> PngProfile(std::span<const std::uint8_t> bytes) {
    Context ctx(Png().spng_ctx_new(0));
    if (!ctx) return {};
    spng_iccp iccp{};
    // The chunks before the pixels only; a profile is no longer than the file.
    if (Png().spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size()) != 0 ||
        Png().spng_set_chunk_limits(ctx.get(), std::min(bytes.size(), std::size_t{8} << 20), std::size_t{8} << 20) != 0 ||
        Png().spng_get_iccp(ctx.get(), &iccp) != 0 || !iccp.profile)
        return {};
    const auto* profile = reinterpret_cast<const std::uint8_t*>(iccp.profile);
    return {profile, profile + iccp.profile_len};
}

} // namespace tlc
