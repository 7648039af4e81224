// Any input is loaded and, when it loads, played into an offscreen picture
// through the metafile libraries and the SVG renderer: no crash, no hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "base/Exceptions.h"
#include "image/MetafileFile.h"
#include "ui/MetafilePainter.h"
#include "ui/MetafileSvg.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The libraries' messages are silenced by redirecting standard error,
    // which would hide the fuzzer's own report of a crash there; for triage.
    if (std::getenv("TLC_FUZZ_MESSAGES")) tlc::ShowMetafileMessages(true);
    static int argc = 1;
    static char name[] = "tlc_fuzz_metafile_draw";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto image = tlc::DecodeMetafileFile({data, size});
        QImage out(64, 64, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::white);
        QPainter painter(&out);
        tlc::PaintMetafile(painter, QRectF(0, 0, 64, 64), *image);
    } catch (const tlc::Exception&) {
    }
    return 0;
}
