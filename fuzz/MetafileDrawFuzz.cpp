// Any input is loaded (enhanced or Windows metafile, SVG) and, when it loads,
// drawn as the drawing helper draws it onto a small raster: metafiles by our
// own record players, SVG by librsvg. Run in one process here, so an abort
// or an endless loop shows as a crash or a timeout.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Exceptions.h"
#include "draw/EmfPlayer.h"
#include "draw/SvgRaster.h"
#include "draw/WmfPlayer.h"
#include "image/MetafileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto image = tlc::DecodeMetafileFile({data, size});
        std::vector<std::uint8_t> rgb;
        if (image->Svg) {
            tlc::DrawSvg({reinterpret_cast<const char*>(image->Data.data()), image->Data.size()}, 64, 64, rgb);
        } else if (!image->Enhanced) {
            const tlc::WindowsMetafileFrame frame{image->FrameLeft, image->FrameTop, image->FrameRight,
                                                  image->FrameBottom, image->Width, image->Height};
            tlc::PlayWindowsMetafile(image->Data, frame, 64, 64, rgb);
        } else {
            tlc::gdi::PlayEnhancedMetafile(image->Data, 64, 64, rgb);
        }
    } catch (const tlc::Exception&) {
    }
    return 0;
}
