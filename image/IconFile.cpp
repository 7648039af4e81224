#include "image/IconFile.h"

#include <cstdlib>
#include <vector>

#include "base/Exceptions.h"
#include "image/FileBytes.h"

namespace tlc {

namespace {

constexpr std::size_t kIconHeaderSize = 6;
constexpr std::size_t kIconEntrySize = 16;
constexpr int kDisplayBitCount = 32;

// Colour depth of an entry: its bit count, else the depth its colour count
// needs; 0 when the entry says neither (PNG images often do).
int EntryDepth(const std::uint8_t* entry) {
    const int bitCount = LoadLE16(entry + 6);
    if (bitCount != 0) return bitCount;
    const int colours = entry[2];
    if (colours == 0) return 0;
    int depth = 1;
    while ((1 << depth) < colours)
        ++depth;
    return depth;
}

// A 0 byte stands for 256 in the directory.
int EntrySize(std::uint8_t b) {
    return b == 0 ? 256 : b;
}

} // namespace

int ChooseIconImage(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kIconHeaderSize || LoadLE16(&bytes[2]) != 1) return -1;
    const std::size_t count = LoadLE16(&bytes[4]);
    int best = -1;
    int bestDistance = 0;
    int bestDepth = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t at = kIconHeaderSize + k * kIconEntrySize;
        if (at > bytes.size() || bytes.size() - at < kIconEntrySize) break;
        const std::uint8_t* entry = &bytes[at];
        const int depth = EntryDepth(entry);
        if (depth > kDisplayBitCount) continue;
        const int distance = std::abs(EntrySize(entry[0]) - kStandardIconSize) +
                             std::abs(EntrySize(entry[1]) - kStandardIconSize);
        if (best < 0 || distance < bestDistance ||
            (distance == bestDistance && depth > bestDepth)) {
            best = static_cast<int>(k);
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    return best;
}

std::shared_ptr<TIconImage> DecodeIconFile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kIconHeaderSize) throw EReadError("Stream read error");
    if (LoadLE16(&bytes[2]) >= 2) throw EInvalidGraphic("Icon image is not valid");

    auto image = std::make_shared<TIconImage>();
    image->Bytes.assign(bytes.begin(), bytes.end());
    const int chosen = ChooseIconImage(bytes);
    if (chosen >= 0) {
        const std::uint8_t* entry =
            &bytes[kIconHeaderSize + static_cast<std::size_t>(chosen) * kIconEntrySize];
        // An image whose width or height byte is 0 shows at the standard size.
        if (entry[0] != 0 && entry[1] != 0) {
            image->Width = entry[0];
            image->Height = entry[1];
        }
    }
    return image;
}

std::shared_ptr<TIconImage> ReadIconFile(const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
    return DecodeIconFile(bytes);
}

} // namespace tlc
