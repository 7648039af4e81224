#include "import/CodecLibraries.h"

#include <dlfcn.h>

#include <string>

#include "base/Exceptions.h"

namespace tlc {

namespace {

// A library opened once for the life of the process (threads of a batch may
// ask at once: the statics below are made once), or why it could not be.
class Library {
public:
    explicit Library(const char* soname) : soname_(soname) {
        handle_ = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char* why = ::dlerror();
            error_ = why ? why : "not found";
        }
    }

    // Fills `f` from the symbol of its name; false when the library lacks it.
    template <typename F>
    bool Find(F& f, const char* name) {
        if (!handle_) return false;
        f = reinterpret_cast<F>(::dlsym(handle_, name));
        if (!f) error_ = std::string(name) + " missing";
        return f != nullptr;
    }

    [[noreturn]] void Refuse(const char* format) const {
        throw EInvalidGraphic(std::string(format) + " pictures need the library " + soname_ +
                              ", which cannot be loaded (" + error_ + ")");
    }

private:
    const char* soname_;
    void* handle_ = nullptr;
    std::string error_;
};

// Each library's functions, made once per library.
template <typename Api>
const Api& Opened(const char* soname, const char* format, bool (*fill)(Library&, Api&)) {
    static Library lib(soname);
    static Api api;
    static const bool loaded = fill(lib, api);
    if (!loaded) lib.Refuse(format);
    return api;
}

#define TLC_FIND(name) ok = lib.Find(api.name, #name) && ok;
#define TLC_FILL(Api, FUNCTIONS)                                                                  \
    [](Library& lib, Api& api) {                                                                  \
        bool ok = true;                                                                           \
        FUNCTIONS(TLC_FIND)                                                                       \
        return ok;                                                                                \
    }

} // namespace

const PngLibrary& Png() {
    return Opened<PngLibrary>(TLC_SPNG_SONAME, "PNG", TLC_FILL(PngLibrary, TLC_PNG_FUNCTIONS));
}

const JpegLibrary& Jpeg() {
    return Opened<JpegLibrary>(TLC_TURBOJPEG_SONAME, "JPEG", TLC_FILL(JpegLibrary, TLC_JPEG_FUNCTIONS));
}

const LibjpegLibrary* Libjpeg() noexcept {
    try {
        return &Opened<LibjpegLibrary>(TLC_LIBJPEG_SONAME, "JPEG", TLC_FILL(LibjpegLibrary, TLC_LIBJPEG_FUNCTIONS));
    } catch (const EInvalidGraphic&) {
        return nullptr;
    }
}

const GifLibrary& Gif() {
    return Opened<GifLibrary>(TLC_GIF_SONAME, "GIF", TLC_FILL(GifLibrary, TLC_GIF_FUNCTIONS));
}

const WebpLibrary& Webp() {
    return Opened<WebpLibrary>(TLC_WEBP_SONAME, "WebP", TLC_FILL(WebpLibrary, TLC_WEBP_FUNCTIONS));
}

const WebpAnimationLibrary& WebpAnimation() {
    return Opened<WebpAnimationLibrary>(TLC_WEBPDEMUX_SONAME, "Animated WebP",
                                        TLC_FILL(WebpAnimationLibrary, TLC_WEBP_ANIMATION_FUNCTIONS));
}

const LcmsLibrary* Lcms() noexcept {
    try {
        static const LcmsLibrary& lcms = [] () -> const LcmsLibrary& {
            const LcmsLibrary& api = Opened<LcmsLibrary>(TLC_LCMS_SONAME, "colour-managed",
                                                         TLC_FILL(LcmsLibrary, TLC_LCMS_FUNCTIONS));
            // A profile it cannot read is reported by the caller, not printed.
            api.cmsSetLogErrorHandler([](cmsContext, cmsUInt32Number, const char*) {});
            return api;
        }();
        return &lcms;
    } catch (const EInvalidGraphic&) {
        return nullptr;
    }
}

const TiffLibrary& Tiff() {
    return Opened<TiffLibrary>(TLC_TIFF_SONAME, "TIFF", TLC_FILL(TiffLibrary, TLC_TIFF_FUNCTIONS));
}

} // namespace tlc
