// Any input is loaded (enhanced or Windows metafile, SVG) and, when it loads,
// drawn as the drawing helper draws it onto a small raster: a Windows
// metafile by our own record player, the others through the libraries (SVG,
// then librsvg). Run in one process here, so an abort or an endless loop
// shows as a crash or a timeout.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "draw/MetafileSvg.h"
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
            tlc::MetafileSource source;
            source.Data = image->Data;
            source.Enhanced = image->Enhanced;
            source.Width = image->Width;
            source.Height = image->Height;
            source.Messages = std::getenv("TLC_FUZZ_MESSAGES") != nullptr;
            const std::string svg = tlc::MetafileToSvg(source);
            if (!svg.empty()) tlc::DrawSvg(svg, 64, 64, rgb);
        }
    } catch (const tlc::Exception&) {
    }
    return 0;
}
