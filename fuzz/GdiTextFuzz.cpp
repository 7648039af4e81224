// Text as the metafile players hand it to the device context: any font
// (face, size, width, angle, weight, character set), any logical-to-output
// matrix, alignment, options, advances and bytes, drawn onto a small raster.
// Numbers come as raw doubles, so infinities and NaNs arrive too.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "draw/GdiText.h"

namespace {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    double Double() {
        double v = 0;
        Take(&v, sizeof v);
        return v;
    }
    std::uint8_t Byte() {
        std::uint8_t v = 0;
        Take(&v, 1);
        return v;
    }
    std::string_view Rest() const { return {reinterpret_cast<const char*>(data_ + at_), size_ - at_}; }

private:
    void Take(void* out, std::size_t n) {
        if (size_ - at_ < n) {
            at_ = size_;
            return;
        }
        std::memcpy(out, data_ + at_, n);
        at_ += n;
    }
    const std::uint8_t* data_;
    std::size_t size_, at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tlc::gdi;
    static const char* const kFaces[] = {"Arial", "Times New Roman", "Courier New", "Symbol", "Wingdings",
                                         "Wingdings 3", "Webdings", "No Such Face", ""};
    Reader in(data, size);
    TextSettings s;
    const std::uint8_t pick = in.Byte();
    s.Font.FaceName = kFaces[pick % std::size(kFaces)];
    s.Font.Italic = pick & 0x10;
    s.Font.Underline = pick & 0x20;
    s.Font.StrikeOut = pick & 0x40;
    s.Font.Height = in.Double();
    s.Font.Width = in.Double();
    s.Font.Escapement = in.Double();
    s.Font.Weight = in.Byte() * 4;
    s.Font.CharSet = in.Byte();
    s.Font.PitchAndFamily = in.Byte();
    s.BkMode = in.Byte() & 1 ? kOpaque : kTransparent;
    s.Align = in.Byte();
    s.CharExtra = in.Double();
    s.BreakExtra = in.Double();
    s.BreakCount = static_cast<std::int8_t>(in.Byte());
    const std::uint32_t options = in.Byte() << 8 | in.Byte();
    cairo_matrix_t m;
    cairo_matrix_init(&m, in.Double(), in.Double(), in.Double(), in.Double(), in.Double(), in.Double());
    const Point p{in.Double(), in.Double()};
    const Rect rect{in.Double(), in.Double(), in.Double(), in.Double()};
    std::vector<double> dx(in.Byte());
    for (double& d : dx) d = in.Double();
    const std::string_view bytes = in.Rest();

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 48, 48);
    cairo_t* cr = cairo_create(surface);
    // The players only hand over invertible matrices; cairo refuses others.
    if (cairo_matrix_invert(&m) == CAIRO_STATUS_SUCCESS && cairo_matrix_invert(&m) == CAIRO_STATUS_SUCCESS)
        cairo_set_matrix(cr, &m);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) { // a matrix cairo takes back once set
        cairo_destroy(cr);
        cr = cairo_create(surface);
    }
    std::u16string wide(bytes.size() / 2, u'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
    const std::u32string text = pick & 0x80 ? DecodeUtf16(wide, s.Font) : DecodeText8(bytes, s.Font);
    DrawText(cr, p, text, dx, options, &rect, s);
    // A cairo error sticks to the context: everything the canvas drew after
    // the text would vanish.
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) __builtin_trap();
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return 0;
}
