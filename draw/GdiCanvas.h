#pragma once

// A drawing surface that behaves as a Windows device context does when a
// metafile is played into it: the record players (WmfPlayer, EmfPlayer)
// turn each record into one call here, in the record's own (logical)
// coordinates, and this draws it with cairo into an RGB raster. Values of
// enums and flags are the metafile formats' own, so the players pass them on
// unchanged.
//
// Coordinates: logical point -> world transform (enhanced metafiles; the
// identity otherwise) -> page transform (map mode, window and viewport) ->
// device units -> the output transform the player sets (device units to
// output pixels) -> output pixels.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tlc::gdi {

struct Point {
    double X = 0, Y = 0;
};

struct Rect { // left/top inclusive, right/bottom as the records give them
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct Colour {
    std::uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Colour&) const = default;
};

// An affine transform as the enhanced metafile's XFORM: x' = M11 x + M21 y + Dx,
// y' = M12 x + M22 y + Dy.
struct Transform {
    double M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
};

enum PenStyleBits : std::uint32_t {
    kPsSolid = 0, kPsDash = 1, kPsDot = 2, kPsDashDot = 3, kPsDashDotDot = 4, kPsNull = 5,
    kPsInsideFrame = 6, kPsUserStyle = 7, kPsAlternate = 8, kPsStyleMask = 0x0F,
    kPsEndcapRound = 0x000, kPsEndcapSquare = 0x100, kPsEndcapFlat = 0x200, kPsEndcapMask = 0xF00,
    kPsJoinRound = 0x0000, kPsJoinBevel = 0x1000, kPsJoinMiter = 0x2000, kPsJoinMask = 0xF000,
    kPsCosmetic = 0x00000, kPsGeometric = 0x10000, kPsTypeMask = 0xF0000,
};

struct Pen {
    std::uint32_t Style = kPsSolid;  // PenStyleBits
    double Width = 0;                // logical units; 0: one output pixel (pass 0 for a cosmetic
                                     // pen of an extended-pen record: it is a pixel wide whatever the mapping)
    gdi::Colour Colour{};
    std::vector<double> Dashes;      // kPsUserStyle: on/off lengths in logical units
};

enum BrushStyle : std::uint32_t { kBsSolid = 0, kBsNull = 1, kBsHatched = 2, kBsPattern = 3, kBsDibPattern = 5 };
enum HatchStyle : std::uint32_t {
    kHsHorizontal = 0, kHsVertical = 1, kHsFDiagonal = 2, kHsBDiagonal = 3, kHsCross = 4, kHsDiagCross = 5
};

// A bitmap as the players hand it over: a packed device-independent bitmap
// (BITMAPINFOHEADER or BITMAPCOREHEADER, colour table, then the bits).
struct Dib {
    std::vector<std::uint8_t> Bytes;
    bool ColoursFromPalette = false; // DIB_PAL_COLORS: table entries are palette indexes
};

struct Brush {
    std::uint32_t Style = kBsSolid; // BrushStyle
    gdi::Colour Colour{255, 255, 255};
    std::uint32_t Hatch = kHsHorizontal; // kBsHatched
    std::shared_ptr<const Dib> Pattern;  // kBsPattern, kBsDibPattern (a monochrome one takes text and background colours)
};

struct Font {
    double Height = 0;  // logical units; < 0: character height, > 0: cell height, 0: a default size
    double Width = 0;   // average character width, 0: the face's own
    double Escapement = 0;   // tenths of a degree, counter-clockwise
    double Orientation = 0;
    int Weight = 400;   // 700 bold
    bool Italic = false, Underline = false, StrikeOut = false;
    std::uint8_t CharSet = 1; // 0 ANSI, 1 default, 2 symbol, ...
    std::uint8_t PitchAndFamily = 0;
    std::string FaceName; // UTF-8
};

