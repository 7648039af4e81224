#include "draw/WmfPlayer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include "draw/WmfPlayerState.h"

namespace tlc::wmf {

void Player::Palette(std::uint16_t f, const Params& p) {
    if (f == kSelectPalette) {
        if (!p.Has(1)) return;
        const Object* o = Find(p.U(0));
        if (o && o->Kind == Object::kPalette) {
            palette_ = o;
            canvas_.SetPalette(o->Palette);
        }
        return;
    }
    // Changes to the selected palette.
    if (!palette_ || !p.Has(1)) return;
    auto* palette = const_cast<Object*>(palette_);
    if (f == kResizePalette) {
        palette->Palette.resize(std::min<std::size_t>(p.U(0), 1024));
    } else if (p.Has(2)) { // SetPalEntries, AnimatePalette: start, count, entries
        const std::size_t from = p.U(0), count = p.U(1);
        if (!p.Has(2 + 2 * count)) throw Damaged{};
        for (std::size_t k = 0; k < count && from + k < palette->Palette.size(); ++k)
            palette->Palette[from + k] = p.Colour(2 + 2 * k);
    }
    canvas_.SetPalette(palette->Palette);
}

void Player::Record(std::uint16_t f, const Params& p, std::uint32_t words) {
    switch (f) {
    // Page.
    case kSetMapMode: if (p.Has(1)) canvas_.SetMapMode(p.S(0)); return;
    case kSetWindowOrg: if (p.Has(2)) canvas_.SetWindowOrg(At(p, 0)); return;
    case kSetViewportOrg: if (p.Has(2)) canvas_.SetViewportOrg(At(p, 0)); return;
    case kSetWindowExt:
        if (p.Has(2) && p.S(0) != 0 && p.S(1) != 0) canvas_.SetWindowExt(p.S(1), p.S(0));
        return;
    case kSetViewportExt:
        if (p.Has(2) && p.S(0) != 0 && p.S(1) != 0) canvas_.SetViewportExt(p.S(1), p.S(0));
        return;
    case kOffsetWindowOrg: if (p.Has(2)) canvas_.OffsetWindowOrg(p.S(1), p.S(0)); return;
    case kOffsetViewportOrg: if (p.Has(2)) canvas_.OffsetViewportOrg(p.S(1), p.S(0)); return;
    case kScaleWindowExt:
    case kScaleViewportExt:
        // yDenom, yNum, xDenom, xNum
        if (!p.Has(4) || p.S(0) == 0 || p.S(1) == 0 || p.S(2) == 0 || p.S(3) == 0) return;
        if (f == kScaleWindowExt)
            canvas_.ScaleWindowExt(p.S(3), p.S(2), p.S(1), p.S(0));
        else
            canvas_.ScaleViewportExt(p.S(3), p.S(2), p.S(1), p.S(0));
        return;

    // Attributes.
    case kSetBkMode: if (p.Has(1)) canvas_.SetBkMode(p.S(0)); return;
    case kSetRop2: if (p.Has(1)) canvas_.SetRop2(p.S(0)); return;
    case kSetPolyFillMode: if (p.Has(1)) canvas_.SetPolyFillMode(p.S(0)); return;
    case kSetTextCharExtra: if (p.Has(1)) canvas_.SetTextCharacterExtra(p.S(0)); return;
    case kSetTextAlign: if (p.Has(1)) canvas_.SetTextAlign(p.U(0)); return;
    case kSetBkColor: if (p.Has(2)) canvas_.SetBkColour(p.Colour(0)); return;
    case kSetTextColor: if (p.Has(2)) canvas_.SetTextColour(p.Colour(0)); return;
    case kSetTextJustification: if (p.Has(2)) canvas_.SetTextJustification(p.S(1), p.U(0)); return;
    case kSaveDc:
        if (saved_ < kMaxSavedStates) canvas_.Save();
        ++saved_;
        return;
    case kRestoreDc: {
        if (!p.Has(1)) return;
        const int n = p.S(0);
        const int level = n < 0 ? saved_ + n : n - 1; // how many stay saved
        if (level < 0 || level >= saved_) return;
        if (level < kMaxSavedStates) canvas_.Restore(level - std::min(saved_, kMaxSavedStates));
        saved_ = level;
        return;
    }

    // Objects.
    case kCreatePenIndirect: {
        Object o(Object::kPen);
        if (p.Has(5)) {
            o.Pen.Style = p.U(0);
            o.Pen.Width = std::abs(p.S(1));
            o.Pen.Colour = p.Colour(3);
        }
        AddObject(std::move(o));
        return;
    }
    case kCreateBrushIndirect: {
        Object o(Object::kBrush);
        if (p.Has(4)) {
            o.Brush.Style = p.U(0);
            o.Brush.Colour = p.Colour(1);
            o.Brush.Hatch = p.U(3);
            // A pattern needs a bitmap this record cannot carry.
            if (o.Brush.Style != gdi::kBsNull && o.Brush.Style != gdi::kBsHatched) o.Brush.Style = gdi::kBsSolid;
        }
        AddObject(std::move(o));
        return;
    }
    case kDibCreatePatternBrush: {
        Object o(Object::kBrush);
        if (!p.Has(2)) throw Damaged{};
        // Style 3 (a pattern) carries a device bitmap or, from some writers, a DIB.
        if (p.U(0) == gdi::kBsPattern && !wmf::StartsWithDib(p.From(4))) {
            const Params header(p.From(4).data(), p.From(4).size());
            o.Brush.Pattern = wmf::DibFromBitmap16(header, header.From(10));
        } else {
            o.Brush.Pattern = wmf::CheckedDib(p.From(4), p.U(1) == 1);
        }
        o.Brush.Style = o.Brush.Pattern ? gdi::kBsDibPattern : gdi::kBsSolid;
        o.Brush.Colour = {0, 0, 0};
        AddObject(std::move(o));
        return;
    }
    case kCreatePatternBrush: {
        Object o(Object::kBrush);
        if (!p.Has(7)) throw Damaged{};
        // The device bitmap's header (its bits pointer and 18 bytes unused follow), then the bits.
        o.Brush.Pattern = wmf::DibFromBitmap16(p, p.From(32));
        o.Brush.Style = o.Brush.Pattern ? gdi::kBsDibPattern : gdi::kBsSolid;
        o.Brush.Colour = {0, 0, 0};
        AddObject(std::move(o));
        return;
    }
    case kCreateFontIndirect: {
        Object o(Object::kFont);
        o.Font = wmf::FontFromRecord(p);
        AddObject(std::move(o));
        return;
    }
    case kCreatePalette: {
        Object o(Object::kPalette);
        if (p.Has(2)) {
            const std::size_t count = p.U(1);
            if (!p.Has(2 + 2 * count)) throw Damaged{};
            for (std::size_t k = 0; k < count; ++k) o.Palette.push_back(p.Colour(2 + 2 * k));
        }
        AddObject(std::move(o));
        return;
    }
    case kCreateRegion: {
        Object o(Object::kRegion);
        o.Region = wmf::RegionRects(p);
        AddObject(std::move(o));
        return;
    }
    case kSelectObject:
    case kSelectClipRegion: {
        if (!p.Has(1)) return;
        const Object* o = Find(p.U(0));
        if (!o) {
            if (f == kSelectClipRegion) canvas_.SelectClipRegion({}, gdi::kRgnCopy);
            return;
        }
        switch (o->Kind) {
        case Object::kPen: canvas_.SelectPen(o->Pen); break;
        case Object::kBrush: canvas_.SelectBrush(o->Brush); break;
        case Object::kFont: canvas_.SelectFont(o->Font); break;
        case Object::kRegion: canvas_.SelectClipRegion(o->Region, gdi::kRgnCopy); break;
        case Object::kPalette: break;
        }
        return;
    }
    case kDeleteObject:
        if (p.Has(1) && p.U(0) < objects_.size()) {
            if (objects_[p.U(0)].get() == palette_) palette_ = nullptr;
            objects_[p.U(0)].reset();
            firstFree_ = std::min<std::size_t>(firstFree_, p.U(0));
        }
        return;
    case kSelectPalette: case kResizePalette: case kSetPalEntries: case kAnimatePalette:
        Palette(f, p);
        return;

    default:
        Draw(f, p, words);
        return;
    }
}

} // namespace tlc::wmf

namespace tlc {

bool PlayWindowsMetafile(std::span<const std::uint8_t> records, const WindowsMetafileFrame& frame,
                         std::int32_t width, std::int32_t height, std::vector<std::uint8_t>& rgb) {
    if (width <= 0 || height <= 0) return false;
    try {
        wmf::Player player(records, frame, width, height);
        return player.Play(rgb);
    } catch (const wmf::Damaged&) {
        return false;
    }
}

} // namespace tlc
