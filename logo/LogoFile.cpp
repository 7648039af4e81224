#include "logo/LogoFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "base/Exceptions.h"
#include "logo/PrinterModels.h"

namespace tlc {

namespace {

const TPrinterModels& Models() {
    static const TPrinterModels models = BuildPrinterModels();
    return models;
}

void CheckFits(int modelIndex, const LogoGeometry& g) {
    const PrinterLimits limits = LimitsOf(Models(), modelIndex);
    const std::int64_t area = std::int64_t{g.Width} * g.Height;
    if (g.Width < 0 || g.Height < 0 || g.Width > limits.MaxWidth || g.Height > limits.MaxHeight ||
        area > limits.MaxArea) {
        // The length word and the one-byte header fields only hold sizes within
        // the printer's limits; a conversion never exceeds them.
        throw EInvalidOperation("The logo size " + std::to_string(g.Width) + " x " +
                                std::to_string(g.Height) + " does not fit the printer " +
                                Models()[static_cast<std::size_t>(modelIndex)].Name);
    }
}

// One dot: the canvas is asked for anew each time, and only an exact 0 is black.
inline unsigned Dot(TImage& target, std::int32_t x, std::int32_t y) {
    return target.EnsureCanvas().ReadPixel(x, y) == clBlack ? 1u : 0u;
}

// Bits per pixel of the target's raster when EnsureCanvas will hand back an
// existing canvas and ReadPixel will change nothing; 0 otherwise.
inline int SettledBitCount(TImage& target) {
    TGraphic* graphic = target.Picture().Graphic();
    if (!graphic || graphic->Kind() != GraphicKind::Bitmap) return 0;
    auto* bitmap = static_cast<TBitmap*>(graphic);
    if (!bitmap->HasCanvas() || !bitmap->Canvas().HasContext()) return 0;
    return bitmap->Image().BitCount();
}

[[noreturn]] void ThrowTargetChanged() {
    throw EInvalidOperation("The target image changed while its logo was being read");
}

// The same dot, once the first byte has set up the canvas, for a raster of
// kBits bits per pixel. The check repeats what EnsureCanvas and ReadPixel
// look at, so the compiler drops the branches that would create a bitmap, a
// canvas or a drawing context, and the other formats' cases, and sees that
// nothing in the dot loop can change the picture, canvas or raster: a dot
// then costs a bounds check and a load. Reading changes none of them, so the
// throw is never reached.
// kBits 0 is the plain path, for any other raster.
template <int kBits> inline unsigned SettledDot(TImage& target, std::int32_t x, std::int32_t y) {
    if constexpr (kBits != 0) {
        if (SettledBitCount(target) != kBits) [[unlikely]]
            ThrowTargetChanged();
    }
    return Dot(target, x, y);
}

// Bytes are gathered in a local buffer first: a store into the output could,
// for all the compiler knows, change the image.
constexpr std::int32_t kChunk = 128;

// Lines are columns (models 0 to 2: bands of 8 dots top to bottom) or rows
// (model 3: bands of 8 dots left to right). Fills bytes from line `line`,
// band `band` on.
template <bool kRows, int kBits>
void EncodeSettled(std::uint8_t* out, TImage& target, std::int32_t line, std::int32_t band,
                   std::int32_t lines, std::int32_t bands) {
    std::uint8_t chunk[kChunk];
    for (; line < lines; ++line, band = 0) {
        std::uint8_t* lineOut =
            out + static_cast<std::size_t>(line) * static_cast<std::size_t>(bands);
        for (std::int32_t first = band; first < bands; first += kChunk) {
            // Also before the loop, so that the fields are known on entry.
            if constexpr (kBits != 0) {
                if (SettledBitCount(target) != kBits) [[unlikely]]
                    ThrowTargetChanged();
            }
            const std::int32_t count = std::min(kChunk, bands - first);
            for (std::int32_t j = 0; j < count; ++j) {
                const std::int32_t start = 8 * (first + j);
                unsigned byte = 0;
                for (std::int32_t i = 0; i < 8; ++i) { // dot i goes to bit 7 - i
                    const unsigned dot = kRows ? SettledDot<kBits>(target, start + i, line)
                                               : SettledDot<kBits>(target, line, start + i);
                    byte = (byte << 1) | dot;
                }
                chunk[j] = static_cast<std::uint8_t>(byte);
            }
            std::memcpy(lineOut + first, chunk, static_cast<std::size_t>(count));
        }
    }
}

// The pixel path (canvas, raster, format) is inlined whole into the loops.
#if defined(__GNUC__)
#define TLC_FLATTEN __attribute__((flatten))
#else
#define TLC_FLATTEN
#endif

template <bool kRows>
TLC_FLATTEN void EncodeLines(std::uint8_t* out, TImage& target, std::int32_t lines,
                             std::int32_t bands) {
    if (lines <= 0 || bands <= 0) return;
    // The first byte goes the plain way: its first dot may turn an empty
    // picture into a bitmap, create the canvas, or be refused.
    unsigned first = 0;
    for (std::int32_t i = 0; i < 8; ++i)
        first = (first << 1) | (kRows ? Dot(target, i, 0) : Dot(target, 0, i));
    out[0] = static_cast<std::uint8_t>(first);

    const std::int32_t line = bands > 1 ? 0 : 1;
    const std::int32_t band = bands > 1 ? 1 : 0;
    switch (SettledBitCount(target)) {
    case 1:
        return EncodeSettled<kRows, 1>(out, target, line, band, lines, bands);
    case 4:
        return EncodeSettled<kRows, 4>(out, target, line, band, lines, bands);
    case 8:
        return EncodeSettled<kRows, 8>(out, target, line, band, lines, bands);
    case 16:
        return EncodeSettled<kRows, 16>(out, target, line, band, lines, bands);
    case 24:
        return EncodeSettled<kRows, 24>(out, target, line, band, lines, bands);
    case 32:
        return EncodeSettled<kRows, 32>(out, target, line, band, lines, bands);
    default:
        return EncodeSettled<kRows, 0>(out, target, line, band, lines, bands);
    }
}

} // namespace

std::size_t LogoHeaderLength(int modelIndex) {
    static constexpr std::size_t kLengths[kPrinterModelCount] = {7, 4, 8, 8};
    if (!IsValidPrinterIndex(modelIndex))
        throw EInvalidOperation("No printer model " + std::to_string(modelIndex));
    return kLengths[modelIndex];
}

std::vector<std::uint8_t> EncodeLogo(int modelIndex, const LogoGeometry& geometry, TImage& target) {
    const std::size_t k = LogoHeaderLength(modelIndex);
    CheckFits(modelIndex, geometry);

    const std::int32_t w = geometry.Width;
    const std::int32_t h = geometry.Height;
    const std::int32_t dotBytes = w * h / 8;
    const auto length = static_cast<std::uint16_t>(dotBytes + static_cast<std::int32_t>(k));
    const std::int32_t x = w / 8;
    const std::int32_t y = h / 8;
    const auto lo = [](std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
    const auto hi = [](std::int32_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); };

    // The loops take their bounds from the geometry with truncating division,
    // so sizes that are not multiples of 8 still read only whole bands.
    const bool rowOrder = modelIndex == 3;
    const std::int32_t lines = rowOrder ? h : w;
    const std::int32_t bands = rowOrder ? w / 8 : h / 8;
    const std::size_t dotCount = static_cast<std::size_t>(lines) * static_cast<std::size_t>(bands);

    std::vector<std::uint8_t> out;
    out.reserve(2 + k + dotCount);
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    switch (modelIndex) {
    case 0: // FS q 1 xL xH yL yH
        out.insert(out.end(), {0x1C, 0x71, 0x01, lo(x), hi(x), lo(y), hi(y)});
        break;
    case 1: // GS * x y
        out.insert(out.end(), {0x1D, 0x2A, lo(x), lo(y)});
        break;
    case 2: // ESC FS q 1 xL xH yL yH
        out.insert(out.end(), {0x1B, 0x1C, 0x71, 0x01, lo(x), hi(x), lo(y), hi(y)});
        break;
    default: // ESC # 1 GS * 1 x y
        out.insert(out.end(), {0x1B, 0x23, 0x01, 0x1D, 0x2A, 0x01, lo(x), lo(y)});
        break;
    }

    const std::size_t headerEnd = out.size();
    out.resize(headerEnd + dotCount);
    if (rowOrder)
        EncodeLines<true>(out.data() + headerEnd, target, lines, bands);
    else
        EncodeLines<false>(out.data() + headerEnd, target, lines, bands);
    return out;
}

// ---------------------------------------------------------------------------
// The default file operations.

bool LogoFileOps::ProbeTarget(const std::string& path, bool& exists) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        exists = false;
        // Absent is fine: creating the temporary file then tells whether the
        // folder exists and may be written.
        return errno == ENOENT;
    }
    exists = true;
    // Only a regular file may be replaced; never a folder or a device.
    if (!S_ISREG(st.st_mode)) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

