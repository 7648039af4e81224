// The 1-bit PNG of `show -o` on Windows, through the Windows Imaging
// Component's PNG encoder: the same greyscale picture, white 1 and black 0.
#include "cli/DotWriters.h"

#include "base/Exceptions.h"
// After the project's headers: windows.h defines RGB as a macro.
#include "import/WicSession.h"

#include <objidl.h>

namespace tlc::cli {

namespace {

void Check(HRESULT result) {
    if (FAILED(result)) {
        if (result == E_OUTOFMEMORY) throw EOutOfResources();
        throw Exception("PNG encoder: " + import::DescribeResult(result));
    }
}

} // namespace

std::vector<std::uint8_t> OneBitPng(const DecodedLogo& logo) {
    const std::int32_t width = logo.Width, height = logo.Height;
    std::vector<std::uint8_t> dots = PngDotRows(logo);
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;

    import::WicSession session;
    import::ComPtr<IStream> stream;
    Check(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Out()));
    import::ComPtr<IWICBitmapEncoder> encoder;
    Check(session.Factory()->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out()));
    Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache));
    import::ComPtr<IWICBitmapFrameEncode> frame;
    import::ComPtr<IPropertyBag2> options;
    Check(encoder->CreateNewFrame(frame.Out(), options.Out()));
    Check(frame->Initialize(options.Get()));
    Check(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)));
    WICPixelFormatGUID format = GUID_WICPixelFormatBlackWhite;
    Check(frame->SetPixelFormat(&format));
    if (format != GUID_WICPixelFormatBlackWhite) throw Exception("PNG encoder: no 1-bit pictures");
    Check(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(rowBytes),
                             static_cast<UINT>(dots.size()), dots.data()));
    Check(frame->Commit());
    Check(encoder->Commit());

    STATSTG facts{};
    Check(stream->Stat(&facts, STATFLAG_NONAME));
    std::vector<std::uint8_t> png(static_cast<std::size_t>(facts.cbSize.QuadPart));
    Check(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr));
    ULONG read = 0;
    Check(stream->Read(png.data(), static_cast<ULONG>(png.size()), &read));
    png.resize(read);
    return png;
}

} // namespace tlc::cli
