#include "import/JpegRows.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>

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
// Returns false on an error, its message in `errors`, or when `row` threw.
bool ReadRows(const LibjpegLibrary& lib, jpeg_decompress_struct& info, ErrorManager& errors,
              jpeg_progress_mgr& progress, std::span<const std::uint8_t> bytes, const JpegRowRequest& request,
              std::exception_ptr& thrown) {
    if (setjmp(errors.jump) != 0) return false;
    lib.jpeg_CreateDecompress(&info, JPEG_LIB_VERSION, sizeof info);
    progress.progress_monitor = LimitScans;
    info.progress = &progress;
    lib.jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    lib.jpeg_read_header(&info, TRUE);
    // TurboJPEG's defaults for TJPF_BGR and TJPF_CMYK: accurate integer DCT,
    // smooth upsampling.
    info.out_color_space = request.Cmyk ? JCS_CMYK : JCS_EXT_BGR;
    info.dct_method = JDCT_ISLOW;
    info.do_fancy_upsampling = TRUE;
    info.scale_num = request.ScaleNum;
    info.scale_denom = request.ScaleDenom;
    lib.jpeg_start_decompress(&info);

    const JDIMENSION keptWidth = std::min<JDIMENSION>(request.Width, info.output_width);
    const JDIMENSION keptHeight = std::min<JDIMENSION>(request.Height, info.output_height);
    if (keptWidth < info.output_width) {
        // Smooth upsampling treats the last colour sample of a row as an
        // edge: one iMCU more than asked keeps that edge off the kept columns.
        const JDIMENSION block = static_cast<JDIMENSION>(info.max_h_samp_factor * DCTSIZE);
        JDIMENSION xOffset = 0;
        JDIMENSION width = std::min<JDIMENSION>(info.output_width, (keptWidth + block - 1) / block * block + block);
        lib.jpeg_crop_scanline(&info, &xOffset, &width);
    }
    JSAMPARRAY row = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                            info.output_width * static_cast<JDIMENSION>(info.output_components), 1);
    while (info.output_scanline < keptHeight) {
        if (lib.jpeg_read_scanlines(&info, row, 1) != 1) break;
        // Once the data has broken off, the rest would be made up: stop there.
        if (errors.warned && std::strstr(errors.message, "extraneous bytes") == nullptr) break;
        try {
            request.Row(row[0]);
        } catch (...) {
            thrown = std::current_exception();
            return false;
        }
    }
    return true;
}

} // namespace

void ReadJpegRows(const LibjpegLibrary& lib, std::span<const std::uint8_t> bytes, const JpegRowRequest& request) {
    ErrorManager errors{};
    jpeg_decompress_struct info{};
    jpeg_progress_mgr progress{};
    info.err = lib.jpeg_std_error(&errors.pub);
    errors.stdEmit = errors.pub.emit_message;
    errors.pub.error_exit = ErrorExit;
    errors.pub.output_message = OutputMessage;
    errors.pub.emit_message = EmitMessage;
    std::exception_ptr thrown;
    const bool read = ReadRows(lib, info, errors, progress, bytes, request, thrown);
    // The rows below the kept part are never read.
    lib.jpeg_abort_decompress(&info);
    lib.jpeg_destroy_decompress(&info);
    if (thrown) std::rethrow_exception(thrown);
    // Stray bytes between markers, common in camera files, leave the picture whole.
    if (!read || (errors.warned && std::strstr(errors.message, "extraneous bytes") == nullptr))
        Damaged("JPEG", errors.message);
}

void DecodeJpegRows(const LibjpegLibrary& lib, std::span<const std::uint8_t> bytes, TBitmapImage& raster) {
    std::int32_t y = 0;
    JpegRowRequest request;
    request.Width = static_cast<unsigned>(raster.Width());
    request.Height = static_cast<unsigned>(raster.AbsHeight());
    request.Row = [&](const std::uint8_t* bgr) {
        std::memcpy(raster.Row(y++), bgr, static_cast<std::size_t>(raster.Width()) * 3);
    };
    ReadJpegRows(lib, bytes, request);
}

} // namespace tlc::import
