#pragma once

// Writes small PNG, JPEG, GIF and WebP files in memory with the libraries'
// own encoders, for the tests and benchmarks of the imported formats.

#include <gif_lib.h>
#include <spng.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/encode.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tlc::test {

// 8-bit RGBA of a picture, row by row.
struct Rgba {
    std::uint8_t R = 0, G = 0, B = 0, A = 255;
};
using PixelFunction = std::function<Rgba(int x, int y)>;

inline std::vector<std::uint8_t> RgbaBytes(int w, int h, const PixelFunction& pixel) {
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba p = pixel(x, y);
            out.insert(out.end(), {p.R, p.G, p.B, p.A});
        }
    return out;
}

inline spng_ihdr PngHeader(int w, int h, int bitDepth, int colourType, bool interlaced = false) {
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(w);
    ihdr.height = static_cast<std::uint32_t>(h);
    ihdr.bit_depth = static_cast<std::uint8_t>(bitDepth);
    ihdr.color_type = static_cast<std::uint8_t>(colourType);
    ihdr.interlace_method = interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
    return ihdr;
}

// Red, green, blue of each pixel, 8 bits, or 16 with each value in both
// bytes (v * 257, which any fair narrowing turns back into v).
inline std::vector<std::uint8_t> RgbRows(int w, int h, const PixelFunction& pixel, int bitDepth = 8) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba p = pixel(x, y);
            for (std::uint8_t v : {p.R, p.G, p.B}) {
                out.push_back(v);
                if (bitDepth == 16) out.push_back(v);
            }
        }
    return out;
}

// A PNG of the given header; `rows` holds the image in the PNG's own packing.
inline std::vector<std::uint8_t> EncodePng(spng_ihdr ihdr, const std::vector<std::uint8_t>& rows,
                                           const std::vector<Rgba>& palette = {}, int textChunks = 0) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    auto check = [&](int status) {
        if (status != 0) {
            spng_ctx_free(ctx);
            throw std::runtime_error(std::string("spng: ") + spng_strerror(status));
        }
    };
    check(spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1));
    check(spng_set_ihdr(ctx, &ihdr));
    if (!palette.empty()) {
        spng_plte plte{};
        spng_trns trns{};
        plte.n_entries = static_cast<std::uint32_t>(palette.size());
        bool transparent = false;
        for (std::size_t i = 0; i < palette.size(); ++i) {
            plte.entries[i] = {palette[i].R, palette[i].G, palette[i].B, 0};
            trns.type3_alpha[i] = palette[i].A;
            transparent |= palette[i].A != 255;
        }
        trns.n_type3_entries = static_cast<std::uint32_t>(palette.size());
        check(spng_set_plte(ctx, &plte));
        if (transparent) check(spng_set_trns(ctx, &trns));
    }
    // Text chunks before the pixels, as image editors write them.
    std::vector<spng_text> texts(static_cast<std::size_t>(textChunks));
    std::string words = "Words about the logo, as an editor leaves them. ";
    for (int k = 0; k < 3; ++k) words += words;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::snprintf(texts[i].keyword, sizeof texts[i].keyword, "Comment%zu", i);
        texts[i].type = SPNG_TEXT;
        texts[i].length = words.size();
        texts[i].text = words.data();
    }
    if (!texts.empty()) check(spng_set_text(ctx, texts.data(), static_cast<std::uint32_t>(texts.size())));
    check(spng_encode_image(ctx, rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE));
    std::size_t length = 0;
    int error = 0;
    void* png = spng_get_png_buffer(ctx, &length, &error);
    spng_ctx_free(ctx);
    if (!png) throw std::runtime_error("spng: no buffer");
    std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(png), static_cast<std::uint8_t*>(png) + length);
    std::free(png);
    return out;
}

inline std::vector<std::uint8_t> EncodePngRgba(int w, int h, const PixelFunction& pixel) {
    return EncodePng(PngHeader(w, h, 8, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA), RgbaBytes(w, h, pixel));
}

// pixelFormat TJPF_RGB, TJPF_GRAY or TJPF_CMYK; `pixels` in that format.
inline std::vector<std::uint8_t> EncodeJpeg(int w, int h, int pixelFormat, int subsampling,
                                            const std::vector<std::uint8_t>& pixels, int flags = 0,
                                            int quality = 90) {
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int status = tjCompress2(handle, pixels.data(), w, 0, h, pixelFormat, &jpeg, &size,
                                   subsampling, quality, flags);
    std::vector<std::uint8_t> out;
    if (status == 0) out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    if (status != 0) throw std::runtime_error("tjCompress2 failed");
    return out;
}

