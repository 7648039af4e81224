// WebP through libwebp: lossy and lossless, with alpha; of an animation the
// first frame, as its canvas shows it.
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>

#include <new>

#include "base/Exceptions.h"
#include "import/CodecLibraries.h"
#include "import/ImportSupport.h"
#include "import/ImportedPicture.h"

namespace tlc {

namespace {

const char* StatusText(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
    case VP8_STATUS_INVALID_PARAM: return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR: return "the picture data is corrupt";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "a feature this reader does not support";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "the file ends too early";
    default: return "the picture cannot be decoded";
    }
}

struct OutputFree {
    void operator()(WebPDecBuffer* buffer) const { Webp().WebPFreeDecBuffer(buffer); }
};

struct AnimationDelete {
    void operator()(WebPAnimDecoder* decoder) const { WebpAnimation().WebPAnimDecoderDelete(decoder); }
};

// The first frame blended onto the canvas, which starts transparent.
std::shared_ptr<TBitmapImage> DecodeFirstFrame(std::span<const std::uint8_t> bytes, const ImportHints& hints) {
    const WebpAnimationLibrary& lib = WebpAnimation();
    WebPAnimDecoderOptions options;
    if (!lib.WebPAnimDecoderOptionsInitInternal(&options, WEBP_DEMUX_ABI_VERSION)) throw EOutOfResources();
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPAnimDecoder, AnimationDelete> decoder(
        lib.WebPAnimDecoderNewInternal(&data, &options, WEBP_DEMUX_ABI_VERSION));
    if (!decoder) import::Damaged("WebP", "the animation cannot be read");
    WebPAnimInfo info{};
    if (!lib.WebPAnimDecoderGetInfo(decoder.get(), &info)) import::Damaged("WebP", "the animation cannot be read");
    if (info.frame_count == 0) import::Damaged("WebP", "the animation holds no frame");
    // The decoder holds a canvas and the frame before it: refused first when too large.
    import::CheckBuffer("WebP", info.canvas_width, info.canvas_height, 8);
    const import::KeptSize kept = import::KeptPart(info.canvas_width, info.canvas_height, hints.Crop);
    auto raster = import::NewRaster("WebP", kept.Width, kept.Height);
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!lib.WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas)
        import::Damaged("WebP", "the first frame cannot be decoded");
    for (std::int32_t y = 0; y < kept.Height; ++y)
        import::PutRgbaRow(*raster, y, canvas + static_cast<std::size_t>(y) * info.canvas_width * 4);
    return raster;
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeWebpFile(std::span<const std::uint8_t> bytes, const ImportHints& hints) {
    WebPDecoderConfig config;
    if (!Webp().WebPInitDecoderConfigInternal(&config, WEBP_DECODER_ABI_VERSION)) throw EOutOfResources();
    VP8StatusCode status = Webp().WebPGetFeaturesInternal(bytes.data(), bytes.size(), &config.input, WEBP_DECODER_ABI_VERSION);
    if (status != VP8_STATUS_OK) import::Damaged("WebP", StatusText(status));
    if (config.input.has_animation) return DecodeFirstFrame(bytes, hints);
    import::CheckBuffer("WebP", config.input.width, config.input.height, 4);
    const import::KeptSize kept = import::KeptPart(config.input.width, config.input.height, hints.Crop);
    const int width = kept.Width, height = kept.Height;
    auto raster = import::NewRaster("WebP", width, height);
    if (width != config.input.width || height != config.input.height) {
        // The library decodes no row below the part kept.
        config.options.use_cropping = 1;
        config.options.crop_left = 0;
        config.options.crop_top = 0;
        config.options.crop_width = width;
        config.options.crop_height = height;
    }

    std::unique_ptr<WebPDecBuffer, OutputFree> release(&config.output);
    config.output.is_external_memory = 1;
    std::vector<std::uint8_t> rgba;
    if (config.input.has_alpha) {
        try {
            rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        config.output.colorspace = MODE_RGBA;
        config.output.u.RGBA.rgba = rgba.data();
        config.output.u.RGBA.stride = width * 4;
        config.output.u.RGBA.size = rgba.size();
    } else {
        config.output.colorspace = MODE_BGR;
        config.output.u.RGBA.rgba = raster->Pixels().data();
        config.output.u.RGBA.stride = static_cast<int>(raster->Stride());
        config.output.u.RGBA.size = raster->Pixels().size();
    }
    status = Webp().WebPDecode(bytes.data(), bytes.size(), &config);
    if (status != VP8_STATUS_OK) import::Damaged("WebP", StatusText(status));
    if (config.input.has_alpha)
        for (int y = 0; y < height; ++y)
            import::PutRgbaRow(*raster, y, rgba.data() + static_cast<std::size_t>(y) * width * 4);
    return raster;
}

} // namespace tlc
