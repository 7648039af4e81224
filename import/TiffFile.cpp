// TIFF through libtiff's RGBA interface: every photometric kind it knows
// (bilevel, grey, palette, RGB, CMYK, YCbCr, LogLuv), strips or tiles, with
// associated or unassociated alpha; the first page only.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "base/Exceptions.h"
#include "import/CodecLibraries.h"
#include "import/ColourProfile.h"
#include "import/ImportSupport.h"
#include "import/ImportedPicture.h"
#include "import/PictureMetadata.h"

namespace tlc {

namespace {

// The file in memory, as libtiff's client procedures see it.
struct Memory {
    const std::uint8_t* data;
    toff_t size;
    toff_t at = 0;
    std::string error; // libtiff's first complaint
};

Memory& Of(thandle_t handle) { return *static_cast<Memory*>(handle); }

tmsize_t Read(thandle_t handle, void* buffer, tmsize_t wanted) {
    Memory& m = Of(handle);
    if (wanted <= 0 || m.at >= m.size) return 0;
    const toff_t n = std::min<toff_t>(static_cast<toff_t>(wanted), m.size - m.at);
    std::memcpy(buffer, m.data + m.at, static_cast<std::size_t>(n));
    m.at += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t Write(thandle_t, void*, tmsize_t) { return 0; }

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
    Memory& m = Of(handle);
    toff_t base = 0;
    if (whence == SEEK_CUR) base = m.at;
    else if (whence == SEEK_END) base = m.size;
    if (offset > ~toff_t{0} - base) return static_cast<toff_t>(-1);
    m.at = base + offset; // past the end reads nothing
    return m.at;
}

int Close(thandle_t) { return 0; }
toff_t Size(thandle_t handle) { return Of(handle).size; }

int Complain(TIFF*, void* user, const char* module, const char* format, va_list args) {
    Memory& m = *static_cast<Memory*>(user);
    if (m.error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        m.error = text;
        (void)module;
    }
    return 1;
}

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffClose {
    void operator()(TIFF* tif) const { Tiff().TIFFClose(tif); }
};

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { Tiff().TIFFOpenOptionsFree(options); }
};

// 8-bit CMYK in strips, with a CMYK profile: its rows straight through the
// profile (libtiff's own RGBA lays the inks on white without one). TIFF
// stores ink amounts plain, 0 = none. Null when the picture is not such.
std::shared_ptr<TBitmapImage> ReadCmykRows(const TiffLibrary& lib, TIFF* tif, const PictureMetadata* metadata,
                                          const import::KeptSize& kept, const std::function<void(const char*)>& damaged) {
    std::uint16_t photometric = 0, samples = 0, bits = 0, planar = 0, inks = 0;
    if (!metadata || metadata->Profile.empty() || lib.TIFFIsTiled(tif) ||
        !lib.TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) || photometric != PHOTOMETRIC_SEPARATED ||
        !lib.TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples) || samples != 4 ||
        !lib.TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits) || bits != 8 ||
        !lib.TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar) || planar != PLANARCONFIG_CONTIG ||
        !lib.TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inks) || inks != INKSET_CMYK)
        return nullptr;
    const import::CmykToSrgb transform(metadata->Profile, false);
    if (!transform.Valid()) return nullptr;
    const tmsize_t rowBytes = lib.TIFFScanlineSize(tif);
    if (rowBytes < static_cast<tmsize_t>(kept.Width) * 4) damaged("the rows are shorter than the picture");
    auto raster = import::NewRaster("TIFF", kept.Width, kept.Height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
    for (std::int32_t y = 0; y < kept.Height; ++y) {
        if (lib.TIFFReadScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0)
            damaged("the picture data cannot be decoded");
        transform.Row(row.data(), raster->Row(y), kept.Width);
    }
    metadata->ProfileApplied = true;
    return raster;
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeTiffFile(std::span<const std::uint8_t> bytes, const ImportHints& hints) {
    const TiffLibrary& lib = Tiff();
    Memory memory{bytes.data(), static_cast<toff_t>(bytes.size()), 0, {}};
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(lib.TIFFOpenOptionsAlloc());
    if (!options) throw EOutOfResources();
    // No single buffer of libtiff's above what a raster may take.
    lib.TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(kMaxRasterBytes));
    lib.TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Complain, &memory);
    lib.TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Quiet, nullptr);
    // "m": no mapping, every byte through Read.
    std::unique_ptr<TIFF, TiffClose> tif(lib.TIFFClientOpenExt("picture", "rm", &memory, Read, Write, Seek, Close,
                                                               Size, nullptr, nullptr, options.get()));
    auto damaged = [&](const char* what) {
        import::Damaged("TIFF", memory.error.empty() ? std::string(what) : memory.error);
    };
    if (!tif) damaged("the file cannot be opened");

    char why[1024] = {};
    if (!lib.TIFFRGBAImageOK(tif.get(), why)) import::Damaged("TIFF", why);
    TIFFRGBAImage image{};
    if (!lib.TIFFRGBAImageBegin(&image, tif.get(), 0, why)) import::Damaged("TIFF", why);
    struct End {
        const TiffLibrary& lib;
        TIFFRGBAImage& image;
        ~End() { lib.TIFFRGBAImageEnd(&image); }
    } end{lib, image};
    // The picture's own buffer and ours, checked before either exists.
    import::CheckBuffer("TIFF", image.width, image.height, 4);
    const import::KeptSize kept = import::KeptPart(image.width, image.height, hints.Crop);
    if (auto cmyk = ReadCmykRows(lib, tif.get(), hints.Metadata, kept, damaged)) return cmyk;
    auto raster = import::NewRaster("TIFF", kept.Width, kept.Height);
    // Rows as stored: the orientation is turned afterwards, for every format alike.
    image.req_orientation = image.orientation;
    std::vector<std::uint32_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(kept.Width) * static_cast<std::size_t>(kept.Height));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    if (!lib.TIFFRGBAImageGet(&image, pixels.data(), static_cast<std::uint32_t>(kept.Width),
                              static_cast<std::uint32_t>(kept.Height)))
        damaged("the picture data cannot be decoded");
    for (std::int32_t y = 0; y < kept.Height; ++y) {
        const std::uint32_t* p = pixels.data() + static_cast<std::size_t>(y) * kept.Width;
        std::uint8_t* out = raster->Row(y);
        for (std::int32_t x = 0; x < kept.Width; ++x, out += 3) {
            const std::uint32_t v = p[x];
            // libtiff hands out colours already multiplied by their cover:
            // over white, what is not covered adds white.
            const unsigned a = TIFFGetA(v), uncovered = 255 - a;
            out[0] = static_cast<std::uint8_t>(std::min(255u, TIFFGetB(v) + uncovered));
            out[1] = static_cast<std::uint8_t>(std::min(255u, TIFFGetG(v) + uncovered));
            out[2] = static_cast<std::uint8_t>(std::min(255u, TIFFGetR(v) + uncovered));
        }
    }
    return raster;
}

} // namespace tlc
