// GIF through giflib: the first frame, with its transparent colour; what the
// frame leaves uncovered is paper.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "base/Exceptions.h"
#include "image/RowScaler.h"
#include "import/CodecLibraries.h"
#include "import/ImportSupport.h"
#include "import/ImportedPicture.h"

namespace tlc {

namespace {

struct Source {
    const std::uint8_t* data;
    std::size_t left;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int wanted) {
    auto* source = static_cast<Source*>(gif->UserData);
    const std::size_t n = std::min(source->left, static_cast<std::size_t>(std::max(wanted, 0)));
    std::memcpy(buffer, source->data, n);
    source->data += n;
    source->left -= n;
    return static_cast<int>(n);
}

struct GifClose {
    void operator()(GifFileType* gif) const {
        int error = 0;
        Gif().DGifCloseFile(gif, &error);
    }
};

[[noreturn]] void Failed(int error) {
    const char* text = Gif().GifErrorString(error);
    import::Damaged("GIF", text ? text : "unreadable data");
}

// Puts one line of frame pixels into a row of the picture (blue, green,
// red), from column `left`, as far as the row reaches.
void PutLine(std::uint8_t* row, std::int64_t rowWidth, std::int64_t left, const GifPixelType* line,
             int count, const ColorMapObject& map, int transparent) {
    for (int x = 0; x < count; ++x) {
        const std::int64_t px = left + x;
        if (px >= rowWidth) break;
        const int index = line[x];
        if (index == transparent) continue;
        // An index beyond the table reads as black, as a bitmap's does.
        const GifColorType c = index < map.ColorCount ? map.Colors[index] : GifColorType{0, 0, 0};
        std::uint8_t* p = row + px * 3;
        p[0] = c.Blue;
        p[1] = c.Green;
        p[2] = c.Red;
    }
}

std::shared_ptr<TBitmapImage> ScaleRows(GifFileType& gif, const GifImageDesc& frame, const ColorMapObject& map,
                                        int transparent, std::int32_t width, std::int32_t height,
                                        import::KeptSize scaled) {
    RowScaler scaler(width, height, scaled.Width, scaled.Height);
    std::vector<std::uint8_t> row;
    std::vector<GifPixelType> line;
    try {
        row.resize(static_cast<std::size_t>(width) * 3);
        line.resize(static_cast<std::size_t>(frame.Width));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    const std::int64_t top = frame.Top, bottom = std::int64_t{frame.Top} + frame.Height;
    bool paperLast = false;
    for (std::int32_t y = 0; y < height; ++y) {
        const bool paper = y < top || y >= bottom;
        if (paper && paperLast) {
            scaler.RepeatRow();
            continue;
        }
        std::fill(row.begin(), row.end(), 0xFF);
        if (!paper) {
            if (Gif().DGifGetLine(&gif, line.data(), frame.Width) == GIF_ERROR) Failed(gif.Error);
            PutLine(row.data(), width, frame.Left, line.data(), frame.Width, map, transparent);
        }
        scaler.AddRow(row.data(), 3);
        paperLast = paper;
    }
    return scaler.Result();
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeGifFile(std::span<const std::uint8_t> bytes, const ImportHints& hints) {
    Source source{bytes.data(), bytes.size()};
    int error = 0;
    std::unique_ptr<GifFileType, GifClose> gif(Gif().DGifOpen(&source, ReadFromMemory, &error));
    if (!gif) Failed(error);

    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (Gif().DGifGetRecordType(gif.get(), &type) == GIF_ERROR) Failed(gif->Error);
        if (type == TERMINATE_RECORD_TYPE) import::Damaged("GIF", "the file holds no picture");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (Gif().DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) Failed(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
                transparent = (block[1] & 1) ? block[4] : -1;
            while (block)
                if (Gif().DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) Failed(gif->Error);
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;

        if (Gif().DGifGetImageDesc(gif.get()) == GIF_ERROR) Failed(gif->Error);
        const GifImageDesc& frame = gif->Image;
        const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
        if (!map || !map->Colors) import::Damaged("GIF", "the picture has no colour table");
        // The frame's own size bounds the decoding work, whatever part of it shows.
        import::CheckBuffer("GIF", frame.Width, frame.Height, 3);
        std::int64_t width = gif->SWidth, height = gif->SHeight;
        if (width <= 0 || height <= 0) {
            width = std::int64_t{frame.Left} + frame.Width;
            height = std::int64_t{frame.Top} + frame.Height;
        }
        // A frame in rows from top to bottom is scaled row by row, the rows
        // it does not cover being paper; an interlaced one is read whole.
        if (!frame.Interlace)
            if (const auto scaled = import::ScaledSize("GIF", width, height, hints.Crop))
                return ScaleRows(*gif, frame, *map, transparent, static_cast<std::int32_t>(width),
                                 static_cast<std::int32_t>(height), *scaled);
        import::CheckBuffer("GIF", width, height, 3); // the whole picture, kept whole or not
        const import::KeptSize kept = import::KeptPart(width, height, hints.Crop);
        auto raster = import::NewRaster("GIF", kept.Width, kept.Height);
        std::fill(raster->Pixels().begin(), raster->Pixels().end(), 0xFF);

        std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
        auto putLine = [&](std::int64_t y) {
            if (y < 0 || y >= kept.Height) return;
            PutLine(raster->Row(static_cast<std::int32_t>(y)), kept.Width, frame.Left, line.data(), frame.Width,
                    *map, transparent);
        };
        auto readLine = [&](std::int64_t y) {
            if (Gif().DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) Failed(gif->Error);
            putLine(std::int64_t{frame.Top} + y);
        };
        if (frame.Interlace) {
            // Rows come in four passes: every 8th from 0, every 8th from 4,
            // every 4th from 2, every 2nd from 1.
            static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < frame.Height; y += kStep[pass]) readLine(y);
        } else {
            // Nothing below the last row kept.
            const std::int64_t rows = std::min<std::int64_t>(frame.Height, kept.Height - std::int64_t{frame.Top});
            for (int y = 0; y < rows; ++y) readLine(y);
        }
        return raster;
    }
}

} // namespace tlc
