#include "image/BitmapFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/Exceptions.h"
#include "image/BitmapHeader.h"
#include "image/FileBytes.h"
#include "image/RowScaler.h"
#include "image/RunLengthDecoder.h"

namespace tlc {

namespace {

// Bytes of the file at `From` for the raster at `To`.
struct RowCopy {
    std::size_t To;
    std::size_t From;
    std::size_t Size;
};

// Where the pixel bytes come from: memory, or the file itself.
class PixelSource {
public:
    // The copies in the file's order; the file has every byte of them.
    virtual void Copy(const std::vector<RowCopy>& rows, PixelBuffer& pixels) = 0;
    // The whole file, for run-length files.
    virtual std::span<const std::uint8_t> Whole() = 0;

protected:
    ~PixelSource() = default;
};

class MemorySource final : public PixelSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    void Copy(const std::vector<RowCopy>& rows, PixelBuffer& pixels) override {
        for (const RowCopy& row : rows)
            std::memcpy(pixels.data() + row.To, bytes_.data() + row.From, row.Size);
    }
    std::span<const std::uint8_t> Whole() override { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

class FileSource final : public PixelSource {
public:
    explicit FileSource(const PictureFile& file) : file_(file) {}
    // Each row read straight into its place; rows that follow one another in
    // the file go in one read.
    void Copy(const std::vector<RowCopy>& rows, PixelBuffer& pixels) override {
        std::vector<ByteRun> runs(rows.size());
        for (std::size_t k = 0; k < rows.size(); ++k) runs[k] = {pixels.data() + rows[k].To, rows[k].Size};
        for (std::size_t k = 0; k < rows.size();) {
            const std::size_t first = k;
            std::size_t end = rows[k].From + rows[k].Size;
            for (++k; k < rows.size() && rows[k].From == end; ++k) end += rows[k].Size;
            file_.Gather(rows[first].From, runs.data() + first, k - first);
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

// The raster of an uncompressed file: its top-left width x rows of the
// format's pixels (`format` holds the kept size), the rest of the file's
// rows left unread. Bytes the file does not supply stay 0.
PixelBuffer ReadRows(const BitmapHeader& h, const TRasterFormat& format, std::size_t total,
                     PixelSource& source) {
    const std::size_t stride = RowStride(h.Width, h.BitCount);
    const std::size_t keptStride = RowStride(format.Width, h.BitCount);
    const std::size_t absHeight = static_cast<std::size_t>(h.AbsHeight());
    const std::size_t rows = static_cast<std::size_t>(format.Height < 0 ? -format.Height : format.Height);
    const std::size_t rasterBytes = keptStride * rows;
    const std::size_t imageSize = h.SizeImage != 0 ? h.SizeImage : stride * absHeight;
    // A file that ends early gives fewer bytes; no more than the picture holds.
    const std::size_t n = std::min({imageSize, total - h.PixelsAt, stride * absHeight});
    const std::size_t fullRows = n / stride, partial = n % stride;

    PixelBuffer pixels;
    std::vector<RowCopy> copies;
    try {
        pixels = PixelBuffer::Uninitialised(rasterBytes);
        copies.reserve(std::min(rows, fullRows + 1));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    // Fresh pages are zero already.
    const auto clear = [&](std::size_t at, std::size_t size) {
        if (!pixels.MadeZero() && size > 0) std::memset(pixels.data() + at, 0, size);
    };
    // Raster row y holds file row `fileRow`: all of it, part, or nothing.
    const auto take = [&](std::size_t y, std::size_t fileRow) {
        const std::size_t size = fileRow < fullRows ? keptStride : std::min(partial, keptStride);
        copies.push_back({y * keptStride, h.PixelsAt + fileRow * stride, size});
        clear(y * keptStride + size, keptStride - size);
    };
    // The file's rows with bytes are one run, so the rows without are one
    // block of the raster (the bottom of a top-down file, the top of a
    // bottom-up one): a tall, thin header with few bytes costs one fill.
    const std::size_t given = std::min(rows, fullRows + (partial != 0 ? 1 : 0));
    if (h.Height < 0) {
        for (std::size_t y = 0; y < given; ++y) take(y, y);
        clear(given * keptStride, (rows - given) * keptStride);
    } else {
        // Top rows last in the file: read them in the file's order.
        const std::size_t missing = std::min(rows, absHeight - std::min(absHeight, fullRows + (partial != 0 ? 1 : 0)));
        clear(0, missing * keptStride);
        for (std::size_t y = rows; y-- > missing;) take(y, absHeight - 1 - y);
    }
    try {
        source.Copy(copies, pixels);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    return pixels;
}

// The picture scaled down to width x height row by row (RowScaler), top row
// first, never held whole: rows the file does not supply are 0, and a run of
// equal rows is narrowed once.
std::shared_ptr<TBitmapImage> ScaleRows(const BitmapHeader& h, TRasterFormat format, std::size_t total,
                                        PixelSource& source, std::int32_t width, std::int32_t height) {
    const std::size_t absHeight = static_cast<std::size_t>(h.AbsHeight());
    RowScaler scaler(h.Width, h.AbsHeight(), width, height);
    std::vector<std::uint8_t> bgr;
    try {
        bgr.resize(static_cast<std::size_t>(h.Width) * 3);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    // A row's pixels as blue, green, red (and 0), whatever the file's format.
    const auto add = [&](const TBitmapImage& rows, std::int32_t y) {
        if (rows.BitCount() == 24) return scaler.AddRow(rows.Row(y), 3);
        std::uint8_t* p = bgr.data();
        for (std::int32_t x = 0; x < rows.Width(); ++x, p += 3) {
            const TColor c = rows.GetPixel(x, y);
            p[0] = static_cast<std::uint8_t>(BlueOf(c));
            p[1] = static_cast<std::uint8_t>(GreenOf(c));
            p[2] = static_cast<std::uint8_t>(RedOf(c));
        }
        scaler.AddRow(bgr.data(), 3);
    };

    if (h.RunLength()) {
        const std::size_t imageSize =
            h.SizeImage != 0 ? h.SizeImage : RowStride(h.Width, h.BitCount) * absHeight;
        const std::span<const std::uint8_t> file = source.Whole();
        const std::size_t n = std::min(imageSize, total - h.PixelsAt);
        const PaletteBGRX palette = MakePalette(h.Table);
        RunLengthDecoder decoder(file.subspan(h.PixelsAt, n), h.Compression == BI_RLE4, palette, h.Width,
                                 h.AbsHeight(), h.AbsHeight());
        // Held as the window holds it: 32 bits, no table.
        TRasterFormat held;
        held.Width = h.Width;
        held.Height = -1;
        auto zero = TBitmapImage::Create(held);
        decoder.DecodeBlocks([&](const std::uint8_t* rows, std::int64_t count) {
            if (!rows) {
                add(*zero, 0);
                scaler.RepeatRow(count - 1);
                return;
            }
            // The rows as a raster of their own, read as the held picture would be.
            for (std::int64_t k = 0; k < count; ++k) {
                std::memcpy(zero->Row(0), rows + static_cast<std::size_t>(k) * zero->Stride(), zero->Stride());
                add(*zero, 0);
            }
            std::memset(zero->Row(0), 0, zero->Stride());
        });
        return scaler.Result();
    }

    const std::size_t stride = RowStride(h.Width, h.BitCount);
    const std::size_t imageSize = h.SizeImage != 0 ? h.SizeImage : stride * absHeight;
    const std::size_t n = std::min({imageSize, total - h.PixelsAt, stride * absHeight});
    const std::size_t fullRows = n / stride, partial = n % stride;
    format.Height = -1;
    auto row = TBitmapImage::Create(format);
    bool zeroLast = false;
    for (std::size_t y = 0; y < absHeight; ++y) {
        const std::size_t fileRow = h.Height < 0 ? y : absHeight - 1 - y;
        const std::size_t size = fileRow < fullRows ? stride : fileRow == fullRows ? partial : 0;
        if (size == 0 && zeroLast) {
            scaler.RepeatRow();
            continue;
        }
        if (size > 0) source.Copy({{0, h.PixelsAt + fileRow * stride, size}}, row->Pixels());
        std::memset(row->Row(0) + size, 0, stride - size);
        add(*row, 0);
        zeroLast = size == 0;
    }
    return scaler.Result();
}

// `bytes` holds the file's first bytes, all of them or at least
// kBitmapHeadBytes; `total` is the file's size.
std::shared_ptr<TBitmapImage> Decode(std::span<const std::uint8_t> bytes, std::size_t total,
                                     PixelSource& source, PictureCrop* crop) {
    if (total == 0) return std::make_shared<TBitmapImage>();
    BitmapHeader h = ParseBitmapHeader(bytes, total);
    const std::int32_t absHeight = h.AbsHeight();
    if (crop) {
        crop->PictureWidth = h.Width;
        crop->PictureHeight = absHeight;
    }
    if (crop && crop->ScaleTo) {
        const auto [width, height] = crop->ScaleTo(h.Width, absHeight);
        if (width < h.Width || height < absHeight) {
            TRasterFormat format;
            format.Width = h.Width;
            format.BitCount = h.BitCount;
            format.Compression = h.Compression;
            format.RedMask = h.Masks[0];
            format.GreenMask = h.Masks[1];
            format.BlueMask = h.Masks[2];
            format.ColourTable = h.Table;
            auto image = ScaleRows(h, std::move(format), total, source, width, height);
            image->XPelsPerMeter = h.XPelsPerMeter;
            image->YPelsPerMeter = h.YPelsPerMeter;
            image->FileBitCount = h.BitCount;
            image->FileCompression = h.Compression;
            return image;
        }
    }
    const std::int32_t keepWidth = crop ? std::min(h.Width, std::max(crop->Width, 1)) : h.Width;
    const std::int32_t keepRows = crop ? std::min(absHeight, std::max(crop->Height, 1)) : absHeight;
    const bool whole = keepWidth == h.Width && keepRows == absHeight;

    TRasterFormat format;
    format.Width = h.Width;
    format.Height = h.Height;
    std::shared_ptr<TBitmapImage> image;
    if (!h.RunLength()) {
        format.BitCount = h.BitCount;
        format.Compression = h.Compression;
        format.RedMask = h.Masks[0];
        format.GreenMask = h.Masks[1];
        format.BlueMask = h.Masks[2];
        format.ColourTable = std::move(h.Table);
        // The whole picture must be one we would hold, kept whole or not.
        TBitmapImage::CheckedRasterBytes(format);
        format.Width = keepWidth;
        format.Height = h.Height < 0 ? -keepRows : keepRows;
        PixelBuffer pixels = ReadRows(h, format, total, source);
        image = TBitmapImage::Adopt(format, std::move(pixels));
    } else {
        format.BitCount = 32;
        TBitmapImage::CheckedRasterBytes(format);
        format.Width = keepWidth;
        format.Height = keepRows;
        const std::size_t imageSize =
            h.SizeImage != 0 ? h.SizeImage
                             : RowStride(h.Width, h.BitCount) * static_cast<std::size_t>(absHeight);
        const std::size_t n = std::min(imageSize, total - h.PixelsAt);
        const PaletteBGRX palette = MakePalette(h.Table);
        const std::span<const std::uint8_t> file = source.Whole();
        RunLengthDecoder decoder(file.subspan(h.PixelsAt, n), h.Compression == BI_RLE4, palette,
                                 keepWidth, absHeight, keepRows);
        image = TBitmapImage::Adopt(format, decoder.Decode());
        // The file describes the raster only while it is whole.
        if (whole) {
            try {
                image->FileCopy.assign(file.begin(), file.end());
            } catch (const std::bad_alloc&) {
                throw EOutOfResources();
            }
        }
    }

    image->XPelsPerMeter = h.XPelsPerMeter;
    image->YPelsPerMeter = h.YPelsPerMeter;
    image->ClrUsed = h.ClrUsed;
    image->ClrImportant = h.ClrImportant;
    image->CoreHeader = h.Core;
    image->FileBitCount = h.BitCount;
    image->FileCompression = h.Compression;
    return image;
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeBitmapFile(std::span<const std::uint8_t> bytes, PictureCrop* crop) {
    MemorySource source(bytes);
    return Decode(bytes, bytes.size(), source, crop);
}

std::shared_ptr<TBitmapImage> ReadBitmapFile(const std::string& fileName, PictureCrop* crop) {
    const PictureFile file(fileName);
    const std::vector<std::uint8_t> head = file.Read(0, std::min(file.Size(), kBitmapHeadBytes));
    // Scaled row by row, the picture is never held: no cap on its raster.
    if (!crop || !crop->ScaleTo) CheckBitmapHead(head, file.Size());
    if (file.Size() > kMaxPictureFileBytes) throw EOutOfResources();
    FileSource source(file);
    return Decode(head, file.Size(), source, crop);
}

} // namespace tlc
