// The Windows build reads PNG, JPEG, GIF, TIFF and WebP through the Windows
// Imaging Component: the codecs Windows itself opens pictures with (WebP only
// where its codec is installed). The rules are the Linux readers': the first
// picture of the file, its EXIF orientation applied, transparency composed
// over white, the size checked before any pixel buffer exists, and only the
// kept top-left part copied out.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "import/ImportSupport.h"
#include "import/ImportedPicture.h"
#include "import/WicSession.h"

namespace tlc {

namespace {

using import::ComPtr;

std::uint32_t Big16(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 8 | p[1];
}
std::uint32_t Big32(const std::uint8_t* p) {
    return Big16(p) << 16 | Big16(p + 2);
}
std::uint32_t Little24(const std::uint8_t* p) {
    return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}

// The size the file's header announces, checked before a codec sees the
// file: Windows' codecs allocate for the whole picture when they open it.
void CheckAnnouncedSize(ImportFormat format, std::span<const std::uint8_t> b) {
    const char* name = ImportFormatName(format);
    const std::size_t n = b.size();
    switch (format) {
    case ImportFormat::Png:
        if (n >= 24) import::CheckBuffer(name, Big32(&b[16]), Big32(&b[20]), 4);
        break;
    case ImportFormat::Gif:
        // A zero screen size means "as large as the frame", checked below.
        if (n >= 10 && b[6] + b[7] > 0 && b[8] + b[9] > 0)
            import::CheckBuffer(name, b[6] | b[7] << 8, b[8] | b[9] << 8, 4);
        break;
    case ImportFormat::Jpeg:
        // The first frame header (SOFn) among the markers.
        for (std::size_t i = 2; i + 4 <= n;) {
            if (b[i] != 0xFF || b[i + 1] == 0xFF) {
                ++i;
                continue;
            }
            const std::uint8_t marker = b[i + 1];
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
                i += 2;
                continue;
            }
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                marker != 0xCC) {
                if (i + 9 <= n) import::CheckBuffer(name, Big16(&b[i + 7]), Big16(&b[i + 5]), 4);
                break;
            }
            i += 2 + Big16(&b[i + 2]);
        }
        break;
    case ImportFormat::Webp:
        // The extended header's canvas, or the lossless or lossy frame's own size.
        if (n >= 30 && std::memcmp(&b[12], "VP8X", 4) == 0)
            import::CheckBuffer(name, std::int64_t{Little24(&b[24])} + 1,
                                std::int64_t{Little24(&b[27])} + 1, 4);
        else if (n >= 25 && std::memcmp(&b[12], "VP8L", 4) == 0 && b[20] == 0x2F) {
            const std::uint32_t bits = b[21] | std::uint32_t{b[22]} << 8 |
                                       std::uint32_t{b[23]} << 16 | std::uint32_t{b[24]} << 24;
            import::CheckBuffer(name, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1, 4);
        } else if (n >= 30 && std::memcmp(&b[12], "VP8 ", 4) == 0)
            import::CheckBuffer(name, (b[26] | b[27] << 8) & 0x3FFF, (b[28] | b[29] << 8) & 0x3FFF,
                                4);
        break;
    default:
        break; // TIFF: the frame's size, before any pixel is copied
    }
}

GUID Container(ImportFormat format) {
    switch (format) {
    case ImportFormat::Png:
        return GUID_ContainerFormatPng;
    case ImportFormat::Jpeg:
        return GUID_ContainerFormatJpeg;
    case ImportFormat::Gif:
        return GUID_ContainerFormatGif;
    case ImportFormat::Tiff:
        return GUID_ContainerFormatTiff;
    case ImportFormat::Webp:
        return GUID_ContainerFormatWebp;
    case ImportFormat::None:
        break;
    }
    return GUID_NULL;
}

// An unsigned number from a metadata path, or `otherwise` where there is none.
std::uint32_t MetadataNumber(IWICMetadataQueryReader* reader, const wchar_t* path,
                             std::uint32_t otherwise) {
    if (!reader) return otherwise;
    PROPVARIANT value;
    PropVariantInit(&value);
    std::uint32_t result = otherwise;
    if (SUCCEEDED(reader->GetMetadataByName(path, &value))) {
        if (value.vt == VT_UI2)
            result = value.uiVal;
        else if (value.vt == VT_UI1)
            result = value.bVal;
        else if (value.vt == VT_UI4)
            result = value.ulVal;
    }
    PropVariantClear(&value);
    return result;
}

