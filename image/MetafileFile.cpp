#include "image/MetafileFile.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "base/Exceptions.h"
#include "image/FileBytes.h"
#include "image/SvgFile.h"

namespace tlc {

namespace {

constexpr std::uint32_t kEnhancedSignature = 0x464D4520; // " EMF"
constexpr std::size_t kEnhancedHeaderRead = 100;
constexpr std::uint32_t kEnhancedMinHeaderRecord = 88;
constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableHeaderSize = 22;
constexpr std::size_t kWindowsHeaderSize = 18;
constexpr int kDefaultUnitsPerInch = 96;
constexpr int kHundredthsMmPerInch = 2540;

[[noreturn]] void NotValid() {
    throw EInvalidGraphic("Metafile is not valid");
}

// Each record (type, size in bytes) inside the data, sizes multiples of 4,
// and an end record somewhere.
void CheckEnhancedRecords(std::span<const std::uint8_t> data) {
    std::size_t pos = 0;
    bool first = true;
    for (;;) {
        if (data.size() - pos < 8) NotValid();
        const std::uint32_t type = LoadLE32(&data[pos]);
        const std::uint32_t size = LoadLE32(&data[pos + 4]);
        if (size < 8 || size % 4 != 0 || size > data.size() - pos) NotValid();
        if (first && (type != kEmrHeader || size < kEnhancedMinHeaderRecord)) NotValid();
        if (type == kEmrEof) return;
        first = false;
        pos += size;
    }
}

// The Windows metafile header, then records of (size in 16-bit words,
// function) up to the end record (function 0).
void CheckWindowsRecords(std::span<const std::uint8_t> data) {
    if (data.size() < kWindowsHeaderSize) NotValid();
    const std::uint16_t type = LoadLE16(&data[0]);
    const std::uint16_t headerWords = LoadLE16(&data[2]);
    if ((type != 1 && type != 2) || headerWords != kWindowsHeaderSize / 2) NotValid();
    std::size_t pos = kWindowsHeaderSize;
    for (;;) {
        if (data.size() - pos < 6) NotValid();
        const std::uint64_t size = std::uint64_t{LoadLE32(&data[pos])} * 2;
        const std::uint16_t function = LoadLE16(&data[pos + 4]);
        if (size < 6 || size > data.size() - pos) NotValid();
        if (function == 0) return;
        pos += static_cast<std::size_t>(size);
    }
}

std::int32_t Extent(std::int32_t from, std::int32_t to) {
    const std::int64_t e = std::int64_t{to} - from;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        e, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Pixels on the screen for an extent in 0.01 mm; a reversed extent shows nothing.
std::int32_t ScreenPixels(std::int32_t extent) {
    return std::max(0, MulDivRound(extent, kScreenPixelsPerInch, kHundredthsMmPerInch));
}

} // namespace

std::int32_t MulDivRound(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    // Callers pass 32-bit extents and small factors, so the product fits.
    const std::int64_t product = a * b;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t absProduct = product < 0 ? -product : product;
    const std::int64_t absC = c < 0 ? -c : c;
    std::int64_t q = (absProduct + absC / 2) / absC;
    if (negative) q = -q;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        q, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::shared_ptr<TMetafileImage> DecodeMetafileFile(std::span<const std::uint8_t> bytes) {
    auto image = std::make_shared<TMetafileImage>();
    const std::size_t total = bytes.size();

    if (total > kEnhancedHeaderRead && LoadLE32(&bytes[0]) == kEmrHeader &&
        LoadLE32(&bytes[40]) == kEnhancedSignature) {
        const std::uint32_t size = LoadLE32(&bytes[48]);
        if (size > total) throw EReadError("Stream read error");
        if (size < kEnhancedHeaderRead) NotValid();
        const auto data = bytes.first(size);
        CheckEnhancedRecords(data);
        const std::uint8_t* h = bytes.data();
        image->Enhanced = true;
        image->Inch = 0;
        image->MMWidth = Extent(LoadLE32Signed(h + 24), LoadLE32Signed(h + 32));
        image->MMHeight = Extent(LoadLE32Signed(h + 28), LoadLE32Signed(h + 36));
        image->Data.assign(data.begin(), data.end());
    } else if (LooksLikeSvg(bytes)) {
        return DecodeSvgFile(bytes);
    } else {
        if (total < kPlaceableHeaderSize || LoadLE32(&bytes[0]) != kPlaceableKey) NotValid();
        std::uint16_t checksum = 0;
        for (std::size_t k = 0; k < 20; k += 2)
            checksum ^= LoadLE16(&bytes[k]);
        if (checksum != LoadLE16(&bytes[20])) NotValid();
        const auto data = bytes.subspan(kPlaceableHeaderSize);
        CheckWindowsRecords(data);
        const std::uint8_t* h = bytes.data();
        const std::uint16_t inch = LoadLE16(h + 14);
        const int unitsPerInch = inch != 0 ? inch : kDefaultUnitsPerInch;
        image->Enhanced = false;
        image->Inch = inch;
        image->FrameLeft = LoadLE16Signed(h + 6);
        image->FrameTop = LoadLE16Signed(h + 8);
        image->FrameRight = LoadLE16Signed(h + 10);
        image->FrameBottom = LoadLE16Signed(h + 12);
        image->MMWidth = MulDivRound(std::int64_t{LoadLE16Signed(h + 10)} - LoadLE16Signed(h + 6),
                                     kHundredthsMmPerInch, unitsPerInch);
        image->MMHeight = MulDivRound(std::int64_t{LoadLE16Signed(h + 12)} - LoadLE16Signed(h + 8),
                                      kHundredthsMmPerInch, unitsPerInch);
        image->Data.assign(data.begin(), data.end());
    }
    image->Width = ScreenPixels(image->MMWidth);
    image->Height = ScreenPixels(image->MMHeight);
    return image;
}

std::shared_ptr<TMetafileImage> ReadMetafileFile(const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
    return DecodeMetafileFile(bytes);
}

} // namespace tlc
