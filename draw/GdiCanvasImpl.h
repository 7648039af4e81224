#pragma once

// The inner parts of the device context, shared by the files that draw with
// it (GdiCanvas.cpp: transforms, state, the result; GdiShapes.cpp: shapes as
// paths; GdiFigures.cpp: the drawing calls and paths; GdiPaint.cpp: pens,
// brushes and raster operations; GdiClip.cpp: clipping and regions;
// GdiBitmap.cpp: bitmaps; GdiCanvasText.cpp: text).
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "draw/GdiCanvas.h"

namespace tlc::gdi {

// A path in output pixels, as cairo draws it.
struct Segment {
    enum Kind : std::uint8_t { Move, Line, Curve, Close };
    Kind K = Move;
    Point P[3];
};
using Path = std::vector<Segment>;

using SurfacePtr = std::shared_ptr<cairo_surface_t>;
using RegionPtr = std::shared_ptr<cairo_region_t>;
SurfacePtr AdoptSurface(cairo_surface_t* s); // null when cairo could not make it
RegionPtr AdoptRegion(cairo_region_t* r);

// The clipping area in output pixels: nothing (all may be drawn), whole
// pixel rectangles, or a coverage mask (after a path or a turned rectangle).
struct Clip {
    RegionPtr Region;
    SurfacePtr Mask;
    cairo_rectangle_int_t MaskBounds{}; // where the mask covers anything
    bool None() const { return !Region && !Mask; }
};

struct Canvas::State {
    int MapMode = kMmText;
    Point WindowOrg, ViewportOrg;
    double WindowExtX = 1, WindowExtY = 1, ViewportExtX = 1, ViewportExtY = 1;
    Transform World;
    Pen SelPen;
    Brush SelBrush; // the stock white brush
    Font SelFont;
    Colour TextColour{0, 0, 0};
    Colour BkColour{255, 255, 255};
    int BkMode = kOpaque;
    int FillMode = kAlternate;
    int Rop2 = 13; // R2_COPYPEN
    std::uint32_t TextAlign = 0;
    double CharExtra = 0;
    double BreakExtra = 0; // SetTextJustification
    int BreakCount = 0;
    double MiterLimit = 10;
    int ArcDirection = 1;
    Point BrushOrg;
    Point Position;
    Clip ClipArea;
};

// How a binary raster operation is drawn with cairo.
struct RopPlan {
    bool Skip = false; // R2_NOP
    cairo_operator_t Op = CAIRO_OPERATOR_OVER;
    bool Underlay = false; // blend modes: the untouched (transparent) output counts as white
    bool Invert = false;   // the pen or brush colour inverted first
    bool Forced = false;   // drawn in ForcedColour whatever the pen or brush
    Colour ForcedColour{};
};
RopPlan PlanRop2(int rop2);

struct Canvas::Impl {
    int Width = 0, Height = 0;
    cairo_surface_t* Surface = nullptr;
    cairo_t* Cr = nullptr;
    Transform Output;
    double PpmX = 96 / 25.4, PpmY = 96 / 25.4;
    State S;
    std::vector<State> Saved;
    std::vector<Colour> Palette;

    // The path bracket: shapes go into CurrentPath (output pixels).
    bool InPath = false;
    bool PathReady = false; // EndPath done: the path waits for its use
    bool FigureOpen = false;
    Path CurrentPath;
    // WidenPath: the path stands for the outline this pen would stroke.
    bool Widened = false;
    Pen WidenPen;
    double WidenWidth = 1;

    // From the transforms: logical -> device, device -> output, logical -> output.
    cairo_matrix_t L2D{}, D2O{}, L2O{};
    bool Degenerate = false;
    bool ClipDirty = true;

    // The last pattern brush's picture, kept while the same brush paints.
    std::shared_ptr<const Dib> CachedDib; // held, so its address is not another's
    Colour CachedFore{}, CachedBack{};
    SurfacePtr CachedPattern;

    void UpdateMatrices();
    // A logical point in output pixels (clamped); false when not finite.
    bool ToOutput(Point p, Point& out) const;
    bool DeviceToOutput(Point p, Point& out) const;
    Point LogicalToDevice(Point p) const;

