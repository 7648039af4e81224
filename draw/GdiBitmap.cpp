// Bitmaps of the device context: packed DIBs read by the project's own
// bitmap reader, stretched with the common raster operations.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/LittleEndian.h"
#include "draw/DibHeader.h"
#include "draw/GdiCanvasImpl.h"
#include "image/BitmapFile.h"

namespace tlc::gdi {

namespace {

// Larger bitmaps are refused before anything is read.
constexpr std::int64_t kMaxDibPixels = 64 << 20;
constexpr std::size_t kFileHeaderBytes = 14;

void Append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

// The DIB as a bitmap file: a file header before it, palette indexes in its
// colour table replaced by the colours they name. Empty when it cannot be.
std::vector<std::uint8_t> AsBitmapFile(const Dib& dib, const std::vector<Colour>& palette) {
    const std::vector<std::uint8_t>& b = dib.Bytes;
    DibHeader h;
    if (!ReadDibHeader(b, h) || h.HeaderBytes > 124) return {};
    const std::uint32_t headerBytes = h.HeaderBytes;
    const std::int64_t width = h.Width, height = h.Height;
    const int bitCount = static_cast<int>(h.BitCount);
    const std::uint32_t compression = h.Compression, colourCount = h.ColoursUsed;
    const std::size_t entryBytes = h.EntryBytes;
    if (width <= 0 || height == 0 || width * std::llabs(height) > kMaxDibPixels) return {};
    std::uint64_t entries = colourCount ? colourCount : bitCount <= 8 ? (1u << bitCount) : 0;
    if (headerBytes == 12) entries = bitCount <= 8 ? (1u << bitCount) : 0;
    if (entries > 4096) return {};
    const std::size_t masks = headerBytes == 40 && compression == 3   ? 12
                              : headerBytes == 40 && compression == 6 ? 16
                                                                      : 0;
    const bool indexes = dib.ColoursFromPalette && bitCount <= 8;
    const std::size_t tableIn =
        static_cast<std::size_t>(entries) * (indexes ? 2 : entryBytes) + masks;
    if (b.size() < headerBytes + tableIn) return {};

    std::vector<std::uint8_t> file{'B', 'M'};
    const std::size_t tableOut =
        indexes ? static_cast<std::size_t>(entries) * entryBytes + masks : tableIn;
    const std::size_t total = kFileHeaderBytes + b.size() - tableIn + tableOut;
    file.reserve(total);
    Append32(file, static_cast<std::uint32_t>(total));
    Append32(file, 0);
    Append32(file, static_cast<std::uint32_t>(kFileHeaderBytes + headerBytes + tableOut));
    file.insert(file.end(), b.begin(), b.begin() + headerBytes);
    if (indexes) {
        for (std::uint64_t k = 0; k < entries; ++k) {
            const std::uint16_t index = LoadLE16(b.data() + headerBytes + k * 2);
            const Colour c = index < palette.size() ? palette[index] : Colour{};
            file.insert(file.end(), {c.B, c.G, c.R});
            if (entryBytes == 4) file.push_back(0);
        }
        file.insert(file.end(), b.begin() + headerBytes + static_cast<std::ptrdiff_t>(entries * 2),
                    b.begin() + headerBytes + tableIn);
    } else {
        file.insert(file.end(), b.begin() + headerBytes, b.begin() + headerBytes + tableIn);
    }
    file.insert(file.end(), b.begin() + headerBytes + tableIn, b.end());
    return file;
}

void InvertSurface(cairo_surface_t* s) {
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < cairo_image_surface_get_width(s); ++x) {
            const std::uint32_t a = row[x] >> 24;
            row[x] = (a << 24) | ((a * 0x010101u) - (row[x] & 0xFFFFFFu));
        }
    }
    cairo_surface_mark_dirty(s);
}

} // namespace

