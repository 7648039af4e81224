// The enhanced metafile's text, bitmap and gradient records onto the canvas.
#include <algorithm>
#include <string>

#include "draw/EmfRecord.h"

namespace tlc::gdi::emf {

namespace {

enum : std::uint32_t {
    kExtTextOutA = 83, kExtTextOutW = 84, kPolyTextOutA = 96, kPolyTextOutW = 97, kSmallTextOut = 108,
    kBitBlt = 76, kStretchBlt = 77, kMaskBlt = 78, kPlgBlt = 79, kSetDiBitsToDevice = 80, kStretchDiBits = 81,
    kAlphaBlend = 114, kTransparentBlt = 116,
};
constexpr std::uint32_t kEtoNoRect = 0x100, kEtoSmallChars = 0x200;

// One EMRTEXT at `at` (its offsets count from the record's start).
void TextAt(const Record& r, std::size_t at, bool wide, Canvas& canvas) {
    const Point reference = r.PointL(at);
    const std::uint32_t chars = r.U32(at + 8);
    const std::uint32_t offString = r.U32(at + 12);
    const std::uint32_t options = r.U32(at + 16);
    const Rect rect = r.RectL(at + 20);
    const std::uint32_t offDx = r.U32(at + 36);
    if (r.Damaged()) return;
    const auto text = r.Bytes(offString, std::uint64_t{chars} * (wide ? 2 : 1));
    std::vector<double> dx;
    if (chars > 0 && offDx != 0) {
        const std::uint64_t values = std::uint64_t{chars} * (options & kEtoPdy ? 2 : 1);
        const auto advances = r.Bytes(offDx, values * 4);
        dx.reserve(advances.size() / 4);
        for (std::size_t k = 0; k + 4 <= advances.size(); k += 4)
            dx.push_back(double(LoadLE32Signed(advances.data() + k)));
    }
    if (r.Damaged()) return;
    const Rect* clip = options & (kEtoOpaque | kEtoClipped) ? &rect : nullptr;
    if (wide) {
        std::u16string units(chars, u'\0');
        for (std::size_t k = 0; k < chars; ++k) units[k] = static_cast<char16_t>(LoadLE16(text.data() + 2 * k));
        canvas.TextOutWide(reference, units, dx, options, clip);
    } else {
        canvas.TextOut8(reference, {reinterpret_cast<const char*>(text.data()), text.size()}, dx, options, clip);
    }
}

void SmallText(const Record& r, Canvas& canvas) {
    // x, y, count, options, graphics mode, x and y scale, the clipping
    // rectangle unless ETO_NO_RECT, then 8-bit (ETO_SMALL_CHARS) or UTF-16
    // characters.
    const Point p = r.PointL(8);
    const std::uint32_t chars = r.U32(16);
    const std::uint32_t options = r.U32(20);
    const bool hasRect = !(options & kEtoNoRect);
    const Rect rect = hasRect ? r.RectL(36) : Rect{};
    const std::size_t textAt = hasRect ? 52 : 36;
    const bool narrow = options & kEtoSmallChars;
    const auto text = r.Bytes(textAt, std::uint64_t{chars} * (narrow ? 1 : 2));
    if (r.Damaged()) return;
    const std::uint32_t drawOptions = options & (kEtoOpaque | kEtoClipped);
    const Rect* clip = hasRect && drawOptions ? &rect : nullptr;
    if (narrow) {
        canvas.TextOut8(p, {reinterpret_cast<const char*>(text.data()), text.size()}, {}, drawOptions, clip);
    } else {
        std::u16string units(chars, u'\0');
        for (std::size_t k = 0; k < chars; ++k) units[k] = static_cast<char16_t>(LoadLE16(text.data() + 2 * k));
        canvas.TextOutWide(p, units, {}, drawOptions, clip);
    }
}

// The source extent a BitBlt-like record's source transform gives a
// destination extent (its scale; 1 when it has none worth using).
double SourceExtent(const Record& r, std::size_t scaleAt, double destExtent) {
    bool finite = true;
    const double scale = r.F32(scaleAt, &finite);
    return finite && scale > 1e-6 && scale < 1e6 ? destExtent * scale : destExtent;
}

} // namespace

void PlayText(const Record& r, Canvas& canvas) {
    switch (r.Type()) {
    case kExtTextOutA:
    case kExtTextOutW:
        // bounds, graphics mode, x and y scale, then one EMRTEXT
        TextAt(r, 36, r.Type() == kExtTextOutW, canvas);
        break;
    case kPolyTextOutA:
    case kPolyTextOutW: {
        const std::uint32_t count = r.U32(36);
        if (!r.Fits(40, std::uint64_t{count} * 40)) {
            r.MarkDamaged();
            return;
        }
        for (std::uint32_t k = 0; k < count && !r.Damaged(); ++k)
            TextAt(r, 40 + 40 * std::size_t{k}, r.Type() == kPolyTextOutW, canvas);
        break;
    }
    case kSmallTextOut:
        SmallText(r, canvas);
        break;
    default:
        break;
    }
}

void PlayBitmap(const Record& r, Canvas& canvas, std::uint64_t& pixelsLeft) {
    // Drawing a bitmap costs about its size: past the budget it is left out.
    auto affordable = [&](const std::shared_ptr<const Dib>& dib) {
        if (!dib) return true;
        const std::uint64_t pixels = DibPixels(*dib);
        if (pixels > pixelsLeft) return false;
        pixelsLeft -= pixels;
        return true;
    };
    const std::uint32_t type = r.Type();
    if (type == kSetDiBitsToDevice || type == kStretchDiBits) {
        const double xDest = r.I32(24), yDest = r.I32(28);
        const double xSrc = r.I32(32), ySrc = r.I32(36), cxSrc = r.I32(40), cySrc = r.I32(44);
        const std::uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
        const bool palette = r.U32(64) == 1;
        double cxDest = cxSrc, cyDest = cySrc;
        std::uint32_t rop = kSrcCopy;
        if (type == kStretchDiBits) {
            rop = r.U32(68);
            cxDest = r.I32(72);
            cyDest = r.I32(76);
        }
        if (r.Damaged()) return;
        auto dib = DibFromRecord(r, offBmi, cbBmi, offBits, cbBits, palette);
        if (r.Damaged() || !affordable(dib)) return;
        const Rect dest{xDest, yDest, xDest + cxDest, yDest + cyDest};
        if (!dib) {
            if (cbBmi == 0) canvas.StretchDib(dest, {}, nullptr, rop);
            return;
        }
        // These count source rows from the bitmap's lower edge when it is
        // stored bottom row first.
        const std::int32_t height = DibHeight(*dib);
        const double top = height > 0 ? height - (ySrc + cySrc) : ySrc;
        canvas.StretchDib(dest, {xSrc, top, xSrc + cxSrc, top + cySrc}, dib.get(), rop);
        return;
    }
    if (type == kPlgBlt) {
        // The source onto the parallelogram whose upper-left, upper-right
        // and lower-left corners the record gives: a unit square carried
        // there by the world transform (the mask is left out).
        const Point a = r.PointL(24), b = r.PointL(32), c = r.PointL(40);
        const double xSrc = r.I32(48), ySrc = r.I32(52), cxSrc = r.I32(56), cySrc = r.I32(60);
        const bool palette = r.U32(92) == 1;
        auto dib = DibFromRecord(r, r.U32(96), r.U32(100), r.U32(104), r.U32(108), palette);
        if (r.Damaged() || !dib || !affordable(dib)) return;
        canvas.Save();
        canvas.ModifyWorldTransform({b.X - a.X, b.Y - a.Y, c.X - a.X, c.Y - a.Y, a.X, a.Y}, kMwtLeftMultiply);
        canvas.StretchDib({0, 0, 1, 1}, {xSrc, ySrc, xSrc + cxSrc, ySrc + cySrc}, dib.get(), kSrcCopy);
        canvas.Restore(-1);
        return;
    }
    // BitBlt, StretchBlt, MaskBlt, AlphaBlend, TransparentBlt: destination,
    // operation, source origin, source transform, background colour, then
    // the bitmap's usage, offsets and sizes; the stretching ones add the
    // source extent.
    const double xDest = r.I32(24), yDest = r.I32(28), cxDest = r.I32(32), cyDest = r.I32(36);
    const std::uint32_t rop = r.U32(40);
    const double xSrc = r.I32(44), ySrc = r.I32(48);
    const bool palette = r.U32(80) == 1;
    const std::uint32_t offBmi = r.U32(84), cbBmi = r.U32(88), offBits = r.U32(92), cbBits = r.U32(96);
    double cxSrc = SourceExtent(r, 52, cxDest), cySrc = SourceExtent(r, 64, cyDest);
    const bool stretching = type == kStretchBlt || type == kAlphaBlend || type == kTransparentBlt;
    if (stretching && cbBmi != 0) {
        cxSrc = r.I32(100);
        cySrc = r.I32(104);
    }
    if (r.Damaged()) return;
    auto dib = DibFromRecord(r, offBmi, cbBmi, offBits, cbBits, palette);
    if (r.Damaged() || !affordable(dib)) return;
    const Rect dest{xDest, yDest, xDest + cxDest, yDest + cyDest};
    const Rect source{xSrc, ySrc, xSrc + cxSrc, ySrc + cySrc};
    if (type == kAlphaBlend) {
        // BLENDFUNCTION: operation, flags, constant alpha, AC_SRC_ALPHA.
        if (dib) canvas.AlphaBlendDib(dest, source, *dib, std::uint8_t(rop >> 16), (rop >> 24 & 1) != 0);
        return;
    }
    if (!dib && cbBmi != 0) return; // a bitmap we do not draw
    // MaskBlt's mask is left out: its foreground operation alone;
    // TransparentBlt's key colour is drawn as it is.
    const std::uint32_t ternary = type == kTransparentBlt ? kSrcCopy : (rop & 0x00FFFFFF);
    canvas.StretchDib(dest, source, dib.get(), ternary);
}

void PlayGradientFill(const Record& r, Canvas& canvas, std::uint64_t& fillsLeft) {
    // bounds, vertex count, item count, mode, TRIVERTEX items (x, y, then
    // 16-bit red, green, blue, alpha), then rectangles (two vertex indexes)
    // or triangles (three).
    const std::uint32_t vertices = r.U32(24), items = r.U32(28), mode = r.U32(32);
    if (r.Damaged()) return;
    const std::uint64_t itemBytes = mode == 2 ? 12 : 8;
    if (!r.Fits(36, std::uint64_t{vertices} * 16) ||
        !r.Fits(36 + std::uint64_t{vertices} * 16, std::uint64_t{items} * itemBytes)) {
        r.MarkDamaged();
        return;
    }
    auto vertex = [&](std::uint32_t k, Point& p, double rgb[3]) {
        const std::size_t at = 36 + 16 * std::size_t{k};
        p = r.PointL(at);
        for (int c = 0; c < 3; ++c) rgb[c] = r.U16(at + 8 + 2 * c) / 256.0;
    };
    auto colour = [](const double a[3], const double b[3], double t) {
        auto mix = [&](int c) { return std::uint8_t(std::clamp(a[c] + (b[c] - a[c]) * t, 0.0, 255.0)); };
        return Colour{mix(0), mix(1), mix(2)};
    };
    const std::size_t itemsAt = 36 + 16 * std::size_t{vertices};
    for (std::uint32_t k = 0; k < items; ++k) {
        const std::size_t at = itemsAt + itemBytes * k;
        const std::uint32_t i0 = r.U32(at), i1 = r.U32(at + 4), i2 = mode == 2 ? r.U32(at + 8) : 0;
        if (i0 >= vertices || i1 >= vertices || i2 >= (mode == 2 ? vertices : 1)) continue;
        Point p0, p1, p2;
        double c0[3], c1[3], c2[3];
        vertex(i0, p0, c0);
        vertex(i1, p1, c1);
        if (mode == 2) {
            // A triangle in the mean of its corners' colours.
            if (fillsLeft == 0) return;
            --fillsLeft;
            vertex(i2, p2, c2);
            double mean[3];
            for (int c = 0; c < 3; ++c) mean[c] = (c0[c] + c1[c] + c2[c]) / 3;
            Brush brush;
            brush.Colour = colour(mean, mean, 0);
            Pen none;
            none.Style = kPsNull;
            canvas.Save();
            canvas.SelectPen(none);
            canvas.SelectBrush(brush);
            const Point corners[3] = {p0, p1, p2};
            canvas.Polygon(corners);
            canvas.Restore(-1);
            continue;
        }
        // A rectangle in strips from one colour to the other, across
        // (mode 0) or down (mode 1).
        constexpr int kStrips = 64;
        if (fillsLeft < kStrips) return;
        fillsLeft -= kStrips;
        std::vector<Rect> strip(1);
        for (int s = 0; s < kStrips; ++s) {
            const double t0 = double(s) / kStrips, t1 = double(s + 1) / kStrips;
            Rect& band = strip[0];
            if (mode == 0) band = {p0.X + (p1.X - p0.X) * t0, p0.Y, p0.X + (p1.X - p0.X) * t1, p1.Y};
            else band = {p0.X, p0.Y + (p1.Y - p0.Y) * t0, p1.X, p0.Y + (p1.Y - p0.Y) * t1};
            Brush brush;
            brush.Colour = colour(c0, c1, (t0 + t1) / 2);
            canvas.FillRegion(strip, brush);
        }
    }
}

} // namespace tlc::gdi::emf