enum BkMode : int { kTransparent = 1, kOpaque = 2 };
enum PolyFillMode : int { kAlternate = 1, kWinding = 2 };
enum MapMode : int {
    kMmText = 1, kMmLoMetric = 2, kMmHiMetric = 3, kMmLoEnglish = 4, kMmHiEnglish = 5, kMmTwips = 6,
    kMmIsotropic = 7, kMmAnisotropic = 8
};
// SetTextAlign flags
enum TextAlignBits : std::uint32_t {
    kTaNoUpdateCp = 0, kTaUpdateCp = 1, kTaLeft = 0, kTaRight = 2, kTaCenter = 6,
    kTaTop = 0, kTaBottom = 8, kTaBaseline = 24, kTaRtlReading = 256
};
// ExtTextOut options
enum TextOutBits : std::uint32_t { kEtoOpaque = 2, kEtoClipped = 4, kEtoGlyphIndex = 0x10, kEtoPdy = 0x2000 };
// ExtSelectClipRgn modes
enum RegionMode : int { kRgnAnd = 1, kRgnOr = 2, kRgnXor = 3, kRgnDiff = 4, kRgnCopy = 5 };
// ModifyWorldTransform modes
enum TransformMode : int { kMwtIdentity = 1, kMwtLeftMultiply = 2, kMwtRightMultiply = 3, kMwtSet = 4 };
// Raster operations used by the bitmap and pattern records (ternary, as in the records)
enum RasterOp : std::uint32_t {
    kSrcCopy = 0x00CC0020, kSrcPaint = 0x00EE0086, kSrcAnd = 0x008800C6, kSrcInvert = 0x00660046,
    kSrcErase = 0x00440328, kNotSrcCopy = 0x00330008, kNotSrcErase = 0x001100A6, kMergeCopy = 0x00C000CA,
    kMergePaint = 0x00BB0226, kPatCopy = 0x00F00021, kPatPaint = 0x00FB0A09, kPatInvert = 0x005A0049,
    kDstInvert = 0x00550009, kBlackness = 0x00000042, kWhiteness = 0x00FF0062
};

class Canvas {
public:
    // An output of width x height pixels, transparent (white when read out).
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Device units to output pixels; the player sets it once from the
    // picture's frame and the output size.
    void SetOutputTransform(const Transform& deviceToOutput);
    // Device pixels per millimetre, for the fixed map modes (kMmLoMetric...):
    // the reference device of an enhanced metafile, 96 per inch otherwise.
    void SetDeviceResolution(double pixelsPerMmX, double pixelsPerMmY);