SurfacePtr DibSurface(const Dib& dib, const std::vector<Colour>& palette, const Colour* fore,
                      const Colour* back, bool alpha) {
    const std::vector<std::uint8_t> file = AsBitmapFile(dib, palette);
    if (file.empty()) return nullptr;
    std::shared_ptr<TBitmapImage> image;
    try {
        image = DecodeBitmapFile(file);
    } catch (...) {
        return nullptr;
    }
    if (!image || !image->HasRaster()) return nullptr;
    const int width = image->Width(), height = image->AbsHeight();
    SurfacePtr surface =
        AdoptSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (!surface) return nullptr;
    cairo_surface_flush(surface.get());
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const bool mono = fore && back && image->BitCount() == 1;
    const bool ownAlpha = alpha && image->BitCount() == 32 && image->FileCompression == BI_RGB;
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        auto* out =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        const std::uint8_t* in = image->Row(y);
        for (int x = 0; x < width; ++x) {
            if (mono) {
                const Colour c = (in[x >> 3] >> (7 - (x & 7))) & 1 ? *back : *fore;
                out[x] = 0xFF000000u | (c.R << 16) | (c.G << 8) | c.B;
            } else if (ownAlpha) { // premultiplied already, as AlphaBlend takes it
                const std::uint8_t* p = in + static_cast<std::size_t>(x) * 4;
                const std::uint32_t a = p[3];
                anyAlpha |= a != 0;
                out[x] = (a << 24) | (std::min<std::uint32_t>(p[2], a) << 16) |
                         (std::min<std::uint32_t>(p[1], a) << 8) | std::min<std::uint32_t>(p[0], a);
            } else {
                const TColor c = image->GetPixel(x, y);
                out[x] = 0xFF000000u | (static_cast<std::uint32_t>(RedOf(c)) << 16) |
                         (static_cast<std::uint32_t>(GreenOf(c)) << 8) |
                         static_cast<std::uint32_t>(BlueOf(c));
            }
        }
    }
    if (ownAlpha && !anyAlpha) { // a 32-bit picture with no alpha at all is opaque
        for (int y = 0; y < height; ++y) {
            auto* out =
                reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            const std::uint8_t* in = image->Row(y);
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = in + static_cast<std::size_t>(x) * 4;
                out[x] = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
            }
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

bool Canvas::Impl::SourceMatrix(const Rect& dest, const Rect& source, cairo_matrix_t& m) const {
    const Impl& d = *this;
    const double dw = dest.Right - dest.Left, dh = dest.Bottom - dest.Top;
    const double sw = source.Right - source.Left, sh = source.Bottom - source.Top;
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return false;
    cairo_matrix_t toSource;
    cairo_matrix_init(&toSource, sw / dw, 0, 0, sh / dh, source.Left - dest.Left * sw / dw,
                      source.Top - dest.Top * sh / dh);
    cairo_matrix_t fromOutput = d.L2O;
    if (cairo_matrix_invert(&fromOutput) != CAIRO_STATUS_SUCCESS) return false;
    cairo_matrix_multiply(&m, &fromOutput, &toSource);
    cairo_matrix_t check = m;
    return std::isfinite(m.xx) && std::isfinite(m.yy) && std::isfinite(m.xy) &&
           std::isfinite(m.yx) && std::isfinite(m.x0) && std::isfinite(m.y0) &&
           cairo_matrix_invert(&check) == CAIRO_STATUS_SUCCESS;
}

namespace {

// Enlarged pictures keep their pixels square, as a stretch on the device
// does; reduced ones are averaged so thin lines do not break up.
cairo_filter_t Filter(const cairo_matrix_t& outputToSource) {
    const double sx = std::hypot(outputToSource.xx, outputToSource.yx);
    const double sy = std::hypot(outputToSource.xy, outputToSource.yy);
    return sx < 1 && sy < 1 ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD;
}

// The picture as the source, placed by m, its edge pixels carried on.
void SetPictureSource(cairo_t* cr, cairo_surface_t* picture, const cairo_matrix_t& m) {
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(picture);
    cairo_pattern_set_matrix(pattern, &m);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, Filter(m));
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

bool UsesSource(std::uint32_t code) {
    return ((code & 0xCC) >> 2) != (code & 0x33);
}
bool UsesPattern(std::uint32_t code) {
    return ((code & 0xF0) >> 4) != (code & 0x0F);
}

} // namespace

void Canvas::StretchDib(const Rect& dest, const Rect& source, const Dib* dib, std::uint32_t rop) {
    Impl& d = *impl_;
    if (d.InPath) return;
    const std::uint32_t code = (rop >> 16) & 0xFF;
    Path path;
    if (!d.AddRect(path, dest)) return;
    if (!dib || !UsesSource(code)) { // the brush alone
        if (code == 0xAA || !d.BeginDraw(&path)) return;
        d.Emit(path);
        cairo_set_fill_rule(d.Cr, CAIRO_FILL_RULE_WINDING);
        RopPlan plain;
        if (code == 0x00 || code == 0xFF) {
            const double v = code ? 1 : 0;
            cairo_set_source_rgb(d.Cr, v, v, v);
            FillWithOperator(d.Cr, CAIRO_OPERATOR_OVER, false);
        } else if (code == 0x55) { // DSTINVERT
            cairo_set_source_rgb(d.Cr, 1, 1, 1);
            FillWithOperator(d.Cr, CAIRO_OPERATOR_DIFFERENCE, true);
        } else if (UsesPattern(code) && d.SetBrushSource(d.S.SelBrush, plain)) {
            FillWithOperator(d.Cr, code == 0x5A ? CAIRO_OPERATOR_DIFFERENCE : CAIRO_OPERATOR_OVER,
                             code == 0x5A);
        } else {
            cairo_new_path(d.Cr);
        }
        d.EndDraw();
        return;
    }
    cairo_matrix_t m;
    if (!d.SourceMatrix(dest, source, m)) return;
    SurfacePtr picture = DibSurface(*dib, d.Palette, nullptr, nullptr, false);
    if (!picture) return;
    const bool inverted = code == 0x33 || code == 0xBB || code == 0xE2;
    if (inverted) InvertSurface(picture.get());
    if (!d.BeginDraw(&path)) return;
    d.Emit(path);
    cairo_set_fill_rule(d.Cr, CAIRO_FILL_RULE_WINDING);
    SetPictureSource(d.Cr, picture.get(), m);
    switch (code) {
    case 0x88:
    case 0xB8:
    case 0xE2:
        FillWithOperator(d.Cr, CAIRO_OPERATOR_MULTIPLY, true);
        break; // AND
    case 0xEE:
    case 0xBB:
        FillWithOperator(d.Cr, CAIRO_OPERATOR_LIGHTEN, true);
        break; // OR
    case 0x66:
        FillWithOperator(d.Cr, CAIRO_OPERATOR_DIFFERENCE, true);
        break;   // XOR
    case 0xC0: { // MERGECOPY: the source and the brush
        cairo_fill_preserve(d.Cr);
        RopPlan plain;
        if (d.SetBrushSource(d.S.SelBrush, plain))
            FillWithOperator(d.Cr, CAIRO_OPERATOR_MULTIPLY, false);
        else
            cairo_new_path(d.Cr);
        break;
    }
    default:
        FillWithOperator(d.Cr, CAIRO_OPERATOR_OVER, false);
        break;
    }
    d.EndDraw();
}

void Canvas::AlphaBlendDib(const Rect& dest, const Rect& source, const Dib& dib,
                           std::uint8_t constantAlpha, bool perPixelAlpha) {
    Impl& d = *impl_;
    if (d.InPath || constantAlpha == 0) return;
    Path path;
    cairo_matrix_t m;
    if (!d.AddRect(path, dest) || !d.SourceMatrix(dest, source, m)) return;
    SurfacePtr picture = DibSurface(dib, d.Palette, nullptr, nullptr, perPixelAlpha);
    if (!picture || !d.BeginDraw(&path)) return;
    cairo_save(d.Cr);
    d.Emit(path);
    cairo_clip(d.Cr);
    SetPictureSource(d.Cr, picture.get(), m);
    cairo_paint_with_alpha(d.Cr, constantAlpha / 255.0);
    cairo_restore(d.Cr);
    d.EndDraw();
}

} // namespace tlc::gdi