    // Shapes as paths in output pixels (false: a point was not finite).
    bool AddPoints(Path& path, std::span<const Point> points, bool close) const;
    bool AddBeziers(Path& path, Point start, std::span<const Point> controls) const;
    bool AddArc(Path& path, const Rect& r, double a0, double sweep, bool moveFirst) const;
    bool AddEllipse(Path& path, const Rect& r) const;
    bool AddRect(Path& path, const Rect& r) const;
    bool AddRoundRect(Path& path, const Rect& r, double cw, double ch) const;
    // Arc angles (unit-circle parameter, y down) between the radial lines
    // through start and end in the arc direction.
    void ArcAngles(const Rect& r, Point start, Point end, double& a0, double& sweep) const;
    Rect InsideFrame(const Rect& r) const;

    // Shapes drawn (or added to the path in the bracket).
    void Shape(Path&& path, bool fill, bool stroke);
    using BoxBuilder = std::function<bool(Path&, const Rect&)>;
    void BoxShape(const Rect& r, bool fill, const BoxBuilder& build);
    Rect StrokeBox(const Rect& r) const; // the box an outline runs in
    void AppendToPath(const Path& path, bool continues);

    // Drawing: BeginDraw false means nothing can show (clipped out, no
    // transform); EndDraw puts a masked drawing in place.
    bool BeginDraw(const Path* area = nullptr); // area: what the drawing covers, if known
    void EndDraw();
    void Emit(const Path& path, Point shift = {}) const;
    Point StrokeShift() const;   // half a pixel: lines run through pixel centres
    Point PixelOfDevice() const; // in output pixels
    bool PenVisible() const;
    void FillCurrent(const Brush& brush, int fillMode);
    void StrokeCurrent();
    double PenWidthOutput() const;
    // The brush as cairo's source (with the raster operation's colour change).
    bool SetBrushSource(const Brush& brush, const RopPlan& plan);
    SurfacePtr PatternSurface(const Brush& brush);

    // Clipping.
    void ApplyClip();
    // The clip combined with a path or a region of whole output pixels.
    void CombineClip(const Path* path, const cairo_region_t* region, int mode, int fillMode,
                     bool widened = false);
    void FillRects(std::span<const Rect> rects, const Brush& brush);
    void CombineLogicalRect(const Rect& r, int mode);
    // The finished path filled, stroked or both.
    void UsePath(bool fill, bool stroke);
    // Output pixels to the source bitmap's pixels for a stretch.
    bool SourceMatrix(const Rect& dest, const Rect& source, cairo_matrix_t& m) const;
    bool TextReach(Point p, std::size_t length, std::span<const double> dx, const Rect* rect,
                   Path& reach) const;
    void Text(Point p, std::u32string_view text, std::span<const double> dx, std::uint32_t options,
              const Rect* rect);
    SurfacePtr ClipToMask(const Clip& clip) const;
};

void EmitPath(cairo_t* cr, const Path& path, Point shift);
// Width (output pixels), caps, joins and dashes of a pen on cr.
void ApplyPenStyle(cairo_t* cr, const Pen& pen, double width, double miterLimit);

// A packed DIB as an ARGB32 surface (opaque unless alpha is asked for and
// the DIB has it). A monochrome one given fore/back colours paints 0 bits
// with fore and 1 bits with back. Null for a damaged or oversized DIB.
SurfacePtr DibSurface(const Dib& dib, const std::vector<Colour>& palette, const Colour* fore,
                      const Colour* back, bool alpha);

// Fills the current path with op; underlay: over white where nothing is
// drawn yet, so blend modes meet the page a device starts with.
void FillWithOperator(cairo_t* cr, cairo_operator_t op, bool underlay);

// A rectangle with left above right and top above bottom.
inline Rect Normalised(const Rect& r) {
    return {std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
            std::max(r.Top, r.Bottom)};
}

inline bool Finite(double v) {
    return std::isfinite(v);
}

} // namespace tlc::gdi
