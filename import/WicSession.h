#pragma once

// The Windows Imaging Component, for the readers and the PNG writer of the
// Windows build.

#include <wincodec.h>
#include <windows.h>

#include <string>
#include <utility>

namespace tlc::import {

// Owns one COM reference.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T** Out() {
        Reset();
        return &p_;
    }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

// COM on this thread (each batch worker has its own) and the imaging factory,
// for the life of one picture. Throws EOutOfResources when COM or the
// factory cannot be had.
class WicSession {
public:
    WicSession();
    ~WicSession();
    WicSession(const WicSession&) = delete;
    WicSession& operator=(const WicSession&) = delete;
    IWICImagingFactory* Factory() const { return factory_.Get(); }

private:
    bool uninitialize_ = false;
    ComPtr<IWICImagingFactory> factory_;
};

// "error 0x88982F50" and the system's text for it where it has one.
std::string DescribeResult(HRESULT result);

} // namespace tlc::import
