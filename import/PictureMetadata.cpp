#include "import/PictureMetadata.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "import/ImportedPicture.h"

namespace tlc {

namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint32_t Big32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint32_t Little32(const std::uint8_t* p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

bool Starts(Bytes b, const char* text, std::size_t n) { return b.size() >= n && std::memcmp(b.data(), text, n) == 0; }

// The orientation of an EXIF block, 1 when it names none we know.
int ExifOrientation(Bytes tiff) {
    // Some writers keep the "Exif\0\0" of JPEG's APP1 in PNG and WebP too.
    if (Starts(tiff, "Exif\0\0", 6)) tiff = tiff.subspan(6);
    return ReadTiffDirectory(tiff).Orientation;
}

// PNG: chunks of length, type, data, CRC, the whole file through.
void ReadPng(Bytes b, PictureMetadata& m) {
    std::size_t at = 8;
    while (at <= b.size() && b.size() - at >= 12) {
        const std::uint32_t length = Big32(&b[at]);
        if (length > b.size() - at - 12) break;
        const Bytes type = b.subspan(at + 4, 4), data = b.subspan(at + 8, length);
        if (Starts(type, "eXIf", 4)) m.Orientation = ExifOrientation(data);
        else if (Starts(type, "iCCP", 4)) m.CompressedPngProfile = true;
        else if (Starts(type, "acTL", 4) && length >= 4) {
            const std::uint32_t frames = Big32(data.data());
            m.Frames = static_cast<int>(std::min<std::uint32_t>(frames, 1u << 30));
            m.Animated = frames > 1;
        } else if (Starts(type, "IEND", 4))
            break;
        at += 12 + std::size_t{length};
    }
}

// JPEG: marker segments up to the first scan.
void ReadJpeg(Bytes b, PictureMetadata& m) {
    std::map<int, Bytes> pieces;
    int pieceCount = 0;
    bool exifSeen = false;
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) break;
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) break;
        const std::size_t length = std::size_t{b[at + 2]} << 8 | b[at + 3];
        if (length < 2 || length > b.size() - at - 2) break;
        const Bytes data = b.subspan(at + 4, length - 2);
        if (marker == 0xE1 && !exifSeen && Starts(data, "Exif\0\0", 6)) {
            exifSeen = true;
            m.Orientation = ReadTiffDirectory(data.subspan(6)).Orientation;
        } else if (marker == 0xE2 && Starts(data, "ICC_PROFILE\0", 12) && data.size() >= 14) {
            const int sequence = data[12], count = data[13];
            if (pieceCount == 0) pieceCount = count;
            if (count == pieceCount && sequence >= 1 && sequence <= count) pieces.emplace(sequence, data.subspan(14));
        } else if (marker == 0xEE && Starts(data, "Adobe", 5)) {
            m.AdobeMarker = true;
        }
        at += 2 + length;
    }
    // The pieces in their order, all of them, or no profile.
    if (pieceCount > 0 && static_cast<int>(pieces.size()) == pieceCount) {
        for (const auto& [sequence, piece] : pieces) m.Profile.insert(m.Profile.end(), piece.begin(), piece.end());
    }
}

// WebP: RIFF chunks, each padded to an even length.
void ReadWebp(Bytes b, PictureMetadata& m) {
    std::size_t at = 12;
    int frames = 0;
    // A chunk's padding byte may lie past the end of a cut file.
    while (at <= b.size() && b.size() - at >= 8) {
        const Bytes type = b.subspan(at, 4);
        const std::uint32_t length = Little32(&b[at + 4]);
        if (length > b.size() - at - 8) break;
        const Bytes data = b.subspan(at + 8, length);
        if (Starts(type, "VP8X", 4) && length >= 1 && (data[0] & 0x02)) m.Animated = true;
        else if (Starts(type, "ICCP", 4)) m.Profile.assign(data.begin(), data.end());
        else if (Starts(type, "EXIF", 4)) m.Orientation = ExifOrientation(data);
        else if (Starts(type, "ANMF", 4)) ++frames;
        at += 8 + std::size_t{length} + (length & 1);
    }
    if (m.Animated) m.Frames = std::max(frames, 1);
}

