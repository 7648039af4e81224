#include "draw/SvgRaster.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <memory>

namespace tlc {

namespace {

struct HandleUnref {
    void operator()(RsvgHandle* h) const { g_object_unref(h); }
};
struct SurfaceDestroy {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDestroy {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// The document's own size in pixels at 96 per inch: its width and height,
// else its view box.
bool OwnSize(RsvgHandle* handle, double& width, double& height) {
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height) && width > 0 && height > 0)
        return true;
    gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
    RsvgLength w{}, h{};
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &w, &hasHeight, &h, &hasViewBox, &viewBox);
    if (!hasViewBox || viewBox.width <= 0 || viewBox.height <= 0) return false;
    width = viewBox.width;
    height = viewBox.height;
    return true;
}

} // namespace

bool DrawSvg(std::string_view svg, std::int32_t width, std::int32_t height,
             std::vector<std::uint8_t>& rgb) {
    GError* error = nullptr;
    std::unique_ptr<RsvgHandle, HandleUnref> handle(rsvg_handle_new_from_data(
        reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error));
    if (error) g_error_free(error);
    if (!handle) return false;
    rsvg_handle_set_dpi(handle.get(), 96);
    double ownWidth = 0, ownHeight = 0;
    if (!OwnSize(handle.get(), ownWidth, ownHeight)) return false;

    std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
    {
        std::unique_ptr<cairo_t, ContextDestroy> cr(cairo_create(surface.get()));
        cairo_scale(cr.get(), width / ownWidth, height / ownHeight);
        const RsvgRectangle viewport{0, 0, ownWidth, ownHeight};
        error = nullptr;
        const bool drawn = rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error);
        if (error) g_error_free(error);
        if (!drawn) return false;
    }
    cairo_surface_flush(surface.get());

    // Premultiplied pixels over white; nothing with any cover: no mark.
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    bool marked = false;
    std::uint8_t* out = rgb.data();
    for (std::int32_t y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            const std::uint32_t uncovered = 255 - (p >> 24);
            marked |= uncovered != 255;
            *out++ = static_cast<std::uint8_t>(((p >> 16) & 0xFF) + uncovered);
            *out++ = static_cast<std::uint8_t>(((p >> 8) & 0xFF) + uncovered);
            *out++ = static_cast<std::uint8_t>((p & 0xFF) + uncovered);
        }
    }
    return marked;
}

} // namespace tlc
