#include "image/BitmapFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <future>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "base/Exceptions.h"
#include "base/Platform.h"
#include "image/FileBytes.h"

namespace tlc {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;

[[noreturn]] void NotValid() {
    throw EInvalidGraphic("Bitmap image is not valid");
}
[[noreturn]] void ReadError() {
    throw EReadError("Stream read error");
}

// The information header, or a core header widened to it.
struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
    std::uint32_t masks[3] = {0, 0, 0};
};

// Header sizes we read: the information header (40), its two short-lived
// extensions with the masks inside (52, 56), and the version 4 and 5
// headers (108, 124). Anything else is refused rather than guessed at.
bool KnownInfoHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool KnownBitCount(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

using PaletteBGRX = std::array<std::array<std::uint8_t, 4>, 256>;

// Colours of the 32-bit raster a run-length file becomes; indices beyond the
// table read black.
PaletteBGRX MakePalette(const std::vector<TColor>& table) {
    PaletteBGRX palette{};
    for (std::size_t i = 0; i < table.size() && i < palette.size(); ++i) {
        palette[i] = {static_cast<std::uint8_t>(BlueOf(table[i])),
                      static_cast<std::uint8_t>(GreenOf(table[i])),
                      static_cast<std::uint8_t>(RedOf(table[i])), 0};
    }
    return palette;
}

// Run-length data as the format defines it: pairs of (count, index) for
// encoded runs, and escapes (0, 0) end of line, (0, 1) end of bitmap,
// (0, 2, dx, dy) move right and up, (0, n, ...) n pixels given one by one,
// padded to 16 bits. Rows run bottom row first. Runs past the end of a row are
// clipped, a move past the last row ends the picture, and data that ends
// early leaves the rest 0. Every step takes at least two bytes, so decoding
// ends with the data.
class RunLengthDecoder {
public:
    RunLengthDecoder(std::span<const std::uint8_t> data, bool nibbles, const PaletteBGRX& palette,
                     std::int64_t width, std::int64_t height)
        : data_(data), nibbles_(nibbles), palette_(palette), width_(width), height_(height) {}

    // The 32-bit raster, rows top row first. The raster is built in blocks
    // of rows small enough to stay in the cache: each block is cleared
    // (unless the memory came zero) and decoded into at once, so the raster
    // is written once, in order, and is never cleared as a whole. Blocks go
    // top first, that is from the end of the data back; the first pass notes
    // where the data enters each block.
    PixelBuffer Decode() {
        const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
        const std::int64_t blockRows =
            std::max<std::int64_t>(1, static_cast<std::int64_t>(kBlockBytes / rowBytes));
        const std::vector<State> entries = FindBlockEntries(blockRows);
        PixelBuffer pixels;
        try {
            pixels = PixelBuffer::Uninitialised(rowBytes * static_cast<std::size_t>(height_), false);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        std::size_t at = 0;
        for (std::size_t b = entries.size(); b-- > 0;) {
            const std::int64_t low = static_cast<std::int64_t>(b) * blockRows;
            const std::int64_t high = std::min(low + blockRows, height_);
            const std::size_t blockBytes = static_cast<std::size_t>(high - low) * rowBytes;
            if (!pixels.MadeZero()) std::memset(pixels.data() + at, 0, blockBytes);
            if (entries[b].row >= 0) DecodeBlock(entries[b], high, pixels.data() + at, rowBytes);
            at += blockBytes;
        }
        return pixels;
    }

private:
    static constexpr std::size_t kBlockBytes = 256 * 1024;

    // Where decoding stands: the next byte, the column and the row (0 =
    // bottom); row -1 for a block the data never enters.
    struct State {
        std::size_t offset = 0;
        std::int64_t x = 0;
        std::int64_t row = -1;
    };

    std::size_t AbsoluteBytes(unsigned count) const {
        const std::size_t used = nibbles_ ? (count + 1) / 2 : count;
        return (used + 1) & ~std::size_t{1};
    }

    // The state on first entering each block of `blockRows` rows. Rows only
    // go up, so one pass over the data finds them all.
    std::vector<State> FindBlockEntries(std::int64_t blockRows) const {
        std::vector<State> entries(static_cast<std::size_t>((height_ + blockRows - 1) / blockRows));
        entries[0] = {0, 0, 0};
        const std::size_t n = data_.size();
        std::size_t i = 0;
        std::int64_t row = 0, x = 0;
        while (i + 1 < n) {
            const unsigned count = data_[i], value = data_[i + 1];
            i += 2;
            if (count > 0) {
                x += count;
                continue;
            }
            if (value == 0) {
                x = 0;
                ++row;
            } else if (value == 1) {
                break;
            } else if (value == 2) {
                if (i + 1 >= n) break;
                x += data_[i];
                const unsigned up = data_[i + 1];
                i += 2;
                if (up == 0) continue;
                const std::int64_t from = row;
                row += up;
                if (row >= height_) break;
                if (row / blockRows == from / blockRows) continue;
            } else {
                x += value;
                i += std::min(n - i, AbsoluteBytes(value));
                continue;
            }
            if (row >= height_) break;
            State& entry = entries[static_cast<std::size_t>(row / blockRows)];
            if (entry.row < 0) entry = {i, x, row};
        }
        return entries;
    }

    // Decodes from `state` until the data leaves the block below `high`;
    // `out` holds the block's rows top first (row high - 1 first).
    void DecodeBlock(State state, std::int64_t high, std::uint8_t* out,
                     std::size_t rowBytes) const {
        const std::size_t n = data_.size();
        std::size_t i = state.offset;
        std::int64_t x = state.x, row = state.row;
        auto rowOut = [&] { return out + static_cast<std::size_t>(high - 1 - row) * rowBytes; };
        while (i + 1 < n && row < high) {
            const unsigned count = data_[i], value = data_[i + 1];
            i += 2;
            if (count > 0) {
                const std::int64_t end = std::min<std::int64_t>(x + count, width_);
                if (x < end) {
                    std::uint8_t* line = rowOut();
                    if (!nibbles_) {
                        Fill(line + x * 4, static_cast<std::size_t>(end - x),
                             palette_[value].data());
                    } else {
                        const unsigned hi = value >> 4, lo = value & 0x0F;
                        for (std::int64_t px = x; px < end; ++px)
                            std::memcpy(line + px * 4, palette_[((px - x) & 1) ? lo : hi].data(),
                                        4);
                    }
                }
                x += count;
                continue;
            }
            if (value == 0) {
                x = 0;
                ++row;
                continue;
            }
            if (value == 1) return;
            if (value == 2) {
                if (i + 1 >= n) return;
                x += data_[i];
                row += data_[i + 1];
                i += 2;
                continue;
            }
            const std::size_t used = nibbles_ ? (value + 1) / 2 : value;
            const std::size_t available = std::min(used, n - i);
            const std::size_t given =
                std::min<std::size_t>(value, nibbles_ ? available * 2 : available);
            const std::int64_t end =
                std::min<std::int64_t>(x + static_cast<std::int64_t>(given), width_);
            if (x < end) {
                std::uint8_t* line = rowOut();
                const std::uint8_t* src = data_.data() + i;
                for (std::int64_t px = x; px < end; ++px) {
                    const std::int64_t k = px - x;
                    const unsigned index =
                        nibbles_ ? ((k & 1) ? (src[k >> 1] & 0x0F) : (src[k >> 1] >> 4)) : src[k];
                    std::memcpy(line + px * 4, palette_[index].data(), 4);
                }
            }
            x += value;
            i += std::min(n - i, AbsoluteBytes(value));
        }
    }

    // `count` copies of one 4-byte pixel; long runs double what is written.
    static void Fill(std::uint8_t* out, std::size_t count, const std::uint8_t* pixel) {
        std::memcpy(out, pixel, 4);
        std::size_t done = 1;
        while (done < count) {
            const std::size_t step = std::min(done, count - done);
            std::memcpy(out + done * 4, out, step * 4);
            done += step;
        }
    }

    std::span<const std::uint8_t> data_;
    bool nibbles_;
    const PaletteBGRX& palette_;
    std::int64_t width_, height_;
};

} // namespace

namespace {

// Bytes of the file at `From` for the raster at `To`.
struct RowCopy {
    std::size_t To;
    std::size_t From;
    std::size_t Size;
};

// From this many bytes a copy of rows goes on two threads: one core alone
// cannot draw all the memory can give, and a second nearly doubles it.
constexpr std::size_t kSplitFrom = std::size_t{4} << 20;

// Runs copy(first, end) over the rows [0, count) holding `bytes`: in two
// halves at once where that pays and the machine has the cores.
template <class CopyRows>
void CopyRowsInHalves(std::size_t count, std::size_t bytes, const CopyRows& copy) {
    if (bytes < kSplitFrom || count < 2 || std::thread::hardware_concurrency() < 2) return copy(0, count);
    const std::size_t half = count / 2;
    std::future<void> other;
    try {
        StartWithInterruptsBlocked([&] { other = std::async(std::launch::async, copy, half, count); });
    } catch (const std::system_error&) { // no thread to be had
        return copy(0, count);
    }
    std::exception_ptr failure;
    try {
        copy(0, half);
    } catch (...) {
        failure = std::current_exception();
    }
    other.get(); // waits, and throws what the other half threw
    if (failure) std::rethrow_exception(failure);
}

// Where the pixel bytes come from: memory, or the file itself.
class PixelSource {
public:
    // The copies in the raster's order; their bytes follow one another in
    // the file, forwards or backwards, and the file has every one of them.
    virtual void Copy(const RowCopy* rows, std::size_t count, PixelBuffer& pixels) = 0;
    // The whole file, for run-length files, which keep a copy of it.
    virtual std::span<const std::uint8_t> Whole() = 0;

protected:
    ~PixelSource() = default;
};

class MemorySource final : public PixelSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    void Copy(const RowCopy* rows, std::size_t count, PixelBuffer& pixels) override {
        if (!pixels.PutWrites()) {
            // In the file's order: reading backwards through memory is slower.
            const bool backwards = count > 1 && rows[1].From < rows[0].From;
            std::size_t total = 0;
            for (std::size_t k = 0; k < count; ++k) total += rows[k].Size;
            CopyRowsInHalves(count, total, [&](std::size_t first, std::size_t end) {
                for (std::size_t k = first; k < end; ++k) {
                    const RowCopy& row = rows[backwards ? count - 1 - k : k];
                    std::memcpy(pixels.data() + row.To, bytes_.data() + row.From, row.Size);
                }
            });
            return;
        }
        constexpr std::size_t kBatch = 256;
        PixelBuffer::Piece pieces[kBatch];
        for (std::size_t k = 0; k < count; k += kBatch) {
            const std::size_t n = std::min(kBatch, count - k);
            for (std::size_t i = 0; i < n; ++i)
                pieces[i] = {rows[k + i].To, bytes_.data() + rows[k + i].From, rows[k + i].Size};
            pixels.Put(pieces, n);
        }
    }
    std::span<const std::uint8_t> Whole() override { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

// One read from the file at a time into shared pages: enough to make the
// calls few, small enough to stay in the processor's cache.
constexpr std::size_t kStretchBytes = std::size_t{256} << 10;

class FileSource final : public PixelSource {
public:
    explicit FileSource(const PictureFile& file) : file_(file) {}
    void Copy(const RowCopy* rows, std::size_t count, PixelBuffer& pixels) override {
        if (count == 0) return;
        if (!pixels.PutWrites()) {
            // Each row read straight into its place, in the file's order.
            const bool backwards = count > 1 && rows[1].From < rows[0].From;
            std::vector<ByteRun> runs(count);
            std::size_t total = 0;
            for (std::size_t k = 0; k < count; ++k) {
                const RowCopy& row = rows[backwards ? count - 1 - k : k];
                runs[k] = {pixels.data() + row.To, row.Size};
                total += row.Size;
            }
            const std::size_t start = rows[backwards ? count - 1 : 0].From;
            CopyRowsInHalves(count, total, [&](std::size_t first, std::size_t end) {
                std::size_t from = start;
                for (std::size_t k = 0; k < first; ++k) from += runs[k].Size;
                file_.Gather(from, runs.data() + first, end - first);
            });
            return;
        }
        // Through a small buffer, a stretch of the file at a time.
        std::size_t largest = 0;
        for (std::size_t k = 0; k < count; ++k) largest = std::max(largest, rows[k].Size);
        std::vector<std::uint8_t> stretch(std::max(largest, kStretchBytes));
        std::vector<PixelBuffer::Piece> pieces;
        for (std::size_t k = 0; k < count;) {
            std::size_t first = rows[k].From, last = rows[k].From + rows[k].Size, n = 1;
            while (k + n < count && last - first + rows[k + n].Size <= stretch.size()) {
                const RowCopy& row = rows[k + n];
                if (row.From + row.Size == first) first = row.From;
                else if (row.From == last) last += row.Size;
                else break;
                ++n;
            }
            const ByteRun all{stretch.data(), last - first};
            file_.Gather(first, &all, 1);
            pieces.clear();
            for (std::size_t i = 0; i < n; ++i)
                pieces.push_back({rows[k + i].To, stretch.data() + (rows[k + i].From - first), rows[k + i].Size});
            pixels.Put(pieces.data(), n);
            k += n;
        }
    }
    std::span<const std::uint8_t> Whole() override {
        if (whole_.empty()) whole_ = file_.Read(0, file_.Size());
        return whole_;
    }

private:
    const PictureFile& file_;
    std::vector<std::uint8_t> whole_;
};

// Every header field lies in the first bytes: file header, the largest
// information header, masks and a full colour table.
constexpr std::size_t kHeadBytes = 4096;

// `bytes` holds the file's first bytes, all of them or at least kHeadBytes;
// `total` is the file's size.
std::shared_ptr<TBitmapImage> Decode(std::span<const std::uint8_t> bytes, std::size_t total,
                                     PixelSource& source) {
    if (total == 0) return std::make_shared<TBitmapImage>();
    if (total < kFileHeaderSize) ReadError();
    if (bytes[0] != 'B' || bytes[1] != 'M') NotValid();
    const std::uint32_t pixelOffset = LoadLE32(&bytes[10]);

    // Header.
    std::size_t pos = kFileHeaderSize;
    if (total - pos < 4) ReadError();
    InfoHeader h;
    h.size = LoadLE32(&bytes[pos]);
    const bool core = h.size == kCoreHeaderSize;
    if (core) {
        if (total - pos < kCoreHeaderSize) ReadError();
        const std::uint8_t* p = &bytes[pos];
        h.width = LoadLE16(p + 4);
        h.height = LoadLE16(p + 6);
        h.planes = LoadLE16(p + 8);
        h.bitCount = LoadLE16(p + 10);
        pos += kCoreHeaderSize;
    } else {
        if (!KnownInfoHeaderSize(h.size)) NotValid();
        if (total - pos < h.size) NotValid(); // the file ends inside its header
        const std::uint8_t* p = &bytes[pos];
        h.width = LoadLE32Signed(p + 4);
        h.height = LoadLE32Signed(p + 8);
        h.planes = LoadLE16(p + 12);
        h.bitCount = LoadLE16(p + 14);
        h.compression = LoadLE32(p + 16);
        h.sizeImage = LoadLE32(p + 20);
        h.xPelsPerMeter = LoadLE32Signed(p + 24);
        h.yPelsPerMeter = LoadLE32Signed(p + 28);
        h.clrUsed = LoadLE32(p + 32);
        h.clrImportant = LoadLE32(p + 36);
        if (h.size > kInfoHeaderSize && h.compression == BI_BITFIELDS) {
            h.masks[0] = LoadLE32(p + 40);
            h.masks[1] = LoadLE32(p + 44);
            h.masks[2] = LoadLE32(p + 48);
        }
        pos += h.size;
    }
    if (h.planes != 1) NotValid();

    // Channel masks after a 40-byte header.
    if (h.size == kInfoHeaderSize && (h.bitCount == 16 || h.bitCount == 32) &&
        h.compression == BI_BITFIELDS) {
        if (total - pos < 12) ReadError();
        for (int k = 0; k < 3; ++k)
            h.masks[k] = LoadLE32(&bytes[pos + 4 * k]);
        pos += 12;
    }

    // Colour table: the count the header gives, or the full table for 1, 4 and
    // 8 bits per pixel.
    std::uint32_t colours = h.clrUsed;
    if (colours == 0) colours = h.bitCount <= 8 && KnownBitCount(h.bitCount) ? 1u << h.bitCount : 0;
    if (colours > 256) NotValid();
    const std::size_t entrySize = core ? 3 : 4;
    if ((total - pos) / entrySize < colours) ReadError();
    std::vector<TColor> table(colours);
    for (std::uint32_t k = 0; k < colours; ++k) {
        const std::uint8_t* e = &bytes[pos + k * entrySize];
        table[k] = RGB(e[2], e[1], e[0]);
    }
    pos += colours * entrySize;

    // The pixels start where the file header says when that lies between the
    // end of the colour table and the end of the file; otherwise right after
    // the table.
    if (pixelOffset >= pos && pixelOffset < total) pos = pixelOffset;
    const std::size_t remaining = total - pos;

    // Everything about the raster is checked before anything is allocated.
    if (!KnownBitCount(h.bitCount)) NotValid();
    if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<std::int32_t>::min())
        NotValid();
    const bool runLength = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    switch (h.compression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (h.bitCount != 16 && h.bitCount != 32) NotValid();
        break;
    case BI_RLE8:
    case BI_RLE4:
        // Run-length rows always run bottom row first.
        if (h.bitCount != (h.compression == BI_RLE8 ? 8 : 4) || h.height < 0) NotValid();
        break;
    default:
        NotValid();
    }

    TRasterFormat format;
    format.Width = h.width;
    format.Height = h.height;
    std::shared_ptr<TBitmapImage> image;
    const std::int32_t absHeight = h.height < 0 ? -h.height : h.height;

    if (!runLength) {
        format.BitCount = h.bitCount;
        format.Compression = h.compression;
        format.RedMask = h.masks[0];
        format.GreenMask = h.masks[1];
        format.BlueMask = h.masks[2];
        format.ColourTable = std::move(table);
        const std::size_t rasterBytes = TBitmapImage::CheckedRasterBytes(format);
        const std::size_t stride = RowStride(h.width, h.bitCount);
        std::size_t imageSize = h.sizeImage != 0 ? h.sizeImage : rasterBytes;
        // A file that ends early gives fewer bytes; the raster never takes more
        // than it holds.
        const std::size_t n = std::min({imageSize, remaining, rasterBytes});

        // Rows go in top row first, each read straight into its place; bytes
        // the file does not supply stay 0. The missing rows are one block
        // (the top rows of a bottom-up file, the bottom rows of a top-down
        // one), so a tall, thin header with few bytes costs one fill, not one
        // step per row.
        PixelBuffer pixels;
        std::vector<RowCopy> rows;
        const std::size_t fullRows = n / stride;
        const std::size_t partial = n % stride;
        try {
            pixels = PixelBuffer::Uninitialised(rasterBytes, true);
            rows.reserve(fullRows + 1);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        // Fresh pages are zero already, and shared ones better left untouched.
        const auto clear = [&](std::size_t at, std::size_t size) {
            if (!pixels.MadeZero() && size > 0) std::memset(pixels.data() + at, 0, size);
        };
        if (h.height < 0) {
            for (std::size_t row = 0; row < fullRows; ++row)
                rows.push_back({row * stride, pos + row * stride, stride});
            if (partial != 0) rows.push_back({fullRows * stride, pos + fullRows * stride, partial});
            clear(n, rasterBytes - n);
        } else {
            const std::size_t missingRows =
                static_cast<std::size_t>(absHeight) - fullRows - (partial != 0 ? 1 : 0);
            clear(0, missingRows * stride);
            if (partial != 0) {
                rows.push_back({missingRows * stride, pos + fullRows * stride, partial});
                clear(missingRows * stride + partial, stride - partial);
            }
            for (std::size_t fileRow = fullRows; fileRow-- > 0;)
                rows.push_back({(static_cast<std::size_t>(absHeight) - 1 - fileRow) * stride,
                                pos + fileRow * stride, stride});
        }
        try {
            source.Copy(rows.data(), rows.size(), pixels);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        image = TBitmapImage::Adopt(format, std::move(pixels));
    } else {
        format.BitCount = 32;
        const std::size_t imageSize =
            h.sizeImage != 0 ? h.sizeImage
                             : RowStride(h.width, h.bitCount) * static_cast<std::size_t>(absHeight);
        const std::size_t n = std::min(imageSize, remaining);
        TBitmapImage::CheckedRasterBytes(format);
        const PaletteBGRX palette = MakePalette(table);
        const std::span<const std::uint8_t> whole = source.Whole();
        RunLengthDecoder decoder(whole.subspan(pos, n), h.compression == BI_RLE4, palette, h.width,
                                 absHeight);
        image = TBitmapImage::Adopt(format, decoder.Decode());
        try {
            image->FileCopy.assign(whole.begin(), whole.end());
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
    }

    image->XPelsPerMeter = h.xPelsPerMeter;
    image->YPelsPerMeter = h.yPelsPerMeter;
    image->ClrUsed = h.clrUsed;
    image->ClrImportant = h.clrImportant;
    image->CoreHeader = core;
    image->FileBitCount = h.bitCount;
    image->FileCompression = h.compression;
    image->HasPalette = !image->ColourTable().empty();
    return image;
}

// Refuses, from its headers alone, a file whose raster would pass the cap, so
// that a huge file claiming a huge picture is not read first. Anything else
// is left to the decoder.
void CheckBitmapHead(std::span<const std::uint8_t> head, std::uint64_t) {
    if (head.size() < kFileHeaderSize + 16 || head[0] != 'B' || head[1] != 'M') return;
    const std::uint8_t* p = head.data() + kFileHeaderSize;
    const std::uint32_t size = LoadLE32(p);
    std::int64_t width = 0, height = 0;
    std::uint32_t bitCount = 0, compression = BI_RGB;
    if (size == kCoreHeaderSize) {
        width = LoadLE16(p + 4);
        height = LoadLE16(p + 6);
        bitCount = LoadLE16(p + 10);
    } else if (KnownInfoHeaderSize(size) && head.size() >= kFileHeaderSize + 20) {
        width = LoadLE32Signed(p + 4);
        height = LoadLE32Signed(p + 8);
        bitCount = LoadLE16(p + 14);
        compression = LoadLE32(p + 16);
    }
    if (!KnownBitCount(static_cast<int>(bitCount)) || width <= 0 || height == 0) return;
    // Run-length pictures are held at 32 bits per pixel.
    if (compression == BI_RLE8 || compression == BI_RLE4) bitCount = 32;
    const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
    if (stride * static_cast<std::uint64_t>(height < 0 ? -height : height) > kMaxRasterBytes)
        throw EOutOfResources();
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeBitmapFile(std::span<const std::uint8_t> bytes) {
    MemorySource source(bytes);
    return Decode(bytes, bytes.size(), source);
}

std::shared_ptr<TBitmapImage> ReadBitmapFile(const std::string& fileName) {
    const PictureFile file(fileName);
    const std::vector<std::uint8_t> head = file.Read(0, std::min(file.Size(), kHeadBytes));
    CheckBitmapHead(head, file.Size());
    if (file.Size() > kMaxPictureFileBytes) throw EOutOfResources();
    FileSource source(file);
    return Decode(head, file.Size(), source);
}

} // namespace tlc
