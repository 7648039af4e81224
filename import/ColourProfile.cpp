#include "import/ColourProfile.h"

#include <memory>

#include "import/CodecLibraries.h"
#include "import/PictureMetadata.h"

namespace tlc::import {

namespace {

struct ProfileClose {
    void operator()(void* profile) const { Lcms()->cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileClose>;

struct TransformDelete {
    void operator()(void* transform) const { Lcms()->cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDelete>;

// Relative colorimetric with black point compensation, as print shops'
// programs convert by default: paper white stays white, and the darkest ink
// the profile holds maps to black rather than to a grey.
Transform MakeTransform(std::span<const std::uint8_t> bytes, cmsColorSpaceSignature space,
                        cmsUInt32Number inputFormat) {
    const LcmsLibrary* lcms = Lcms();
    if (!lcms || bytes.empty()) return nullptr;
    Profile in(lcms->cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
    if (!in || lcms->cmsGetColorSpace(in.get()) != space) return nullptr;
    Profile srgb(lcms->cmsCreate_sRGBProfile());
    if (!srgb) return nullptr;
    return Transform(lcms->cmsCreateTransform(in.get(), inputFormat, srgb.get(), TYPE_BGR_8,
                                              INTENT_RELATIVE_COLORIMETRIC,
                                              cmsFLAGS_BLACKPOINTCOMPENSATION));
}

} // namespace

bool ConvertToSrgb(TBitmapImage& raster, std::span<const std::uint8_t> profile) {
    const std::int32_t w = raster.Width(), h = raster.AbsHeight();
    if (Transform rgb = MakeTransform(profile, cmsSigRgbData, TYPE_BGR_8)) {
        for (std::int32_t y = 0; y < h; ++y)
            Lcms()->cmsDoTransform(rgb.get(), raster.Row(y), raster.Row(y), static_cast<cmsUInt32Number>(w));
        return true;
    }
    if (Transform grey = MakeTransform(profile, cmsSigGrayData, TYPE_GRAY_8)) {
        // 256 greys are all there are: a table, applied to the green channel
        // (the three are equal in a grey picture).
        std::uint8_t levels[256], table[256 * 3];
        for (int i = 0; i < 256; ++i) levels[i] = static_cast<std::uint8_t>(i);
        Lcms()->cmsDoTransform(grey.get(), levels, table, 256);
        for (std::int32_t y = 0; y < h; ++y) {
            std::uint8_t* p = raster.Row(y);
            for (std::int32_t x = 0; x < w; ++x, p += 3) {
                const std::uint8_t* c = table + std::size_t{p[1]} * 3;
                p[0] = c[0], p[1] = c[1], p[2] = c[2];
            }
        }
        return true;
    }
    return false;
}

CmykToSrgb::CmykToSrgb(std::span<const std::uint8_t> profile, bool inverted) {
    transform_ = MakeTransform(profile, cmsSigCmykData, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8).release();
}

CmykToSrgb::~CmykToSrgb() {
    if (transform_) Lcms()->cmsDeleteTransform(transform_);
}

void CmykToSrgb::Row(const std::uint8_t* cmyk, std::uint8_t* bgr, std::int32_t pixels) const {
    Lcms()->cmsDoTransform(transform_, cmyk, bgr, static_cast<cmsUInt32Number>(pixels));
}

void ApplyCmyk(const std::uint8_t* cmyk, std::int32_t stride, TBitmapImage& raster, const PictureMetadata* metadata) {
    // Without the marker, a file is taken to hold plain ink amounts.
    const bool inverted = !metadata || metadata->AdobeMarker;
    const std::int32_t w = raster.Width(), h = raster.AbsHeight();
    const std::size_t rowBytes = static_cast<std::size_t>(stride) * 4;
    if (metadata && !metadata->Profile.empty()) {
        const CmykToSrgb transform(metadata->Profile, inverted);
        if (transform.Valid()) {
            for (std::int32_t y = 0; y < h; ++y) transform.Row(cmyk + y * rowBytes, raster.Row(y), w);
            metadata->ProfileApplied = true;
            return;
        }
    }
    const unsigned flip = inverted ? 0 : 255;
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* p = cmyk + y * rowBytes;
        std::uint8_t* out = raster.Row(y);
        for (std::int32_t x = 0; x < w; ++x, p += 4, out += 3) {
            // Each ink lets through what it leaves uncovered: 255 = none.
            const unsigned c = p[0] ^ flip, m = p[1] ^ flip, yl = p[2] ^ flip, k = p[3] ^ flip;
            out[0] = static_cast<std::uint8_t>((yl * k + 127) / 255);
            out[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
            out[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
        }
    }
}

} // namespace tlc::import
