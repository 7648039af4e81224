#include "prepare/VectorPicture.h"

namespace tlc {

std::shared_ptr<TBitmapImage> DrawVectorPicture(const TGraphic&, std::int32_t, std::int32_t) {
    // No metafile drawing into rasters in this build yet.
    return nullptr;
}

} // namespace tlc