// Where EXIF orientation 1 to 8 shows the stored pixel (x, y) of a w x h
// picture.
struct Shown {
    std::int64_t X, Y;
};
Shown Orient(std::uint32_t orientation, std::int64_t x, std::int64_t y, std::int64_t w,
             std::int64_t h) {
    switch (orientation) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {h - 1 - y, x};
    case 7:
        return {h - 1 - y, w - 1 - x};
    case 8:
        return {y, w - 1 - x};
    default:
        return {x, y};
    }
}

class WicReader {
public:
    WicReader(ImportFormat format, std::span<const std::uint8_t> bytes)
        : format_(format), name_(ImportFormatName(format)) {
        CheckAnnouncedSize(format, bytes);
        IWICImagingFactory* factory = session_.Factory();
        const HRESULT created = factory->CreateDecoder(Container(format), nullptr, decoder_.Out());
        if (created == WINCODEC_ERR_COMPONENTNOTFOUND)
            throw EInvalidGraphic(
                std::string(name_) +
                " pictures are not read on this Windows: it has no codec for them installed");
        Check(created);
        Check(factory->CreateStream(stream_.Out()));
        Check(stream_->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                            static_cast<DWORD>(bytes.size())));
        Check(decoder_->Initialize(stream_.Get(), WICDecodeMetadataCacheOnDemand));
        Check(decoder_->GetFrame(0, frame_.Out()));
    }

    std::shared_ptr<TBitmapImage> Read(const ImportHints& hints) {
        ComPtr<IWICMetadataQueryReader> frameMetadata;
        if (FAILED(frame_->GetMetadataQueryReader(frameMetadata.Out()))) frameMetadata.Reset();

        UINT width = 0, height = 0;
        Check(frame_->GetSize(&width, &height));
        import::CheckBuffer(name_, width, height, 4);
        ComPtr<IWICFormatConverter> converter;
        Check(session_.Factory()->CreateFormatConverter(converter.Out()));
        Check(converter->Initialize(frame_.Get(), GUID_WICPixelFormat32bppBGRA,
                                    WICBitmapDitherTypeNone, nullptr, 0,
                                    WICBitmapPaletteTypeCustom));
        IWICBitmapSource* source = converter.Get();

        // A GIF's frame sits on its logical screen; the rest is paper.
        std::int64_t canvasWidth = width, canvasHeight = height, left = 0, top = 0;
        if (format_ == ImportFormat::Gif) {
            ComPtr<IWICMetadataQueryReader> screen;
            if (FAILED(decoder_->GetMetadataQueryReader(screen.Out()))) screen.Reset();
            left = MetadataNumber(frameMetadata.Get(), L"/imgdesc/Left", 0);
            top = MetadataNumber(frameMetadata.Get(), L"/imgdesc/Top", 0);
            canvasWidth = MetadataNumber(screen.Get(), L"/logscrdesc/Width", 0);
            canvasHeight = MetadataNumber(screen.Get(), L"/logscrdesc/Height", 0);
            if (canvasWidth <= 0 || canvasHeight <= 0) {
                canvasWidth = left + width;
                canvasHeight = top + height;
            }
        }

        std::uint32_t orientation = 1;
        if (format_ == ImportFormat::Jpeg || format_ == ImportFormat::Tiff) {
            orientation = MetadataNumber(frameMetadata.Get(),
                                         format_ == ImportFormat::Jpeg ? L"/app1/ifd/{ushort=274}"
                                                                       : L"/ifd/{ushort=274}",
                                         1);
            if (orientation < 1 || orientation > 8) orientation = 1;
            if (orientation >= 5) std::swap(canvasWidth, canvasHeight);
        }

        import::CheckBuffer(name_, canvasWidth, canvasHeight, 3);
        const import::KeptSize kept = import::KeptPart(canvasWidth, canvasHeight, hints.Crop);
        auto raster = import::NewRaster(name_, kept.Width, kept.Height);
        std::fill(raster->Pixels().begin(), raster->Pixels().end(), 0xFF);

        std::vector<std::uint8_t> row;
        auto rowOf = [&](std::size_t columns) {
            try {
                row.resize(columns * 4);
            } catch (const std::bad_alloc&) {
                throw EOutOfResources();
            }
        };
        auto put = [&](std::uint8_t* out, const std::uint8_t* bgra) {
            const unsigned a = bgra[3];
            out[0] = import::OverWhite(bgra[0], a);
            out[1] = import::OverWhite(bgra[1], a);
            out[2] = import::OverWhite(bgra[2], a);
        };

        if (orientation != 1) {
            // Each stored row whole, each pixel to where it shows, if kept.
            rowOf(width);
            for (UINT y = 0; y < height; ++y) {
                const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(width), 1};
                Check(source->CopyPixels(&rect, width * 4, static_cast<UINT>(row.size()),
                                         row.data()));
                for (UINT x = 0; x < width; ++x) {
                    const Shown at = Orient(orientation, x, y, width, height);
                    if (at.X < kept.Width && at.Y < kept.Height)
                        put(raster->Row(static_cast<std::int32_t>(at.Y)) + at.X * 3,
                            row.data() + std::size_t{x} * 4);
                }
            }
            return raster;
        }

        // The frame's part of the kept rectangle, one row at a time.
        const std::int64_t x0 = std::max<std::int64_t>(left, 0),
                           y0 = std::max<std::int64_t>(top, 0);
        const std::int64_t x1 = std::min<std::int64_t>(left + width, kept.Width);
        const std::int64_t y1 = std::min<std::int64_t>(top + height, kept.Height);
        if (x1 <= x0 || y1 <= y0) return raster;
        const UINT columns = static_cast<UINT>(x1 - x0);
        rowOf(columns);
        for (std::int64_t y = y0; y < y1; ++y) {
            const WICRect rect{static_cast<INT>(x0 - left), static_cast<INT>(y - top),
                               static_cast<INT>(columns), 1};
            Check(
                source->CopyPixels(&rect, columns * 4, static_cast<UINT>(row.size()), row.data()));
            std::uint8_t* out = raster->Row(static_cast<std::int32_t>(y)) + x0 * 3;
            for (UINT x = 0; x < columns; ++x)
                put(out + std::size_t{x} * 3, row.data() + std::size_t{x} * 4);
        }
        return raster;
    }

