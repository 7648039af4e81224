// What the Windows metafile records draw: lines, shapes, regions and
// clipping, text and bitmaps.
#include <algorithm>

#include "draw/WmfPlayerState.h"

namespace tlc::wmf {

void Player::Draw(std::uint16_t f, const Params& p, std::uint32_t words) {
    switch (f) {
    // Lines and shapes.
    case kMoveTo:
        if (p.Has(2)) canvas_.MoveTo(At(p, 0));
        return;
    case kLineTo:
        if (p.Has(2)) canvas_.LineTo(At(p, 0));
        return;
    case kPolygon:
    case kPolyline: {
        if (!p.Has(1)) return;
        const auto points = Points(p, 1, p.U(0));
        if (f == kPolygon)
            canvas_.Polygon(points);
        else
            canvas_.Polyline(points);
        return;
    }
    case kPolyPolygon: {
        if (!p.Has(1)) return;
        const std::size_t polygons = p.U(0);
        if (!p.Has(1 + polygons)) throw Damaged{};
        std::vector<std::uint32_t> counts(polygons);
        std::size_t total = 0;
        for (std::size_t k = 0; k < polygons; ++k)
            total += counts[k] = p.U(1 + k);
        canvas_.PolyPolygon(Points(p, 1 + polygons, total), counts);
        return;
    }
    case kRectangle:
        if (p.Has(4)) canvas_.Rectangle(Bounds(p, 0));
        return;
    case kEllipse:
        if (p.Has(4)) canvas_.Ellipse(Bounds(p, 0));
        return;
    case kRoundRect:
        if (p.Has(6)) canvas_.RoundRect(Bounds(p, 2), p.S(1), p.S(0));
        return;
    case kArc:
    case kPie:
    case kChord: {
        if (!p.Has(8)) return;
        const Rect r = Bounds(p, 4);
        const Point end = At(p, 0), start = At(p, 2);
        if (f == kArc)
            canvas_.Arc(r, start, end);
        else if (f == kPie)
            canvas_.Pie(r, start, end);
        else
            canvas_.Chord(r, start, end);
        return;
    }
    case kSetPixel:
        if (p.Has(4)) canvas_.SetPixel(At(p, 2), p.Colour(0));
        return;

    // Regions and clipping.
    case kFillRegion:
    case kFrameRegion: {
        if (!p.Has(f == kFillRegion ? 2 : 4)) return;
        const Object* region = Find(p.U(0));
        const Object* brush = Find(p.U(1));
        if (!region || region->Kind != Object::kRegion || !brush || brush->Kind != Object::kBrush)
            return;
        if (f == kFillRegion)
            canvas_.FillRegion(region->Region, brush->Brush);
        else
            canvas_.FrameRegion(region->Region, brush->Brush, p.S(3), p.S(2));
        return;
    }
    case kPaintRegion:
    case kInvertRegion: {
        if (!p.Has(1)) return;
        const Object* region = Find(p.U(0));
        if (!region || region->Kind != Object::kRegion) return;
        if (f == kPaintRegion)
            canvas_.PaintRegion(region->Region);
        else
            canvas_.InvertRegion(region->Region);
        return;
    }
    case kIntersectClipRect:
        if (p.Has(4)) canvas_.IntersectClipRect(Bounds(p, 0));
        return;
    case kExcludeClipRect:
        if (p.Has(4)) canvas_.ExcludeClipRect(Bounds(p, 0));
        return;
    case kOffsetClipRgn:
        if (p.Has(2)) canvas_.OffsetClip(p.S(1), p.S(0));
        return;

    // Text.
    case kTextOut: {
        if (!p.Has(1)) return;
        const std::size_t length = p.U(0), padded = (length + 1) / 2;
        if (!p.Has(1 + padded + 2)) throw Damaged{};
        canvas_.TextOut8(At(p, 1 + padded),
                         {reinterpret_cast<const char*>(p.From(2).data()), length}, {}, 0, nullptr);
        return;
    }
    case kExtTextOut: {
        if (!p.Has(4)) return;
        const std::size_t length = p.U(2);
        const std::uint32_t options = p.U(3);
        const bool hasRect = (options & (gdi::kEtoOpaque | gdi::kEtoClipped)) != 0;
        const std::size_t textAt = hasRect ? 16 : 8;
        Rect rect;
        if (hasRect) {
            if (!p.Has(8)) throw Damaged{};
            rect = {p.D(4), p.D(5), p.D(6), p.D(7)};
        }
        const auto text = p.From(textAt);
        if (text.size() < length) throw Damaged{};
        Text(At(p, 0), text.first(length), p.From(textAt + (length + 1) / 2 * 2), options,
             hasRect ? &rect : nullptr);
        return;
    }

    // Bitmaps.
    case kPatBlt:
        if (p.Has(6)) {
            const double x = p.S(5), y = p.S(4);
            Blit({x, y, x + p.S(3), y + p.S(2)}, {}, nullptr, p.U32(0));
        }
        return;
    case kBitBlt:
    case kDibBitBlt:
    case kStretchBlt:
    case kDibStretchBlt: {
        const bool stretch = f == kStretchBlt || f == kDibStretchBlt;
        // Without a bitmap the record has one word more than its function's
        // high byte says, unused.
        const bool noBitmap = words == (f >> 8) + 3u;
        const std::size_t fixed = stretch ? 10 : 8; // rop (2 words), then the coordinates
        if (!p.Has(fixed + (noBitmap ? 1 : 0))) throw Damaged{};
        const std::size_t at =
            noBitmap && !stretch ? 1 : 0; // the unused word before the destination
        double srcW = 0, srcH = 0;
        std::size_t d = 2; // the first of the destination's words
        const double ySrc = p.S(stretch ? 4 : 2), xSrc = p.S(stretch ? 5 : 3);
        if (stretch) {
            srcH = p.S(2);
            srcW = p.S(3);
            d = 6 + (noBitmap ? 1 : 0);
        } else {
            d = 4 + at;
        }
        const double h = p.S(d), w = p.S(d + 1), y = p.S(d + 2), x = p.S(d + 3);
        if (!stretch) {
            srcW = w;
            srcH = h;
        }
        const Rect dest{x, y, x + w, y + h};
        if (noBitmap) {
            Blit(dest, {}, nullptr, p.U32(0));
            return;
        }
        const std::size_t bitmapAt = (d + 4) * 2;
        std::shared_ptr<gdi::Dib> dib;
        if (f == kBitBlt || f == kStretchBlt) {
            const Params header(p.From(bitmapAt).data(), p.From(bitmapAt).size());
            dib = wmf::DibFromBitmap16(header, header.From(10));
        } else {
            dib = wmf::CheckedDib(p.From(bitmapAt), false);
        }
        if (!dib) return;
        if (!stretch) {
            const Point size = Unstretched(*dib, xSrc, ySrc, srcW, srcH);
            srcW = size.X;
            srcH = size.Y;
        }
        Blit(dest, {xSrc, ySrc, xSrc + srcW, ySrc + srcH}, dib.get(), p.U32(0));
        return;
    }
    case kStretchDib: {
        // rop (2 words), usage, source h, w, y, x, destination h, w, y, x, DIB
        if (!p.Has(11)) throw Damaged{};
        const auto dib = wmf::CheckedDib(p.From(22), p.U(2) == 1);
        if (!dib) return;
        const double y = p.S(9), x = p.S(10);
        Blit({x, y, x + p.S(8), y + p.S(7)}, FromBottom(*dib, p.S(6), p.S(5), p.S(4), p.S(3)),
             dib.get(), p.U32(0));
        return;
    }
    case kSetDibToDev: {
        // usage, scan count, start scan, source y, x, h, w, destination y, x, DIB
        if (!p.Has(9)) throw Damaged{};
        const auto dib = wmf::CheckedDib(p.From(18), p.U(0) == 1);
        if (!dib) return;
        const double w = p.S(6), h = p.S(5), y = p.S(7), x = p.S(8);
        const Point source = Unstretched(*dib, p.S(4), p.S(3), w, h);
        Blit({x, y, x + w, y + h}, FromBottom(*dib, p.S(4), p.S(3), source.X, source.Y), dib.get(),
             gdi::kSrcCopy);
        return;
    }
    default:
        return; // escapes, palette realising, mapper flags and the like change nothing drawn
    }
}

} // namespace tlc::wmf