    // Page: as the device context's calls of the same names.
    void SetMapMode(int mode);
    void SetWindowOrg(Point p);
    void SetWindowExt(double cx, double cy);
    void SetViewportOrg(Point p);
    void SetViewportExt(double cx, double cy);
    void OffsetWindowOrg(double dx, double dy);
    void OffsetViewportOrg(double dx, double dy);
    void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom);
    void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom);
    void SetWorldTransform(const Transform& t);
    void ModifyWorldTransform(const Transform& t, int mode);

    // Attributes.
    void SelectPen(const Pen& pen);
    void SelectBrush(const Brush& brush);
    void SelectFont(const Font& font);
    void SetTextColour(Colour c);
    void SetBkColour(Colour c);
    void SetBkMode(int mode);
    void SetPolyFillMode(int mode);
    void SetRop2(int rop2);
    void SetTextAlign(std::uint32_t align);
    void SetTextCharacterExtra(double extra);
    void SetTextJustification(double extra, int breaks);
    void SetMiterLimit(double limit);
    void SetArcDirection(int direction); // 1 counter-clockwise (default), 2 clockwise
    void SetBrushOrg(Point p);
    // The palette the kBsDibPattern / DIB_PAL_COLORS indexes refer to.
    void SetPalette(std::vector<Colour> palette);

    // State stack: SaveDC; RestoreDC(n) with n < 0 relative (-1: the last
    // saved), n > 0 absolute; out-of-range levels are ignored.
    void Save();
    void Restore(int level);

    // Current position and lines.
    void MoveTo(Point p);
    void LineTo(Point p);
    Point CurrentPosition() const;

    // Shapes: outlined with the pen, filled with the brush (rectangles and
    // ellipses by their bounds, GDI style: right/bottom excluded for filled
    // shapes drawn with a visible pen).
    void Rectangle(const Rect& r);
    void RoundRect(const Rect& r, double cornerWidth, double cornerHeight);
    void Ellipse(const Rect& r);
    // Arc, chord and pie between the radial lines through start and end,
    // counter-clockwise (or as SetArcDirection says).
    void Arc(const Rect& r, Point start, Point end);
    void ArcTo(const Rect& r, Point start, Point end);
    void Chord(const Rect& r, Point start, Point end);
    void Pie(const Rect& r, Point start, Point end);
    void AngleArc(Point centre, double radius, double startDegrees, double sweepDegrees);
    void Polyline(std::span<const Point> points);
    void PolylineTo(std::span<const Point> points);
    void Polygon(std::span<const Point> points);
    void PolyPolygon(std::span<const Point> points, std::span<const std::uint32_t> counts);
    void PolyPolyline(std::span<const Point> points, std::span<const std::uint32_t> counts);
    void PolyBezier(std::span<const Point> points);   // first point, then three per segment
    void PolyBezierTo(std::span<const Point> points); // three per segment from the current position
    // PolyDraw: types PT_MOVETO 6, PT_LINETO 2, PT_BEZIERTO 4, | PT_CLOSEFIGURE 1.
    void PolyDraw(std::span<const Point> points, std::span<const std::uint8_t> types);
    void SetPixel(Point p, Colour c);

    // Paths: between BeginPath and EndPath the shapes above add to the path
    // instead of drawing.
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    void FlattenPath();
    void WidenPath();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(int mode);

    // Regions, as rectangles in logical units (the players decode the
    // region records into rectangles).
    void FillRegion(std::span<const Rect> rects, const Brush& brush);
    void PaintRegion(std::span<const Rect> rects); // with the selected brush
    void FrameRegion(std::span<const Rect> rects, const Brush& brush, double width, double height);
    void InvertRegion(std::span<const Rect> rects);

    // Clipping. IntersectClipRect and ExcludeClipRect take logical units;
    // SelectClipRegion takes device units, as the records give them (an
    // empty span with kRgnCopy: no clipping).
    void IntersectClipRect(const Rect& r);
    void ExcludeClipRect(const Rect& r);
    void OffsetClip(double dx, double dy); // logical units
    void SelectClipRegion(std::span<const Rect> deviceRects, int mode);

    // Text. The 8-bit form reads the bytes in the selected font's character
    // set (symbol fonts through their own tables); the wide form is UTF-16.
    // dx: advance of each character in logical units (empty: the font's
    // own); with kEtoPdy, dx holds x and y advances in pairs. rect: the
    // opaque or clipping rectangle for kEtoOpaque / kEtoClipped.
    void TextOut8(Point p, std::string_view bytes, std::span<const double> dx, std::uint32_t options,
                  const Rect* rect);
    void TextOutWide(Point p, std::u16string_view text, std::span<const double> dx, std::uint32_t options,
                     const Rect* rect);

    // Bitmaps: the source rectangle (in the bitmap's pixels, top row 0) of
    // a packed DIB stretched onto the destination rectangle (logical units)
    // with a ternary raster operation; a null dib: the operation with the
    // brush alone (PatBlt).
    void StretchDib(const Rect& dest, const Rect& source, const Dib* dib, std::uint32_t rop);
    // AlphaBlend: per-pixel alpha of a 32-bit DIB and a constant alpha.
    void AlphaBlendDib(const Rect& dest, const Rect& source, const Dib& dib, std::uint8_t constantAlpha,
                       bool perPixelAlpha);

    // The drawing over white, three bytes (red, green, blue) a pixel, rows
    // top first; false when nothing was marked at all.
    bool Finish(std::vector<std::uint8_t>& rgb);

    struct State; // the device context's settings, saved and restored whole
private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tlc::gdi