// GIF: counts the pictures (up to two) by stepping over the blocks.
void ReadGif(Bytes b, PictureMetadata& m) {
    if (b.size() < 13) return;
    std::size_t at = 13;
    if (b[10] & 0x80) at += 3u << ((b[10] & 7) + 1);
    auto skipSubBlocks = [&] {
        while (at < b.size() && b[at] != 0) at += 1 + std::size_t{b[at]};
        ++at;
    };
    int frames = 0;
    while (at < b.size() && frames < 2) {
        const std::uint8_t kind = b[at];
        if (kind == 0x21) { // extension: label, sub-blocks
            at += 2;
            skipSubBlocks();
        } else if (kind == 0x2C) { // picture: descriptor, colour table, code size, sub-blocks
            if (b.size() - at < 10) break;
            const std::uint8_t flags = b[at + 9];
            at += 10;
            if (flags & 0x80) at += 3u << ((flags & 7) + 1);
            ++at;
            skipSubBlocks();
            ++frames;
        } else {
            break;
        }
    }
    if (frames > 1) {
        m.Frames = frames;
        m.Animated = true;
    }
}

} // namespace

TiffDirectory ReadTiffDirectory(std::span<const std::uint8_t> t) {
    TiffDirectory d;
    if (t.size() < 8) return d;
    const bool little = t[0] == 'I' && t[1] == 'I';
    if (!little && !(t[0] == 'M' && t[1] == 'M')) return d;
    auto u16 = [&](std::size_t at) {
        return little ? std::uint32_t{t[at]} | std::uint32_t{t[at + 1]} << 8
                      : std::uint32_t{t[at]} << 8 | std::uint32_t{t[at + 1]};
    };
    auto u32 = [&](std::size_t at) { return little ? Little32(&t[at]) : Big32(&t[at]); };
    if (u16(2) != 42) return d;
    const std::uint32_t first = u32(4);
    if (first < 8 || first > t.size() - 2) return d;
    const std::uint32_t count = u16(first);
    if (std::uint64_t{count} * 12 + 6 > t.size() - first) return d;
    d.Valid = true;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = first + 2 + std::size_t{i} * 12;
        const std::uint32_t tag = u16(entry), type = u16(entry + 2), n = u32(entry + 4);
        if (tag == 274 && type == 3 && n >= 1) {
            const std::uint32_t value = u16(entry + 8);
            d.Orientation = value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        } else if (tag == 34675 && (type == 7 || type == 1) && n > 4) {
            const std::uint32_t offset = u32(entry + 8);
            if (offset <= t.size() && n <= t.size() - offset) d.Profile = t.subspan(offset, n);
        }
    }
    const std::uint32_t next = u32(first + 2 + std::size_t{count} * 12);
    d.MoreDirectories = next >= 8 && next < t.size() - 1 && next != first;
    return d;
}

PictureMetadata ReadPictureMetadata(ImportFormat format, std::span<const std::uint8_t> bytes) {
    PictureMetadata m;
    switch (format) {
    case ImportFormat::Png: ReadPng(bytes, m); break;
    case ImportFormat::Jpeg: ReadJpeg(bytes, m); break;
    case ImportFormat::Webp: ReadWebp(bytes, m); break;
    case ImportFormat::Gif: ReadGif(bytes, m); break;
    case ImportFormat::Tiff: {
        const TiffDirectory d = ReadTiffDirectory(bytes);
        m.Orientation = d.Orientation;
        m.Profile.assign(d.Profile.begin(), d.Profile.end());
        if (d.MoreDirectories) m.Frames = 2;
        break;
    }
    case ImportFormat::None: break;
    }
    return m;
}

} // namespace tlc
