// The row loops of true colour, built once per instruction set where the
// processor can be asked cheaply.
#include "image/RowLoops.h"

// Row loops of true colour, each dot's three bytes side by side: without
// byte shuffles (SSSE3) the vectoriser leaves them dot by dot, so they are
// built for that too, and for AVX2. The choice is made from what the C
// library already learnt of the processor: asking the processor again at
// start-up costs a tenth of a millisecond in a virtual machine, a good part
// of converting one picture.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && \
    __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#define TLC_ROW_VARIANTS 1
#define TLC_ROW_LOOP inline __attribute__((always_inline))
#else
#define TLC_ROW_LOOP inline
#endif

namespace tlc {

namespace {

template <int kStep>
TLC_ROW_LOOP void DarkDotsLoop(const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n,
                               std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    for (std::int32_t i = 0; i < n; ++i)
        o[i] = static_cast<std::uint8_t>((p[kStep * i] <= blue) | (p[kStep * i + 1] <= green) |
                                         (p[kStep * i + 2] <= red));
}

TLC_ROW_LOOP void NonBlack24Loop(const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) o[i] = (p[3 * i] | p[3 * i + 1] | p[3 * i + 2]) != 0 ? 1 : 0;
}

// Every dot is written, the flag choosing between its own value and v: no
// branch to mispredict on a picture of noise.
TLC_ROW_LOOP void StoreGrey24Loop(std::uint8_t* __restrict p, const std::uint8_t* __restrict f, std::int32_t n,
                                  std::uint8_t v) {
    for (std::int32_t i = 0; i < n; ++i) {
        const auto m = static_cast<std::uint8_t>(-(f[i] != 0));
        p[3 * i] = static_cast<std::uint8_t>((p[3 * i] & ~m) | (v & m));
        p[3 * i + 1] = static_cast<std::uint8_t>((p[3 * i + 1] & ~m) | (v & m));
        p[3 * i + 2] = static_cast<std::uint8_t>((p[3 * i + 2] & ~m) | (v & m));
    }
}

#ifdef TLC_ROW_VARIANTS
enum class RowIsa { Plain, Ssse3, Avx2 };

RowIsa BestRowIsa() {
    static const RowIsa isa = CPU_FEATURE_ACTIVE(AVX2)    ? RowIsa::Avx2
                              : CPU_FEATURE_ACTIVE(SSSE3) ? RowIsa::Ssse3
                                                          : RowIsa::Plain;
    return isa;
}

#define TLC_ROW_KERNEL(name, loop, params, args)                                                 \
    __attribute__((target("avx2"), noinline)) static void name##Avx2 params { loop args; }        \
    __attribute__((target("ssse3"), noinline)) static void name##Ssse3 params { loop args; }      \
    __attribute__((noinline)) static void name##Plain params { loop args; }                        \
    void name params {                                                                             \
        switch (BestRowIsa()) {                                                                    \
        case RowIsa::Avx2: return name##Avx2 args;                                                 \
        case RowIsa::Ssse3: return name##Ssse3 args;                                               \
        case RowIsa::Plain: break;                                                                 \
        }                                                                                          \
        name##Plain args;                                                                          \
    }
#else
#define TLC_ROW_KERNEL(name, loop, params, args) \
    void name params { loop args; }
#endif

} // namespace

TLC_ROW_KERNEL(DarkDots3, DarkDotsLoop<3>,
               (const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n, std::uint8_t b,
                std::uint8_t g, std::uint8_t r),
               (p, o, n, b, g, r))
TLC_ROW_KERNEL(DarkDots4, DarkDotsLoop<4>,
               (const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n, std::uint8_t b,
                std::uint8_t g, std::uint8_t r),
               (p, o, n, b, g, r))
TLC_ROW_KERNEL(NonBlack24, NonBlack24Loop,
               (const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n), (p, o, n))
TLC_ROW_KERNEL(StoreGrey24, StoreGrey24Loop,
               (std::uint8_t* __restrict p, const std::uint8_t* __restrict f, std::int32_t n, std::uint8_t v),
               (p, f, n, v))

} // namespace tlc
