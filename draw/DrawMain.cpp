// tillora-draw: draws one vector picture (enhanced or Windows metafile, SVG)
// into pixels for the programs, which start it once per drawing with limits
// on its memory and time; see draw/DrawRequest.h for what goes in and out.
// The drawing libraries have been seen to abort and to loop on damaged
// files: that ends this process, never the caller.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "draw/DrawRequest.h"
#include "draw/EmfPlayer.h"
#include "draw/MetafileSvg.h"
#include "draw/SvgRaster.h"
#include "draw/WmfPlayer.h"

namespace {

bool ReadAll(int fd, std::uint8_t* out, std::size_t n) {
    while (n > 0) {
        const ssize_t got = read(fd, out, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const std::uint8_t* in, std::size_t n) {
    while (n > 0) {
        const ssize_t put = write(fd, in, n);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        in += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tlc;
    // --messages: the libraries' warnings on standard error; --svg: the SVG
    // a metafile becomes, on standard output, instead of pixels (for a
    // person looking into one picture).
    bool messages = false, svgOnly = false;
    for (int k = 1; k < argc; ++k) {
        messages |= std::strcmp(argv[k], "--messages") == 0;
        svgOnly |= std::strcmp(argv[k], "--svg") == 0;
    }
    std::uint8_t head[kDrawRequestBytes];
    DrawRequest request;
    if (!ReadAll(0, head, sizeof head) || !LoadDrawRequest(head, request)) return 2;
    std::vector<std::uint8_t> data(request.DataLength);
    if (!ReadAll(0, data.data(), data.size())) return 2;
    close(0);

    std::vector<std::uint8_t> rgb;
    bool drawn = false;
    if (request.Format == VectorFormat::Svg) {
        drawn = DrawSvg({reinterpret_cast<const char*>(data.data()), data.size()}, request.Width,
                        request.Height, rgb);
    } else if (request.Format == VectorFormat::Windows) {
        const WindowsMetafileFrame frame{request.FrameLeft, request.FrameTop, request.FrameRight,
                                         request.FrameBottom, request.PictureWidth, request.PictureHeight};
        drawn = PlayWindowsMetafile(data, frame, request.Width, request.Height, rgb);
    } else if (request.Format == VectorFormat::Enhanced) {
        drawn = gdi::PlayEnhancedMetafile(data, request.Width, request.Height, rgb);
    } else {
        MetafileSource source;
        source.Data = data;
        source.Enhanced = request.Format == VectorFormat::Enhanced;
        source.Width = request.PictureWidth;
        source.Height = request.PictureHeight;
        source.Messages = messages;
        const std::string svg = MetafileToSvg(source);
        if (svgOnly) return WriteAll(1, reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size()) ? 0 : 2;
        drawn = !svg.empty() && DrawSvg(svg, request.Width, request.Height, rgb);
    }
    if (!drawn) return kDrawRefused;
    std::uint8_t size[8];
    StoreLE32(size, static_cast<std::uint32_t>(request.Width));
    StoreLE32(size + 4, static_cast<std::uint32_t>(request.Height));
    if (!WriteAll(1, size, sizeof size) || !WriteAll(1, rgb.data(), rgb.size())) return 2;
    return 0;
}
