#pragma once

// The picture libraries are opened the first time a picture of theirs is
// read or written: a bitmap conversion, the common case, starts without
// loading and relocating four libraries it does not use. Each accessor
// throws EInvalidGraphic, naming the library, when it cannot be loaded.
#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>
#include <lcms2.h>
#include <spng.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/decode.h>
#include <webp/demux.h>

namespace tlc {

#define TLC_CODEC_FUNCTION(name) decltype(&::name) name = nullptr;

#define TLC_PNG_FUNCTIONS(X) \
    X(spng_ctx_new) \
    X(spng_ctx_free) \
    X(spng_strerror) \
    X(spng_set_png_buffer) \
    X(spng_set_chunk_limits) \
    X(spng_set_option) \
    X(spng_get_ihdr) \
    X(spng_set_ihdr) \
    X(spng_get_trns) \
    X(spng_get_iccp) \
    X(spng_decoded_image_size) \
    X(spng_decode_image) \
    X(spng_decode_row) \
    X(spng_encode_image) \
    X(spng_get_png_buffer)
struct PngLibrary {
    TLC_PNG_FUNCTIONS(TLC_CODEC_FUNCTION)
};

#define TLC_JPEG_FUNCTIONS(X) \
    X(tjInitDecompress) \
    X(tjDestroy) \
    X(tjGetErrorStr2) \
    X(tjGetErrorCode) \
    X(tjGetScalingFactors) \
    X(tjDecompressHeader3) \
    X(tjDecompress2)
struct JpegLibrary {
    TLC_JPEG_FUNCTIONS(TLC_CODEC_FUNCTION)
};

// libjpeg's own API, for reading only the top rows and left columns of a
// picture (TurboJPEG decodes whole pictures only).
#define TLC_LIBJPEG_FUNCTIONS(X) \
    X(jpeg_std_error) \
    X(jpeg_CreateDecompress) \
    X(jpeg_destroy_decompress) \
    X(jpeg_mem_src) \
    X(jpeg_read_header) \
    X(jpeg_start_decompress) \
    X(jpeg_crop_scanline) \
    X(jpeg_read_scanlines) \
    X(jpeg_abort_decompress)
struct LibjpegLibrary {
    TLC_LIBJPEG_FUNCTIONS(TLC_CODEC_FUNCTION)
};

#define TLC_GIF_FUNCTIONS(X) \
    X(DGifOpen) \
    X(DGifCloseFile) \
    X(DGifGetRecordType) \
    X(DGifGetExtension) \
    X(DGifGetExtensionNext) \
    X(DGifGetImageDesc) \
    X(DGifGetLine) \
    X(GifErrorString)
struct GifLibrary {
    TLC_GIF_FUNCTIONS(TLC_CODEC_FUNCTION)
};

// The header's WebPInitDecoderConfig and WebPGetFeatures are inline calls
// of the two ...Internal functions with WEBP_DECODER_ABI_VERSION.
#define TLC_WEBP_FUNCTIONS(X) \
    X(WebPInitDecoderConfigInternal) \
    X(WebPGetFeaturesInternal) \
    X(WebPDecode) \
    X(WebPFreeDecBuffer)
struct WebpLibrary {
    TLC_WEBP_FUNCTIONS(TLC_CODEC_FUNCTION)
};

// The first frame of an animated WebP, blended onto its canvas.
#define TLC_WEBP_ANIMATION_FUNCTIONS(X) \
    X(WebPAnimDecoderOptionsInitInternal) \
    X(WebPAnimDecoderNewInternal) \
    X(WebPAnimDecoderGetInfo) \
    X(WebPAnimDecoderGetNext) \
    X(WebPAnimDecoderDelete)
struct WebpAnimationLibrary {
    TLC_WEBP_ANIMATION_FUNCTIONS(TLC_CODEC_FUNCTION)
};

// Little CMS: embedded colour profiles to sRGB.
#define TLC_LCMS_FUNCTIONS(X) \
    X(cmsSetLogErrorHandler) \
    X(cmsOpenProfileFromMem) \
    X(cmsCreate_sRGBProfile) \
    X(cmsCloseProfile) \
    X(cmsGetColorSpace) \
    X(cmsCreateTransform) \
    X(cmsDeleteTransform) \
    X(cmsDoTransform)
struct LcmsLibrary {
    TLC_LCMS_FUNCTIONS(TLC_CODEC_FUNCTION)
};

#define TLC_TIFF_FUNCTIONS(X) \
    X(TIFFOpenOptionsAlloc) \
    X(TIFFOpenOptionsFree) \
    X(TIFFOpenOptionsSetMaxSingleMemAlloc) \
    X(TIFFOpenOptionsSetErrorHandlerExtR) \
    X(TIFFOpenOptionsSetWarningHandlerExtR) \
    X(TIFFClientOpenExt) \
    X(TIFFClose) \
    X(TIFFGetField) \
    X(TIFFGetFieldDefaulted) \
    X(TIFFIsTiled) \
    X(TIFFScanlineSize) \
    X(TIFFReadScanline) \
    X(TIFFRGBAImageOK) \
    X(TIFFRGBAImageBegin) \
    X(TIFFRGBAImageGet) \
    X(TIFFRGBAImageEnd)
struct TiffLibrary {
    TLC_TIFF_FUNCTIONS(TLC_CODEC_FUNCTION)
};

#undef TLC_CODEC_FUNCTION

const PngLibrary& Png();
const JpegLibrary& Jpeg();
// Null when libjpeg cannot be loaded: the whole TurboJPEG decode does its job.
const LibjpegLibrary* Libjpeg() noexcept;
const GifLibrary& Gif();
const WebpLibrary& Webp();
const WebpAnimationLibrary& WebpAnimation();
// Null when Little CMS cannot be loaded: colours stay as the file gives them.
const LcmsLibrary* Lcms() noexcept;
const TiffLibrary& Tiff();

} // namespace tlc
