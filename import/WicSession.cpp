#include "import/WicSession.h"

#include <cstdio>

#include "base/Exceptions.h"

namespace tlc::import {

WicSession::WicSession() {
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // S_FALSE: already initialised here, still to be balanced; a thread in
    // the other apartment model keeps it, and the factory works in both.
    uninitialize_ = SUCCEEDED(init);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE) throw EOutOfResources();
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(factory_.Out())))) {
        if (uninitialize_) ::CoUninitialize();
        throw EOutOfResources();
    }
}

WicSession::~WicSession() {
    factory_.Reset();
    if (uninitialize_) ::CoUninitialize();
}

std::string DescribeResult(HRESULT result) {
    char code[32];
    std::snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(result));
    std::string text = code;
    wchar_t* message = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length > 0 && message) {
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(length),
                                                nullptr, 0, nullptr, nullptr);
        std::string utf8(static_cast<std::size_t>(bytes), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, message, static_cast<int>(length), utf8.data(), bytes,
                              nullptr, nullptr);
        while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == ' ' ||
                                 utf8.back() == '.'))
            utf8.pop_back();
        if (!utf8.empty()) text += " (" + utf8 + ")";
    }
    if (message) ::LocalFree(message);
    return text;
}

} // namespace tlc::import