// The library's own decode of a JPEG, as 8-bit RGB.
inline std::vector<std::uint8_t> DecodeJpegRgb(const std::vector<std::uint8_t>& jpeg, int w, int h) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    tjhandle handle = tjInitDecompress();
    const int status = tjDecompress2(handle, jpeg.data(), jpeg.size(), rgb.data(), w, 0, h, TJPF_RGB, 0);
    tjDestroy(handle);
    if (status != 0) throw std::runtime_error("tjDecompress2 failed");
    return rgb;
}

inline int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// A GIF of one frame with a palette, optionally a transparent index and
// interlaced rows.
inline std::vector<std::uint8_t> EncodeGif(int w, int h, const std::vector<Rgba>& palette,
                                           const std::function<int(int, int)>& index,
                                           int transparentIndex, bool interlace) {
    std::vector<std::uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
    int bits = 1;
    while ((1 << bits) < static_cast<int>(palette.size())) ++bits;
    ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
    for (std::size_t i = 0; i < palette.size(); ++i)
        map->Colors[i] = {palette[i].R, palette[i].G, palette[i].B};
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, w, h, bits, 0, map) == GIF_OK;
    if (transparentIndex >= 0) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = transparentIndex;
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        GifByteType block[4];
        const std::size_t n = EGifGCBToExtension(&gcb, block);
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), block) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, w, h, interlace, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    auto put = [&](int y) {
        for (int x = 0; x < w; ++x) line[static_cast<std::size_t>(x)] = static_cast<GifPixelType>(index(x, y));
        ok = ok && EGifPutLine(gif, line.data(), w) == GIF_OK;
    };
    if (interlace) {
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < h; y += step[pass]) put(y);
    } else {
        for (int y = 0; y < h; ++y) put(y);
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    if (!ok) throw std::runtime_error("giflib: encoding failed");
    return out;
}

inline std::vector<std::uint8_t> EncodeWebpLossless(int w, int h, const PixelFunction& pixel) {
    const std::vector<std::uint8_t> rgba = RgbaBytes(w, h, pixel);
    std::uint8_t* webp = nullptr;
    const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &webp);
    if (size == 0) throw std::runtime_error("WebPEncodeLosslessRGBA failed");
    std::vector<std::uint8_t> out(webp, webp + size);
    WebPFree(webp);
    return out;
}

// A TIFF of one strip, through libtiff: `rows` packed as the fields say.
struct TiffLayout {
    int Width = 0, Height = 0;
    int Samples = 3, Bits = 8;
    int Photometric = PHOTOMETRIC_RGB;
    int Extra = -1; // EXTRASAMPLE_UNASSALPHA or ASSOCALPHA: the last sample is alpha
    int Orientation = ORIENTATION_TOPLEFT;
    std::vector<std::uint8_t> Rows;
};

// `profile`: an ICC profile to embed, none when empty.
inline std::vector<std::uint8_t> EncodeTiff(const TiffLayout& l, const std::vector<std::uint8_t>& profile = {}) {
    std::FILE* file = std::tmpfile();
    if (!file) throw std::runtime_error("tmpfile failed");
    TIFF* tif = TIFFFdOpen(::dup(fileno(file)), "picture.tif", "w");
    if (!tif) throw std::runtime_error("TIFFFdOpen failed");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, l.Width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, l.Height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, l.Samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, l.Bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, l.Photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, l.Orientation);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, l.Height);
    if (!profile.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(profile.size()), profile.data());
    if (l.Extra >= 0) {
        const std::uint16_t extra = static_cast<std::uint16_t>(l.Extra);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    const bool ok = TIFFWriteEncodedStrip(tif, 0, const_cast<std::uint8_t*>(l.Rows.data()),
                                          static_cast<tmsize_t>(l.Rows.size())) >= 0;
    TIFFClose(tif);
    std::vector<std::uint8_t> out;
    std::fseek(file, 0, SEEK_SET);
    for (int c; (c = std::fgetc(file)) != EOF;) out.push_back(static_cast<std::uint8_t>(c));
    std::fclose(file);
    if (!ok || out.empty()) throw std::runtime_error("libtiff: encoding failed");
    return out;
}

} // namespace tlc::test
