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

#define TLC_FIND(lib, api, name) ok = lib.Find(api.name, #name) && ok

} // namespace

const PngLibrary& Png() {
    static Library lib(TLC_SPNG_SONAME);
    static PngLibrary api;
    static const bool loaded = [] {
        bool ok = true;
        TLC_FIND(lib, api, spng_ctx_new);
        TLC_FIND(lib, api, spng_ctx_free);
        TLC_FIND(lib, api, spng_strerror);
        TLC_FIND(lib, api, spng_set_png_buffer);
        TLC_FIND(lib, api, spng_set_chunk_limits);
        TLC_FIND(lib, api, spng_set_option);
        TLC_FIND(lib, api, spng_get_ihdr);
        TLC_FIND(lib, api, spng_set_ihdr);
        TLC_FIND(lib, api, spng_get_trns);
        TLC_FIND(lib, api, spng_decoded_image_size);
        TLC_FIND(lib, api, spng_decode_image);
        TLC_FIND(lib, api, spng_decode_row);
        TLC_FIND(lib, api, spng_encode_image);
        TLC_FIND(lib, api, spng_get_png_buffer);
        return ok;
    }();
    if (!loaded) lib.Refuse("PNG");
    return api;
}

const JpegLibrary& Jpeg() {
    static Library lib(TLC_TURBOJPEG_SONAME);
    static JpegLibrary api;
    static const bool loaded = [] {
        bool ok = true;
        TLC_FIND(lib, api, tjInitDecompress);
        TLC_FIND(lib, api, tjDestroy);
        TLC_FIND(lib, api, tjGetErrorStr2);
        TLC_FIND(lib, api, tjGetErrorCode);
        TLC_FIND(lib, api, tjGetScalingFactors);
        TLC_FIND(lib, api, tjDecompressHeader3);
        TLC_FIND(lib, api, tjDecompress2);
        return ok;
    }();
    if (!loaded) lib.Refuse("JPEG");
    return api;
}

const GifLibrary& Gif() {
    static Library lib(TLC_GIF_SONAME);
    static GifLibrary api;
    static const bool loaded = [] {
        bool ok = true;
        TLC_FIND(lib, api, DGifOpen);
        TLC_FIND(lib, api, DGifCloseFile);
        TLC_FIND(lib, api, DGifGetRecordType);
        TLC_FIND(lib, api, DGifGetExtension);
        TLC_FIND(lib, api, DGifGetExtensionNext);
        TLC_FIND(lib, api, DGifGetImageDesc);
        TLC_FIND(lib, api, DGifGetLine);
        TLC_FIND(lib, api, GifErrorString);
        return ok;
    }();
    if (!loaded) lib.Refuse("GIF");
    return api;
}

const WebpLibrary& Webp() {
    static Library lib(TLC_WEBP_SONAME);
    static WebpLibrary api;
    static const bool loaded = [] {
        bool ok = true;
        TLC_FIND(lib, api, WebPInitDecoderConfigInternal);
        TLC_FIND(lib, api, WebPGetFeaturesInternal);
        TLC_FIND(lib, api, WebPDecode);
        TLC_FIND(lib, api, WebPFreeDecBuffer);
        return ok;
    }();
    if (!loaded) lib.Refuse("WebP");
    return api;
}

} // namespace tlc
