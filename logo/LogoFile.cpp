#include "logo/LogoFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
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

[[maybe_unused]] std::uint64_t SwapBytes(std::uint64_t v) {
    std::uint64_t r = 0;
    for (int i = 0; i < 8; ++i, v >>= 8) r = (r << 8) | (v & 0xFF);
    return r;
}

// One dot: the canvas is asked for anew each time, and only an exact 0 is black.
inline unsigned Dot(TImage& target, std::int32_t x, std::int32_t y) {
    return target.EnsureCanvas().ReadPixel(x, y) == clBlack ? 1u : 0u;
}

// The plain way, dot by dot through the canvas.
template <bool kRows>
void EncodeDots(std::uint8_t* out, TImage& target, std::int32_t lines, std::int32_t bands) {
    for (std::int32_t line = 0; line < lines; ++line)
        for (std::int32_t band = 0; band < bands; ++band) {
            unsigned byte = 0;
            for (std::int32_t i = 0; i < 8; ++i) // dot i goes to bit 7 - i
                byte = (byte << 1) |
                       (kRows ? Dot(target, 8 * band + i, line) : Dot(target, line, 8 * band + i));
            *out++ = static_cast<std::uint8_t>(byte);
        }
}

// Lines are columns (models 0 to 2: bands of 8 dots top to bottom) or rows
// (model 3: bands of 8 dots left to right). The first dot goes through the
// canvas: it may turn an empty picture into a bitmap, create the canvas, or
// be refused. After it a read changes nothing, so the raster is read along
// its rows, eight rows for a band of columns, with the same results.
template <bool kRows>
void EncodeLines(std::uint8_t* out, TImage& target, std::int32_t lines, std::int32_t bands) {
    if (lines <= 0 || bands <= 0) return;
    Dot(target, 0, 0);
    TBitmap* settled = target.SettledBitmap(false);
    if (!settled) return EncodeDots<kRows>(out, target, lines, bands);
    const TBitmapImage& raster = settled->Image();
    if constexpr (kRows) {
        std::vector<std::uint8_t> flags(static_cast<std::size_t>(bands) * 8);
        for (std::int32_t y = 0; y < lines; ++y) {
            raster.NonBlackRow(0, y, bands * 8, flags.data());
            for (std::int32_t band = 0; band < bands; ++band) {
                // Eight flags of 0 or 1, the first to bit 7.
                std::uint64_t eight;
                std::memcpy(&eight, flags.data() + 8 * band, 8);
                if constexpr (std::endian::native == std::endian::big) eight = SwapBytes(eight);
                *out++ = static_cast<std::uint8_t>(~((eight * 0x8040201008040201ull) >> 56));
            }
        }
    } else {
        // Band b of every column comes from rows 8b to 8b + 7; column x's
        // bytes are `bands` apart in the output.
        const auto width = static_cast<std::size_t>(lines);
        std::vector<std::uint8_t> flags(width * 8);
        for (std::int32_t band = 0; band < bands; ++band) {
            for (int i = 0; i < 8; ++i)
                raster.NonBlackRow(0, 8 * band + i, lines, flags.data() + i * width);
            const std::uint8_t* f = flags.data();
            std::uint8_t* column = out + band;
            for (std::size_t x = 0; x < width; ++x, column += bands) {
                const unsigned lit8 = (f[x] << 7) | (f[width + x] << 6) | (f[2 * width + x] << 5) |
                                      (f[3 * width + x] << 4) | (f[4 * width + x] << 3) |
                                      (f[5 * width + x] << 2) | (f[6 * width + x] << 1) |
                                      f[7 * width + x];
                *column = static_cast<std::uint8_t>(~lit8);
            }
        }
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
