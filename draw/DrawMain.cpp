// tillora-draw: draws one vector picture (enhanced or Windows metafile, SVG)
// into pixels for the programs, which start it once per drawing with limits
// on its memory and time; see draw/DrawRequest.h for what goes in and out.
// Metafiles are played by our own record players, SVG by librsvg; whatever
// a damaged file does here ends this process, never the caller.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "draw/DrawRequest.h"
#include "draw/EmfPlayer.h"
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

// The programs pass --messages when librsvg's warnings may reach the
// terminal; standard error is theirs to redirect, so nothing here reads it.
int main() {
    using namespace tlc;
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
    } else {
        drawn = gdi::PlayEnhancedMetafile(data, request.Width, request.Height, rgb);
    }
    if (!drawn) return kDrawRefused;
    std::uint8_t size[8];
    StoreLE32(size, static_cast<std::uint32_t>(request.Width));
    StoreLE32(size + 4, static_cast<std::uint32_t>(request.Height));
    if (!WriteAll(1, size, sizeof size) || !WriteAll(1, rgb.data(), rgb.size())) return 2;
    return 0;
}
