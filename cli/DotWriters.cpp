#include "cli/DotWriters.h"

#include <string>

#include "base/Exceptions.h"
#include "base/LittleEndian.h"

#if TLC_PNG_WRITER
#include <cstdlib>
#include <memory>

#include "import/CodecLibraries.h"
#endif

namespace tlc::cli {

std::vector<std::uint8_t> PortableBitmap(const DecodedLogo& logo) {
    const std::string head =
        "P4\n" + std::to_string(logo.Width) + " " + std::to_string(logo.Height) + "\n";
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    const std::size_t rowBytes = (static_cast<std::size_t>(logo.Width) + 7) / 8;
    for (std::int32_t y = 0; y < logo.Height; ++y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (std::int32_t x = 0; x < logo.Width; ++x)
            if (logo.Black(x, y)) row[static_cast<std::size_t>(x) / 8] |= 0x80 >> (x % 8);
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

std::vector<std::uint8_t> WindowsBitmap(const DecodedLogo& logo) {
    const std::uint32_t stride = ((static_cast<std::uint32_t>(logo.Width) + 31) / 32) * 4;
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(logo.Height);
    const std::uint32_t offset = 14 + 40 + 8;
    std::vector<std::uint8_t> b(offset);
    std::uint8_t* p = b.data();
    p[0] = 'B';
    p[1] = 'M';
    StoreLE32(p + 2, offset + pixelBytes);
    StoreLE32(p + 6, 0);
    StoreLE32(p + 10, offset);
    StoreLE32(p + 14, 40);
    StoreLE32(p + 18, static_cast<std::uint32_t>(logo.Width));
    StoreLE32(p + 22, static_cast<std::uint32_t>(logo.Height));
    StoreLE16(p + 26, 1);
    StoreLE16(p + 28, 1);
    StoreLE32(p + 30, 0);
    StoreLE32(p + 34, pixelBytes);
    StoreLE32(p + 38, 7874); // 200 dots per inch, as the printers print
    StoreLE32(p + 42, 7874);
    StoreLE32(p + 46, 2);
    StoreLE32(p + 50, 2);
    StoreLE32(p + 54, 0x00FFFFFF);
    StoreLE32(p + 58, 0x00000000);
    for (std::int32_t y = logo.Height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (std::int32_t x = 0; x < logo.Width; ++x)
            if (logo.Black(x, y)) row[static_cast<std::size_t>(x) / 8] |= 0x80 >> (x % 8);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

std::vector<std::uint8_t> PngDotRows(const DecodedLogo& logo) {
    const std::int32_t width = logo.Width, height = logo.Height;
    if (width < 1 || height < 1) throw EInvalidGraphic("PNG needs at least one dot");
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    std::vector<std::uint8_t> dots(rowBytes * static_cast<std::size_t>(height), 0);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = dots.data() + rowBytes * static_cast<std::size_t>(y);
        for (std::int32_t x = 0; x < width; ++x)
            if (!logo.Black(x, y)) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    return dots;
}

#if TLC_PNG_WRITER

namespace {

struct EncoderFree {
    void operator()(spng_ctx* ctx) const { Png().spng_ctx_free(ctx); }
};

} // namespace

std::vector<std::uint8_t> OneBitPng(const DecodedLogo& logo) {
    const std::int32_t width = logo.Width, height = logo.Height;
    std::vector<std::uint8_t> dots = PngDotRows(logo);

    std::unique_ptr<spng_ctx, EncoderFree> ctx(Png().spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) throw EOutOfResources();
    auto check = [](int status) {
        if (status != 0) throw Exception(std::string("PNG encoder: ") + Png().spng_strerror(status));
    };
    check(Png().spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1));
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(width);
    ihdr.height = static_cast<std::uint32_t>(height);
    ihdr.bit_depth = 1;
    ihdr.color_type = SPNG_COLOR_TYPE_GRAYSCALE;
    check(Png().spng_set_ihdr(ctx.get(), &ihdr));
    check(Png().spng_encode_image(ctx.get(), dots.data(), dots.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE));
    std::size_t length = 0;
    int error = 0;
    std::unique_ptr<void, void (*)(void*)> png(Png().spng_get_png_buffer(ctx.get(), &length, &error), std::free);
    check(error);
    const auto* p = static_cast<const std::uint8_t*>(png.get());
    return std::vector<std::uint8_t>(p, p + length);
}

#elif !defined(_WIN32) // Windows: cli/win/OneBitPng.cpp

// A build without libspng.
std::vector<std::uint8_t> OneBitPng(const DecodedLogo&) {
    throw EInvalidGraphic("PNG pictures are not written by this build of tillora-logo");
}

#endif

} // namespace tlc::cli