private:
    void Check(HRESULT result) const {
        if (FAILED(result)) {
            if (result == E_OUTOFMEMORY) throw EOutOfResources();
            import::Damaged(name_, "Windows cannot decode it, " + import::DescribeResult(result));
        }
    }

    ImportFormat format_;
    const char* name_;
    import::WicSession session_;
    ComPtr<IWICStream> stream_;
    ComPtr<IWICBitmapDecoder> decoder_;
    ComPtr<IWICBitmapFrameDecode> frame_;
};

std::shared_ptr<TBitmapImage> Decode(ImportFormat format, std::span<const std::uint8_t> bytes,
                                     const ImportHints& hints) {
    return WicReader(format, bytes).Read(hints);
}

} // namespace

std::shared_ptr<TBitmapImage> DecodePngFile(std::span<const std::uint8_t> bytes,
                                            const ImportHints& hints) {
    return Decode(ImportFormat::Png, bytes, hints);
}

std::shared_ptr<TBitmapImage> DecodeJpegFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints) {
    return Decode(ImportFormat::Jpeg, bytes, hints);
}

std::shared_ptr<TBitmapImage> DecodeGifFile(std::span<const std::uint8_t> bytes,
                                            const ImportHints& hints) {
    return Decode(ImportFormat::Gif, bytes, hints);
}

std::shared_ptr<TBitmapImage> DecodeTiffFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints) {
    return Decode(ImportFormat::Tiff, bytes, hints);
}

std::shared_ptr<TBitmapImage> DecodeWebpFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints) {
    return Decode(ImportFormat::Webp, bytes, hints);
}

} // namespace tlc
