#pragma once

// How near a drawing comes to an independent renderer's drawing of the same
// picture (tests/data/metafile-reference, scripts/make_metafile_references.sh),
// shared by the drawing helper's test and the Windows drawing's.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "image/BitmapImage.h"
#include "image/Metafile.h"

namespace tlc {

// The sample metafiles of the shared test data; empty when it is absent.
inline std::filesystem::path MetafileTestdata() {
    namespace fs = std::filesystem;
    for (const char* name : {"TLC_TESTDATA", "TLC_TESTDATA_DEFAULT"}) {
        const char* value = std::getenv(name);
        if (value && *value && fs::is_directory(fs::path(value) / "metafile")) return fs::path(value) / "metafile";
    }
    return {};
}

inline std::uint32_t Pixel(const TBitmapImage& image, int x, int y) {
    const std::uint8_t* p = image.Row(y) + 3 * x;
    return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

// A drawing reduced for comparison: cut to its inked bounds, then averaged
// into kGrid x kGrid cells (proportions given up: the reference renderer
// places and scales the drawing on its page its own way).
constexpr int kGrid = 64;
// Inked: some channel at least this far from white (the reference script
// cuts at 2 %, about 5, so faint edges stay out of both).
constexpr int kInk = 48;

struct Reduced {
    bool Blank = true;
    std::vector<int> Rgb;       // kGrid * kGrid * 3, each cell's mean colour
    std::vector<bool> InkedCell; // some pixel of the cell inked (thin lines count)
    double InkedShare = 0;      // of the pixels inside the bounds
};

inline bool Inked(std::uint32_t c) {
    return 255 - int(c >> 16 & 0xFF) >= kInk || 255 - int(c >> 8 & 0xFF) >= kInk || 255 - int(c & 0xFF) >= kInk;
}

inline Reduced Reduce(const TBitmapImage& image) {
    const int w = image.Width(), h = image.AbsHeight();
    int left = w, top = h, right = -1, bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (Pixel(image, x, y) != 0xFFFFFF && 255 * 3 - int(Pixel(image, x, y) >> 16 & 0xFF) -
                                                        int(Pixel(image, x, y) >> 8 & 0xFF) -
                                                        int(Pixel(image, x, y) & 0xFF) > 15) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    Reduced r;
    r.Rgb.assign(kGrid * kGrid * 3, 255);
    r.InkedCell.assign(kGrid * kGrid, false);
    if (right < 0) return r;
    r.Blank = false;
    const int cw = right - left + 1, ch = bottom - top + 1;
    std::vector<long> sum(kGrid * kGrid * 3, 0), count(kGrid * kGrid, 0);
    long inked = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const int cell = ((y - top) * kGrid / ch) * kGrid + (x - left) * kGrid / cw;
            const std::uint32_t c = Pixel(image, x, y);
            sum[cell * 3] += c >> 16 & 0xFF, sum[cell * 3 + 1] += c >> 8 & 0xFF, sum[cell * 3 + 2] += c & 0xFF;
            ++count[cell];
            if (Inked(c)) {
                ++inked;
                r.InkedCell[cell] = true;
            }
        }
    r.InkedShare = double(inked) / (double(cw) * ch);
    for (int k = 0; k < kGrid * kGrid; ++k)
        if (count[k])
            for (int c = 0; c < 3; ++c) r.Rgb[k * 3 + c] = int(sum[k * 3 + c] / count[k]);
    return r;
}

struct Measure {
    double MeanDifference = 0; // per channel, 0 to 255
    double Overlap = 0;        // inked cells with an inked cell at or beside them in the other drawing
};

// Whether `cells` has an inked cell within one of (x, y).
inline bool InkedNear(const std::vector<bool>& cells, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < kGrid && ny < kGrid && cells[ny * kGrid + nx]) return true;
        }
    return false;
}

inline Measure Compare(const Reduced& ours, const Reduced& reference) {
    Measure m;
    double difference = 0;
    for (int k = 0; k < kGrid * kGrid * 3; ++k) difference += std::abs(ours.Rgb[k] - reference.Rgb[k]);
    m.MeanDifference = difference / (kGrid * kGrid * 3);
    long matched = 0, inked = 0;
    for (int y = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x) {
            const int k = y * kGrid + x;
            if (ours.InkedCell[k]) ++inked, matched += InkedNear(reference.InkedCell, x, y);
            if (reference.InkedCell[k]) ++inked, matched += InkedNear(ours.InkedCell, x, y);
        }
    m.Overlap = inked ? double(matched) / inked : 1;
    return m;
}

// The drawing size: the picture's own proportions, 256 pixels on its longer
// side, as the references are made.
inline std::pair<int, int> DrawingSize(const TMetafileImage& image) {
    const int w = std::max(1, image.Width), h = std::max(1, image.Height);
    return w >= h ? std::pair{256, std::max(1, h * 256 / w)} : std::pair{std::max(1, w * 256 / h), 256};
}

// Right: mean difference at most 12 of 255 a channel and at least 80 % of
// the inked cells matched. The drawings right by eye measured 1.5 to 11.1
// and 0.82 to 1.00; the wrong ones above 12.3 (solid fills, lost colours
// reach 23 to 238) or below 0.75.
constexpr double kMaxDifference = 12;
constexpr double kMinOverlap = 0.8;


} // namespace tlc
