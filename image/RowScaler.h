#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/BitmapImage.h"

namespace tlc {

// Widest and tallest picture scaled row by row (524,288 pixels): a row of it
// in 32 bits is 2 MiB, and even a picture whose rows are all alike, each
// added to the result on its own, takes well under a second. Larger ones
// are refused for scaling.
inline constexpr std::int64_t kMaxScaledSide = std::int64_t{1} << 19;
// Most pixels a reader decodes one by one only to scale them down (16384 x
// 16384): beyond this the work, not the memory, is what a small file could
// make unbounded.
inline constexpr std::int64_t kMaxScaledPixels = std::int64_t{1} << 28;

// Scales a picture down by averaging the area each new pixel covers, in
// linear light, taking the picture's rows one at a time, top row first: it
// holds a few rows of the result's width and one of the source's, never the
// source picture. The result is dot for dot that of ScaleDown on the whole
// picture (ScaleDown is this, fed from a raster).
class RowScaler {
public:
    // A sourceWidth x sourceHeight picture to width x height, each at least 1
    // and at most the source's (EInvalidGraphic otherwise); a source wider or
    // taller than kMaxScaledSide raises EOutOfResources.
    RowScaler(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t width, std::int32_t height);

    // The next row: sourceWidth pixels of blue, green and red bytes, with one
    // byte more for bytesPerPixel 4. A row equal to the one before costs only
    // the comparison.
    void AddRow(const std::uint8_t* pixels, int bytesPerPixel);
    // The next `count` rows are each the same as the row before (a row must
    // have been given).
    void RepeatRow(std::int64_t count = 1);

    std::int32_t RowsTaken() const { return taken_; }
    bool Done() const { return taken_ == sourceHeight_; }
    // The scaled picture (24 bits, rows top first), once every row is in.
    std::shared_ptr<TBitmapImage> Result();

private:
    void Narrow(const std::uint8_t* pixels, int bytesPerPixel);
    void Accumulate();

    struct Footprints {
        std::vector<std::int32_t> first;
        std::vector<std::size_t> offset; // into weights, one more than pixels
        std::vector<float> weights;
        Footprints(std::int32_t from, std::int32_t to);
    };

    std::int32_t sourceWidth_, sourceHeight_, width_, height_;
    Footprints across_, down_;
    std::shared_ptr<TBitmapImage> out_;
    std::vector<float> narrow_;             // the last row narrowed, 3 floats a pixel
    std::vector<std::uint8_t> last_;        // the last row given
    int lastBytes_ = 0;                     // its bytes per pixel (0: none yet)
    std::vector<std::vector<float>> sums_;  // the open rows of the result, from nextOut_
    std::int32_t nextOut_ = 0;              // the first row of the result not yet done
    std::int32_t taken_ = 0;
};

} // namespace tlc
