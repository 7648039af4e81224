#include "import/JpegRows.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "import/ImportSupport.h"

namespace tlc::import {

namespace {

// TurboJPEG's error handling, so that the same files fail with the same
// words: the message printed last is the one reported (of warnings, libjpeg
// prints only the first), and errors jump back instead of ending the process.
struct ErrorManager {
    jpeg_error_mgr pub; // first: libjpeg hands back &pub
    void (*stdEmit)(j_common_ptr, int);
    std::jmp_buf jump;
    bool warned;
    char message[JMSG_LENGTH_MAX];
};

ErrorManager& ManagerOf(j_common_ptr info) { return *reinterpret_cast<ErrorManager*>(info->err); }

void OutputMessage(j_common_ptr info) { info->err->format_message(info, ManagerOf(info).message); }

void EmitMessage(j_common_ptr info, int level) {
    ErrorManager& manager = ManagerOf(info);
    manager.stdEmit(info, level);
    if (level < 0) manager.warned = true;
}

[[noreturn]] void ErrorExit(j_common_ptr info) {
    info->err->output_message(info);
    std::longjmp(ManagerOf(info).jump, 1);
}

// TJFLAG_LIMITSCANS: a progressive file with thousands of scans costs
// minutes for a few kilobytes.
void LimitScans(j_common_ptr info) {
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > 500) {
        std::snprintf(ManagerOf(info).message, JMSG_LENGTH_MAX, "Progressive JPEG image has more than 500 scans");
        std::longjmp(ManagerOf(info).jump, 1);
    }
}

// Only trivially destroyed objects live here: libjpeg's errors longjmp out.
// Returns false on an error, its message in `errors`.
bool ReadRows(const LibjpegLibrary& lib, jpeg_decompress_struct& info, ErrorManager& errors,
              jpeg_progress_mgr& progress, std::span<const std::uint8_t> bytes, TBitmapImage& raster) {
    if (setjmp(errors.jump) != 0) return false;
    lib.jpeg_CreateDecompress(&info, JPEG_LIB_VERSION, sizeof info);
    progress.progress_monitor = LimitScans;
    info.progress = &progress;
    lib.jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    lib.jpeg_read_header(&info, TRUE);
    // TurboJPEG's defaults for TJPF_BGR: accurate integer DCT, smooth upsampling.
    info.out_color_space = JCS_EXT_BGR;
    info.dct_method = JDCT_ISLOW;
    info.do_fancy_upsampling = TRUE;
    lib.jpeg_start_decompress(&info);

    const JDIMENSION keptWidth = static_cast<JDIMENSION>(raster.Width());
    const JDIMENSION keptHeight = static_cast<JDIMENSION>(raster.AbsHeight());
    // Smooth upsampling treats the last colour sample of a row as an edge:
    // one iMCU more than asked keeps that edge off the kept columns.
    const JDIMENSION block = static_cast<JDIMENSION>(info.max_h_samp_factor * DCTSIZE);
    JDIMENSION xOffset = 0;
    JDIMENSION width = std::min<JDIMENSION>(info.output_width, (keptWidth + block - 1) / block * block + block);
    lib.jpeg_crop_scanline(&info, &xOffset, &width);
    JSAMPARRAY row = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                            info.output_width * 3, 1);
    while (info.output_scanline < keptHeight) {
        const JDIMENSION y = info.output_scanline;
        if (lib.jpeg_read_scanlines(&info, row, 1) != 1) break;
        std::memcpy(raster.Row(static_cast<std::int32_t>(y)), row[0], static_cast<std::size_t>(keptWidth) * 3);
    }
    return true;
}

} // namespace

void DecodeJpegRows(const LibjpegLibrary& lib, std::span<const std::uint8_t> bytes, TBitmapImage& raster) {
    ErrorManager errors{};
    jpeg_decompress_struct info{};
    jpeg_progress_mgr progress{};
    info.err = lib.jpeg_std_error(&errors.pub);
    errors.stdEmit = errors.pub.emit_message;
    errors.pub.error_exit = ErrorExit;
    errors.pub.output_message = OutputMessage;
    errors.pub.emit_message = EmitMessage;
    const bool read = ReadRows(lib, info, errors, progress, bytes, raster);
    // The rows below the kept part are never read.
    lib.jpeg_abort_decompress(&info);
    lib.jpeg_destroy_decompress(&info);
    // Stray bytes between markers, common in camera files, leave the picture whole.
    if (!read || (errors.warned && std::strstr(errors.message, "extraneous bytes") == nullptr))
        Damaged("JPEG", errors.message);
}

} // namespace tlc::import
