// Builds without a way to draw vector pictures (a Windows build before its
// own player): every vector picture is refused as one that cannot be drawn.
#include "prepare/MetafileDrawing.h"

#include "base/Exceptions.h"

namespace tlc {

void ShowDrawingMessages(bool) {}

std::shared_ptr<TBitmapImage> DrawMetafile(const TMetafileImage& image, std::int32_t, std::int32_t) {
    throw EInvalidGraphic(image.Svg ? "SVG picture is not valid" : "Metafile is not valid");
}

} // namespace tlc