int LogoFileOps::CreateNew(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
}

bool LogoFileOps::WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void LogoFileOps::MatchAttributes(int fd, const std::string& existingPath) {
    struct stat st {};
    if (::stat(existingPath.c_str(), &st) != 0) return;
    // Best effort: some file systems (FAT on a memory stick) keep neither, and
    // the logo is still worth saving there.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not the owner: keep ours, but still the old permission bits.
    }
    if (::fchmod(fd, st.st_mode & 07777) != 0) {
        // Permission bits cannot be set here; the file keeps the default ones.
    }
}

bool LogoFileOps::Sync(int fd) {
    while (::fsync(fd) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool LogoFileOps::Close(int fd) {
    return ::close(fd) == 0;
}

bool LogoFileOps::Rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    // Make the new name itself durable; harmless where folders cannot be synced.
    const std::string folder = std::filesystem::path(to).parent_path().string();
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool LogoFileOps::Remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

LogoFileOps& DefaultLogoFileOps() {
    static LogoFileOps ops;
    return ops;
}

std::string UnableToCreateMessage(const std::string& path) {
    return "Unable to create the file " + path;
}

namespace {

// A symbolic link is saved through, as opening it for writing would; the
// link itself stays.
std::string ResolveTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : real.string();
}

// Owns the temporary file until it has been moved over the target.
class TempFile {
public:
    TempFile(LogoFileOps& ops, const std::string& target) : ops_(ops) {
        const std::string stem = target + ".tlc" + std::to_string(::getpid()) + "-";
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            path_ = stem + std::to_string(attempt) + ".tmp";
            errno = 0;
            fd_ = ops_.CreateNew(path_);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) path_.clear();
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() { Discard(); }

    bool Created() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }

    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ops_.Close(fd);
    }
    void Release() { path_.clear(); }

    void Discard() {
        if (fd_ >= 0) {
            ops_.Close(fd_);
            fd_ = -1;
        }
        if (!path_.empty()) {
            ops_.Remove(path_);
            path_.clear();
        }
    }

private:
    LogoFileOps& ops_;
    std::string path_;
    int fd_ = -1;
};

} // namespace

LogoWriteResult WriteLogoFile(const std::string& path, int modelIndex, const LogoGeometry& geometry,
                              TImage& target, LogoFileOps& ops) {
    const LogoWriteResult failed{false, UnableToCreateMessage(path)};
    if (path.empty()) return failed;
    const std::string real = ResolveTarget(path);

    bool exists = false;
    if (!ops.ProbeTarget(real, exists)) return failed;
    TempFile temp(ops, real);
    if (!temp.Created()) return failed;

    // Pixel errors leave through here; the temporary file goes with them.
    const std::vector<std::uint8_t> bytes = EncodeLogo(modelIndex, geometry, target);

    if (!ops.WriteAll(temp.Fd(), bytes.data(), bytes.size())) return failed;
    if (exists) ops.MatchAttributes(temp.Fd(), real);
    if (!ops.Sync(temp.Fd())) return failed;
    if (!temp.Close()) return failed;
    if (!ops.Rename(temp.Path(), real)) return failed;
    temp.Release();
    return {true, {}};
}

} // namespace tlc
