#pragma once

// The picture libraries are opened the first time a picture of theirs is
// read or written: a bitmap conversion, the common case, starts without
// loading and relocating four libraries it does not use. Each accessor
// throws EInvalidGraphic, naming the library, when it cannot be loaded.
#include <gif_lib.h>
#include <spng.h>
#include <turbojpeg.h>
#include <webp/decode.h>

namespace tlc {

#define TLC_CODEC_FUNCTION(name) decltype(&::name) name = nullptr;

struct PngLibrary {
    TLC_CODEC_FUNCTION(spng_ctx_new)
    TLC_CODEC_FUNCTION(spng_ctx_free)
    TLC_CODEC_FUNCTION(spng_strerror)
    TLC_CODEC_FUNCTION(spng_set_png_buffer)
    TLC_CODEC_FUNCTION(spng_set_chunk_limits)
    TLC_CODEC_FUNCTION(spng_set_option)
    TLC_CODEC_FUNCTION(spng_get_ihdr)
    TLC_CODEC_FUNCTION(spng_set_ihdr)
    TLC_CODEC_FUNCTION(spng_get_trns)
    TLC_CODEC_FUNCTION(spng_decoded_image_size)
    TLC_CODEC_FUNCTION(spng_decode_image)
    TLC_CODEC_FUNCTION(spng_decode_row)
    TLC_CODEC_FUNCTION(spng_encode_image)
    TLC_CODEC_FUNCTION(spng_get_png_buffer)
};

struct JpegLibrary {
    TLC_CODEC_FUNCTION(tjInitDecompress)
    TLC_CODEC_FUNCTION(tjDestroy)
    TLC_CODEC_FUNCTION(tjGetErrorStr2)
    TLC_CODEC_FUNCTION(tjGetErrorCode)
    TLC_CODEC_FUNCTION(tjGetScalingFactors)
    TLC_CODEC_FUNCTION(tjDecompressHeader3)
    TLC_CODEC_FUNCTION(tjDecompress2)
};

struct GifLibrary {
    TLC_CODEC_FUNCTION(DGifOpen)
    TLC_CODEC_FUNCTION(DGifCloseFile)
    TLC_CODEC_FUNCTION(DGifGetRecordType)
    TLC_CODEC_FUNCTION(DGifGetExtension)
    TLC_CODEC_FUNCTION(DGifGetExtensionNext)
    TLC_CODEC_FUNCTION(DGifGetImageDesc)
    TLC_CODEC_FUNCTION(DGifGetLine)
    TLC_CODEC_FUNCTION(GifErrorString)
};

// The header's WebPInitDecoderConfig and WebPGetFeatures are inline calls
// of the two ...Internal functions with WEBP_DECODER_ABI_VERSION.
struct WebpLibrary {
    TLC_CODEC_FUNCTION(WebPInitDecoderConfigInternal)
    TLC_CODEC_FUNCTION(WebPGetFeaturesInternal)
    TLC_CODEC_FUNCTION(WebPDecode)
    TLC_CODEC_FUNCTION(WebPFreeDecBuffer)
};

#undef TLC_CODEC_FUNCTION

const PngLibrary& Png();
const JpegLibrary& Jpeg();
const GifLibrary& Gif();
const WebpLibrary& Webp();

} // namespace tlc
