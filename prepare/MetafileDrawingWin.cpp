// Windows draws metafiles with its own player: GDI plays the records into a
// device-independent bitmap, as every Windows program that shows one does.
// A Windows metafile is first turned into an enhanced one by GDI, sized by
// its placeable header's extent.
#include "prepare/MetafileDrawing.h"

#include <cstring>

#include "base/Exceptions.h"
#include "image/RasterFormat.h"
// After the project's headers: windows.h defines RGB and BI_RGB as macros.
#include <windows.h>

namespace tlc {

namespace {

struct EnhancedMetafile {
    HENHMETAFILE handle = nullptr;
    ~EnhancedMetafile() {
        if (handle) ::DeleteEnhMetaFile(handle);
    }
};

struct MemoryDc {
    HDC handle = ::CreateCompatibleDC(nullptr);
    HGDIOBJ previous = nullptr;
    ~MemoryDc() {
        if (previous) ::SelectObject(handle, previous);
        if (handle) ::DeleteDC(handle);
    }
};

struct Bitmap {
    HBITMAP handle = nullptr;
    ~Bitmap() {
        if (handle) ::DeleteObject(handle);
    }
};

[[noreturn]] void CannotDraw() {
    throw EInvalidGraphic("The metafile cannot be drawn");
}

// A drawing may take this long; a file whose records would take longer is
// refused (checked between records).
constexpr ULONGLONG kDrawingMilliseconds = 5000;

struct Playing {
    ULONGLONG deadline;
    bool late = false;
};

int CALLBACK PlayRecord(HDC dc, HANDLETABLE* handles, const ENHMETARECORD* record, int count,
                        LPARAM data) {
    auto* playing = reinterpret_cast<Playing*>(data);
    if (::GetTickCount64() > playing->deadline) {
        playing->late = true;
        return 0; // stops the enumeration
    }
    // GDI plays every record it can; one it refuses leaves the rest drawn,
    // as Windows' own viewers show such files.
    ::PlayEnhMetaFileRecord(dc, handles, record, static_cast<UINT>(count));
    return 1;
}

} // namespace

std::shared_ptr<TBitmapImage> DrawMetafile(const TMetafileImage& image, std::int32_t width,
                                           std::int32_t height) {
    if (width <= 0 || height <= 0 || image.Data.empty()) CannotDraw();
    // The raster first: its size is checked against the cap before GDI
    // allocates the same again.
    TRasterFormat format;
    format.Width = width;
    format.Height = -height; // top row first, as the bitmap below
    format.BitCount = 24;
    std::shared_ptr<TBitmapImage> raster = TBitmapImage::Create(format);

    EnhancedMetafile metafile;
    const auto size = static_cast<UINT>(image.Data.size());
    if (image.Enhanced) {
        metafile.handle = ::SetEnhMetaFileBits(size, image.Data.data());
    } else {
        METAFILEPICT picture{};
        picture.mm = MM_ANISOTROPIC;
        picture.xExt = image.MMWidth;
        picture.yExt = image.MMHeight;
        metafile.handle = ::SetWinMetaFileBits(size, image.Data.data(), nullptr, &picture);
    }
    if (!metafile.handle) CannotDraw();

    MemoryDc dc;
    if (!dc.handle) throw EOutOfResources();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap bitmap;
    bitmap.handle = ::CreateDIBSection(dc.handle, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap.handle || !bits) throw EOutOfResources();
    dc.previous = ::SelectObject(dc.handle, bitmap.handle);
    ::PatBlt(dc.handle, 0, 0, width, height, WHITENESS);
    const RECT frame{0, 0, width, height};
    Playing playing{::GetTickCount64() + kDrawingMilliseconds};
    ::EnumEnhMetaFile(dc.handle, metafile.handle, PlayRecord, &playing, &frame);
    ::GdiFlush();
    if (playing.late) throw EInvalidGraphic("The metafile takes too long to draw");

    // Both are 24-bit, blue first, rows padded to four bytes, top row first.
    const std::size_t stride = RowStride(width, 24);
    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(raster->Row(y),
                    static_cast<const std::uint8_t*>(bits) + stride * static_cast<std::size_t>(y),
                    static_cast<std::size_t>(width) * 3);
    return raster;
}

} // namespace tlc
